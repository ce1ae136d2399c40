#pragma once

#include "platform/framelayout.h"

class QTextTable;

// Tables by Qt's rules: column widths (fixed, percentage, variable, from the cells'
// natural widths), spacing, padding, spans, vertical alignment, and borders, ringed
// or collapsed, placed and coloured as Qt places and colours them.
namespace TableLayout {

void layout(QTextTable *table, qreal availableWidth, FrameLayout::Geometry *geometry);
// Draws the table laid out in geometry with its top-left at origin.
void draw(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
          const FrameLayout::Geometry &geometry, int cursorWidth, const QRectF &clip);
// A frame's border ring: edges of width border outside rect to its right and
// bottom, in the frame's style (inset and outset light one half of the ring).
void drawRing(QPainter *painter, const QRectF &rect, qreal border, QBrush brush, int style);

} // namespace TableLayout
