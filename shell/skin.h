#pragma once

#include "shell/controldef.h"

#include <QCursor>
#include <QFont>

class QPainter;
class QRect;
class QColor;

// Shared pieces of the windows' look: the hand cursor, font substitutes and the
// title-strip glyphs.
namespace Skin {

// The 32 x 32 pointing hand, hot spot (5, 0).
const QCursor &handCursor();

// Fonts of the window definitions that a desktop may lack get a substitute of the
// same size.
void installFontSubstitutes();

// The family to draw with for a family of the window definitions: the family itself
// when the desktop has it, otherwise its substitute. Asking Qt for a missing family
// by name makes it sort every font of the desktop for fallbacks, about a tenth of
// the work before the main window's first paint.
QString fontFamily(const char *family);

// The font to draw with for a font of the window definitions.
QFont font(const FontDef &def);

// True when the label's font is the symbol font of the glyph buttons.
bool isGlyphFont(const char *family);

// Draws the minimize ("0"), maximize ("1"), restore ("2") or close ("r") symbol
// centred in the box.
void drawGlyph(QPainter &painter, const QRect &box, QChar glyph, const QColor &color);

} // namespace Skin
