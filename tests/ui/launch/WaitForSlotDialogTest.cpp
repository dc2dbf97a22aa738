#include "ui/launch/WaitForSlotDialog.h"
#include "common/Clock.h"
#include "serverlist/ServerEntry.h"
#include "ui/toolkit/ControlId.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace ondel;

namespace {
struct StepClock : Clock {
    std::uint32_t tick = 4294960000u; // close to the wrap, which must not matter
    std::uint32_t tickMs() const override { return tick; }
    std::int64_t nowMs1601() const override { return 0; }
};
QString field(QDialog& d, int id) {
    return findControl<QLineEdit>(&d, id)->text();
}
} // namespace

TEST(WaitForSlotDialog, ShowsTheServerAndStaysWhileFull) {
    StepClock clock;
    ServerEntry entry;
    entry.infoValid = true;
    entry.players = 14;
    entry.maxPlayers = 16;
    entry.reservedSlots = 2;
    entry.map = "crossfire";
    entry.lastPing = 31;
    entry.averagePing = 30.5f;
    WaitForSlotDialog dialog([&]() -> const ServerEntry& { return entry; }, clock);
    clock.tick += 125000;
    dialog.refresh();
    EXPECT_EQ(field(dialog, WaitForSlotDialog::kTimeId), "02:05");
    EXPECT_EQ(field(dialog, WaitForSlotDialog::kPingId), "31 (30.5)");
    EXPECT_EQ(field(dialog, WaitForSlotDialog::kPlayersId), "14/16");
    EXPECT_EQ(field(dialog, WaitForSlotDialog::kMapId), "crossfire");
    EXPECT_EQ(field(dialog, WaitForSlotDialog::kReservedId), "2");
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(dialog.grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/wait-for-slot.png")));
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    entry.players = 13;
    dialog.refresh();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(WaitForSlotDialog, WithoutDetailsShowsDashesAndNeverEndsByItself) {
    StepClock clock;
    ServerEntry entry; // never answered
    entry.lastPing = 3000;
    WaitForSlotDialog dialog([&]() -> const ServerEntry& { return entry; }, clock);
    dialog.refresh();
    EXPECT_EQ(field(dialog, WaitForSlotDialog::kPlayersId), "-");
    EXPECT_EQ(field(dialog, WaitForSlotDialog::kMapId), "-");
    EXPECT_EQ(field(dialog, WaitForSlotDialog::kPingId), "Timeout");
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    // "Connect" goes on at any time.
    findControl<QPushButton>(&dialog, 1)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}
