#include "rcon/RconSession.h"
#include "rcon/RconProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ondel;

namespace {

// Records every call in order, so tests can see that the handler is in place before the
// challenge request goes out.
class FakePort : public RconPort {
public:
    SendStatus sendOutOfBand(std::string_view text) override {
        events.push_back("send:" + std::string(text));
        sent.emplace_back(text);
        return sendStatus;
    }
    const ServerEntry& currentServer() const override { return server; }
    void setCurrentServer(const ServerEntry& entry) override {
        events.push_back("setCurrentServer");
        server = entry;
    }
    void setPrintHandler(PrintHandler h) override {
        events.push_back("setPrintHandler");
        handler = std::move(h);
    }
    void clearPrintHandler() override {
        events.push_back("clearPrintHandler");
        handler = nullptr;
    }

    ServerEntry server;
    PrintHandler handler;
    std::vector<std::string> events;
    std::vector<std::string> sent;
    SendStatus sendStatus = SendStatus::Sent;
};

} // namespace

TEST(RconProtocol, CommandTextCarriesTheNumberOnlyWhenOneIsKnown) {
    struct Case {
        std::uint32_t challenge;
        const char* password;
        const char* command;
        const char* text;
    } cases[] = {
        {0, "secret", "status", "rcon \"secret\" status"},
        {4711, "secret", "status", "rcon 4711 \"secret\" status"},
        {4294967295u, "pw", "users", "rcon 4294967295 \"pw\" users"},
        {12, "", "status", "rcon 12 \"\" status"},
        // Bytes go in as typed: no escaping of quotes, no trimming.
        {7, "a\"b", " say \"hi\" ", "rcon 7 \"a\"b\"  say \"hi\" "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rcon::commandText(c.challenge, c.password, c.command), c.text) << c.text;
}

TEST(RconSession, OpenRegistersTheHandlerBeforeAskingForANumber) {
    FakePort port;
    RconSession session(port);
    std::vector<std::string> printed;
    session.open([&](std::string_view text) { printed.emplace_back(text); });
    ASSERT_EQ(port.events.size(), 2u);
    EXPECT_EQ(port.events[0], "setPrintHandler");
    EXPECT_EQ(port.events[1], "send:challenge rcon\n");
    ASSERT_TRUE(port.handler);
    port.handler("hello\n");
    EXPECT_EQ(printed, std::vector<std::string>{"hello\n"});
}

TEST(RconSession, SendFollowsTheProtocolOptionAndTheKnownNumber) {
    struct Case {
        std::uint32_t challenge;
        bool oldProtocol;
        RconSession::SendResult result;
        const char* sent; // nullptr: nothing goes out
    } cases[] = {
        {0, false, RconSession::SendResult::NoChallenge, nullptr},
        {0, true, RconSession::SendResult::Sent, "rcon \"pw\" status"},
        {4711, false, RconSession::SendResult::Sent, "rcon 4711 \"pw\" status"},
        {4711, true, RconSession::SendResult::Sent, "rcon 4711 \"pw\" status"},
    };
    for (const auto& c : cases) {
        FakePort port;
        port.server.rconChallenge = c.challenge;
        RconSession session(port);
        EXPECT_EQ(session.send("pw", "status", c.oldProtocol), c.result);
        if (c.sent) {
            ASSERT_EQ(port.sent.size(), 1u);
            EXPECT_EQ(port.sent[0], c.sent);
        } else {
            EXPECT_TRUE(port.sent.empty());
        }
    }
}

TEST(RconSession, CommandsThatDoNotFitOneDatagramAreRefusedWhole) {
    FakePort port;
    port.server.rconChallenge = 1;
    RconSession session(port);
    // "rcon 1 \"pw\" " is 12 bytes, so a 1007-byte command gives exactly 1019.
    std::string fits(1007, 'x');
    EXPECT_EQ(session.send("pw", fits, false), RconSession::SendResult::Sent);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].size(), rcon::kMaxOutOfBandText);
    EXPECT_EQ(session.send("pw", fits + "x", false), RconSession::SendResult::TooLong);
    EXPECT_EQ(port.sent.size(), 1u);
}

TEST(RconSession, FailedSendIsReportedAsSuch) {
    FakePort port;
    port.sendStatus = RconPort::SendStatus::Failed;
    RconSession session(port);
    EXPECT_EQ(session.send("pw", "status", true), RconSession::SendResult::SendFailed);
}

