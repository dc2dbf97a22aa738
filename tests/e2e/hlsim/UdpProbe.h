#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondel::hlsimtest {

using Bytes = std::vector<std::uint8_t>;

// FF FF FF FF, the text, and a NUL unless `nul` is false.
Bytes oob(std::string_view text, bool nul = true);
// FF FF FF FF, the byte, and the int32 (little-endian).
Bytes oobWithInt(char type, std::int32_t value);
std::string asText(const Bytes& bytes, std::size_t from = 0);

// A client UDP socket on 127.0.0.1 for tests: sends datagrams to a port and waits for replies
// with a deadline (no fixed sleeps).
class UdpProbe {
public:
    UdpProbe();
    ~UdpProbe();
    UdpProbe(const UdpProbe&) = delete;
    UdpProbe& operator=(const UdpProbe&) = delete;

    int port() const { return m_port; }
    void send(int port, const Bytes& bytes);
    // The next datagram within timeoutMs; its sender's port in *fromPort.
    std::optional<Bytes> receive(int timeoutMs = 10000, int* fromPort = nullptr);
    // Every datagram until none has come for quietMs.
    std::vector<Bytes> drain(int quietMs);
    // The next reply as one whole datagram: a plain one, or the fragments of one split reply
    // put together in number order (fragments of other replies are dropped).
    std::optional<Bytes> receiveWhole(int timeoutMs = 10000);
    // send() then receiveWhole().
    std::optional<Bytes> ask(int port, const Bytes& request, int timeoutMs = 10000);

private:
    int m_fd = -1;
    int m_port = 0;
};

} // namespace ondel::hlsimtest
