#include "platform/MasterSession.h"
#include "PlatformTestSupport.h"
#include "platform/GuiMessagePrompt.h"
#include "platform/QtHttpPoster.h"

#include "../core/fakes/FakeSettingsStore.h"
#include "common/ByteWriter.h"
#include "master/MasterRecord.h"

#include <QCoreApplication>
#include <QThread>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <mutex>
#include <thread>

using namespace ondel;
using ondel::test::app;
using ondel::test::waitFor;
using Bytes = std::vector<std::uint8_t>;
using Outcome = MasterMessagePrompt::Outcome;

namespace {

// A scripted HTTP server on loopback, on its own thread: answers every request with the status
// line and body given, written in pieces of `piece` bytes, or never answers when hang is set.
class TestHttpServer {
public:
    std::string status = "200 OK";
    Bytes body;
    std::size_t piece = 0;
    bool hang = false;

    TestHttpServer() {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listener, 8);
        socklen_t len = sizeof addr;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
    }
    ~TestHttpServer() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }
    void run() {
        m_thread = std::thread([this] { loop(); });
    }
    int port() const { return m_port; }
    std::vector<std::string> requests() {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    std::vector<Bytes> bodies() {
        std::lock_guard lock(m_mutex);
        return m_bodies;
    }
    // Each request's header lines, in lower case.
    std::vector<std::string> heads() {
        std::lock_guard lock(m_mutex);
        return m_heads;
    }

private:
    void loop() {
        while (!m_stop) {
            pollfd p{m_listener, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            int fd = ::accept(m_listener, nullptr, nullptr);
            if (fd >= 0) {
                serve(fd);
                ::close(fd);
            }
        }
    }
    bool readMore(int fd, std::string& buf) {
        while (!m_stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                char chunk[2048];
                ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0)
                    return false;
                buf.append(chunk, static_cast<std::size_t>(n));
                return true;
            }
        }
        return false;
    }
    void serve(int fd) {
        std::string buf;
        std::size_t end;
        while ((end = buf.find("\r\n\r\n")) == std::string::npos)
            if (!readMore(fd, buf))
                return;
        std::string head = buf.substr(0, end);
        std::size_t length = 0;
        std::size_t at = head.find("Content-Length:");
        if (at == std::string::npos)
            at = head.find("content-length:");
        if (at != std::string::npos)
            length = std::strtoul(head.c_str() + at + 15, nullptr, 10);
        std::string content = buf.substr(end + 4);
        while (content.size() < length)
            if (!readMore(fd, content))
                return;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(head.substr(0, head.find("\r\n")));
            m_bodies.emplace_back(content.begin(), content.end());
            std::string lower = head;
            for (char& c : lower)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            m_heads.push_back(lower);
        }
        if (hang) {
            while (!m_stop)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return;
        }
        std::string reply = "HTTP/1.1 " + status +
                            "\r\nContent-Length: " + std::to_string(body.size()) +
                            "\r\nConnection: close\r\n\r\n";
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::size_t step = piece ? piece : std::max<std::size_t>(body.size(), 1);
        for (std::size_t i = 0; i < body.size(); i += step) {
            ::send(fd, body.data() + i, std::min(step, body.size() - i), MSG_NOSIGNAL);
            if (piece)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ::shutdown(fd, SHUT_WR);
    }

    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::vector<Bytes> m_bodies;
    std::vector<std::string> m_heads;
};

Bytes records(std::initializer_list<std::pair<std::uint8_t, Bytes>> list) {
    ByteWriter w;
    for (const auto& [type, payload] : list) {
        w.u8(type);
        w.u8(0);
        w.u32(static_cast<std::uint32_t>(payload.size()));
        w.bytes(payload.data(), payload.size());
    }
    return w.take();
}
Bytes idPayload(std::int32_t id) {
    ByteWriter w;
    w.i32(id);
    return w.take();
}
Bytes msgPayload(std::int32_t number, const std::string& text) {
    ByteWriter w;
    w.i32(number);
    for (const std::string& s : {text, std::string("Title"), std::string("https://x.invalid/")}) {
        w.u32(static_cast<std::uint32_t>(s.size()));
        w.bytes(s);
    }
    return w.take();
}

// Processes events on this (the GUI) thread until done() or a generous deadline.

