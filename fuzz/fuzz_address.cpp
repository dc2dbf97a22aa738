// parseAddress on arbitrary text: never crashes, and what it accepts formats back to itself.
#include "serverlist/ServerAddress.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    ondel::ServerAddress a = ondel::parseAddress(text);
    if (!a.host.empty()) {
        if (a.port < 0 || a.port > 65535)
            std::abort();
        if (!(ondel::parseAddress(ondel::addressText(a)) == a))
            std::abort();
    }
    return 0;
}
