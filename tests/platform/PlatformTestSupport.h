#pragma once

#include "../QtWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "common/ByteWriter.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace ondel::test {

// The one QCoreApplication of the platform test binary, created on first use and kept for the
// whole run.
inline QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "ondel_platform_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    return *QCoreApplication::instance();
}

// An old-style details answer ('m') of a server with this name and map.
inline std::vector<std::uint8_t> legacyInfoReply(const char* name = "name",
                                                 const char* map = "map") {
    ByteWriter w;
    w.u32(0xFFFFFFFFu);
    w.u8('m');
    for (const char* s : {"127.0.0.1:27015", name, map, "valve", "Half-Life"})
        w.cString(s);
    for (int i = 0; i < 7; ++i)
        w.u8(0);
    return w.take();
}

} // namespace ondel::test
