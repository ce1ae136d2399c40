#include "shell/windowdrag.h"

#include "platform/services.h"
#include "shell/dragstep.h"
#include "shell/formwindow.h"
#include "shell/twips.h"

#include <cmath>

namespace WindowDrag {

void press(FormWindow &window, const MouseArgs &args)
{
    window.DragStartX = args.x;
    window.DragStartY = args.y;
}

void move(FormWindow &window, const MouseArgs &args)
{
    // Edges are those of the screen that holds the window; with one screen its
    // origin is the desktop's, elsewhere the window snaps to its own screen.
    const QRect screen = Services::screen().geometry(&window);
    const int originX = int(std::lround(Twips::fromPixelsX(screen.x())));
    const int originY = int(std::lround(Twips::fromPixelsY(screen.y())));

    DragInput in;
    in.left = window.leftTwips() - originX;
    in.top = window.topTwips() - originY;
    in.width = window.widthTwips();
    in.height = window.heightTwips();
    in.screenWidth = int(std::lround(Twips::fromPixelsX(screen.width())));
    in.screenHeight = int(std::lround(Twips::fromPixelsY(screen.height())));
    in.twipsPerPixelX = Services::screen().twipsPerPixelX();
    in.dragStartX = window.DragStartX;
    in.dragStartY = window.DragStartY;
    in.button = args.button;
    in.shift = args.shift;
    in.x = args.x;
    in.y = args.y;

    for (const DragOp &op : DragStep::run(in)) {
        if (op.kind == DragOp::SetLeft)
            window.setLeftTwips(op.value + originX);
        else
            window.setTopTwips(op.value + originY);
    }
}

} // namespace WindowDrag
