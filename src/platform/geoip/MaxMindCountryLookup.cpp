#include "geoip/MaxMindCountryLookup.h"

#include "common/Text.h"
#include "serverlist/ServerAddress.h"

#include <maxminddb.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace ondel {

struct MaxMindCountryLookup::Database {
    MMDB_s mmdb{};
    bool open = false;
    ~Database() {
        if (open)
            MMDB_close(&mmdb);
    }
};

MaxMindCountryLookup::MaxMindCountryLookup() = default;
MaxMindCountryLookup::~MaxMindCountryLookup() = default;

bool MaxMindCountryLookup::open(const std::string& path, std::string& error) {
    m_db.reset();
    auto db = std::make_unique<Database>();
    const int status = MMDB_open(path.c_str(), MMDB_MODE_MMAP, &db->mmdb);
    if (status != MMDB_SUCCESS) {
        error = MMDB_strerror(status);
        return false;
    }
    db->open = true;
    m_db = std::move(db);
    return true;
}

bool MaxMindCountryLookup::isOpen() const {
    return m_db != nullptr;
}

std::string MaxMindCountryLookup::countryOf(const std::string& host) const {
    if (!m_db || !isDottedText(host))
        return {};
    // Only dotted IPv4 text goes in: no name is ever resolved for a country.
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1)
        return {};
    int status = MMDB_SUCCESS;
    MMDB_lookup_result_s found =
        MMDB_lookup_sockaddr(&m_db->mmdb, reinterpret_cast<const sockaddr*>(&address), &status);
    if (status != MMDB_SUCCESS || !found.found_entry)
        return {};
    MMDB_entry_data_s data{};
    if (MMDB_get_value(&found.entry, &data, "country", "iso_code", nullptr) != MMDB_SUCCESS ||
        !data.has_data || data.type != MMDB_DATA_TYPE_UTF8_STRING) {
        // Some databases only carry the registered country for an address.
        if (MMDB_get_value(&found.entry, &data, "registered_country", "iso_code", nullptr) !=
                MMDB_SUCCESS ||
            !data.has_data || data.type != MMDB_DATA_TYPE_UTF8_STRING)
            return {};
    }
    if (data.data_size != 2)
        return {};
    std::string code(data.utf8_string, 2);
    for (char& c : code) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
        if (c < 'A' || c > 'Z')
            return {};
    }
    return code;
}

std::unique_ptr<CountryLookup> openCountryDatabase(const std::string& fromSettings,
                                                   const std::string& dataFolder,
                                                   const std::string& program) {
    const std::string path = findCountryDatabase(
        std::getenv("ONDEL_GEOIP_DB"), fromSettings, dataFolder, [](const std::string& p) {
            std::error_code error;
            return std::filesystem::is_regular_file(p, error);
        });
    if (path.empty())
        return nullptr;
    auto lookup = std::make_unique<MaxMindCountryLookup>();
    std::string error;
    if (!lookup->open(path, error)) {
        std::fprintf(stderr, "%s: the country database %s cannot be used: %s\n", program.c_str(),
                     text::toDisplayUtf8(path).c_str(), error.c_str());
        return nullptr;
    }
    return lookup;
}

} // namespace ondel
