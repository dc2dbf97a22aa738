#include "CliSession.h"

#include "CliCommand.h"

namespace ondel::cli {

CliSession::CliSession() {
    m_socket.setReceiver([this](const std::uint8_t* data, std::size_t n, const std::string& host,
                                int port) { m_router.onDatagram(data, n, host, port); });
}

bool CliSession::open(const CommandSyntax& syntax) {
    if (m_socket.open(0))
        return true;
    failure(syntax, "Can't initialize socket!!!");
    return false;
}

} // namespace ondel::cli
