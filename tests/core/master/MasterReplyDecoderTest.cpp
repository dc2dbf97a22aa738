#include "master/MasterReplyDecoder.h"

#include "common/ByteWriter.h"

#include <gtest/gtest.h>

using namespace ondel;
using Bytes = std::vector<std::uint8_t>;
using End = MasterReplyDecoder::End;

namespace {
// Builds reply bodies record by record.
struct Reply {
    ByteWriter w;
    Reply& record(std::uint8_t type, const Bytes& payload, std::uint8_t version = 0) {
        w.u8(type);
        w.u8(version);
        w.u32(static_cast<std::uint32_t>(payload.size()));
        w.bytes(payload.data(), payload.size());
        return *this;
    }
    static void putString(ByteWriter& p, std::string_view s) {
        p.u32(static_cast<std::uint32_t>(s.size()));
        p.bytes(s);
    }
    Reply& userId(std::int32_t id) {
        ByteWriter p;
        p.i32(id);
        return record(0, p.data());
    }
    Reply& msg(std::int32_t n, std::string_view text, std::string_view title,
               std::string_view link) {
        ByteWriter p;
        p.i32(n);
        putString(p, text);
        putString(p, title);
        putString(p, link);
        return record(2, p.data());
    }
    Reply& nop() { return record(254, {}); }
    Reply& exit() { return record(253, {}); }
    Reply& error(std::string_view text) {
        ByteWriter p;
        putString(p, text);
        return record(255, p.data());
    }
    Bytes bytes() const { return w.data(); }
};

// Feeds a body to a decoder in pieces of the given size and records what it hands on.
struct Decoded {
    std::vector<std::int32_t> ids;
    std::vector<MasterMessage> messages;
    End end = End::None;
    std::size_t pending = 0;
    std::string errorText;
    std::size_t bytesTaken = 0; // bytes fed before the decoder said stop

    Decoded(const Bytes& body, std::size_t piece) {
        MasterReplyDecoder d([this](std::int32_t id) { ids.push_back(id); },
                             [this](const MasterMessage& m) { messages.push_back(m); });
        for (std::size_t at = 0; at < body.size(); at += piece) {
            // Each piece is copied into its own exactly sized buffer, so ASan sees a read past it.
            std::size_t n = std::min(piece, body.size() - at);
            auto chunk = std::make_unique<std::uint8_t[]>(n);
            std::copy(body.begin() + static_cast<std::ptrdiff_t>(at),
                      body.begin() + static_cast<std::ptrdiff_t>(at + n), chunk.get());
            bytesTaken = at + n;
            if (!d.feed(chunk.get(), n))
                break;
        }
        end = d.end();
        pending = d.pendingBytes();
        errorText = d.errorText();
    }
};
} // namespace

TEST(MasterReplyDecoder, RecordCasesInOneAndInManyPieces) {
    struct Case {
        const char* what;
        Bytes body;
        std::vector<std::int32_t> ids;
        std::vector<std::int32_t> messageNumbers;
        End end;
    } cases[] = {
        {"only EXIT", Reply().exit().bytes(), {}, {}, End::Exit},
        {"empty body", {}, {}, {}, End::None},
        {"NOP, USERID 42, EXIT", Reply().nop().userId(42).exit().bytes(), {42}, {}, End::Exit},
        {"USERID and MSG before type 7",
         Reply().userId(5).msg(9, "t", "T", "l").record(7, {1, 2}).userId(6).bytes(),
         {5},
         {9},
         End::UnknownType},
        {"VERSION from the server is unknown",
         Reply().record(1, {0, 0, 0, 0}).userId(1).bytes(),
         {},
         {},
         End::UnknownType},
        {"ERROR stops reading", Reply().error("go away").userId(3).bytes(), {}, {}, End::Error},
        {"no EXIT at the end", Reply().userId(8).bytes(), {8}, {}, End::None},
        {"version byte ignored",
         Reply().record(0, {1, 0, 0, 0}, 99).exit().bytes(),
         {1},
         {},
         End::Exit},
        {"NOP with a payload is skipped",
         Reply().record(254, {1, 2, 3}).userId(4).bytes(),
         {4},
         {},
         End::None},
        {"USERID payload too short",
         Reply().record(0, {1, 2}).userId(4).bytes(),
         {},
         {},
         End::Malformed},
        {"MSG string runs past its record",
         Reply().record(2, {1, 0, 0, 0, 200, 0, 0, 0, 'x'}).userId(4).bytes(),
         {},
         {},
         End::Malformed},
        {"two messages",
         Reply().msg(1, "a", "b", "c").msg(1, "a", "b", "c").exit().bytes(),
         {},
         {1, 1},
         End::Exit},
    };
    for (const auto& c : cases) {
        for (std::size_t piece : {std::size_t{1024}, std::size_t{1}, std::size_t{5}}) {
            Decoded r(c.body, piece);
            EXPECT_EQ(r.ids, c.ids) << c.what << " piece " << piece;
            std::vector<std::int32_t> numbers;
            for (const auto& m : r.messages)
                numbers.push_back(m.number);
            EXPECT_EQ(numbers, c.messageNumbers) << c.what << " piece " << piece;
            EXPECT_EQ(r.end, c.end) << c.what << " piece " << piece;
        }
    }
}

