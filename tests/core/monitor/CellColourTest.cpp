#include "monitor/CellColour.h"

#include <gtest/gtest.h>

using namespace ondel;

TEST(CellColour, FadeAndInvert) {
    struct Case {
        CellColour in;
        int percent;
        CellColour out;
    } cases[] = {
        {rgb(0, 0, 0), -50, rgb(128, 128, 128)},
        {rgb(255, 255, 255), 50, rgb(127, 127, 127)},
        {rgb(255, 0, 0), -50, rgb(255, 128, 128)},
        {rgb(0, 0, 178), -50, rgb(128, 128, 217)},
        {rgb(10, 20, 30), 0, rgb(10, 20, 30)},
        {rgb(200, 100, 0), 100, rgb(200, 100, 0)},
        // The lightening keeps (-percent)% of each channel's distance to white.
        {rgb(200, 100, 0), -100, rgb(200, 100, 0)},
        {rgb(0, 0, 0), -1, rgb(253, 253, 253)},
        {rgb(200, 100, 1), 1, rgb(2, 1, 0)},
        {rgb(200, 100, 0), 250, rgb(200, 100, 0)}, // beyond 100 is held at 100
    };
    for (const Case& c : cases)
        EXPECT_EQ(fadeColour(c.in, c.percent), c.out) << std::hex << c.in << " " << c.percent;

    EXPECT_EQ(invertColour(rgb(0, 0, 0)), rgb(255, 255, 255));
    EXPECT_EQ(invertColour(rgb(255, 0, 0)), rgb(0, 255, 255));
    EXPECT_EQ(invertColour(rgb(1, 128, 254)), rgb(254, 127, 1));
    EXPECT_EQ(redOf(rgb(1, 2, 3)), 1);
    EXPECT_EQ(greenOf(rgb(1, 2, 3)), 2);
    EXPECT_EQ(blueOf(rgb(1, 2, 3)), 3);
}
