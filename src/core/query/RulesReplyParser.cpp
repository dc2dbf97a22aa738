#include "RulesReplyParser.h"

#include "common/ByteReader.h"
#include "common/Text.h"
#include "query/QueryProtocol.h"

namespace ondel {

namespace {
const RuleEntry* findRule(const std::vector<RuleEntry>& rules, std::string_view name) {
    for (const auto& rule : rules)
        if (rule.name == name)
            return &rule;
    return nullptr;
}

// The rule's value as a leading integer; preset when the value holds no number, 0 when the
// rule is absent.
std::int32_t ruleInt(const std::vector<RuleEntry>& rules, std::string_view name, int preset) {
    const RuleEntry* rule = findRule(rules, name);
    if (!rule)
        return 0;
    int value = preset;
    text::parseLeadingInt(rule->value, value);
    return value;
}
} // namespace

bool RulesReplyParser::parse(const std::uint8_t* data, std::size_t n, ServerEntry& entry) {
    ByteReader in(data, n);
    if (in.u32() != protocol::kOutOfBand || in.u8() != protocol::kRulesReply)
        return false;
    // Servers send pairs beyond the count, or a count of 0; fewer pairs than it says (or a pair
    // cut off) is a reply cut short.
    const std::uint16_t count = in.u16();
    if (!in.ok())
        return false;
    std::vector<RuleEntry> rules;
    while (in.remaining() >= 2) {
        RuleEntry rule;
        rule.name = in.cString();
        rule.value = in.cString();
        if (!in.ok())
            return false;
        rules.push_back(std::move(rule));
    }
    if (rules.size() < count)
        return false;
    entry.rules = std::move(rules);
    pickRuleValues(entry);
    return true;
}

void RulesReplyParser::pickRuleValues(ServerEntry& entry) {
    const RuleEntry* adminMod = findRule(entry.rules, "admin_mod_version");
    entry.adminModVersion = adminMod ? adminMod->value : std::string();
    entry.reserveSlots = ruleInt(entry.rules, "reserve_slots", 0);
    entry.timeLeft = ruleInt(entry.rules, "mp_timeleft", -1);
    entry.timeLimit = ruleInt(entry.rules, "mp_timelimit", 0);
    entry.friendlyFire = ruleInt(entry.rules, "mp_friendlyfire", 0);
}

} // namespace ondel
