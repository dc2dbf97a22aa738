#pragma once

// The tests' one way to wait for something that happens through Qt's event loop, or in another
// process.

#include <QtCore/qdeadlinetimer.h>
#include <QtCore/qtestsupport_core.h>

#include <functional>

namespace ondel::test {

// Runs the event loop until condition holds or timeoutMs passes (Qt's QTest::qWaitFor); false
// when the time ran out. Without a QCoreApplication it only waits between looks.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// The same for a condition that costs or acts (runs a program, presses a key): it is looked at
// no more often than every intervalMs.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs, int intervalMs) {
    QDeadlineTimer nextLook(0);
    return QTest::qWaitFor(
        [&] {
            if (!nextLook.hasExpired())
                return false;
            nextLook.setRemainingTime(intervalMs);
            return condition();
        },
        timeoutMs);
}

} // namespace ondel::test
