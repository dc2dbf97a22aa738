#pragma once

#include "MasterSimOptions.h"

#include <cstdint>
#include <vector>

namespace ondel::mastersim {

// The reply body for one request body, from the options: records as configured for the request
// type (the first record of the request), then EXIT unless left off. A request that does not
// start with a USERID or VERSION record gets an ERROR record.
std::vector<std::uint8_t> buildReply(const MasterSimOptions& options,
                                     const std::vector<std::uint8_t>& requestBody);

} // namespace ondel::mastersim
