#include "ReplyBuilder.h"

#include "query/FragmentReassembler.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace ondel;
using namespace ondel::test;

namespace {
Bytes longRules(int count) {
    std::vector<std::pair<std::string, std::string>> rules;
    for (int i = 0; i < count; ++i)
        rules.push_back(
            {"rule_" + std::to_string(i), std::string(20, static_cast<char>('a' + i % 26))});
    return rulesReply(rules);
}

std::optional<Bytes> feed(FragmentReassembler& r, const std::vector<Bytes>& parts,
                          const std::vector<int>& order, std::uint32_t tick = 100) {
    std::optional<Bytes> result;
    for (int i : order) {
        auto whole = r.add(parts[static_cast<std::size_t>(i)].data(),
                           parts[static_cast<std::size_t>(i)].size(), tick);
        if (whole) {
            EXPECT_FALSE(result) << "completed twice";
            result = std::move(whole);
        }
    }
    return result;
}

Bytes fragment(std::int32_t sequence, int number, int total, const std::string& payload) {
    ByteWriter w;
    w.u32(0xFFFFFFFEu);
    w.i32(sequence);
    w.u8(static_cast<std::uint8_t>((number << 4) | total));
    w.bytes(payload);
    return w.take();
}
} // namespace

TEST(FragmentReassembler, InAnyOrderAndWithCopies) {
    Bytes whole = longRules(60);
    auto parts = split(whole, 7, 400);
    ASSERT_GE(parts.size(), 4u);
    std::vector<int> inOrder(parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i)
        inOrder[i] = static_cast<int>(i);
    std::vector<int> reversed(inOrder.rbegin(), inOrder.rend());
    std::vector<int> withCopies = {1, 1, 0, 0};
    for (std::size_t i = 2; i < parts.size(); ++i) {
        withCopies.push_back(static_cast<int>(i));
        withCopies.push_back(static_cast<int>(i));
    }
    struct Case {
        std::vector<int> order;
        std::size_t leftOver;
    } cases[] = {
        {inOrder, 0},
        {reversed, 0},
        // A copy that comes after its set was completed can only start a set that expires.
        {withCopies, 1},
    };
    for (const auto& c : cases) {
        FragmentReassembler r;
        auto result = feed(r, parts, c.order);
        ASSERT_TRUE(result);
        EXPECT_EQ(*result, whole);
        EXPECT_EQ(r.pendingSets(), c.leftOver);
    }
}

TEST(FragmentReassembler, SingleFragmentSetIsWholeAtOnce) {
    FragmentReassembler r;
    auto f = fragment(1, 0, 1, std::string("\xFF\xFF\xFF\xFFj", 5));
    auto result = r.add(f.data(), f.size(), 0);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->size(), 5u);
}

TEST(FragmentReassembler, MissingPieceExpires) {
    auto parts = split(longRules(30), 9, 300);
    FragmentReassembler r;
    for (std::size_t i = 1; i < parts.size(); ++i)
        EXPECT_FALSE(r.add(parts[i].data(), parts[i].size(), 1000));
    EXPECT_EQ(r.pendingSets(), 1u);
    r.expire(1000 + FragmentReassembler::kExpiryMs - 1);
    EXPECT_EQ(r.pendingSets(), 1u);
    // The missing piece arrives too late: the rest is gone, so it starts a set of its own.
    EXPECT_FALSE(r.add(parts[0].data(), parts[0].size(), 1000 + FragmentReassembler::kExpiryMs));
    EXPECT_EQ(r.pendingSets(), 1u);
}

TEST(FragmentReassembler, ExpiryWorksAcrossTheTickWrap) {
    auto parts = split(longRules(30), 9, 300);
    FragmentReassembler r;
    r.add(parts[0].data(), parts[0].size(), 0xFFFFFF00u);
    r.expire(1000); // 1256 ms later
    EXPECT_EQ(r.pendingSets(), 1u);
    auto result = feed(
        r, parts,
        [&] {
            std::vector<int> rest;
            for (std::size_t i = 1; i < parts.size(); ++i)
                rest.push_back(static_cast<int>(i));
            return rest;
        }(),
        1000);
    EXPECT_TRUE(result);
}

TEST(FragmentReassembler, RefusesImpossibleFragments) {
    FragmentReassembler r;
    std::vector<Bytes> bad = {
        fragment(1, 0, 0, "x"),                 // total 0
        fragment(1, 3, 3, "x"),                 // number not below total
        fragment(1, 15, 2, "x"),                // number past total
        Bytes{0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 0}, // cut before the number byte
        // longer than any datagram the socket passes on
        fragment(1, 0, 2, std::string(FragmentReassembler::kMaxFragmentBytes, 'x')),
    };
    for (const auto& b : bad)
        EXPECT_FALSE(r.add(b.data(), b.size(), 0));
    EXPECT_EQ(r.pendingSets(), 0u);
}

TEST(FragmentReassembler, SixteenOrMorePiecesCannotBeAnnounced) {
    // Four bits of total cannot say 16: a sender that needs 16 pieces writes 0 (16 & 15) and is
    // refused, and a 17-piece set would claim 1 piece while sending more numbers than that.
    Bytes whole = longRules(120);
    auto parts = split(whole, 3, (whole.size() + 15) / 16);
    ASSERT_EQ(parts.size(), 16u);
    FragmentReassembler r;
    for (const auto& p : parts)
        EXPECT_FALSE(r.add(p.data(), p.size(), 0));
    EXPECT_EQ(r.pendingSets(), 0u);
}

TEST(FragmentReassembler, SetsOfDifferentSequencesStayApartAndTotalsMustAgree) {
    auto a = split(longRules(20), 100, 200);
    auto b = split(longRules(25), 200, 200);
    FragmentReassembler r;
    EXPECT_FALSE(r.add(a[0].data(), a[0].size(), 0));
    EXPECT_FALSE(r.add(b[1].data(), b[1].size(), 0));
    // A piece claiming another total for sequence 100 is refused.
    auto odd = fragment(100, 1, 15, "zz");
    EXPECT_FALSE(r.add(odd.data(), odd.size(), 0));
    std::optional<Bytes> wholeA, wholeB;
    for (std::size_t i = 1; i < a.size(); ++i)
        if (auto w = r.add(a[i].data(), a[i].size(), 0))
            wholeA = w;
    for (std::size_t i = 0; i < b.size(); ++i)
        if (i != 1)
            if (auto w = r.add(b[i].data(), b[i].size(), 0))
                wholeB = w;
    ASSERT_TRUE(wholeA);
    ASSERT_TRUE(wholeB);
    EXPECT_EQ(*wholeA, longRules(20));
    EXPECT_EQ(*wholeB, longRules(25));
}

TEST(FragmentReassembler, HoldsABoundedNumberOfSets) {
    FragmentReassembler r;
    for (int seq = 0; seq < 50; ++seq) {
        auto f = fragment(seq, 0, 2, std::string(1000, 'x'));
        r.add(f.data(), f.size(), static_cast<std::uint32_t>(seq));
    }
    EXPECT_EQ(r.pendingSets(), FragmentReassembler::kMaxSets);
    // The newest sets are the ones kept.
    auto last = fragment(49, 1, 2, "y");
    EXPECT_TRUE(r.add(last.data(), last.size(), 60));
    auto first = fragment(0, 1, 2, "y");
    EXPECT_FALSE(r.add(first.data(), first.size(), 60));
}
