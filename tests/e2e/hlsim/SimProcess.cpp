#include "SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ondel::hlsimtest {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

pid_t spawn(const std::string& path, const std::vector<std::string>& args, int outFd, int errFd) {
    pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(path.c_str(), argv.data());
    ::_exit(127);
}

// Waits for the child up to the deadline; returns its exit status (128 + the signal when a
// signal ended it), or -1 when it is still running.
int reap(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0 || Clock::now() >= deadline)
            return -1;
        ::usleep(10000);
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string tempFile(const char* stem) {
    std::string pattern = std::string("/tmp/") + stem + "-XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd >= 0)
        ::close(fd);
    return pattern;
}

} // namespace

std::string hlsimPath() {
    return ONDEL_BIN_DIR "/tools/hlsim/hlsim";
}

ProgramResult runProgram(const std::string& path, const std::vector<std::string>& args,
                         int timeoutMs) {
    ProgramResult result;
    std::string outPath = tempFile("hlsim-test-out");
    std::string errPath = tempFile("hlsim-test-err");
    int outFd = ::open(outPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    int errFd = ::open(errPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    pid_t pid = spawn(path, args, outFd, errFd);
    ::close(outFd);
    ::close(errFd);
    if (pid > 0) {
        result.exitStatus = reap(pid, Clock::now() + std::chrono::milliseconds(timeoutMs));
        if (result.exitStatus < 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    ::unlink(outPath.c_str());
    ::unlink(errPath.c_str());
    return result;
}

SimProcess::~SimProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0)
        ::close(m_out);
    if (!m_errFile.empty())
        ::unlink(m_errFile.c_str());
}

bool SimProcess::start(std::vector<std::string> args, int servers) {
    auto named = [&](const char* option) {
        for (const auto& arg : args) {
            if (arg == option || arg.starts_with(std::string(option) + "="))
                return true;
        }
        return false;
    };
    if (!named("--port"))
        args.insert(args.begin(), {"--port", "0"});
    if (!named("--quiet"))
        args.push_back("--quiet");

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    m_errFile = tempFile("hlsim-test-err");
    int errFd = ::open(m_errFile.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    m_pid = spawn(hlsimPath(), args, pipeFds[1], errFd);
    ::close(pipeFds[1]);
    ::close(errFd);
    m_out = pipeFds[0];

    // "hlsim listening on ADDR:PORT" (ADDR is --bind's, 127.0.0.1 unless given).
    const std::string prefix = "hlsim listening on ";
    std::string pending;
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (static_cast<int>(m_ports.size()) < servers) {
        pollfd fd{m_out, POLLIN, 0};
        if (::poll(&fd, 1, msLeft(deadline)) <= 0)
            break;
        char buffer[512];
        ssize_t n = ::read(m_out, buffer, sizeof buffer);
        if (n <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const std::size_t colon = line.rfind(':');
            if (line.starts_with(prefix) && colon != std::string::npos)
                m_ports.push_back(std::atoi(line.c_str() + colon + 1));
        }
    }
    if (static_cast<int>(m_ports.size()) < servers) {
        m_error = readFile(m_errFile);
        return false;
    }
    return true;
}

int SimProcess::stop(int signal) {
    if (m_pid <= 0)
        return -1;
    ::kill(m_pid, signal);
    int status = reap(m_pid, Clock::now() + std::chrono::seconds(10));
    if (status != -1)
        m_pid = -1;
    return status;
}

BackgroundProgram::~BackgroundProgram() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    for (const auto& file : {m_outFile, m_errFile})
        if (!file.empty())
            ::unlink(file.c_str());
}

bool BackgroundProgram::start(const std::string& path, const std::vector<std::string>& args) {
    m_outFile = tempFile("ondel-test-out");
    m_errFile = tempFile("ondel-test-err");
    int outFd = ::open(m_outFile.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    int errFd = ::open(m_errFile.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    m_pid = spawn(path, args, outFd, errFd);
    ::close(outFd);
    ::close(errFd);
    return m_pid > 0;
}

std::string BackgroundProgram::out() const {
    return readFile(m_outFile);
}

std::string BackgroundProgram::err() const {
    return readFile(m_errFile);
}

int BackgroundProgram::stop(int signal, int timeoutMs) {
    if (m_pid <= 0)
        return -1;
    ::kill(m_pid, signal);
    int status = reap(m_pid, Clock::now() + std::chrono::milliseconds(timeoutMs));
    if (status >= 0)
        m_pid = -1;
    return status;
}

} // namespace ondel::hlsimtest
