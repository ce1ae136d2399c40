#pragma once

#include <QPoint>
#include <QRect>

// The one place where twips (1/1440 inch) become pixels, from the screen's
// twips-per-pixel factor (15 at 96 dots per inch).
namespace Twips {

double perPixelX();
double perPixelY();

int toPixelsX(double twips);
int toPixelsY(double twips);
QRect toPixels(const QRect &twips);
QPoint toPixels(const QPoint &twips);

double fromPixelsX(double pixels);
double fromPixelsY(double pixels);

} // namespace Twips
