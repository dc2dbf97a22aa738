#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ondel {

// HTTP POST to the master server (the host is the implementation's configuration).
class HttpPoster {
public:
    // Receives each piece of the response body as it arrives; returns false to stop reading.
    using BodySink = std::function<bool(const std::uint8_t* data, std::size_t n)>;

    virtual ~HttpPoster() = default;

    // Sends body as a POST to path and hands the response body to sink piece by piece, on the
    // calling thread, until the body ends, sink returns false, or the HTTP layer fails. The HTTP
    // status is not checked. Returns false on a failure of the HTTP layer (sink may have seen
    // part of the body by then). Blocks the calling thread: never call it on the GUI thread.
    virtual bool post(const std::string& path, const std::vector<std::uint8_t>& body,
                      const BodySink& sink) = 0;
};

} // namespace ondel
