#pragma once

#include <memory>
#include <mutex>
#include <string>

struct MHD_Daemon;

namespace ondel {

// The HTTP endpoint of a watcher, over libmicrohttpd on its own thread: GET /metrics gives the
// latest text set with publish() (Content-Type: text/plain; version=0.0.4), GET / a short page
// that says so, anything else 404, methods other than GET and HEAD 405.
class MetricsServer {
public:
    MetricsServer();
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Listens on host (an IPv4 address: 127.0.0.1 unless the user says otherwise) and port
    // (0: any free one). False with error() set when it cannot.
    bool start(const std::string& host, int port);
    void stop();
    int port() const { return m_port; }
    const std::string& error() const { return m_error; }

    // Replaces the text served at /metrics. Any thread.
    void publish(std::string metrics);

private:
    struct Handler;

    MHD_Daemon* m_daemon = nullptr;
    int m_port = 0;
    std::string m_error;
    std::mutex m_mutex;
    std::shared_ptr<const std::string> m_metrics;
};

} // namespace ondel
