#include "CliCommand.h"

#include <algorithm>
#include <cstdio>

namespace ondel::cli {

namespace {

std::vector<const CliCommand*>& registry() {
    static std::vector<const CliCommand*> list;
    return list;
}

const OptionSyntax* findOption(const CommandSyntax& syntax, std::string_view name) {
    for (const auto& option : syntax.options) {
        if (name == option.name)
            return &option;
    }
    return nullptr;
}

bool isNumber(const OptionSyntax& option) {
    return option.low <= option.high;
}

// The whole word, digits only, within the option's range.
bool readNumber(const OptionSyntax& option, const std::string& word) {
    if (word.empty() || word.size() > 18 ||
        word.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const std::int64_t value = std::stoll(word);
    return value >= option.low && value <= option.high;
}

std::string needText(const OptionSyntax& option) {
    if (*option.need)
        return option.need;
    if (isNumber(option))
        return "a number from " + std::to_string(option.low) + " to " + std::to_string(option.high);
    return std::string("a value (") + option.value + ")";
}

std::string helpText(const CommandSyntax& syntax) {
    std::string out = usageLine(syntax) + "\n";
    if (*syntax.summary)
        out += std::string("\n") + syntax.summary + "\n";
    if (!syntax.options.empty())
        out += "\noptions:\n";
    auto addLine = [&](std::string left, const char* help) {
        left = "  " + left;
        if (left.size() < 24)
            left.append(24 - left.size(), ' ');
        else
            left += "  ";
        out += left + help + "\n";
    };
    for (const auto& option : syntax.options)
        addLine(std::string(option.name) + (*option.value ? std::string(" ") + option.value : ""),
                option.help);
    addLine("--help", "show this help");
    if (*syntax.moreHelp)
        out += std::string("\n") + syntax.moreHelp;
    return out;
}

} // namespace

bool Arguments::has(std::string_view option) const {
    return std::any_of(m_values.begin(), m_values.end(),
                       [&](const auto& value) { return value.first == option; });
}

std::string Arguments::text(std::string_view option, const std::string& def) const {
    for (auto it = m_values.rbegin(); it != m_values.rend(); ++it) {
        if (it->first == option)
            return it->second;
    }
    return def;
}

std::int64_t Arguments::number(std::string_view option, std::int64_t def) const {
    return has(option) ? std::stoll(text(option)) : def;
}

std::vector<std::string> Arguments::texts(std::string_view option) const {
    std::vector<std::string> out;
    for (const auto& [name, value] : m_values) {
        if (name == option)
            out.push_back(value);
    }
    return out;
}

std::string Arguments::restText() const {
    std::string out;
    for (std::size_t k = 0; k < m_rest.size(); ++k)
        out += (k > 0 ? " " : "") + m_rest[k];
    return out;
}

std::string usageLine(const CommandSyntax& syntax) {
    std::string out = std::string("usage: ondel-cli ") + syntax.name;
    if (*syntax.operands)
        out += std::string(" ") + syntax.operands;
    for (const auto& option : syntax.options) {
        out += std::string(" [") + option.name;
        if (*option.value)
            out += std::string(" ") + option.value;
        out += "]";
    }
    if (*syntax.restName)
        out += std::string(" ") + syntax.restName;
    return out;
}

int usageError(const CommandSyntax& syntax, const std::string& why) {
    std::fprintf(stderr, "ondel-cli %s: %s\n%s\n", syntax.name, why.c_str(),
                 usageLine(syntax).c_str());
    return kExitUsage;
}

int failure(const CommandSyntax& syntax, const std::string& why) {
    std::fprintf(stderr, "ondel-cli %s: %s\n", syntax.name, why.c_str());
    return kExitFailed;
}

std::optional<int> parseArguments(const CommandSyntax& syntax, const std::vector<std::string>& args,
                                  Arguments& out) {
    out = Arguments();
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& word = args[i];
        const bool restMayStart = syntax.restAfter && out.m_operands.size() >= *syntax.restAfter;
        if (word == "--help") {
            writeOutput(helpText(syntax));
            return kExitOk;
        }
        if (word == "--" && syntax.restAfter) {
            ++i;
            break;
        }
        if (const OptionSyntax* option = findOption(syntax, word)) {
            std::string value;
            if (*option->value) {
                if (i + 1 >= args.size() ||
                    (isNumber(*option) ? !readNumber(*option, args[i + 1])
                                       : args[i + 1].empty() && !option->mayBeEmpty))
                    return usageError(syntax, word + " needs " + needText(*option));
                value = args[++i];
            }
            out.m_values.emplace_back(word, std::move(value));
            continue;
        }
        if (restMayStart)
            break;
        if (word.size() > 1 && word[0] == '-' && !(syntax.dashIsOperand && word == "-"))
            return usageError(syntax, "unknown option " + word);
        if (out.m_operands.size() >= syntax.maxOperands)
            return usageError(syntax, *syntax.surplusOperand ? std::string(syntax.surplusOperand)
                                                             : "unexpected argument " + word);
        out.m_operands.push_back(word);
    }
    out.m_rest.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    if (out.m_operands.size() < syntax.minOperands)
        return usageError(syntax,
                          *syntax.missingOperand ? syntax.missingOperand : "too few arguments");
    return std::nullopt;
}

CliCommand::CliCommand(const CommandSyntax& syntax_, Run run_) : syntax(syntax_), run(run_) {
    registry().push_back(this);
}

const std::vector<const CliCommand*>& commands() {
    return registry();
}

bool writeOutput(std::string_view text) {
    if (!text.empty()) // an empty view may hold no pointer at all, which fwrite may not get
        std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

} // namespace ondel::cli
