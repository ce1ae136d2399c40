#include "shell/twips.h"

#include "platform/services.h"

#include <cmath>

namespace Twips {

double perPixelX() { return Services::screen().twipsPerPixelX(); }
double perPixelY() { return Services::screen().twipsPerPixelY(); }

int toPixelsX(double twips) { return int(std::lround(twips / perPixelX())); }
int toPixelsY(double twips) { return int(std::lround(twips / perPixelY())); }

// A box keeps its edges on the pixel grid: left and right are converted, then the
// width is their difference, so neighbouring boxes never overlap or leave a gap.
QRect toPixels(const QRect &twips)
{
    const int left = toPixelsX(twips.x());
    const int top = toPixelsY(twips.y());
    const int right = toPixelsX(double(twips.x()) + twips.width());
    const int bottom = toPixelsY(double(twips.y()) + twips.height());
    return QRect(left, top, right - left, bottom - top);
}

QPoint toPixels(const QPoint &twips) { return QPoint(toPixelsX(twips.x()), toPixelsY(twips.y())); }

double fromPixelsX(double pixels) { return pixels * perPixelX(); }
double fromPixelsY(double pixels) { return pixels * perPixelY(); }

} // namespace Twips
