#include "alerts/AlertTracker.h"

#include <gtest/gtest.h>

using namespace ondel;

namespace {

// One step of one server: "-" a miss, otherwise the players and map it answered with.
struct Step {
    bool up;
    int players;
    const char* map;
    std::vector<std::string> names;
    std::string fired; // the kinds fired, space-separated, "" for none
};

std::string run(AlertTracker& tracker, const std::string& server, const Step& s, int t) {
    AlertObservation seen;
    seen.server = server;
    seen.up = s.up;
    seen.name = "Test";
    seen.players = s.players;
    seen.maxPlayers = 16;
    seen.map = s.map;
    seen.gotPlayers = true;
    seen.playerNames = s.names;
    std::string fired;
    for (const AlertEvent& e : tracker.observe(seen, t * 1000)) {
        fired += fired.empty() ? "" : " ";
        fired += alertKindName(e.kind);
    }
    return fired;
}

Step miss(const char* fired = "") {
    return {false, 0, "", {}, fired};
}
Step answer(int players, const char* map = "crossfire", const char* fired = "",
            std::vector<std::string> names = {}) {
    return {true, players, map, std::move(names), fired};
}

} // namespace

TEST(AlertTracker, EachRuleFiresOncePerChange) {
    AlertRules rules;
    rules.downAfter = 3;
    rules.playersAtLeast = 10;
    rules.playersAtMost = 1;
    rules.mapChanges = true;
    rules.watchedPlayers = {"Gordon"};
    AlertTracker tracker;
    tracker.setListRules(rules);

    const std::vector<Step> steps = {
        answer(5), // the first answer only sets where the server stands
        miss(),
        miss(),    // two misses are not an outage
        answer(5), // and the count starts again after an answer
        miss(),
        miss(),       //
        miss("down"), // the third in a row is
        miss(),
        miss(), // no repeat while it stays down
        answer(5, "crossfire", "up"),
        answer(10, "crossfire", "players"), // reached the upper mark
        answer(12),                         // still above: quiet
        answer(9),                          // below again: armed
        answer(10, "crossfire", "players"), //
        answer(1, "crossfire", "players"),  // reached the lower mark
        answer(0),                          //
        answer(0, "boot_camp", "map"),
        answer(0, "boot_camp"),
        answer(2, "boot_camp", "player", {"gordon", "eli"}),
        answer(2, "boot_camp", "", {"GORDON"}), // he stays: quiet
    };
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(run(tracker, "s:1", steps[i], static_cast<int>(i)), steps[i].fired)
            << "step " << i;
}

TEST(AlertTracker, DownFromTheStartAndServerRulesOverTheList) {
    AlertTracker tracker;
    AlertRules list;
    list.downAfter = 2;
    tracker.setListRules(list);
    AlertRules quiet;
    quiet.downAfter = 0;
    tracker.setServerRules("quiet:1", quiet);

    EXPECT_EQ(run(tracker, "dead:1", miss(), 0), "");
    EXPECT_EQ(run(tracker, "dead:1", miss("down"), 1), "down");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(run(tracker, "quiet:1", miss(), i), "");
    EXPECT_EQ(run(tracker, "quiet:1", answer(1), 6), "");

    // A server that left the list and came back starts from nothing.
    tracker.forget("dead:1");
    EXPECT_EQ(run(tracker, "dead:1", answer(1), 7), "");
}

TEST(AlertTracker, PlayerRejoiningAfterTheServerWasDownIsReportedAgain) {
    AlertRules rules;
    rules.downAfter = 1;
    rules.watchedPlayers = {"gordon"};
    AlertTracker tracker;
    tracker.setListRules(rules);
    EXPECT_EQ(run(tracker, "s:1", answer(1, "c", "", {"Gordon"}), 0), "player");
    EXPECT_EQ(run(tracker, "s:1", answer(1, "c", "", {"Gordon"}), 1), "");
    EXPECT_EQ(run(tracker, "s:1", miss(), 2), "down");
    EXPECT_EQ(run(tracker, "s:1", answer(1, "c", "", {"Gordon"}), 3), "up player");
}

TEST(AlertTracker, EventCarriesHostileNameAsOneLineAndJsonHasTheFields) {
    AlertRules rules;
    rules.downAfter = 1;
    AlertTracker tracker;
    tracker.setListRules(rules);
    AlertObservation seen;
    seen.server = "127.0.0.1:27015";
    seen.up = true;
    seen.name = std::string("Evil\n\"srv\"\x01\xE9", 12); // a control, a quote, Latin-1 é
    tracker.observe(seen, 0);
    seen.up = false;
    auto events = tracker.observe(seen, 1765242123000); // 2025-12-09T01:02:03Z
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "Evil \"srv\" \xC3\xA9");
    EXPECT_EQ(events[0].text.find('\n'), std::string::npos);
    EXPECT_EQ(alertJson(events[0]),
              "{\"event\":\"down\",\"server\":\"127.0.0.1:27015\",\"name\":\"Evil \\\"srv\\\" "
              "\xC3\xA9\",\"time\":\"2025-12-09T01:02:03Z\",\"text\":\"" +
                  std::string("Evil \\\"srv\\\" \xC3\xA9 (127.0.0.1:27015) is down: no answer 1 "
                              "times in a row.") +
                  "\",\"content\":\"Evil \\\"srv\\\" \xC3\xA9 (127.0.0.1:27015) is down: no "
                  "answer 1 times in a row.\"}");
}
