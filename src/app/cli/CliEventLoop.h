#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ondel {
class Clock;
class PosixUdpSocket;
} // namespace ondel

namespace ondel::cli {

// The command-line tool's event loop without Qt: waits on the socket with poll() (every pending
// datagram goes to the socket's receiver) and runs timers in between. One thread; callbacks may
// add timers and call exit(). Holds references to socket and clock, which must outlive it.
class CliEventLoop {
public:
    CliEventLoop(PosixUdpSocket& socket, const Clock& clock);

    // Runs fn every intervalMs from now (the first time after intervalMs).
    void every(std::uint32_t intervalMs, std::function<void()> fn);
    // Runs fn once, after delayMs.
    void after(std::uint32_t delayMs, std::function<void()> fn);
    // Drops every timer (between two stages of a command).
    void clearTimers() { m_timers.clear(); }
    // Runs until exit() is called; returns its code.
    int run();
    void exit(int code) { m_exitCode = code; }

private:
    struct Timer {
        std::uint32_t due = 0;
        std::uint32_t interval = 0; // 0: once
        std::function<void()> fn;
    };
    void runDueTimers();

    PosixUdpSocket& m_socket;
    const Clock& m_clock;
    std::vector<Timer> m_timers;
    std::optional<int> m_exitCode;
};

} // namespace ondel::cli