TEST(RconSession, RequestNewChallengeStoresTheRecordWithoutNumberAndAsksAgain) {
    FakePort port;
    port.server.address = {"10.0.0.1", 27015};
    port.server.comment = "kept";
    port.server.rconChallenge = 4711;
    RconSession session(port);
    session.requestNewChallenge();
    EXPECT_EQ(session.challenge(), 0u);
    EXPECT_EQ(rcon::challengeDisplay(session.challenge()), "-");
    EXPECT_EQ(port.server.comment, "kept");
    EXPECT_EQ(port.server.address.host, "10.0.0.1");
    ASSERT_EQ(port.events.size(), 2u);
    EXPECT_EQ(port.events[0], "setCurrentServer");
    EXPECT_EQ(port.events[1], "send:challenge rcon\n");
}

TEST(RconSession, DestructionClearsTheHandlerOnce) {
    FakePort port;
    {
        RconSession session(port);
        session.open([](std::string_view) {});
        session.close();
        EXPECT_FALSE(port.handler);
    }
    int clears = 0;
    for (const auto& e : port.events)
        clears += e == "clearPrintHandler";
    EXPECT_EQ(clears, 1);

    FakePort other;
    {
        RconSession session(other);
        session.open([](std::string_view) {});
    }
    EXPECT_FALSE(other.handler);
    EXPECT_EQ(other.events.back(), "clearPrintHandler");
}

// A refused password is not sent again until another one is given or the user allows it; a
// refusal that answers no command of this session counts for nothing.
TEST(RconSession, RefusedPasswordIsHeldBackUntilChangedOrAllowed) {
    FakePort port;
    port.server.rconChallenge = 5;
    RconSession session(port);
    std::vector<std::string> printed;
    session.open([&](std::string_view text) { printed.emplace_back(text); });

    port.handler("Bad rcon_password.\n"); // before any command: not ours
    EXPECT_FALSE(session.passwordRefused());
    ASSERT_EQ(session.send("wrong", "status", false), RconSession::SendResult::Sent);
    port.handler("Bad rcon_password.\n");
    EXPECT_TRUE(session.passwordRefused());
    EXPECT_EQ(session.refusalCount(), 1);
    EXPECT_EQ(printed.size(), 2u); // the console still shows what the server said

    const std::size_t sentBefore = port.sent.size();
    EXPECT_EQ(session.send("wrong", "status", false), RconSession::SendResult::PasswordRefused);
    EXPECT_EQ(session.send("wrong", "users", true), RconSession::SendResult::PasswordRefused);
    EXPECT_EQ(port.sent.size(), sentBefore);

    session.allowRefusedPassword();
    EXPECT_EQ(session.send("wrong", "status", false), RconSession::SendResult::Sent);
    port.handler("Bad rcon_password.\n");
    EXPECT_EQ(session.send("wrong", "status", false), RconSession::SendResult::PasswordRefused);
    EXPECT_EQ(session.send("right", "status", false), RconSession::SendResult::Sent);
    EXPECT_FALSE(session.passwordRefused());
    EXPECT_EQ(port.sent.back(), "rcon 5 \"right\" status");
}

TEST(RconSession, BudgetHeldSendIsReportedApart) {
    FakePort port;
    port.server.rconChallenge = 5;
    RconSession session(port);
    port.sendStatus = RconPort::SendStatus::Held;
    EXPECT_EQ(session.send("pw", "status", false), RconSession::SendResult::Held);
    port.sendStatus = RconPort::SendStatus::Failed;
    EXPECT_EQ(session.send("pw", "status", false), RconSession::SendResult::SendFailed);
}

TEST(RconSession, RefusalIsRecognisedOnlyAtTheStartOfTheText) {
    EXPECT_TRUE(RconSession::isPasswordRefusal("Bad rcon_password.\n"));
    EXPECT_TRUE(RconSession::isPasswordRefusal("\nBad rcon_password."));
    EXPECT_FALSE(RconSession::isPasswordRefusal("Bad challenge.\n"));
    EXPECT_FALSE(RconSession::isPasswordRefusal("say Bad rcon_password.\n"));
    EXPECT_FALSE(RconSession::isPasswordRefusal(""));
}
