#pragma once

#include "../QtWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

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

} // namespace ondel::test
