#include "rcon/CommandHistory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace ondel;

TEST(CommandHistory, UpAndDownWalkLikeAShell) {
    CommandHistory history;
    EXPECT_FALSE(history.older("typed"));
    history.add("echo one");
    history.add("echo two");
    history.add("echo two"); // a repeat of the newest is not stored again
    EXPECT_EQ(history.older("draft"), "echo two");
    EXPECT_EQ(history.older("echo two"), "echo one");
    EXPECT_FALSE(history.older("echo one"));
    EXPECT_EQ(history.newer(), "echo two");
    EXPECT_EQ(history.newer(), "draft"); // back to the line before the walk
    EXPECT_FALSE(history.newer());
    history.add("echo one");
    EXPECT_EQ(history.commands(), (std::vector<std::string>{"echo one", "echo two", "echo one"}));
    EXPECT_EQ(history.older(""), "echo one"); // a send ends the walk
}

TEST(CommandHistory, KeepsTheNewestAndNoPasswords) {
    CommandHistory history;
    for (int i = 0; i < 505; ++i)
        history.add("say " + std::to_string(i));
    ASSERT_EQ(history.commands().size(), CommandHistory::kMaxCommands);
    EXPECT_EQ(history.commands().front(), "say 5");
    for (const char* secret : {"rcon_password new", "  RCON_PASSWORD x", "sv_password abc"})
        history.add(secret);
    EXPECT_EQ(history.commands().back(), "say 504");
    history.add("sv_passwords_shown 1"); // another word: stored
    EXPECT_EQ(history.commands().back(), "sv_passwords_shown 1");
}

TEST(CommandHistoryFile, RoundTripKeepsEachServersNewestCommands) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "ondel-command-history-test.txt").string();
    CommandHistories written;
    for (int i = 0; i < 600; ++i)
        written["10.0.0.1:27015"].push_back("echo " + std::to_string(i));
    written["host.example:27016"] = {"status", "say \"hi\"\tthere"};
    ASSERT_TRUE(writeCommandHistories(path, written));
    const CommandHistories read = readCommandHistories(path);
    ASSERT_EQ(read.size(), 2u);
    ASSERT_EQ(read.at("10.0.0.1:27015").size(), CommandHistory::kMaxCommands);
    EXPECT_EQ(read.at("10.0.0.1:27015").front(), "echo 100");
    EXPECT_EQ(read.at("host.example:27016"), written.at("host.example:27016"));

    // Lines without a tab, an empty address or an empty command are skipped; CR LF ends a line.
    {
        std::ofstream out(path, std::ios::binary);
        out << "no tab here\n\tcommand\n1.2.3.4:5\t\n1.2.3.4:5\tstatus\r\n1.2.3.4:5\tusers";
    }
    const CommandHistories lenient = readCommandHistories(path);
    ASSERT_EQ(lenient.size(), 1u);
    EXPECT_EQ(lenient.at("1.2.3.4:5"), (std::vector<std::string>{"status", "users"}));
    std::filesystem::remove(path);
    EXPECT_TRUE(readCommandHistories(path).empty());
}
