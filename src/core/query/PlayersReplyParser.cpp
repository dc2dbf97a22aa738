#include "PlayersReplyParser.h"

#include "common/ByteReader.h"
#include "query/QueryProtocol.h"

#include <cmath>
#include <limits>

namespace ondel {

bool PlayersReplyParser::parse(const std::uint8_t* data, std::size_t n,
                               std::vector<PlayerRecord>& players, bool acceptZeroIndex) {
    ByteReader in(data, n);
    if (in.u32() != protocol::kOutOfBand || in.u8() != protocol::kPlayersReply)
        return false;
    int count = in.u8();
    if (!in.ok())
        return false;
    std::vector<PlayerRecord> list;
    list.reserve(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        std::uint8_t index = in.u8();
        if (!in.ok())
            return false; // cut short
        if (index != i && !(acceptZeroIndex && index == 0))
            break; // the server ends its list early
        PlayerRecord p;
        p.index = static_cast<std::uint8_t>(i);
        p.name = in.cString();
        p.frags = in.i32();
        p.time = wholeSeconds(in.f32());
        if (!in.ok())
            return false; // cut short: fewer records than announced is no whole reply
        list.push_back(std::move(p));
    }
    players = std::move(list);
    return true;
}

void PlayersReplyParser::carryOver(const std::vector<PlayerRecord>& previous,
                                   std::vector<PlayerRecord>& players, std::uint32_t tickNow) {
    for (const auto& old : previous) {
        for (auto& p : players) {
            if (p.name != old.name)
                continue;
            p.selected = old.selected;
            if (p.frags == old.frags) {
                p.fragChange = old.fragChange;
                p.fragChangeTick = old.fragChangeTick;
            } else {
                // The difference is kept in 8 bits (two's complement), as the view expects.
                auto diff = static_cast<std::int64_t>(p.frags) - old.frags;
                p.fragChange = static_cast<std::int8_t>(static_cast<std::uint8_t>(diff & 0xFF));
                p.fragChangeTick = tickNow;
            }
            break;
        }
    }
}

std::int32_t PlayersReplyParser::wholeSeconds(float seconds) {
    // A float-to-int conversion out of range is undefined, so a hostile NaN or 1e30 is caught
    // here first.
    if (std::isnan(seconds))
        return 0;
    if (seconds >= 2147483648.0f)
        return std::numeric_limits<std::int32_t>::max();
    if (seconds <= -2147483648.0f)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(seconds);
}

} // namespace ondel
