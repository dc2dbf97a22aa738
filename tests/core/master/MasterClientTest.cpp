#include "master/MasterClient.h"

#include "../fakes/FakeSettingsStore.h"
#include "common/ByteWriter.h"
#include "master/HttpPoster.h"

#include <gtest/gtest.h>

#include <deque>

using namespace ondel;
using Bytes = std::vector<std::uint8_t>;
using Outcome = MasterMessagePrompt::Outcome;

namespace {
constexpr const char* kKey = "Master Server";

Bytes userIdReply(std::int32_t id) {
    ByteWriter w;
    w.u8(0);
    w.u8(0);
    w.u32(4);
    w.i32(id);
    w.u8(253);
    w.u8(0);
    w.u32(0);
    return w.take();
}

Bytes messageRecord(std::int32_t number, std::string_view text) {
    ByteWriter p;
    p.i32(number);
    for (std::string_view s : {text, std::string_view("Title"), std::string_view("http://l/")}) {
        p.u32(static_cast<std::uint32_t>(s.size()));
        p.bytes(s);
    }
    ByteWriter w;
    w.u8(2);
    w.u8(0);
    w.u32(static_cast<std::uint32_t>(p.size()));
    w.bytes(p.data().data(), p.size());
    return w.take();
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Answers each POST with the next scripted body (delivered in pieces of 3 bytes), or fails.
class ScriptedPoster : public HttpPoster {
public:
    struct Answer {
        bool ok = true;
        Bytes body;
    };
    std::deque<Answer> answers;
    std::vector<Bytes> requests;
    std::vector<std::string> paths;

    bool post(const std::string& path, const Bytes& body, const BodySink& sink) override {
        paths.push_back(path);
        requests.push_back(body);
        if (answers.empty())
            return false;
        Answer a = answers.front();
        answers.pop_front();
        if (!a.ok)
            return false;
        for (std::size_t at = 0; at < a.body.size(); at += 3) {
            if (!sink(a.body.data() + at, std::min<std::size_t>(3, a.body.size() - at)))
                break;
        }
        return true;
    }
};

class ScriptedPrompt : public MasterMessagePrompt {
public:
    std::deque<Outcome> outcomes;
    std::vector<MasterMessage> shown;
    std::function<void()> onShow;
    Outcome showMessage(const MasterMessage& message) override {
        shown.push_back(message);
        if (onShow)
            onShow();
        Outcome o = outcomes.empty() ? Outcome::Closed : outcomes.front();
        if (!outcomes.empty())
            outcomes.pop_front();
        return o;
    }
};

struct Session {
    test::FakeSettingsStore store;
    ScriptedPoster poster;
    ScriptedPrompt prompt;
    MasterClient client{poster, store, prompt};
};
} // namespace

TEST(MasterClient, FirstRunSendsZeroAndStoresTheAssignedId) {
    Session s;
    s.poster.answers.push_back({true, userIdReply(4711)});
    s.poster.answers.push_back({true, {0xFD, 0, 0, 0, 0, 0}});
    s.client.run();
    ASSERT_EQ(s.poster.requests.size(), 2u);
    EXPECT_EQ(s.poster.requests[0], encodeUserIdRequest(0));
    EXPECT_EQ(s.poster.requests[1], encodeVersionRequest("v" ONDEL_VERSION_TEXT));
    EXPECT_EQ(s.poster.paths[0], "/cgi-bin/master/server.pl");
    EXPECT_EQ(s.store.readInt(kKey, "ID", 0), 4711);
}

TEST(MasterClient, ProbeLeavesOneWhenNoIdComesBack) {
    Session s; // every POST fails
    s.client.run();
    EXPECT_EQ(s.poster.requests.size(), 2u); // the version exchange is tried all the same
    EXPECT_EQ(s.poster.requests[0], encodeUserIdRequest(0));
    EXPECT_EQ(s.store.readInt(kKey, "ID", 0), 1);

    // The next run announces the 1 it finds.
    ScriptedPoster next;
    MasterClient again(next, s.store, s.prompt);
    again.run();
    EXPECT_EQ(next.requests[0], encodeUserIdRequest(1));
}

TEST(MasterClient, ProbeGivesMinusOneWhenTheWriteDoesNotStick) {
    struct ForgetfulStore : test::FakeSettingsStore {
        bool writeInt(const std::string&, const std::string&, std::int32_t) override {
            return true; // claims success, keeps nothing
        }
    } forgetful;
    ScriptedPoster poster;
    ScriptedPrompt prompt;
    MasterClient client(poster, forgetful, prompt);
    EXPECT_EQ(client.probeUserId(), -1);

    test::FakeSettingsStore unavailable;
    unavailable.setAvailable(false);
    MasterClient client2(poster, unavailable, prompt);
    client2.run();
    EXPECT_EQ(poster.requests.at(0), encodeUserIdRequest(-1));

    test::FakeSettingsStore stored;
    stored.writeInt(kKey, "ID", 99);
    MasterClient client3(poster, stored, prompt);
    EXPECT_EQ(client3.probeUserId(), 99);
    EXPECT_EQ(stored.readInt(kKey, "ID", 0), 99);
}

TEST(MasterClient, MessageSuppressedOnlyAfterConfirmedDontShowAgain) {
    Session s;
    s.store.writeInt(kKey, "ID", 5);
    // The same message twice in one reply, then once in the second exchange.
    s.poster.answers.push_back(
        {true,
         concat({messageRecord(42, "one"), messageRecord(42, "two"), {0xFD, 0, 0, 0, 0, 0}})});
    s.poster.answers.push_back({true, concat({messageRecord(42, "three")})});
    s.prompt.outcomes = {Outcome::Closed, Outcome::DontShowAgain};
    s.client.run();
    ASSERT_EQ(s.prompt.shown.size(), 2u);
    EXPECT_EQ(s.prompt.shown[0].text, "one");
    EXPECT_EQ(s.prompt.shown[1].text, "two");
    EXPECT_EQ(s.store.readInt(kKey, "MSG00042", 0), 1);
    EXPECT_EQ(s.store.readInt(kKey, "ID", 0), 5); // nothing assigned: kept
}

TEST(MasterClient, ClosedMessageIsRecordedAsShownAgainAndAbortWritesNothing) {
    Session s;
    s.poster.answers.push_back({true, messageRecord(7, "x")});
    s.prompt.outcomes = {Outcome::Closed};
    s.client.exchange(encodeUserIdRequest(1));
    ASSERT_TRUE(s.store.has(kKey, "MSG00007"));
    EXPECT_EQ(s.store.readInt(kKey, "MSG00007", -1), 0);

    Session aborted;
    aborted.poster.answers.push_back({true, messageRecord(8, "y")});
    aborted.prompt.outcomes = {Outcome::Aborted};
    aborted.client.exchange(encodeUserIdRequest(1));
    EXPECT_FALSE(aborted.store.has(kKey, "MSG00008"));

    Session hidden;
    hidden.store.writeInt(kKey, "MSG00009", 1);
    hidden.poster.answers.push_back({true, messageRecord(9, "z")});
    hidden.client.exchange(encodeUserIdRequest(1));
    EXPECT_TRUE(hidden.prompt.shown.empty());
}

TEST(MasterClient, StopEndsTheSessionWithoutFurtherPromptsOrExchanges) {
    Session s;
    s.poster.answers.push_back(
        {true, concat({messageRecord(1, "a"), messageRecord(2, "b"), userIdReply(77)})});
    s.prompt.onShow = [&] { s.client.requestStop(); };
    s.prompt.outcomes = {Outcome::Aborted};
    s.client.run();
    EXPECT_EQ(s.prompt.shown.size(), 1u);
    EXPECT_EQ(s.poster.requests.size(), 1u);
    EXPECT_NE(s.store.readInt(kKey, "ID", 0), 77);
}
