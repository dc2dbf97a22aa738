#pragma once

// The tests' one way to wait for something that happens through Qt's event loop.

#include <QtCore/qtestsupport_core.h>

#include <functional>

namespace ondel::test {

// Runs the event loop until condition holds or timeoutMs passes (Qt's QTest::qWaitFor); false
// when the time ran out.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

} // namespace ondel::test
