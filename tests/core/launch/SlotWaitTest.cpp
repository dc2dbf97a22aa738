#include "launch/SlotWait.h"

#include <gtest/gtest.h>

using namespace ondel;

namespace {
ServerEntry withPlayers(int players, int maxPlayers, int reservedChoice, int serverReserve = 0) {
    ServerEntry e;
    e.infoValid = true;
    e.players = static_cast<std::uint8_t>(players);
    e.maxPlayers = static_cast<std::uint8_t>(maxPlayers);
    e.reservedSlots = reservedChoice;
    e.reserveSlots = serverReserve;
    return e;
}
} // namespace

TEST(SlotWait, FreeSlotBeyondTheReservedOnes) {
    struct Case {
        int players, maxPlayers, choice, serverReserve;
        bool free;
    } cases[] = {
        {16, 16, 0, 0, false},
        {15, 16, 0, 0, true}, // full, then one slot free
        {14, 16, 2, 0, false},
        {13, 16, 2, 0, true}, // 14 + 2 is not below 16
        {13, 16, -1, 3, false},
        {12, 16, -1, 3, true}, // "Auto" takes the server's reserve_slots
        {13, 16, 0, 3, true},  // a choice of 0 ignores the server's value
        {0, 0, 0, 0, false},
        {250, 255, -1, -10, true},    // counts are unsigned bytes
        {5, 10, -1, INT32_MIN, true}, // a hostile value must not overflow
        {5, 10, -1, INT32_MAX, false},
    };
    for (const auto& c : cases) {
        ServerEntry e = withPlayers(c.players, c.maxPlayers, c.choice, c.serverReserve);
        EXPECT_EQ(hasFreeSlot(e), c.free) << c.players << "/" << c.maxPlayers << " choice "
                                          << c.choice << " server " << c.serverReserve;
    }
}

TEST(SlotWait, NoDetailsNeverFree) {
    ServerEntry e = withPlayers(0, 16, 0);
    e.infoValid = false;
    EXPECT_FALSE(hasFreeSlot(e));
    SlotWaitView v = slotWaitView(e, 0);
    EXPECT_EQ(v.players, "-");
    EXPECT_EQ(v.map, "-");
    EXPECT_FALSE(v.slotFree);
}

TEST(SlotWait, ViewTexts) {
    ServerEntry e = withPlayers(14, 16, -1, 2);
    e.map = "de_dust\xE4";
    e.lastPing = 42;
    e.averagePing = 40.25f;
    SlotWaitView v = slotWaitView(e, 61999);
    EXPECT_EQ(v.time, "01:01");
    EXPECT_EQ(v.ping, "42 (40.2)");
    EXPECT_EQ(v.players, "14/16");
    EXPECT_EQ(v.map, "de_dust\xC3\xA4"); // shown as UTF-8
    EXPECT_EQ(v.reserved, "2");
    EXPECT_FALSE(v.slotFree);

    EXPECT_EQ(slotWaitView(e, 100u * 60000u + 5000u).time, "100:05");
    EXPECT_EQ(slotWaitView(e, 999).time, "00:00");
    e.lastPing = 3000;
    EXPECT_EQ(slotWaitPingText(e), "Timeout");
    e.lastPing = 2999;
    EXPECT_EQ(slotWaitPingText(e), "2999 (40.2)");
    e.lastPing = -1; // compared as unsigned
    EXPECT_EQ(slotWaitPingText(e), "Timeout");
}
