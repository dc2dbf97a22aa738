#include "CellColour.h"

namespace ondel {

namespace {
int fadeChannel(int c, int percent) {
    if (percent > 0)
        return c * percent / 100;
    return 255 - (255 - c) * (-percent) / 100;
}
} // namespace

CellColour fadeColour(CellColour colour, int percent) {
    if (percent == 0)
        return colour;
    // Percentages beyond 100 either way would leave 0..255; the list only uses 0 and -50.
    if (percent > 100)
        percent = 100;
    if (percent < -100)
        percent = -100;
    return rgb(fadeChannel(redOf(colour), percent), fadeChannel(greenOf(colour), percent),
               fadeChannel(blueOf(colour), percent));
}

CellColour invertColour(CellColour colour) {
    return rgb(255 - redOf(colour), 255 - greenOf(colour), 255 - blueOf(colour));
}

} // namespace ondel