// Counts warnings while it lives (the session warns when it has to leave a worker behind).
class WarningCounter {
public:
    WarningCounter() { s_previous = qInstallMessageHandler(&WarningCounter::handle); }
    ~WarningCounter() { qInstallMessageHandler(s_previous); }
    int count() const { return s_count.load(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type == QtWarningMsg && text.contains(QStringLiteral("master session")))
            ++s_count;
        if (s_previous)
            s_previous(type, context, text);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline std::atomic<int> s_count{0};
};

} // namespace

TEST(QtHttpPoster, PostsTheBodyAndHandsOnTheReplyInPieces) {
    app();
    TestHttpServer server;
    for (int i = 0; i < 3000; ++i)
        server.body.push_back(static_cast<std::uint8_t>(i * 7));
    server.piece = 100;
    server.run();
    std::atomic<bool> cancel{false};
    QtHttpPoster poster({"127.0.0.1", server.port()}, cancel);
    Bytes received;
    std::size_t largest = 0;
    bool ok = poster.post("/cgi-bin/master/server.pl", encodeUserIdRequest(3),
                          [&](const std::uint8_t* d, std::size_t n) {
                              received.insert(received.end(), d, d + n);
                              largest = std::max(largest, n);
                              return true;
                          });
    EXPECT_TRUE(ok);
    EXPECT_EQ(received, server.body);
    EXPECT_LE(largest, 1024u);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0], "POST /cgi-bin/master/server.pl HTTP/1.1");
    EXPECT_EQ(server.bodies()[0], encodeUserIdRequest(3));
    EXPECT_EQ(server.heads()[0].find("content-type"), std::string::npos) << server.heads()[0];
}

TEST(QtHttpPoster, ErrorStatusBodyIsStillDelivered) {
    app();
    TestHttpServer server;
    server.status = "500 Internal Server Error";
    server.body = {1, 2, 3};
    server.run();
    std::atomic<bool> cancel{false};
    QtHttpPoster poster({"127.0.0.1", server.port()}, cancel);
    Bytes received;
    poster.post("/p", {0}, [&](const std::uint8_t* d, std::size_t n) {
        received.insert(received.end(), d, d + n);
        return true;
    });
    EXPECT_EQ(received, (Bytes{1, 2, 3}));
}

