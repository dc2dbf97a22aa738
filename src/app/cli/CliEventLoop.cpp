#include "CliEventLoop.h"

#include "common/Clock.h"
#include "platform/posix/PosixUdpSocket.h"

#include <algorithm>
#include <limits>

namespace ondel::cli {

CliEventLoop::CliEventLoop(PosixUdpSocket& socket, const Clock& clock)
    : m_socket(socket), m_clock(clock) {}

void CliEventLoop::every(std::uint32_t intervalMs, std::function<void()> fn) {
    m_timers.push_back(
        {m_clock.tickMs() + intervalMs, std::max<std::uint32_t>(intervalMs, 1), std::move(fn)});
}

void CliEventLoop::after(std::uint32_t delayMs, std::function<void()> fn) {
    m_timers.push_back({m_clock.tickMs() + delayMs, 0, std::move(fn)});
}

void CliEventLoop::runDueTimers() {
    // By index: a callback may add timers (which wait for the next round).
    std::size_t count = m_timers.size();
    for (std::size_t i = 0; i < count && !m_exitCode; ++i) {
        std::uint32_t now = m_clock.tickMs();
        // Due when the time since `due` is below half the tick range (wrapping difference).
        if (static_cast<std::int32_t>(now - m_timers[i].due) < 0)
            continue;
        if (m_timers[i].interval != 0) {
            m_timers[i].due = now + m_timers[i].interval;
            auto fn = m_timers[i].fn; // the vector may grow while it runs
            fn();
        } else {
            auto fn = std::move(m_timers[i].fn);
            m_timers[i].fn = nullptr;
            fn();
        }
    }
    std::erase_if(m_timers, [](const Timer& t) { return !t.fn; });
}

int CliEventLoop::run() {
    m_exitCode.reset();
    while (!m_exitCode) {
        std::uint32_t now = m_clock.tickMs();
        std::int64_t wait = std::numeric_limits<int>::max();
        for (const auto& t : m_timers)
            wait =
                std::min<std::int64_t>(wait, std::max(0, static_cast<std::int32_t>(t.due - now)));
        if (m_timers.empty())
            wait = 1000;
        m_socket.poll(static_cast<int>(wait));
        if (!m_exitCode)
            runDueTimers();
    }
    return *m_exitCode;
}

} // namespace ondel::cli