TEST(MasterReplyDecoder, MessageFieldsAndEmptyLink) {
    Decoded r(Reply().msg(-3, "Hello\r\nworld", "News", "").exit().bytes(), 3);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], (MasterMessage{-3, "Hello\r\nworld", "News", ""}));
}

TEST(MasterReplyDecoder, ErrorTextKept) {
    Decoded r(Reply().error("bad request").bytes(), 1024);
    EXPECT_EQ(r.end, End::Error);
    EXPECT_EQ(r.errorText, "bad request");
}

TEST(MasterReplyDecoder, RecordSplitAcrossReadsIsReadWhole) {
    Bytes body =
        Reply().nop().msg(77, std::string(3000, 'm'), "title", "https://x.invalid/").bytes();
    // Pieces of 1024 bytes (the read size of the network layer) cut the message record twice.
    Decoded r(body, 1024);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text.size(), 3000u);
    EXPECT_EQ(r.messages[0].link, "https://x.invalid/");
    EXPECT_EQ(r.pending, 0u);
}

TEST(MasterReplyDecoder, TruncatedRecordIsDroppedAtEveryCut) {
    Bytes whole = Reply().userId(1).msg(2, "text", "title", "link").bytes();
    const std::size_t firstRecord = 10;
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        Bytes body(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        Decoded r(body, 7);
        EXPECT_EQ(r.ids.size(), cut >= firstRecord ? 1u : 0u) << "cut " << cut;
        EXPECT_TRUE(r.messages.empty()) << "cut " << cut;
        EXPECT_EQ(r.end, End::None) << "cut " << cut;
        EXPECT_EQ(r.pending, cut >= firstRecord ? cut - firstRecord : cut) << "cut " << cut;
    }
}

TEST(MasterReplyDecoder, OversizedPayloadEndsWithoutWaitingForIt) {
    Reply reply;
    reply.w.u8(2);
    reply.w.u8(0);
    reply.w.u32(0xFFFFFFF0u);
    reply.w.bytes(std::string(100, 'x'));
    Decoded r(reply.bytes(), 1024);
    EXPECT_EQ(r.end, End::Oversized);
    EXPECT_EQ(r.pending, 0u);

    Bytes atLimit =
        Reply().record(254, Bytes(MasterReplyDecoder::kMaxRecordPayload, 0)).userId(5).bytes();
    EXPECT_EQ(Decoded(atLimit, 4096).ids, std::vector<std::int32_t>{5});
}

TEST(MasterReplyDecoder, StopsTakingBytesOnceEnded) {
    Bytes body = Reply().exit().userId(9).bytes();
    Decoded r(body, 3);
    EXPECT_TRUE(r.ids.empty());
    EXPECT_EQ(r.bytesTaken, 6u); // the EXIT record ends the reply in the second piece
}
