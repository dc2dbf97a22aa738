#include "SettingsKeys.h"

#include "common/Text.h"

namespace ondel::settings {

std::string messageValueName(std::int32_t messageNumber) {
    return text::format(kMessageNameFormat, messageNumber);
}

} // namespace ondel::settings
