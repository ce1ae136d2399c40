#include "layout/tablelayout.h"

#include "layout/tableedges.h"

#include <QPainter>
#include <QTextCursor>
#include <QTextTable>

#include <cmath>

namespace TableLayout {

namespace {

// One collapsed or explicit cell edge, placed the way Qt places it: a collapsed edge
// straddles the line between two cells, whole pixels on each side.
void drawEdge(QPainter *painter, const QTextTable *table, const QRectF &rect, Edge side, const EdgeData &d,
              bool collapse, bool grid, bool continuesBelow)
{
    if (d.width <= 0)
        return;
    const QTextTableCellFormat f = d.cell.format().toTableCellFormat();
    int style = QTextFrameFormat::BorderStyle_None;
    QBrush brush;
    if (!d.explicitly && grid) {
        style = table->format().borderStyle();
        brush = table->format().borderBrush();
    } else if (f.hasProperty(styleProperty(d.edge))) {
        style = f.intProperty(styleProperty(d.edge));
        brush = qvariant_cast<QBrush>(f.property(brushProperty(d.edge)));
    }
    if (style == QTextFrameFormat::BorderStyle_None)
        return;
    if (brush.style() == Qt::NoBrush)
        brush = Qt::black;
    // Inset and outset light one half of the edges, as Qt draws them.
    const bool topOrLeft = side == Edge::Top || side == Edge::Left;
    if ((style == QTextFrameFormat::BorderStyle_Outset && topOrLeft) ||
        (style == QTextFrameFormat::BorderStyle_Inset && !topOrLeft))
        brush = QBrush(brush.color().lighter());
    const qreal w = d.width;
    const qreal in = collapse ? std::ceil(w / 2) : 0;  // outward on the top and left
    const qreal out = collapse ? std::floor(w / 2) : 0; // outward on the bottom and right
    // Where collapsed edges of equal width meet, the vertical one takes the corner
    // above it and leaves the one below to the edge that continues it; a horizontal
    // one stops short of the corner on its right.
    const qreal shortRight = collapse ? in : 0;
    const qreal up = collapse ? in : 0;
    const qreal shortBottom = collapse && continuesBelow ? in : 0;
    QRectF r;
    switch (side) {
    case Edge::Top:
        r = QRectF(rect.left(), rect.top() - in, rect.width() - shortRight, w);
        break;
    case Edge::Bottom:
        r = QRectF(rect.left(), rect.bottom() - w + out, rect.width() - shortRight, w);
        break;
    case Edge::Left:
        r = QRectF(rect.left() - in, rect.top() - up, w, rect.height() + up - shortBottom);
        break;
    case Edge::Right:
        r = QRectF(rect.right() - w + out, rect.top() - up, w, rect.height() + up - shortBottom);
        break;
    }
    if (style == QTextFrameFormat::BorderStyle_Dashed || style == QTextFrameFormat::BorderStyle_Dotted) {
        const bool horizontal = side == Edge::Top || side == Edge::Bottom;
        QPen pen(brush, w, style == QTextFrameFormat::BorderStyle_Dashed ? Qt::DashLine : Qt::DotLine, Qt::FlatCap);
        painter->setPen(pen);
        painter->drawLine(horizontal ? QLineF(r.left(), r.center().y(), r.right(), r.center().y())
                                     : QLineF(r.center().x(), r.top(), r.center().x(), r.bottom()));
    } else {
        painter->fillRect(r, brush);
    }
}

// The cells a selection covers whole, when it spans cells of this table.
bool cellSelected(const QAbstractTextDocumentLayout::PaintContext &context, QTextTable *table, int row, int column,
                  QTextCharFormat *format)
{
    for (const QAbstractTextDocumentLayout::Selection &s : context.selections) {
        if (!s.cursor.hasComplexSelection() || s.cursor.currentTable() != table)
            continue;
        int firstRow = 0, rows = 0, firstColumn = 0, columns = 0;
        s.cursor.selectedTableCells(&firstRow, &rows, &firstColumn, &columns);
        if (row >= firstRow && row < firstRow + rows && column >= firstColumn && column < firstColumn + columns) {
            *format = s.format;
            return true;
        }
    }
    return false;
}

} // namespace

// A border ring as Qt draws a frame's: edges of width border outside the rectangle
// (x, y, w, h) to its right and bottom, in the frame's border style: inset and outset
// light one half of the ring. Without its top (or bottom) edge, the side edges run to
// the rectangle's top (or past its bottom, as far as the edge would have gone): the
// band of a table draws its part of the table's ring.
void drawRing(QPainter *painter, const QRectF &rect, qreal border, QBrush brush, int style, bool top, bool bottom)
{
    if (border <= 0 || style == QTextFrameFormat::BorderStyle_None)
        return;
    if (brush.style() == Qt::NoBrush)
        brush = Qt::darkGray;
    const QBrush lighter(brush.color().lighter());
    const bool outset = style == QTextFrameFormat::BorderStyle_Outset;
    const bool inset = style == QTextFrameFormat::BorderStyle_Inset;
    const QBrush topLeft = outset ? lighter : brush;
    const QBrush bottomRight = inset ? lighter : brush;
    const qreal l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    painter->fillRect(QRectF(QPointF(l, t), QPointF(l + border, b + border)), topLeft);
    if (top)
        painter->fillRect(QRectF(QPointF(l + border, t), QPointF(r + border, t + border)), topLeft);
    painter->fillRect(QRectF(QPointF(r, top ? t + border : t), QPointF(r + border, bottom ? b : b + border)), bottomRight);
    if (bottom)
        painter->fillRect(QRectF(QPointF(l + border, b), QPointF(r + border, b + border)), bottomRight);
}

void draw(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
          const FrameLayout::Geometry &g, int cursorWidth, const QRectF &clip)
{
    const QTextFrameFormat fmt = g.frame->frameFormat();
    const QRectF ring = g.borderRect.translated(origin).adjusted(0, 0, -g.border, -g.border);
    auto *table = static_cast<QTextTable *>(g.frame);
    const bool collapse = table->format().borderCollapse();
    const bool grid = collapse && table->format().border() >= 1;
    // Cells take the table's style turned inside out.
    int cellStyle = fmt.borderStyle();
    if (cellStyle == QTextFrameFormat::BorderStyle_Inset)
        cellStyle = QTextFrameFormat::BorderStyle_Outset;
    else if (cellStyle == QTextFrameFormat::BorderStyle_Outset)
        cellStyle = QTextFrameFormat::BorderStyle_Inset;
    if (!collapse)
        drawRing(painter, ring, g.border, fmt.borderBrush(), fmt.borderStyle(), g.ringTop, g.ringBottom);
    for (const FrameLayout::Cell &cell : g.cells) {
        const QRectF rect = cell.rect.translated(origin);
        if (clip.isValid() && !rect.adjusted(-16, -16, 16, 16).intersects(clip))
            continue;
        const QTextTableCell tableCell = table->cellAt(cell.row, cell.column);
        const QTextTableCellFormat cf = tableCell.format().toTableCellFormat();
        QAbstractTextDocumentLayout::PaintContext cellContext = context;
        QTextCharFormat selection;
        if (cellSelected(context, table, cell.row, cell.column, &selection)) {
            painter->fillRect(rect, selection.background());
            // The cell's paragraphs draw their text in the selection's colours, whole.
            QTextCursor whole(table->document());
            whole.setPosition(tableCell.firstPosition());
            whole.setPosition(tableCell.lastPosition(), QTextCursor::KeepAnchor);
            cellContext.selections.clear();
            cellContext.selections.append({whole, selection});
        } else if (cf.background().style() != Qt::NoBrush) {
            painter->fillRect(rect, cf.background());
        }
        if (!collapse) {
            drawRing(painter, rect.adjusted(-g.cellBorder, -g.cellBorder, 0, 0), g.cellBorder, fmt.borderBrush(),
                     cellStyle);
        }
        painter->save();
        const bool continuesBelow = cell.row + tableCell.rowSpan() < g.rows;
        for (Edge e : {Edge::Top, Edge::Left, Edge::Right, Edge::Bottom}) {
            drawEdge(painter, table, rect, e, axisEdge(table, tableCell, e, collapse, grid), collapse, grid,
                     continuesBelow);
        }
        painter->restore();
        painter->save();
        painter->setClipRect(rect, Qt::IntersectClip);
        FrameLayout::drawFlow(painter, origin + cell.contentOrigin, cellContext, cell.flow, cursorWidth, clip);
        painter->restore();
    }
}

} // namespace TableLayout
