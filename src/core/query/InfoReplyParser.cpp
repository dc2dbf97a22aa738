#include "InfoReplyParser.h"

#include "common/ByteReader.h"
#include "query/QueryProtocol.h"

namespace ondel {

bool InfoReplyParser::parse(const std::uint8_t* data, std::size_t n, ServerEntry& entry) {
    ByteReader in(data, n);
    if (in.u32() != protocol::kOutOfBand || in.u8() != protocol::kInfoReply)
        return false;
    in.cString(); // the server's own address text
    std::string hostName = in.cString();
    std::string map = in.cString();
    std::string gameDir = in.cString();
    std::string gameDescription = in.cString();
    std::uint8_t players = in.u8();
    std::uint8_t maxPlayers = in.u8();
    std::uint8_t protocolVersion = in.u8();
    std::uint8_t serverType = in.u8();
    std::uint8_t os = in.u8();
    std::uint8_t passwordRequired = in.u8();
    std::uint8_t isMod = in.u8();
    if (!in.ok())
        return false;
    // The mod block (two strings and 10 bytes) and whatever follows it are not used, so a reply
    // cut off inside them is still complete for this program.
    entry.hostName = std::move(hostName);
    entry.map = std::move(map);
    entry.gameDir = std::move(gameDir);
    entry.gameDescription = std::move(gameDescription);
    entry.players = players;
    entry.maxPlayers = maxPlayers;
    entry.protocol = protocolVersion;
    entry.serverType = serverType;
    entry.os = os;
    entry.passwordRequired = passwordRequired;
    entry.isMod = isMod;
    return true;
}

} // namespace ondel
