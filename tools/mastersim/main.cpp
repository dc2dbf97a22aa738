// mastersim: a minimal master server for tests and trials. Answers HTTP POSTs to the master path
// with records chosen on the command line and logs every request body in hex on stdout.
#include "MasterSimOptions.h"
#include "MasterSimReply.h"
#include "master/MasterRecord.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace ondel;
using namespace ondel::mastersim;

namespace {

int g_wakePipe[2] = {-1, -1};
std::atomic<bool> g_stop{false};
std::atomic<int> g_connections{0};
std::mutex g_outMutex;

constexpr std::size_t kMaxHeader = 64 * 1024;
constexpr std::size_t kMaxBody = 1024 * 1024;
constexpr int kReadTimeoutMs = 10000;

void onSignal(int) {
    g_stop.store(true);
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_wakePipe[1], &byte, 1);
}

void logLine(const std::string& line) {
    std::lock_guard lock(g_outMutex);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Reads at least one more byte into buf; false on close, error, timeout or stop.
bool readMore(int fd, std::string& buf) {
    pollfd p{fd, POLLIN, 0};
    int waited = 0;
    while (true) {
        int r = ::poll(&p, 1, 100);
        if (r > 0)
            break;
        if (r < 0 && errno != EINTR)
            return false;
        waited += 100;
        if (g_stop.load() || waited >= kReadTimeoutMs)
            return false;
    }
    char chunk[4096];
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0)
        return false;
    buf.append(chunk, static_cast<std::size_t>(n));
    return true;
}

bool writeAll(int fd, const char* data, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, data, n, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

const char* reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

void sendReply(int fd, const MasterSimOptions& o, int status, const std::string& body) {
    std::string head = std::string(o.http10 ? "HTTP/1.0 " : "HTTP/1.1 ") + std::to_string(status) +
                       " " + reason(status) + "\r\nContent-Type: application/octet-stream\r\n";
    if (o.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (!o.http10)
        head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!writeAll(fd, head.data(), head.size()))
        return;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const std::size_t piece = o.splitWrites ? o.splitWrites : (body.empty() ? 1 : body.size());
    for (std::size_t at = 0; at < body.size(); at += piece) {
        std::string part = body.substr(at, piece);
        if (o.chunked) {
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", part.size());
            part = size + part + "\r\n";
        }
        if (!writeAll(fd, part.data(), part.size()))
            return;
        // A pause between pieces, so the client really reads them one by one.
        if (o.splitWrites)
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    if (o.chunked)
        writeAll(fd, "0\r\n\r\n", 5);
}

void serve(int fd, const MasterSimOptions& o) {
    std::string buf;
    std::size_t headerEnd;
    while ((headerEnd = buf.find("\r\n\r\n")) == std::string::npos) {
        if (buf.size() > kMaxHeader || !readMore(fd, buf))
            return;
    }
    std::string head = buf.substr(0, headerEnd);
    std::string body = buf.substr(headerEnd + 4);
    std::size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    std::size_t s1 = requestLine.find(' ');
    std::size_t s2 = s1 == std::string::npos ? s1 : requestLine.find(' ', s1 + 1);
    if (s2 == std::string::npos)
        return;
    std::string method = requestLine.substr(0, s1);
    std::string path = requestLine.substr(s1 + 1, s2 - s1 - 1);

    std::size_t length = 0;
    for (std::size_t at = lineEnd; at != std::string::npos && at < head.size();) {
        std::size_t next = head.find("\r\n", at + 2);
        std::string line = head.substr(at + 2, next == std::string::npos ? next : next - at - 2);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos && lower(line.substr(0, colon)) == "content-length")
            length = std::strtoull(line.c_str() + colon + 1, nullptr, 10);
        at = next;
    }
    if (length > kMaxBody)
        return;
    while (body.size() < length) {
        if (!readMore(fd, body))
            return;
    }
    body.resize(length);
    logLine("request " + method + " " + path + " " + hex(body));

    if (o.hang) {
        while (!g_stop.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return;
    }
    if (method != "POST" || path != kMasterPath) {
        sendReply(fd, o, 404, "");
        return;
    }
    std::vector<std::uint8_t> request(body.begin(), body.end());
    std::vector<std::uint8_t> reply = buildReply(o, request);
    sendReply(fd, o, o.status, std::string(reply.begin(), reply.end()));
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    auto options = MasterSimOptions::parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "mastersim: %s\n", error.c_str());
        return 1;
    }
    if (::pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return 1;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(options->port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener, 16) != 0) {
        std::perror("mastersim: listen");
        return 1;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    logLine("mastersim listening on 127.0.0.1:" + std::to_string(ntohs(addr.sin_port)));

    const MasterSimOptions& o = *options;
    while (!g_stop.load()) {
        pollfd fds[2] = {{listener, POLLIN, 0}, {g_wakePipe[0], POLLIN, 0}};
        int r = ::poll(fds, 2, -1);
        if (r < 0 && errno != EINTR)
            break;
        if (g_stop.load())
            break;
        if (fds[0].revents & POLLIN) {
            int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            ++g_connections;
            std::thread([fd, &o] {
                serve(fd, o);
                ::shutdown(fd, SHUT_WR);
                ::close(fd);
                --g_connections;
            }).detach();
        }
    }
    ::close(listener);
    // Connections see the stop flag within 100 ms; give them a moment before the process ends.
    for (int i = 0; i < 40 && g_connections.load() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return 0;
}
