// The master server reply stream. The first byte seeds how the body is cut into network reads;
// the rest is the body. Read whole or in pieces, the decoder must hand over the same records
// and end the same way, and never hold more than one record's worth of bytes.
#include "FuzzCheck.h"

#include "master/MasterReplyDecoder.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

using ondel::MasterMessage;
using ondel::MasterReplyDecoder;

namespace {

struct Outcome {
    std::vector<std::variant<std::int32_t, MasterMessage>> records;
    MasterReplyDecoder::End end = MasterReplyDecoder::End::None;
    std::string errorText;
    bool operator==(const Outcome&) const = default;
};

// Feeds body in pieces of the given sizes (cycled); a size of 0 feeds an empty read.
Outcome decode(const std::uint8_t* body, std::size_t n, const std::vector<std::size_t>& cuts) {
    Outcome o;
    MasterReplyDecoder d([&](std::int32_t id) { o.records.emplace_back(id); },
                         [&](const MasterMessage& m) { o.records.emplace_back(m); });
    std::size_t pos = 0;
    std::size_t i = 0;
    while (pos < n) {
        std::size_t piece = cuts[i++ % cuts.size()];
        if (piece > n - pos)
            piece = n - pos;
        bool more = d.feed(body + pos, piece);
        pos += piece;
        FUZZ_CHECK(d.pendingBytes() < 6 + MasterReplyDecoder::kMaxRecordPayload);
        if (!more) {
            FUZZ_CHECK(d.ended());
            // Further bytes are not looked at.
            FUZZ_CHECK(!d.feed(body, n));
            break;
        }
    }
    o.end = d.end();
    o.errorText = d.errorText();
    for (const auto& r : o.records)
        if (const auto* m = std::get_if<MasterMessage>(&r))
            FUZZ_CHECK(m->text.size() + m->title.size() + m->link.size() <= n);
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    std::uint8_t seed = data[0];
    const std::uint8_t* body = data + 1;
    std::size_t n = size - 1;

    Outcome whole = decode(body, n, {n == 0 ? 1 : n});
    Outcome bytewise = decode(body, n, {1});
    std::vector<std::size_t> cuts = {static_cast<std::size_t>(seed % 13), 1u + seed / 13u, 3};
    Outcome pieces = decode(body, n, cuts);
    FUZZ_CHECK(whole == bytewise);
    FUZZ_CHECK(whole == pieces);
    return 0;
}
