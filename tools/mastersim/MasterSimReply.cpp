#include "MasterSimReply.h"

#include "common/ByteReader.h"
#include "common/ByteWriter.h"

#include <string_view>

namespace ondel::mastersim {

namespace {
void record(ByteWriter& w, std::uint8_t type, const ByteWriter& payload) {
    w.u8(type);
    w.u8(0);
    w.u32(static_cast<std::uint32_t>(payload.size()));
    w.bytes(payload.data().data(), payload.size());
}
void putString(ByteWriter& p, std::string_view s) {
    p.u32(static_cast<std::uint32_t>(s.size()));
    p.bytes(s);
}
void userId(ByteWriter& w, std::int32_t id) {
    ByteWriter p;
    p.i32(id);
    record(w, 0, p);
}
} // namespace

std::vector<std::uint8_t> buildReply(const MasterSimOptions& o,
                                     const std::vector<std::uint8_t>& requestBody) {
    ByteReader r(requestBody.data(), requestBody.size());
    std::uint8_t type = r.u8();
    ByteWriter w;
    if (!r.ok() || (type != 0 && type != 1)) {
        ByteWriter p;
        putString(p, "unexpected request");
        record(w, 255, p);
        return w.take();
    }
    const bool isUserId = type == 0;
    if (o.nop)
        record(w, 254, ByteWriter());
    if (isUserId && o.assignId)
        userId(w, *o.assignId);
    const bool withMessages =
        o.messagesOn == ReplyTo::Both ||
        (isUserId ? o.messagesOn == ReplyTo::UserId : o.messagesOn == ReplyTo::Version);
    if (withMessages) {
        for (const SimMessage& m : o.messages) {
            ByteWriter p;
            p.i32(m.number);
            putString(p, m.text);
            putString(p, m.title);
            putString(p, m.link);
            record(w, 2, p);
        }
    }
    // The records after an ERROR or an unknown type must never be read by the client.
    if (o.error) {
        ByteWriter p;
        putString(p, *o.error);
        record(w, 255, p);
        userId(w, 999);
    }
    if (o.unknownType) {
        ByteWriter p;
        p.u32(0);
        record(w, 7, p);
        userId(w, 998);
    }
    if (!o.noExit)
        record(w, 253, ByteWriter());
    return w.take();
}

} // namespace ondel::mastersim
