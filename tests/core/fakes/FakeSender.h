#pragma once

#include "query/DatagramSender.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ondel::test {

// Records every datagram the engine sends; can be told to fail sends and to report host names
// as resolved.
class FakeSender : public DatagramSender {
public:
    struct Sent {
        std::string host;
        int port = 0;
        std::vector<std::uint8_t> bytes;

        // The payload after FF FF FF FF as text, without a trailing 00 ("ping", "details").
        std::string text() const {
            if (bytes.size() < 4)
                return {};
            std::string s(bytes.begin() + 4, bytes.end());
            if (!s.empty() && s.back() == '\0')
                s.pop_back();
            return s;
        }
        // The byte after the header (the Steam request type).
        int type() const { return bytes.size() > 4 ? bytes[4] : -1; }
    };

    bool sendDatagram(const std::string& host, int port, const std::uint8_t* data,
                      std::size_t n) override {
        if (failSends)
            return false;
        sent.push_back({host, port, std::vector<std::uint8_t>(data, data + n)});
        return true;
    }

    std::string resolvedAddress(const std::string& host) const override {
        auto it = resolved.find(host);
        return it == resolved.end() ? std::string() : it->second;
    }

    // The texts of the datagrams sent since the last call, in order.
    std::vector<std::string> takeTexts() {
        std::vector<std::string> out;
        for (const auto& s : sent)
            out.push_back(s.text());
        sent.clear();
        return out;
    }

    std::vector<Sent> sent;
    bool failSends = false;
    std::map<std::string, std::string> resolved;
};

} // namespace ondel::test
