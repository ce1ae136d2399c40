#pragma once

#include <QtGlobal>

// A document's lengths are in twips, twentieths of a point; the editor shows them at
// 96 pixels an inch.
constexpr qreal PixelsPerTwip = 96.0 / 1440.0;
