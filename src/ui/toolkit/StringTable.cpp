#include "StringTable.h"

#include "monitor/WindowTitle.h"

namespace ondel {

namespace {

struct Entry {
    int id;
    const char* text;
};

const Entry kEntries[] = {
    {104, kProgramName},
    {105, kVersionText},
    {106, kProgramName},
    {107, "Cannot connect to server without server details."},
    {108, "The server is password protected and none is specified.\r\n\r\nContinue?"},
    {1045, "Enables the console"},
    {1046, "Start Half-Life with a minimum of memory"},
    {1047, "Start Half-Life in safe-mode"},
    {1048, "Deactivates IPX protocol"},
    {1049, "Start Half-Life in window instead of fullscreen"},
    {1050, "Start HL with 32bit (only software-mode!)"},
    {1052, "Replace's the Half-Life server browser's \"green dot\" latecy info with real numbers. "
           "Only available in v1.0.0.8 or later."},
    {1053, "Start Half-Life in fullscreen"},
    {1054, "Direct3D"},
    {1055, "OpenGL"},
    {1056, "Software Rendering"},
    {1058, "Ondel ERROR: Cannot send rcon command, because no rcon challenge number received!!!"},
};

} // namespace

std::optional<std::string> loadString(int id) {
    for (const Entry& e : kEntries) {
        if (e.id == id)
            return std::string(e.text);
    }
    return std::nullopt;
}

} // namespace ondel
