// Launch parameter splitting on arbitrary text: every word non-empty and free of double quotes,
// and joining the words and splitting again gives the same words.
#include "FuzzCheck.h"

#include "launch/LaunchParameters.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto words = ondel::splitParameters(text);
    std::size_t total = 0;
    for (const auto& w : words) {
        FUZZ_CHECK(!w.empty());
        FUZZ_CHECK(w.find('"') == std::string::npos);
        total += w.size();
    }
    FUZZ_CHECK(total <= size);
    std::string joined = ondel::joinParameters(words);
    FUZZ_CHECK(ondel::splitParameters(joined) == words);
    // Joining is stable: the joined text joins back to itself.
    FUZZ_CHECK(ondel::joinParameters(ondel::splitParameters(joined)) == joined);
    return 0;
}
