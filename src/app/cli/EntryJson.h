#pragma once

#include "common/JsonWriter.h"
#include "serverlist/ServerEntry.h"

#include <functional>
#include <string>

namespace ondel::cli {

// Writes one server record as a JSON object with the record's field names as keys
// (host, port, password, ..., playerList). Texts are shown as UTF-8. extraFields, when given,
// writes further keys into the same object after the record's own.
void writeEntryJson(JsonWriter& json, const ServerEntry& entry,
                    const std::function<void(JsonWriter&)>& extraFields = {});

// The same record as readable "field: value" lines.
std::string entryText(const ServerEntry& entry);

} // namespace ondel::cli
