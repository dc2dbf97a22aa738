#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ondel {

// Where servers are: the country of an IPv4 address from a local database (never a web
// service). Thread: the one that made it.
class CountryLookup {
public:
    virtual ~CountryLookup() = default;
    // The ISO 3166 two-letter code in capitals ("DE"), or empty when the database does not know
    // the address or the host is not dotted IPv4 text.
    virtual std::string countryOf(const std::string& host) const = 0;
};

// The file names a country database goes by, in the order they are looked for.
const std::vector<std::string>& countryDatabaseNames();

// The country database to use: the environment's path (ONDEL_GEOIP_DB) when set and not empty,
// else the GeoIpDatabase setting when not empty, else the first of countryDatabaseNames() found
// in /usr/share/GeoIP, /var/lib/GeoIP and then the data folder. A path that was given but does
// not exist is still returned (opening it then says why); empty when nothing was given or found.
std::string findCountryDatabase(const char* fromEnvironment, const std::string& fromSettings,
                                const std::string& dataFolder,
                                const std::function<bool(const std::string&)>& exists);

// The flag of a two-letter code as the two regional indicator symbols (UTF-8), or empty for
// anything else.
std::string countryFlag(const std::string& code);

} // namespace ondel
