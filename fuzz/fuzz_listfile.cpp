// The list file reader on arbitrary bytes: never crashes or reads past the data, and whatever it
// accepts writes back to a file that reads back to the same bytes again.
#include "serverlist/ListFileFormat.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ondel;
    listfile::Contents c = listfile::decode(std::span(data, size));
    if (c.failOffset > size || (c.complete && c.failOffset != 0))
        std::abort();
    if (!c.usable())
        return 0;
    std::vector<std::uint8_t> once;
    if (!listfile::encode(c.name.value_or(""), c.entries, once))
        std::abort();
    listfile::Contents again = listfile::decode(once);
    if (!again.usable() || again.entries.size() != c.entries.size())
        std::abort();
    std::vector<std::uint8_t> twice;
    if (!listfile::encode(again.name.value_or(""), again.entries, twice) || twice != once)
        std::abort();
    return 0;
}
