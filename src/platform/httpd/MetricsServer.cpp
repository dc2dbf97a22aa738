#include "httpd/MetricsServer.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>

#include <cstring>

namespace ondel {

namespace {

constexpr const char* kIndex =
    "<!DOCTYPE html>\n<html><head><title>ondel-cli watch</title></head><body>\n"
    "<h1>ondel-cli watch</h1>\n<p>The servers of the latest round in the Prometheus text "
    "format: <a href=\"/metrics\">/metrics</a></p>\n</body></html>\n";

MHD_Result reply(MHD_Connection* connection, unsigned status, const std::string& body,
                 const char* type) {
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    MHD_Result result = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return result;
}

} // namespace

struct MetricsServer::Handler {
    static MHD_Result answer(void* self, MHD_Connection* connection, const char* url,
                             const char* method, const char*, const char*, std::size_t* uploadSize,
                             void** state) {
        // The first call only announces the request; the answer goes with the second.
        if (*state == nullptr) {
            *state = self;
            return MHD_YES;
        }
        if (*uploadSize != 0) {
            *uploadSize = 0; // a body is not wanted: it is read and dropped
            return MHD_YES;
        }
        if (std::strcmp(method, "GET") != 0 && std::strcmp(method, "HEAD") != 0)
            return reply(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "method not allowed\n",
                         "text/plain; charset=utf-8");
        auto* server = static_cast<MetricsServer*>(self);
        if (std::strcmp(url, "/metrics") == 0) {
            std::shared_ptr<const std::string> text;
            {
                std::lock_guard lock(server->m_mutex);
                text = server->m_metrics;
            }
            return reply(connection, MHD_HTTP_OK, text ? *text : std::string(),
                         "text/plain; version=0.0.4; charset=utf-8");
        }
        if (std::strcmp(url, "/") == 0)
            return reply(connection, MHD_HTTP_OK, kIndex, "text/html; charset=utf-8");
        return reply(connection, MHD_HTTP_NOT_FOUND, "not found\n", "text/plain; charset=utf-8");
    }
};

MetricsServer::MetricsServer() = default;

MetricsServer::~MetricsServer() {
    stop();
}

bool MetricsServer::start(const std::string& host, int port) {
    stop();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (port < 0 || port > 65535 || inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        m_error = "not an IPv4 address and port: " + host + ":" + std::to_string(port);
        return false;
    }
    m_daemon = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ERROR_LOG, 0, nullptr,
                                nullptr, &Handler::answer, this, MHD_OPTION_SOCK_ADDR, &address,
                                MHD_OPTION_CONNECTION_LIMIT, 64u, MHD_OPTION_CONNECTION_TIMEOUT,
                                10u, MHD_OPTION_END);
    if (!m_daemon) {
        m_error = "cannot listen on " + host + ":" + std::to_string(port);
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_port = info ? info->port : port;
    return true;
}

void MetricsServer::stop() {
    if (m_daemon)
        MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
}

void MetricsServer::publish(std::string metrics) {
    auto text = std::make_shared<const std::string>(std::move(metrics));
    std::lock_guard lock(m_mutex);
    m_metrics = std::move(text);
}

} // namespace ondel
