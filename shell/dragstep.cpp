#include "shell/dragstep.h"

#include <cmath>
#include <cstdint>
#include <optional>

namespace {

// Half-way cases go to the even whole twip (the default rounding mode), and a
// position that does not fit a 32-bit integer ends the step without a move.
std::optional<int> toTwips(double value)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded >= double(INT32_MIN) && rounded <= double(INT32_MAX)))
        return std::nullopt;
    return int(rounded);
}

// The near edge compares in double precision; the far edge rounds both sides to
// single precision first. The difference shows only when the snap distance is not
// a whole number of twips, and it decides on exactly those screens.
bool nearEdge(int proposed, double d)
{
    return std::fabs(double(proposed)) < d;
}

bool farEdge(int size, int proposed, int screenSize, double d)
{
    const double distance = std::fabs(double(size) + double(proposed) - double(screenSize));
    return float(distance) < float(d);
}

int snapped(int proposed, int size, int screenSize, double d)
{
    if (nearEdge(proposed, d))
        return 0;
    if (farEdge(size, proposed, screenSize, d))
        return screenSize - size;
    return proposed;
}

} // namespace

namespace DragStep {

double snapDistance(double twipsPerPixelX)
{
    return 20.0 * twipsPerPixelX;
}

std::vector<DragOp> run(const DragInput &in)
{
    if (in.button != 1)
        return {};
    // Both proposals come first, whatever the modifiers.
    const std::optional<int> newLeft = toTwips(double(in.left) - (double(in.dragStartX) - double(in.x)));
    const std::optional<int> newTop = toTwips(double(in.top) - (double(in.dragStartY) - double(in.y)));
    if (!newLeft || !newTop)
        return {};

    if (in.shift == 0) {
        const int left = snapped(*newLeft, in.width, in.screenWidth, snapDistance(in.twipsPerPixelX));
        const int top = snapped(*newTop, in.height, in.screenHeight, snapDistance(in.twipsPerPixelX));
        return {{DragOp::SetLeft, left}, {DragOp::SetTop, top}};
    }
    if (in.shift == 2)
        return {{DragOp::SetTop, *newTop}, {DragOp::SetLeft, *newLeft}};
    return {};
}

} // namespace DragStep
