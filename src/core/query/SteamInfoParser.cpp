#include "SteamInfoParser.h"

#include "common/ByteReader.h"
#include "query/InfoFields.h"
#include "query/QueryProtocol.h"

#include <utility>

namespace ondel {

namespace {
constexpr std::uint16_t kTheShipAppId = 2400; // carries three more bytes after VAC
constexpr std::uint8_t kEdfGamePort = 0x80;
constexpr std::uint8_t kEdfSteamId = 0x10;
constexpr std::uint8_t kEdfSpectator = 0x40;
constexpr std::uint8_t kEdfKeywords = 0x20;
constexpr std::uint8_t kEdfGameId = 0x01;
} // namespace

bool SteamInfoParser::parse(const std::uint8_t* data, std::size_t n, ServerEntry& entry,
                            SteamInfoExtras* extras) {
    ByteReader in(data, n);
    if (in.u32() != protocol::kOutOfBand || in.u8() != protocol::kSteamInfoReply)
        return false;
    InfoFields info;
    info.protocol = in.u8();
    info.hostName = in.cString();
    info.map = in.cString();
    info.gameDir = in.cString();         // the folder
    info.gameDescription = in.cString(); // the game
    SteamInfoExtras x;
    x.appId = in.u16();
    info.players = in.u8();
    info.maxPlayers = in.u8();
    x.bots = in.u8();
    info.serverType = in.u8();
    info.os = in.u8();               // the environment
    info.passwordRequired = in.u8(); // the visibility
    x.vac = in.u8();
    if (x.appId == kTheShipAppId)
        in.skip(3);
    x.version = in.cString();
    if (!in.ok())
        return false;

    // The extra data is optional, but a field its flags announce must be there whole: a reply
    // cut inside it is a reply cut short.
    if (!in.atEnd()) {
        x.extraDataFlags = in.u8();
        std::uint8_t f = x.extraDataFlags;
        if (f & kEdfGamePort) {
            std::uint16_t v = in.u16();
            if (in.ok())
                x.gamePort = v;
        }
        if (f & kEdfSteamId) {
            std::uint64_t v = in.u64();
            if (in.ok())
                x.steamId = v;
        }
        if (f & kEdfSpectator) {
            std::uint16_t port = in.u16();
            std::string name = in.cString();
            if (in.ok()) {
                x.spectatorPort = port;
                x.spectatorName = std::move(name);
            }
        }
        if (f & kEdfKeywords) {
            std::string v = in.cString();
            if (in.ok())
                x.keywords = std::move(v);
        }
        if (f & kEdfGameId) {
            std::uint64_t v = in.u64();
            if (in.ok())
                x.gameId = v;
        }
    }

    if (!in.ok())
        return false;
    info.isMod = info.gameDir != protocol::kBaseGameDir ? 1 : 0;
    std::move(info).storeIn(entry);
    if (extras)
        *extras = std::move(x);
    return true;
}

} // namespace ondel
