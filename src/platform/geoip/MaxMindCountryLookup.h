#pragma once

#include "browser/CountryLookup.h"

#include <memory>
#include <string>

namespace ondel {

// CountryLookup over a MaxMind-format database file (country or city edition) read with
// libmaxminddb. The file is mapped once when opened; lookups read from the mapping.
// Thread: lookups may run on any one thread at a time.
class MaxMindCountryLookup : public CountryLookup {
public:
    MaxMindCountryLookup();
    ~MaxMindCountryLookup() override;
    MaxMindCountryLookup(const MaxMindCountryLookup&) = delete;
    MaxMindCountryLookup& operator=(const MaxMindCountryLookup&) = delete;

    // Opens the database at path; false with error set when it cannot be used.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const;

    std::string countryOf(const std::string& host) const override;

private:
    struct Database;
    std::unique_ptr<Database> m_db;
};

// The country database findCountryDatabase gives (ONDEL_GEOIP_DB, the setting fromSettings, the
// usual places and dataFolder), opened; nullptr when there is none. One that was found but cannot
// be opened is reported on stderr as "PROGRAM: the country database PATH cannot be used: WHY".
std::unique_ptr<CountryLookup> openCountryDatabase(const std::string& fromSettings,
                                                   const std::string& dataFolder,
                                                   const std::string& program);

} // namespace ondel
