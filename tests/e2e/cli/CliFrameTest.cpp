// What every ondel-cli command shares: --help, and the exit status of a bad command line.
#include "../hlsim/SimProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ondel::hlsimtest;

namespace {
const std::string kCli = ONDEL_BIN_DIR "/src/app/ondel-cli";
const char* const kCommands[] = {"decode", "discover", "list", "query", "rcon", "scan"};
} // namespace

TEST(CliFrame, EveryCommandHasHelpAndEndsAMistakeWithStatusTwo) {
    for (const std::string command : kCommands) {
        ProgramResult help = runProgram(kCli, {command, "--help"});
        EXPECT_EQ(help.exitStatus, 0) << command;
        EXPECT_TRUE(help.out.starts_with("usage: ondel-cli " + command)) << help.out;
        EXPECT_NE(help.out.find("--help"), std::string::npos) << help.out;
        EXPECT_TRUE(help.err.empty()) << help.err;

        ProgramResult wrong = runProgram(kCli, {command, "--no-such-option"});
        EXPECT_EQ(wrong.exitStatus, 2) << command;
        EXPECT_TRUE(wrong.out.empty()) << wrong.out;
        EXPECT_NE(wrong.err.find("ondel-cli " + command + ": unknown option --no-such-option"),
                  std::string::npos)
            << wrong.err;
        EXPECT_NE(wrong.err.find("usage: ondel-cli " + command), std::string::npos) << wrong.err;
    }
    // The list of commands names each one.
    ProgramResult list = runProgram(kCli, {"--help"});
    EXPECT_EQ(list.exitStatus, 0);
    for (const std::string command : kCommands)
        EXPECT_NE(list.out.find("\n  " + command + " "), std::string::npos) << list.out;
    EXPECT_EQ(runProgram(kCli, {"no-such-command"}).exitStatus, 2);
    EXPECT_EQ(runProgram(kCli, {}).exitStatus, 2);
}
