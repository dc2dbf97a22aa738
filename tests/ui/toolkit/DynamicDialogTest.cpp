// The widget side of the dynamic layout: registration, destroyed controls, the grip and the
// flicker timer's repaint setting.
#include "ui/toolkit/DynamicDialog.h"
#include "../../QtWait.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/SizeGripCtrl.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace ondel;
using ondel::test::waitFor;

namespace {

class TestDialog : public DynamicDialog {
public:
    explicit TestDialog(int flags)
        : DynamicDialog(DynamicLayout::kHorizontal | DynamicLayout::kVertical, flags) {
        resize(300, 200);
        a = new QPushButton(this);
        a->setGeometry(10, 10, 50, 20);
        b = new QLabel(this);
        b->setGeometry(100, 50, 40, 20);
        initDynamicLayout();
    }
    QPushButton* a;
    QLabel* b;
};

} // namespace

TEST(DynamicDialog, DestroyedControlsLeaveTheLayoutAndReRegistrationReplaces) {
    TestDialog dialog(DynamicLayout::kWithSizeGrip);
    dialog.show(); // a hidden window gets its resize events only when it is shown
    ASSERT_NE(dialog.sizeGrip(), nullptr);
    EXPECT_EQ(dialog.controlById(59936), dialog.sizeGrip());
    EXPECT_EQ(dialog.dynamicLayout().controlCount(), 1);
    EXPECT_TRUE(dialog.addControl(dialog.a, LayoutMode::ModeMove, LayoutMode::ModeFixed));
    EXPECT_TRUE(dialog.addControl(dialog.b, AnchorPercents{50, 0, 50, 0}));
    EXPECT_FALSE(dialog.addControl(nullptr, AnchorPercents{}));
    EXPECT_EQ(dialog.dynamicLayout().controlCount(), 3);

    delete dialog.b;
    EXPECT_EQ(dialog.dynamicLayout().controlCount(), 2);
    dialog.resize(310, 200); // must not touch the deleted label
    EXPECT_EQ(dialog.a->geometry(), QRect(20, 10, 50, 20));

    // Registered again where it is now: that rectangle is its base from now on, and the growth
    // still counts from the first size (20 at 320 wide).
    dialog.a->setGeometry(15, 12, 50, 20);
    EXPECT_TRUE(dialog.addControl(dialog.a, LayoutMode::ModeMove, LayoutMode::ModeFixed,
                                  QSize(0, 0), false));
    dialog.resize(320, 200);
    EXPECT_EQ(dialog.a->geometry(), QRect(35, 12, 50, 20));
    EXPECT_EQ(dialog.dynamicLayout().controlCount(), 2);
}

TEST(DynamicDialog, DraggingSwitchesFullRepaintingOffUntilTheTimerExpires) {
    TestDialog dialog(DynamicLayout::kWithSizeGrip | DynamicLayout::kReduceFlicker);
    dialog.show();
    // Showing may place and size the window; whatever that set, it expires with the timer.
    QApplication::processEvents();
    ASSERT_TRUE(waitFor([&] { return !dialog.dynamicLayout().redrawOverridden(); }));
    ASSERT_FALSE(dialog.testAttribute(Qt::WA_StaticContents));
    dialog.resize(340, 230); // grows to the right and down: the content stays put
    EXPECT_TRUE(dialog.testAttribute(Qt::WA_StaticContents));
    EXPECT_TRUE(dialog.dynamicLayout().redrawOverridden());
    EXPECT_TRUE(waitFor([&] { return !dialog.dynamicLayout().redrawOverridden(); }));
    EXPECT_FALSE(dialog.testAttribute(Qt::WA_StaticContents));
    EXPECT_EQ(dialog.sizeGrip()->geometry().bottomRight(), dialog.rect().bottomRight());

    TestDialog plain(DynamicLayout::kWithSizeGrip);
    plain.show();
    plain.resize(340, 230);
    EXPECT_FALSE(plain.testAttribute(Qt::WA_StaticContents));
}

TEST(DynamicDialog, WithoutGripFlagThereIsNoGrip) {
    TestDialog dialog(0);
    EXPECT_EQ(dialog.sizeGrip(), nullptr);
    EXPECT_EQ(dialog.dynamicLayout().controlCount(), 0);
    EXPECT_EQ(dialog.minimumSize(), QSize(300, 200));
}
