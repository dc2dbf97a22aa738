#include "browser/CountryLookup.h"

namespace ondel {

const std::vector<std::string>& countryDatabaseNames() {
    static const std::vector<std::string> names = {
        "GeoLite2-Country.mmdb", "GeoIP2-Country.mmdb", "dbip-country-lite.mmdb",
        "GeoLite2-City.mmdb",    "GeoIP2-City.mmdb",
    };
    return names;
}

std::string findCountryDatabase(const char* fromEnvironment, const std::string& fromSettings,
                                const std::string& dataFolder,
                                const std::function<bool(const std::string&)>& exists) {
    if (fromEnvironment && *fromEnvironment)
        return fromEnvironment;
    if (!fromSettings.empty())
        return fromSettings;
    std::vector<std::string> folders = {"/usr/share/GeoIP", "/var/lib/GeoIP"};
    if (!dataFolder.empty())
        folders.push_back(dataFolder);
    for (const auto& folder : folders) {
        for (const auto& name : countryDatabaseNames()) {
            std::string path = folder + (folder.back() == '/' ? "" : "/") + name;
            if (exists(path))
                return path;
        }
    }
    return {};
}

std::string countryFlag(const std::string& code) {
    if (code.size() != 2)
        return {};
    std::string flag;
    for (char c : code) {
        if (c < 'A' || c > 'Z')
            return {};
        // U+1F1E6 + (c - 'A'): F0 9F 87 A6+n.
        const unsigned symbol = 0x1F1E6u + static_cast<unsigned>(c - 'A');
        flag += static_cast<char>(0xF0);
        flag += static_cast<char>(0x80 | ((symbol >> 12) & 0x3F));
        flag += static_cast<char>(0x80 | ((symbol >> 6) & 0x3F));
        flag += static_cast<char>(0x80 | (symbol & 0x3F));
    }
    return flag;
}

} // namespace ondel
