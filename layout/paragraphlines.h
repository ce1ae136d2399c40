#pragma once

#include <QRectF>

class QTextBlockFormat;
class QTextLine;
namespace TextMetrics {
class LineBoxes;
}

// What the paragraph's layout and its drawing share: where a line stands and how
// high it is, by Qt's rules and by word processors'.
namespace ParagraphLayout {

// Qt's line height rules: the line's own height, or the format's fixed, minimum,
// proportional or added distance.
void lineHeights(const QTextBlockFormat &format, const QTextLine &line, qreal *adjustment, qreal *height,
                 qreal *bottom);

// The box of a line under word processors' heights: where the layout stood it (the
// baseline as far down from the box's top as the faces put it), as high as the pitch
// it took. faces are the paragraph's, asked for its lines in order.
QRectF wordProcessorBox(TextMetrics::LineBoxes &faces, const QTextBlockFormat &format, const QTextLine &line);

} // namespace ParagraphLayout
