#include "MasterReplyDecoder.h"

#include "common/ByteReader.h"

namespace ondel {

namespace {
constexpr std::size_t kHeaderSize = 6;

// A payload string: 32-bit byte count and the bytes. Fails the reader when it runs past the end.
std::string readString(ByteReader& r) {
    std::uint32_t n = r.u32();
    return r.bytes(n);
}
} // namespace

MasterReplyDecoder::MasterReplyDecoder(UserIdHandler onUserId, MessageHandler onMessage)
    : m_onUserId(std::move(onUserId)), m_onMessage(std::move(onMessage)) {}

bool MasterReplyDecoder::feed(const std::uint8_t* data, std::size_t n) {
    if (ended())
        return false;
    if (n > 0)
        m_buffer.insert(m_buffer.end(), data, data + n);

    std::size_t used = 0;
    while (!ended()) {
        ByteReader header(m_buffer.data() + used, m_buffer.size() - used);
        std::uint8_t type = header.u8();
        header.u8(); // version, ignored
        std::uint32_t length = header.u32();
        if (!header.ok())
            break; // header not complete yet
        if (length > kMaxRecordPayload) {
            m_end = End::Oversized;
            break;
        }
        if (header.remaining() < length)
            break; // payload not complete yet
        const std::uint8_t* payload = m_buffer.data() + used + kHeaderSize;
        used += kHeaderSize + length;
        handle(type, payload, length);
    }
    if (ended())
        m_buffer.clear();
    else
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(used));
    return !ended();
}

bool MasterReplyDecoder::handle(std::uint8_t type, const std::uint8_t* payload, std::size_t n) {
    ByteReader r(payload, n);
    switch (static_cast<MasterRecordType>(type)) {
    case MasterRecordType::UserId: {
        std::int32_t id = r.i32();
        if (!r.ok()) {
            m_end = End::Malformed;
            return false;
        }
        if (m_onUserId)
            m_onUserId(id);
        return true;
    }
    case MasterRecordType::Msg: {
        MasterMessage message;
        message.number = r.i32();
        message.text = readString(r);
        message.title = readString(r);
        message.link = readString(r);
        if (!r.ok()) {
            m_end = End::Malformed;
            return false;
        }
        if (m_onMessage)
            m_onMessage(message);
        return true;
    }
    case MasterRecordType::Nop:
        return true;
    case MasterRecordType::Exit:
        m_end = End::Exit;
        return false;
    case MasterRecordType::Error:
        m_errorText = readString(r);
        m_end = End::Error;
        return false;
    default:
        m_end = End::UnknownType;
        return false;
    }
}

} // namespace ondel
