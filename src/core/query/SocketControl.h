#pragma once

namespace ondel {

// What the windows need of the query socket besides sending: the local port (the remote console
// shows it) and closing it while the game runs, then opening it again on the same port.
// GUI thread only.
class SocketControl {
public:
    virtual ~SocketControl() = default;

    // The port the socket is (or was last) bound to; 0 before any.
    virtual int localPort() const = 0;
    virtual void close() = 0;
    // Opens the socket again on its port; false when that failed.
    virtual bool reopen() = 0;
};

} // namespace ondel
