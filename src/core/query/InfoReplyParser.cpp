#include "InfoReplyParser.h"

#include "common/ByteReader.h"
#include "query/InfoFields.h"
#include "query/QueryProtocol.h"

#include <utility>

namespace ondel {

bool InfoReplyParser::parse(const std::uint8_t* data, std::size_t n, ServerEntry& entry) {
    ByteReader in(data, n);
    if (in.u32() != protocol::kOutOfBand || in.u8() != protocol::kInfoReply)
        return false;
    in.cString(); // the server's own address text
    InfoFields f;
    f.hostName = in.cString();
    f.map = in.cString();
    f.gameDir = in.cString();
    f.gameDescription = in.cString();
    f.players = in.u8();
    f.maxPlayers = in.u8();
    f.protocol = in.u8();
    f.serverType = in.u8();
    f.os = in.u8();
    f.passwordRequired = in.u8();
    f.isMod = in.u8();
    if (!in.ok())
        return false;
    // The mod block (two strings and 10 bytes) and whatever follows it are not used, so a reply
    // cut off inside them is still complete for this program.
    std::move(f).storeIn(entry);
    return true;
}

} // namespace ondel
