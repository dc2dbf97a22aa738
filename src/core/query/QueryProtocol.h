#pragma once

#include <cstddef>
#include <cstdint>

// Wire constants of the server query protocol (legacy and Steam dialects).
namespace ondel::protocol {

// Every whole datagram starts with four 0xFF bytes (the 32-bit value -1); a fragment of a split
// reply starts with FE FF FF FF (-2).
inline constexpr std::uint32_t kOutOfBand = 0xFFFFFFFFu;
inline constexpr std::uint32_t kSplit = 0xFFFFFFFEu;
inline constexpr std::size_t kHeaderSize = 4;

// Reply type bytes (offset 4).
inline constexpr std::uint8_t kInfoReply = 'm';
inline constexpr std::uint8_t kSteamInfoReply = 'I';
inline constexpr std::uint8_t kRulesReply = 'E';
inline constexpr std::uint8_t kPlayersReply = 'D';
inline constexpr std::uint8_t kPingReply = 'j';
inline constexpr std::uint8_t kPrintReply = 'l';
inline constexpr std::uint8_t kSteamChallengeReply = 'A';
inline constexpr char kRconChallengePrefix[] = "challenge rcon "; // at offset 4, 15 bytes

// Legacy request words (sent as FF FF FF FF word 00).
inline constexpr char kPingRequest[] = "ping";
inline constexpr char kRulesRequest[] = "rules";
inline constexpr char kDetailsRequest[] = "details";
inline constexpr char kPlayersRequest[] = "players";

// Steam requests: type byte after the header; A2S_INFO carries a text, the other two an int32
// challenge (-1 asks the server for one).
inline constexpr std::uint8_t kSteamInfoRequest = 'T';
inline constexpr char kSteamInfoText[] = "Source Engine Query"; // followed by 00
inline constexpr std::uint8_t kSteamPlayersRequest = 0x55;
inline constexpr std::uint8_t kSteamRulesRequest = 0x56;

// A server that reports this game directory runs the base game; anything else is a mod.
inline constexpr char kBaseGameDir[] = "valve";

} // namespace ondel::protocol
