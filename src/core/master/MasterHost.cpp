#include "MasterHost.h"

namespace ondel {

std::optional<MasterHost> parseMasterHost(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    MasterHost result;
    std::size_t colon = text.rfind(':');
    std::string_view host = text.substr(0, colon);
    if (colon != std::string_view::npos) {
        std::string_view digits = text.substr(colon + 1);
        if (digits.empty() || digits.size() > 5)
            return std::nullopt;
        int port = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return std::nullopt;
            port = port * 10 + (c - '0');
        }
        if (port < 1 || port > 65535)
            return std::nullopt;
        result.port = port;
    }
    if (host.empty() || host.find_first_of(" \t:/") != std::string_view::npos)
        return std::nullopt;
    result.host = std::string(host);
    return result;
}

} // namespace ondel
