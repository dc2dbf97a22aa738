#include "MasterRecord.h"

#include "common/ByteWriter.h"

namespace ondel {

std::vector<std::uint8_t> encodeMasterRequest(MasterRecordType type, std::string_view payload) {
    if (payload.size() > kMaxMasterRequestPayload)
        return {};
    ByteWriter w;
    w.reserve(payload.size() + 12);
    w.u8(static_cast<std::uint8_t>(type));
    w.u8(0);
    w.u32(static_cast<std::uint32_t>(payload.size()));
    w.bytes(payload);
    w.u8(static_cast<std::uint8_t>(MasterRecordType::Exit));
    w.u8(0);
    w.u32(0);
    return w.take();
}

std::vector<std::uint8_t> encodeUserIdRequest(std::int32_t userId) {
    ByteWriter payload;
    payload.i32(userId);
    const auto& b = payload.data();
    return encodeMasterRequest(MasterRecordType::UserId,
                               std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

std::vector<std::uint8_t> encodeVersionRequest(std::string_view versionText) {
    ByteWriter payload;
    payload.u32(static_cast<std::uint32_t>(versionText.size()));
    payload.bytes(versionText);
    const auto& b = payload.data();
    return encodeMasterRequest(MasterRecordType::Version,
                               std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

} // namespace ondel
