// The `E` rules reply on arbitrary datagrams: no crash; an accepted reply keeps only complete
// pairs taken from the datagram and picks its values from them.
#include "FuzzCheck.h"

#include "query/RulesReplyParser.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ondel::ServerEntry before;
    before.rules = {{"old", "rule"}};
    before.timeLeft = 1234;
    ondel::ServerEntry e = before;
    if (!ondel::RulesReplyParser::parse(data, size, e)) {
        FUZZ_CHECK(e == before);
        return 0;
    }
    FUZZ_CHECK(size >= 7 && data[4] == 'E');
    // Each pair costs its two texts and two terminators, after the 7-byte head.
    std::size_t bytes = 7;
    for (const auto& rule : e.rules) {
        FUZZ_CHECK(rule.name.find('\0') == std::string::npos);
        FUZZ_CHECK(rule.value.find('\0') == std::string::npos);
        bytes += rule.name.size() + rule.value.size() + 2;
    }
    FUZZ_CHECK(bytes <= size);
    // Picking the values again from the same rules changes nothing.
    ondel::ServerEntry again = e;
    ondel::RulesReplyParser::pickRuleValues(again);
    FUZZ_CHECK(again == e);
    return 0;
}
