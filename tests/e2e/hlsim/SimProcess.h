#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace ondel::hlsimtest {

// The hlsim executable of this build.
std::string hlsimPath();

struct ProgramResult {
    int exitStatus = -1; // -1: did not end in time; 128 + N: ended by signal N
    std::string out;
    std::string err;
};

// Runs a program to its end (killed after timeoutMs) and collects its output.
ProgramResult runProgram(const std::string& path, const std::vector<std::string>& args,
                         int timeoutMs = 10000);

// One running hlsim process for a test. Starting waits (up to 10 s) for its "listening" lines;
// the destructor kills a process that is still running.
class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Adds --port 0 and --quiet unless the arguments name them. False when hlsim did not
    // announce `servers` ports in time (its stderr is then in error()).
    bool start(std::vector<std::string> args, int servers = 1);
    int port(std::size_t i = 0) const { return i < m_ports.size() ? m_ports[i] : 0; }
    const std::vector<int>& ports() const { return m_ports; }
    // "127.0.0.1:PORT" of server i.
    std::string address(std::size_t i = 0) const { return "127.0.0.1:" + std::to_string(port(i)); }
    const std::string& error() const { return m_error; }
    // Sends the signal and waits up to 10 s; returns the exit status (128 + N when signal N
    // ended it), -1 when it did not end.
    int stop(int signal);
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::vector<int> m_ports;
    std::string m_error;
    std::string m_errFile;
};

// Any program running in the background for a test, its output going to files read at any time.
// The destructor kills a process that is still running.
class BackgroundProgram {
public:
    BackgroundProgram() = default;
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    bool start(const std::string& path, const std::vector<std::string>& args);
    // What it wrote so far.
    std::string out() const;
    std::string err() const;
    // Sends the signal and waits up to timeoutMs; the exit status as SimProcess::stop gives it.
    int stop(int signal, int timeoutMs = 10000);
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    std::string m_outFile;
    std::string m_errFile;
};

} // namespace ondel::hlsimtest
