#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// Record types of the master server protocol. Every record is: type (1 byte), version (1 byte,
// 0 when sent, ignored when received), payload length n (32-bit little-endian), n payload bytes.
// A string in a payload is a 32-bit little-endian byte count and that many bytes.
enum class MasterRecordType : std::uint8_t {
    UserId = 0,  // both ways: 32-bit signed user number
    Version = 1, // to the server: one string, the program's version text
    Msg = 2,     // from the server: 32-bit number, then text, title and link strings
    Exit = 253,  // both ways: ends a body
    Nop = 254,   // from the server: skipped
    Error = 255, // from the server: one string; ends the reply
};

inline constexpr const char* kMasterPath = "/cgi-bin/master/server.pl";
inline constexpr int kMasterDefaultPort = 80;
// The version text reported to the master server.
inline constexpr const char* kMasterVersionText = "v" ONDEL_VERSION_TEXT;
// A request body is built in 1024 bytes: one record and an EXIT record (12 bytes of headers).
inline constexpr std::size_t kMaxMasterRequestPayload = 1012;

// One record followed by an EXIT record. A payload over kMaxMasterRequestPayload gives an empty
// body (nothing is sent).
std::vector<std::uint8_t> encodeMasterRequest(MasterRecordType type, std::string_view payload);
// 00 00 04 00 00 00, the user number, FD 00 00 00 00 00 (16 bytes).
std::vector<std::uint8_t> encodeUserIdRequest(std::int32_t userId);
// 01 00, n = 4 + length, the string, FD 00 00 00 00 00 (22 bytes for "v0.2.5").
std::vector<std::uint8_t> encodeVersionRequest(std::string_view versionText);

// A message sent by the master server, texts as received.
struct MasterMessage {
    std::int32_t number = 0;
    std::string text;
    std::string title;
    std::string link;
    friend bool operator==(const MasterMessage&, const MasterMessage&) = default;
};

} // namespace ondel
