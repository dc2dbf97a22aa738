#include "layout/DynamicLayout.h"
#include "rcon/RconConsoleLayout.h"

#include <gtest/gtest.h>

#include <map>

using namespace ondel;

namespace {
AnchorPercents pct(int x1, int y1, int x2, int y2) {
    return AnchorPercents{static_cast<std::int8_t>(x1), static_cast<std::int8_t>(y1),
                          static_cast<std::int8_t>(x2), static_cast<std::int8_t>(y2)};
}
using Edge = DynamicLayout::SizingEdge;
using Redraw = DynamicLayout::RedrawFlags;
} // namespace

TEST(LayoutArithmetic, ModesGivePercentagePairs) {
    struct Case {
        LayoutMode h, v;
        AnchorPercents p;
    } cases[] = {
        {LayoutMode::ModeFixed, LayoutMode::ModeFixed, pct(0, 0, 0, 0)},
        {LayoutMode::ModeStretch, LayoutMode::ModeMove, pct(0, 100, 100, 100)},
        {LayoutMode::ModeMove, LayoutMode::ModeStretch, pct(100, 0, 100, 100)},
        {LayoutMode::ModeCenter, LayoutMode::ModeFixed, pct(50, 0, 50, 0)},
        {static_cast<LayoutMode>(4), LayoutMode::ModeCenter, pct(0, 50, 0, 50)},
        {LayoutMode::ModeMove, static_cast<LayoutMode>(-1), pct(100, 0, 100, 0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(anchorPercents(c.h, c.v), c.p) << static_cast<int>(c.h) << static_cast<int>(c.v);
}

TEST(LayoutArithmetic, EdgesMoveByTheirShareTruncatedTowardZero) {
    struct Case {
        AnchorPercents p;
        LayoutSize growth;
        LayoutRect rect;
    } cases[] = {
        {pct(100, 100, 100, 100), {0, 0}, {10, 20, 60, 40}}, // no growth, no move
        {pct(50, 50, 50, 50), {3, 3}, {11, 21, 61, 41}},
        {pct(50, 50, 50, 50), {-3, -3}, {9, 19, 59, 39}},
        {pct(25, 0, 75, 0), {-1, 0}, {10, 20, 60, 40}}, // -0.25 and -0.75 both become 0
        {pct(0, 0, 100, 100), {100, 7}, {10, 20, 160, 47}},
        {pct(-50, 0, 0, 0), {10, 0}, {5, 20, 60, 40}}, // negative shares are signed too
    };
    for (const auto& c : cases) {
        ControlPosition control{{10, 20, 60, 40}, c.p, 0, 0};
        EXPECT_EQ(positionFor(control, c.growth), c.rect)
            << c.growth.cx << "," << c.growth.cy << " x1=" << int(c.p.x1);
    }
}

TEST(LayoutArithmetic, ControlsWithoutRoomAreParkedLeftAndAbove) {
    // Shrinking by 50 at 100 % on the left edge leaves width 0: parked at -10.
    ControlPosition narrow{{10, 20, 60, 40}, pct(100, 0, 0, 0), 0, 0};
    EXPECT_EQ(positionFor(narrow, {50, 0}), (LayoutRect{-10, 20, -10, 40}));
    EXPECT_EQ(positionFor(narrow, {49, 0}), (LayoutRect{59, 20, 60, 40}));
    ControlPosition withMinimum{{10, 20, 60, 40}, pct(100, 0, 0, 0), 20, 0};
    EXPECT_EQ(positionFor(withMinimum, {30, 0}), (LayoutRect{-30, 20, -10, 40}));
    EXPECT_EQ(positionFor(withMinimum, {29, 0}), (LayoutRect{39, 20, 60, 40}));
    ControlPosition flat{{10, 20, 60, 40}, pct(0, 100, 0, 0), 0, 5};
    EXPECT_EQ(positionFor(flat, {0, 15}), (LayoutRect{10, -15, 60, -10}));
    EXPECT_EQ(positionFor(flat, {0, 14}), (LayoutRect{10, 34, 60, 40}));
}

TEST(LayoutArithmetic, ConsoleControlsFollowAHundredPixelGrowth) {
    std::map<int, int> leftMove, widthChange, topMove, heightChange;
    for (const auto& anchor : rconConsoleLayout()) {
        ControlPosition control{{100, 100, 200, 150}, anchor.percents, 0, 0};
        LayoutRect r = positionFor(control, {100, 100});
        leftMove[anchor.controlId] = r.left - 100;
        widthChange[anchor.controlId] = r.width() - 100;
        topMove[anchor.controlId] = r.top - 100;
        heightChange[anchor.controlId] = r.height() - 50;
    }
    ASSERT_EQ(leftMove.size(), 18u);
    struct Expect {
        int id, left, width, top, height;
    } expected[] = {
        {2, 100, 0, 100, 0}, {1028, 100, 0, 100, 0}, {1035, 0, 100, 0, 100}, {1027, 0, 100, 100, 0},
        {1038, 75, 0, 0, 0}, {1037, 75, 0, 0, 0},    {1036, 75, 0, 0, 0},    {1039, 75, 0, 0, 0},
        {1029, 25, 0, 0, 0}, {1040, 25, 0, 0, 0},    {1031, 25, 0, 0, 0},    {1033, 25, 0, 0, 0},
        {1042, 50, 0, 0, 0}, {1041, 50, 0, 0, 0},    {1034, 50, 0, 0, 0},    {1032, 50, 0, 0, 0},
        {1057, 50, 0, 0, 0}, {1043, 75, 0, 0, 0},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(leftMove[e.id], e.left) << e.id;
        EXPECT_EQ(widthChange[e.id], e.width) << e.id;
        EXPECT_EQ(topMove[e.id], e.top) << e.id;
        EXPECT_EQ(heightChange[e.id], e.height) << e.id;
    }
}

TEST(DynamicLayout, RegistrationNeedsTheDialogAndKeepsTheLastEntry) {
    DynamicLayout layout(3, 3);
    int a = 0, b = 0;
    EXPECT_FALSE(layout.addControl(&a, {0, 0, 10, 10}, pct(0, 0, 100, 100)));
    layout.initialise({300, 200}, Redraw{true, true});
    EXPECT_FALSE(layout.addControl(nullptr, {0, 0, 10, 10}, pct(0, 0, 100, 100)));
    EXPECT_TRUE(layout.addControl(&a, {0, 0, 10, 10}, pct(0, 0, 100, 100)));
    EXPECT_TRUE(layout.addControl(&b, {5, 5, 15, 15}, LayoutMode::ModeMove, LayoutMode::ModeMove));
    EXPECT_TRUE(layout.addControl(&a, {1, 2, 3, 4}, pct(100, 0, 100, 0)));
    EXPECT_EQ(layout.controlCount(), 2);

    DynamicLayoutInfo info = layout.makeSnapshot({310, 220}, false);
    EXPECT_EQ(info.growth, (LayoutSize{10, 20}));
    EXPECT_EQ(info.initial, (LayoutSize{300, 200}));
    EXPECT_EQ(info.controlCount, 2);
    LayoutRect r;
    ASSERT_TRUE(layout.positionFor(&a, info, r));
    EXPECT_EQ(r, (LayoutRect{11, 2, 13, 4})); // only the second entry counts
    ASSERT_TRUE(layout.positionFor(&b, info, r));
    EXPECT_EQ(r, (LayoutRect{15, 25, 25, 35}));

    layout.removeControl(&a);
    EXPECT_FALSE(layout.positionFor(&a, info, r));
    EXPECT_EQ(layout.controlCount(), 1);
}

TEST(DynamicLayout, MinimisedOrDestroyedDialogLaysNothingOut) {
    DynamicLayout layout(3, 3);
    layout.initialise({300, 200}, Redraw{});
    int a = 0;
    layout.addControl(&a, {0, 0, 10, 10}, pct(0, 0, 100, 100));
    DynamicLayoutInfo minimised = layout.makeSnapshot({160, 30}, true);
    EXPECT_EQ(minimised.growth, (LayoutSize{}));
    EXPECT_EQ(minimised.current, (LayoutSize{}));
    EXPECT_EQ(minimised.controlCount, 0);
    EXPECT_FALSE(layout.layoutOnSize(true));
    EXPECT_TRUE(layout.layoutOnSize(false));

    layout.destroy();
    EXPECT_FALSE(layout.layoutOnSize(false));
    EXPECT_EQ(layout.controlCount(), 0);
    EXPECT_FALSE(layout.addControl(&a, {0, 0, 10, 10}, pct(0, 0, 100, 100)));
    EXPECT_FALSE(layout.trackingLimits({8, 30}, {4000, 3000}).has_value());
    EXPECT_FALSE(layout.onSizing(Edge::Right).restartTimer);
}

TEST(DynamicLayout, TrackingLimitsKeepTheInitialSizeAsMinimum) {
    DynamicLayout both(3, 3);
    EXPECT_FALSE(both.trackingLimits({8, 30}, {4000, 3000}).has_value()); // no dialog yet
    both.initialise({300, 200}, Redraw{});
    auto limits = both.trackingLimits({8, 30}, {4000, 3000});
    ASSERT_TRUE(limits);
    EXPECT_EQ(limits->minTrack, (LayoutSize{308, 230}));
    EXPECT_EQ(limits->maxTrack, (LayoutSize{4000, 3000}));

    DynamicLayout horizontalOnly(DynamicLayout::kHorizontal, 0);
    horizontalOnly.initialise({300, 200}, Redraw{});
    limits = horizontalOnly.trackingLimits({8, 30}, {4000, 3000});
    ASSERT_TRUE(limits);
    EXPECT_EQ(limits->maxTrack, (LayoutSize{4000, 230}));
}

TEST(DynamicLayout, FlickerReductionKeepsTheFirstSettingUntilTheTimerExpires) {
    DynamicLayout layout(3, DynamicLayout::kWithSizeGrip | DynamicLayout::kReduceFlicker);
    EXPECT_FALSE(layout.onSizing(Edge::BottomRight).restartTimer); // no timer id before init
    layout.initialise({300, 200}, Redraw{true, false});
    EXPECT_EQ(layout.flickerTimerId(), 29028);

    auto first = layout.onSizing(Edge::BottomRight);
    EXPECT_TRUE(first.restartTimer);
    ASSERT_TRUE(first.setRedraw);
    EXPECT_EQ(*first.setRedraw, (Redraw{false, false})); // growing away from the content
    auto second = layout.onSizing(Edge::Left);
    EXPECT_TRUE(second.restartTimer);
    EXPECT_FALSE(second.setRedraw); // the partial setting stands

    EXPECT_FALSE(layout.onTimer(1).stopTimer); // the console's own timer is not ours
    EXPECT_TRUE(layout.redrawOverridden());
    auto expiry = layout.onTimer(29028);
    EXPECT_TRUE(expiry.stopTimer);
    ASSERT_TRUE(expiry.restoreRedraw);
    EXPECT_EQ(*expiry.restoreRedraw, (Redraw{true, false}));
    EXPECT_FALSE(layout.redrawOverridden());
    EXPECT_FALSE(layout.onTimer(29028).restoreRedraw); // nothing left to restore

    struct Case {
        Edge edge;
        bool full;
    } cases[] = {{Edge::Left, true},     {Edge::Top, true},         {Edge::TopLeft, true},
                 {Edge::TopRight, true}, {Edge::BottomLeft, true},  {Edge::Right, false},
                 {Edge::Bottom, false},  {Edge::BottomRight, false}};
    for (const auto& c : cases) {
        auto step = layout.onSizing(c.edge);
        ASSERT_TRUE(step.setRedraw);
        EXPECT_EQ(*step.setRedraw, (Redraw{c.full, c.full})) << static_cast<int>(c.edge);
        layout.onTimer(29028);
    }

    DynamicLayout plain(3, DynamicLayout::kWithSizeGrip);
    plain.initialise({300, 200}, Redraw{});
    EXPECT_FALSE(plain.onSizing(Edge::Right).restartTimer);
}
