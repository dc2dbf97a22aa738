#pragma once

// The frame every ondel-cli command is written in: its options declared as data, one parser
// for all of them (with --help), one exit-status convention and the registration by name.
//
// A command is one .cpp file with a static CliCommand:
//
//     const CommandSyntax kSyntax{
//         .name = "query",
//         .operands = "HOST:PORT",
//         .summary = "ask a server once",
//         .options = {{"--json", "", "print one JSON object"},
//                     {"--timeout", "MS", "give up after MS milliseconds (default 10000)",
//                      1, 999'999'999, "a number of milliseconds above 0"}},
//         .minOperands = 1, .maxOperands = 1,
//         .missingOperand = "no server given",
//     };
//     int runQuery(const Arguments& args) { ... args.number("--timeout", 10000) ... }
//     const CliCommand queryCommand(kSyntax, &runQuery);
//
// main finds the command by name, parses its arguments by the syntax and calls run only when they
// are fine; a mistake on the command line never reaches it. Checks the table cannot express
// (an address that does not parse) go through usageError, which ends with the same status.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondel::cli {

// The exit statuses of every command (the manual page says the same).
constexpr int kExitOk = 0;     // the command did what it was asked
constexpr int kExitFailed = 1; // it ran and failed: no answer, unreadable input, output lost
constexpr int kExitUsage = 2;  // a mistake on the command line; nothing was done

// One option of a command. Without a value name it is a switch ("--json"); with one it takes
// the next word as its value. With low <= high the value must be a whole decimal number in that
// range (digits only: "10s" and "-1" are refused); otherwise a text, not empty unless mayBeEmpty.
struct OptionSyntax {
    const char* name;        // "--timeout"
    const char* value = "";  // "MS"; empty for a switch
    const char* help = "";   // one line for --help
    std::int64_t low = 1;    // the range of a number, or low > high for a text
    std::int64_t high = 0;   //
    const char* need = "";   // what the error says the option needs: "a number from 1 to 100"
    bool mayBeEmpty = false; // a text may be "" (a password)
};

struct CommandSyntax {
    const char* name = "";     // "query"
    const char* operands = ""; // the words besides the options in the usage line: "HOST:PORT"
    const char* summary = "";  // one line in the list of commands
    std::vector<OptionSyntax> options{};
    std::size_t minOperands = 0;
    std::size_t maxOperands = std::numeric_limits<std::size_t>::max();
    const char* missingOperand = ""; // the error for too few operands
    const char* surplusOperand = ""; // the error for too many ("" names the word)
    // When set: once this many operands have been read, the first word that is not one of the
    // options starts the rest (rcon's command), even when it starts with '-'; "--" starts it too.
    std::optional<std::size_t> restAfter{};
    const char* restName = "";    // the rest in the usage line: "COMMAND..."
    const char* missingRest = ""; // the error when the rest is required and empty
    bool dashIsOperand = false;   // "-" (standard input) is an operand, not an unknown option
    const char* moreHelp = "";    // lines after the options in --help
};

// What the parser read. Options are looked up by name as written in the syntax.
class Arguments {
public:
    bool has(std::string_view option) const;
    // The value of an option that takes one, or def when it was not given.
    std::string text(std::string_view option, const std::string& def = {}) const;
    std::int64_t number(std::string_view option, std::int64_t def) const;
    // Every value of an option given more than once, in the order given.
    std::vector<std::string> texts(std::string_view option) const;
    const std::vector<std::string>& operands() const { return m_operands; }
    // The words of the rest joined by one blank each ("" when there is none).
    std::string restText() const;
    const std::vector<std::string>& rest() const { return m_rest; }

private:
    friend std::optional<int> parseArguments(const CommandSyntax&, const std::vector<std::string>&,
                                             Arguments&);
    std::vector<std::pair<std::string, std::string>> m_values; // the last one given counts
    std::vector<std::string> m_operands;
    std::vector<std::string> m_rest;
};

// Reads args by syntax into out. Returns nothing when the command should run, or the status it
// ends with now: kExitOk after --help (help on standard output), kExitUsage after a mistake (the
// reason and the usage line on standard error).
std::optional<int> parseArguments(const CommandSyntax& syntax, const std::vector<std::string>& args,
                                  Arguments& out);

// "usage: ondel-cli NAME [OPTION...] OPERANDS" for syntax.
std::string usageLine(const CommandSyntax& syntax);
// Prints "ondel-cli NAME: why" and the usage line to standard error; returns kExitUsage.
int usageError(const CommandSyntax& syntax, const std::string& why);
// Prints "ondel-cli NAME: why" to standard error; returns kExitFailed.
int failure(const CommandSyntax& syntax, const std::string& why);

// One subcommand of ondel-cli. Each command's .cpp defines a static CliCommand; main looks them
// up by name. run gets the parsed arguments and returns the exit status.
struct CliCommand {
    using Run = int (*)(const Arguments& args);

    CliCommand(const CommandSyntax& syntax, Run run);

    const CommandSyntax& syntax;
    Run run;
};

const std::vector<const CliCommand*>& commands();

// Writes text to standard output and flushes it. True when everything the command wrote there
// got out, this text and all before it; false after a failed write (a full disk, a closed pipe),
// which a command reports through its exit status rather than as success.
bool writeOutput(std::string_view text = {});

} // namespace ondel::cli
