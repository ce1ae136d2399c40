#pragma once

#include <vector>

// One move event of a window drag, reduced to numbers: no widgets, so every edge
// case can be checked exactly. All positions and sizes are in twips; the window's
// position is relative to the top-left corner of the screen that holds it.
struct DragInput
{
    int left = 0;
    int top = 0;
    int width = 0;  // outer size of the window
    int height = 0;
    int screenWidth = 0; // the full screen, not its work area
    int screenHeight = 0;
    double twipsPerPixelX = 15.0;
    float dragStartX = 0; // the window's anchor, as its last press stored it
    float dragStartY = 0;
    int button = 0; // 1 left, 2 right, 4 middle
    int shift = 0;  // 1 Shift, 2 Ctrl, 4 Alt
    float x = 0;    // the pointer, relative to the drag source
    float y = 0;
};

struct DragOp
{
    enum Kind { SetLeft, SetTop };
    Kind kind = SetLeft;
    int value = 0;

    friend bool operator==(const DragOp &, const DragOp &) = default;
};

namespace DragStep {

// 20 pixels in twips. The horizontal factor serves both axes.
double snapDistance(double twipsPerPixelX);

// The position changes one move event makes, in the order they are applied: left
// then top when snapping, top then left with Ctrl alone, none otherwise.
std::vector<DragOp> run(const DragInput &in);

} // namespace DragStep