TEST(QtHttpPoster, FailuresAreReportedAndSilent) {
    app();
    std::atomic<bool> cancel{false};
    int calls = 0;
    auto sink = [&](const std::uint8_t*, std::size_t) {
        ++calls;
        return true;
    };
    // A port bound but not listening refuses every connection.
    int bound = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(bound, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(bound, reinterpret_cast<sockaddr*>(&addr), &len);
    QtHttpPoster refused({"127.0.0.1", ntohs(addr.sin_port)}, cancel);
    EXPECT_FALSE(refused.post("/p", {0}, sink));
    ::close(bound);

    TestHttpServer silent;
    silent.hang = true;
    silent.run();
    QtHttpPoster slow({"127.0.0.1", silent.port()}, cancel, 300);
    EXPECT_FALSE(slow.post("/p", {0}, sink)); // the inactivity timeout ends it
    EXPECT_EQ(calls, 0);
}

TEST(QtHttpPoster, CancelAbortsARequestInFlight) {
    app();
    TestHttpServer silent;
    silent.hang = true;
    silent.run();
    std::atomic<bool> cancel{false};
    QtHttpPoster poster({"127.0.0.1", silent.port()}, cancel, 60000);
    std::thread canceller([&] {
        while (silent.requests().empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        cancel = true;
    });
    EXPECT_FALSE(poster.post("/p", {0}, [](const std::uint8_t*, std::size_t) { return true; }));
    canceller.join();
}

TEST(MasterSession, MessagesAreShownOnTheGuiThreadOneAfterAnother) {
    app();
    TestHttpServer server;
    server.body = records(
        {{2, msgPayload(12, "first")}, {0, idPayload(4242)}, {2, msgPayload(13, "second")}});
    server.run();
    test::FakeSettingsStore store;
    std::vector<std::string> texts;
    bool onGuiThread = true;
    MasterSession session(
        store, MasterHost{"127.0.0.1", server.port()}, [&](const MasterMessage& m) {
            onGuiThread = onGuiThread && QThread::currentThread() == app().thread();
            texts.push_back(m.text);
            return m.number == 12 ? Outcome::DontShowAgain : Outcome::Closed;
        });
    bool finished = false;
    QObject::connect(&session, &MasterSession::finished, [&] { finished = true; });
    session.start();
    session.start(); // one worker per run
    ASSERT_TRUE(waitFor([&] { return finished; }));
    session.start(); // never restarted
    QCoreApplication::processEvents();
    EXPECT_FALSE(session.isRunning());
    EXPECT_EQ(server.bodies(), (std::vector<Bytes>{encodeUserIdRequest(0),
                                                   encodeVersionRequest("v" ONDEL_VERSION_TEXT)}));
    // The same reply comes back for the VERSION request: 12 is suppressed by then, 13 is not.
    EXPECT_EQ(texts, (std::vector<std::string>{"first", "second", "second"}));
    EXPECT_TRUE(onGuiThread);
    EXPECT_EQ(store.readInt("Master Server", "MSG00012", 0), 1);
    EXPECT_EQ(store.readInt("Master Server", "MSG00013", -1), 0);
    EXPECT_EQ(store.readInt("Master Server", "ID", 0), 4242);
}

TEST(MasterSession, EndsCleanlyWhileARequestHangs) {
    app();
    test::FakeSettingsStore store;
    WarningCounter warnings;
    TestHttpServer silent;
    silent.hang = true;
    silent.run();
    {
        MasterSession session(store, MasterHost{"127.0.0.1", silent.port()},
                              [](const MasterMessage&) { return Outcome::Closed; });
        session.start();
        EXPECT_TRUE(waitFor([&] { return !silent.requests().empty(); }));
        EXPECT_TRUE(session.isRunning());
    }
    // The worker stopped in time instead of being left behind.
    EXPECT_EQ(warnings.count(), 0);
}

TEST(GuiMessagePrompt, WorkerWaitsForTheGuiThreadAndAbortWakesIt) {
    app();
    QObject context;
    int shownOn = 0;
    GuiMessagePrompt prompt(&context, [&](const MasterMessage& m) {
        shownOn += QThread::currentThread() == app().thread() ? 1 : 100;
        return m.number == 1 ? Outcome::DontShowAgain : Outcome::Closed;
    });
    Outcome first = Outcome::Aborted;
    std::thread worker([&] { first = prompt.showMessage({1, "a", "b", "c"}); });
    ASSERT_TRUE(waitFor([&] { return shownOn != 0; }));
    worker.join();
    EXPECT_EQ(first, Outcome::DontShowAgain);
    EXPECT_EQ(shownOn, 1);

    // Unanswered (no events processed): abort wakes the worker, and the queued call later shows
    // nothing.
    std::atomic<bool> asking{false};
    Outcome second = Outcome::Closed;
    std::thread waiting([&] {
        asking = true;
        second = prompt.showMessage({2, "a", "b", "c"});
    });
    while (!asking)
        std::this_thread::yield();
    QThread::msleep(50);
    prompt.abort();
    waiting.join();
    EXPECT_EQ(second, Outcome::Aborted);
    QCoreApplication::processEvents();
    EXPECT_EQ(shownOn, 1);
    EXPECT_EQ(prompt.showMessage({3, "a", "b", "c"}), Outcome::Aborted);
}

TEST(MasterSession, WithoutAHostNothingStarts) {
    app();
    test::FakeSettingsStore store;
    MasterSession session(store, std::nullopt,
                          [](const MasterMessage&) { return Outcome::Closed; });
    session.start();
    EXPECT_TRUE(session.hasStarted());
    EXPECT_FALSE(session.isRunning());
    EXPECT_FALSE(store.has("Master Server", "ID")); // not even the probe ran
}

TEST(MasterSession, HostFromTheEnvironmentOverridesTheBuildSetting) {
    qputenv("ONDEL_MASTER_HOST", "127.0.0.1:8123");
    EXPECT_EQ(MasterSession::configuredHost(), (MasterHost{"127.0.0.1", 8123}));
    qputenv("ONDEL_MASTER_HOST", "");
    EXPECT_EQ(MasterSession::configuredHost(), std::nullopt);
    qunsetenv("ONDEL_MASTER_HOST");
    EXPECT_EQ(MasterSession::configuredHost(), parseMasterHost(ONDEL_MASTER_HOST));
}
