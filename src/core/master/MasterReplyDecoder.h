#pragma once

#include "MasterRecord.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ondel {

// Reads a master server reply body as one stream of records, however the network cuts it into
// pieces: a record split across pieces is held until it is complete. Hands USERID and MSG
// records to the callbacks as soon as each is complete, skips NOP, and ends at EXIT, ERROR, an
// unknown type, a payload too short for its record, or a payload length beyond
// kMaxRecordPayload (which could otherwise make it buffer without bound). A record that is still
// incomplete when the body ends is dropped. Never reads outside the bytes it was given.
// One decoder per reply; used on the thread that reads the body (callbacks run there).
class MasterReplyDecoder {
public:
    enum class End { None, Exit, Error, UnknownType, Malformed, Oversized };
    static constexpr std::uint32_t kMaxRecordPayload = 64 * 1024;

    using UserIdHandler = std::function<void(std::int32_t userId)>;
    using MessageHandler = std::function<void(const MasterMessage& message)>;

    MasterReplyDecoder(UserIdHandler onUserId, MessageHandler onMessage);

    // Takes the next bytes of the body. Returns false once the reply has ended (no further bytes
    // are looked at); callers stop reading then.
    bool feed(const std::uint8_t* data, std::size_t n);

    bool ended() const { return m_end != End::None; }
    End end() const { return m_end; }
    // The text of an ERROR record (as received), empty otherwise.
    const std::string& errorText() const { return m_errorText; }
    // Bytes of an incomplete record held back.
    std::size_t pendingBytes() const { return m_buffer.size(); }

private:
    // Handles one complete record; false when it ends the reply.
    bool handle(std::uint8_t type, const std::uint8_t* payload, std::size_t n);

    UserIdHandler m_onUserId;
    MessageHandler m_onMessage;
    std::vector<std::uint8_t> m_buffer;
    End m_end = End::None;
    std::string m_errorText;
};

} // namespace ondel
