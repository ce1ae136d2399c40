#include "platform/tablelayout.h"

#include <QPainter>
#include <QTextCursor>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace TableLayout {

namespace {

enum class Edge { Top, Bottom, Left, Right };

QTextFormat::Property styleProperty(Edge e)
{
    switch (e) {
    case Edge::Top: return QTextFormat::TableCellTopBorderStyle;
    case Edge::Bottom: return QTextFormat::TableCellBottomBorderStyle;
    case Edge::Left: return QTextFormat::TableCellLeftBorderStyle;
    case Edge::Right: break;
    }
    return QTextFormat::TableCellRightBorderStyle;
}

QTextFormat::Property widthProperty(Edge e)
{
    switch (e) {
    case Edge::Top: return QTextFormat::TableCellTopBorder;
    case Edge::Bottom: return QTextFormat::TableCellBottomBorder;
    case Edge::Left: return QTextFormat::TableCellLeftBorder;
    case Edge::Right: break;
    }
    return QTextFormat::TableCellRightBorder;
}

QTextFormat::Property brushProperty(Edge e)
{
    switch (e) {
    case Edge::Top: return QTextFormat::TableCellTopBorderBrush;
    case Edge::Bottom: return QTextFormat::TableCellBottomBorderBrush;
    case Edge::Left: return QTextFormat::TableCellLeftBorderBrush;
    case Edge::Right: break;
    }
    return QTextFormat::TableCellRightBorderBrush;
}

QTextFormat::Property paddingProperty(Edge e)
{
    switch (e) {
    case Edge::Top: return QTextFormat::TableCellTopPadding;
    case Edge::Bottom: return QTextFormat::TableCellBottomPadding;
    case Edge::Left: return QTextFormat::TableCellLeftPadding;
    case Edge::Right: break;
    }
    return QTextFormat::TableCellRightPadding;
}

Edge opposite(Edge e)
{
    switch (e) {
    case Edge::Top: return Edge::Bottom;
    case Edge::Bottom: return Edge::Top;
    case Edge::Left: return Edge::Right;
    case Edge::Right: break;
    }
    return Edge::Left;
}

QTextTableCell adjacent(const QTextTable *table, const QTextTableCell &cell, Edge e)
{
    switch (e) {
    case Edge::Top: return table->cellAt(cell.row() - 1, cell.column());
    case Edge::Bottom: return table->cellAt(cell.row() + cell.rowSpan(), cell.column());
    case Edge::Left: return table->cellAt(cell.row(), cell.column() - 1);
    case Edge::Right: break;
    }
    return table->cellAt(cell.row(), cell.column() + cell.columnSpan());
}

// How Qt sizes a cell's edge: a border set in the cell's format (3 pixels when only
// its style is set); otherwise, with a collapsed grid, 1 pixel, or the table's border
// on the outside when that is wider.
struct EdgeData
{
    qreal width = 0;
    bool explicitly = false;
    QTextTableCell cell; // whose format styles the edge, and which of its edges
    Edge edge = Edge::Top;
};

EdgeData cellEdge(const QTextTable *table, const QTextTableCell &cell, Edge e, bool grid)
{
    EdgeData d;
    d.cell = cell;
    d.edge = e;
    if (!cell.isValid())
        return d;
    const QTextTableCellFormat f = cell.format().toTableCellFormat();
    if (f.hasProperty(styleProperty(e))) {
        d.width = f.hasProperty(widthProperty(e)) ? f.doubleProperty(widthProperty(e)) : 3;
        d.explicitly = true;
    } else if (grid) {
        const bool outermost = (e == Edge::Left && cell.column() == 0) || (e == Edge::Top && cell.row() == 0) ||
                               (e == Edge::Right && cell.column() + cell.columnSpan() >= table->columns()) ||
                               (e == Edge::Bottom && cell.row() + cell.rowSpan() >= table->rows());
        const qreal border = table->format().border();
        d.width = outermost && border > 1 ? border : 1;
    }
    return d;
}

// The edge shared by two cells when borders collapse: the wider one.
EdgeData axisEdge(const QTextTable *table, const QTextTableCell &cell, Edge e, bool collapse, bool grid)
{
    EdgeData d = cellEdge(table, cell, e, grid);
    if (!collapse)
        return d;
    const EdgeData other = cellEdge(table, adjacent(table, cell, e), opposite(e), grid);
    return other.width > d.width ? other : d;
}

qreal roundFixed(qreal v)
{
    return std::floor(v + 0.5);
}

struct CellBox
{
    QTextTableCell cell;
    // Asking a cell for its place searches the table: asked once.
    int row = 0, column = 0, rowSpan = 1, columnSpan = 1;
    qreal top = 0, bottom = 0, left = 0, right = 0; // padding, with the cell's share of its borders
};

CellBox cellBox(const QTextTable *table, const QTextTableCell &cell, qreal cellPadding, bool collapse, bool grid)
{
    CellBox box{cell, cell.row(), cell.column(), cell.rowSpan(), cell.columnSpan()};
    const QTextTableCellFormat f = cell.format().toTableCellFormat();
    const qreal share = collapse ? 0.5 : 1;
    auto side = [&](Edge e) {
        const QVariant v = f.property(paddingProperty(e));
        const qreal pad = v.isNull() ? cellPadding : v.toReal();
        return pad + axisEdge(table, cell, e, collapse, grid).width * share;
    };
    box.top = side(Edge::Top);
    box.bottom = side(Edge::Bottom);
    box.left = side(Edge::Left);
    box.right = side(Edge::Right);
    return box;
}

void layoutInto(QTextTable *table, qreal availableWidth, FrameLayout::Geometry *g)
{
    const QTextTableFormat fmt = table->format();
    const int rows = table->rows();
    const int columns = table->columns();
    g->table = true;
    g->rows = rows;
    g->columns = columns;
    if (rows <= 0 || columns <= 0)
        return;
    // Qt's numbers: margins, border and padding are whole pixels; a collapsed table
    // has no spacing and no border ring around its cells, but the widest outer cell
    // edges, halved, around it.
    const bool collapse = fmt.borderCollapse();
    const bool grid = collapse && fmt.border() >= 1;
    const qreal border = roundFixed(fmt.border());
    const qreal cellBorder = collapse ? 0 : border;
    const qreal spacing = collapse ? 0 : roundFixed(fmt.cellSpacing());
    const qreal framePadding = roundFixed(fmt.padding());
    const qreal marginLeft = roundFixed(fmt.leftMargin());
    const qreal marginRight = roundFixed(fmt.rightMargin());
    const qreal marginTop = roundFixed(fmt.topMargin());
    const qreal marginBottom = roundFixed(fmt.bottomMargin());
    qreal outerTop = border, outerBottom = border, outerLeft = border, outerRight = border;
    if (collapse) {
        qreal widest[4] = {0, 0, 0, 0};
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (r == 0)
                    widest[0] = qMax(widest[0], cellEdge(table, cell, Edge::Top, grid).width);
                if (r == rows - 1)
                    widest[1] = qMax(widest[1], cellEdge(table, cell, Edge::Bottom, grid).width);
            }
            widest[2] = qMax(widest[2], cellEdge(table, table->cellAt(r, 0), Edge::Left, grid).width);
            widest[3] = qMax(widest[3], cellEdge(table, table->cellAt(r, columns - 1), Edge::Right, grid).width);
        }
        outerTop = roundFixed(widest[0] / 2);
        outerBottom = roundFixed(widest[1] / 2);
        outerLeft = roundFixed(widest[2] / 2);
        outerRight = roundFixed(widest[3] / 2);
    }
    g->border = border;
    g->cellBorder = cellBorder;
    g->borderBrush = fmt.borderBrush().style() == Qt::NoBrush ? QBrush(Qt::darkGray) : fmt.borderBrush();
    const qreal leftMargin = marginLeft + framePadding + outerLeft;
    const qreal rightMargin = marginRight + framePadding + outerRight;
    const qreal topMargin = marginTop + framePadding + outerTop;
    const qreal frameWidth = FrameLayout::lengthValue(fmt.width(), availableWidth);
    const qreal contentsWidth = frameWidth - 2 * (border + framePadding) - marginLeft - marginRight;

    QList<QTextLength> constraints = fmt.columnWidthConstraints();
    constraints.resize(columns);

    std::vector<CellBox> boxes; // the top-left cell of each span, row by row
    g->cellIndex.assign(size_t(rows) * size_t(columns), -1);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (!cell.isValid())
                continue;
            if (cell.row() != r || cell.column() != c) {
                const int origin = g->cellIndex[size_t(cell.row()) * size_t(columns) + size_t(cell.column())];
                g->cellIndex[size_t(r) * size_t(columns) + size_t(c)] = origin;
                continue;
            }
            g->cellIndex[size_t(r) * size_t(columns) + size_t(c)] = int(boxes.size());
            boxes.push_back(cellBox(table, cell, fmt.cellPadding(), collapse, grid));
        }
    }

    // Natural widths: each cell laid out without wrapping gives its minimum and maximum.
    std::vector<qreal> minWidths(size_t(columns), 1);
    std::vector<qreal> maxWidths(size_t(columns), -1);
    for (const CellBox &box : boxes) {
        const FrameLayout::Flow natural = FrameLayout::layoutFlow(box.cell.begin(), FrameLayout::Unbounded);
        const int c = box.column;
        const int span = qMin(box.columnSpan, columns - c);
        qreal minLeft = natural.minimumWidth + box.left + box.right;
        qreal maxLeft = natural.maximumWidth + box.left + box.right;
        for (int n = 0; n < span; ++n) {
            const size_t col = size_t(c + n);
            const qreal w = std::ceil(minLeft / (span - n));
            minWidths[col] = qMax(minWidths[col], w);
            minLeft -= minWidths[col];
            const qreal mw = std::ceil(maxLeft / (span - n));
            maxWidths[col] = qMax(qMax(maxWidths[col], mw), minWidths[col]);
            maxLeft -= maxWidths[col];
        }
    }

    // Fixed columns, then percentages, then the variable ones share what is left.
    qreal remaining = contentsWidth - columns * 2 * cellBorder - (columns + 1) * spacing;
    if (collapse)
        remaining -= outerLeft + outerRight;
    const qreal initial = remaining;
    std::vector<qreal> widths(size_t(columns), 0);
    qreal totalPercentage = 0;
    int variable = 0;
    for (int i = 0; i < columns; ++i) {
        const QTextLength &length = constraints.at(i);
        if (length.type() == QTextLength::FixedLength) {
            widths[size_t(i)] = qMax(length.rawValue(), minWidths[size_t(i)]);
            minWidths[size_t(i)] = widths[size_t(i)];
            remaining -= widths[size_t(i)];
        } else if (length.type() == QTextLength::PercentageLength) {
            totalPercentage += length.rawValue();
        } else {
            ++variable;
            widths[size_t(i)] = minWidths[size_t(i)];
            remaining -= minWidths[size_t(i)];
        }
    }
    if (totalPercentage > 0) {
        const qreal percentaged = initial * totalPercentage / 100;
        for (int i = 0; i < columns; ++i) {
            if (constraints.at(i).type() != QTextLength::PercentageLength)
                continue;
            const qreal w = percentaged * constraints.at(i).rawValue() / totalPercentage;
            widths[size_t(i)] = qMax(minWidths[size_t(i)], qMin(w, qMax(minWidths[size_t(i)], remaining)));
            remaining -= widths[size_t(i)];
        }
    }
    if (variable > 0 && remaining > 0) {
        for (int pass = 0; pass < 8 && remaining > 0.5; ++pass) {
            int open = 0;
            for (int i = 0; i < columns; ++i) {
                if (constraints.at(i).type() == QTextLength::VariableLength && maxWidths[size_t(i)] > widths[size_t(i)])
                    ++open;
            }
            if (open == 0)
                break;
            const qreal share = remaining / open;
            for (int i = 0; i < columns; ++i) {
                if (constraints.at(i).type() != QTextLength::VariableLength || maxWidths[size_t(i)] <= widths[size_t(i)])
                    continue;
                const qreal w = qMin(maxWidths[size_t(i)] - widths[size_t(i)], share);
                widths[size_t(i)] += w;
                remaining -= w;
            }
        }
        if (remaining > 0 && fmt.width().type() != QTextLength::VariableLength) {
            for (int i = 0; i < columns; ++i) {
                if (constraints.at(i).type() == QTextLength::VariableLength)
                    widths[size_t(i)] += remaining / variable;
            }
        }
    }
    // Whole pixels, the rounding error carried along, so that borders stay crisp.
    qreal error = 0;
    for (qreal &w : widths) {
        const qreal original = w;
        w = roundFixed(w - error);
        error = w - original;
    }
    g->columnWidth = widths;
    g->columnX.resize(size_t(columns));
    for (int i = 0; i < columns; ++i) {
        g->columnX[size_t(i)] = i == 0 ? leftMargin + spacing + border
                                       : g->columnX[size_t(i - 1)] + widths[size_t(i - 1)] + 2 * cellBorder + spacing;
    }
    auto spanWidth = [&](int c, int span) {
        const int last = qMin(c + span, columns) - 1;
        return g->columnX[size_t(last)] + widths[size_t(last)] - g->columnX[size_t(c)];
    };

    // Rows: each cell laid out at its width; a span grows only its last row.
    g->cells.resize(boxes.size());
    g->rowY.assign(size_t(rows), 0);
    g->rowHeight.assign(size_t(rows), 0);
    std::vector<qreal> spanNeeds(boxes.size(), 0);
    for (size_t i = 0; i < boxes.size(); ++i) {
        const CellBox &box = boxes[i];
        FrameLayout::Cell &cell = g->cells[i];
        cell.row = box.row;
        cell.column = box.column;
        const qreal w = spanWidth(cell.column, box.columnSpan) - box.left - box.right;
        cell.flow = FrameLayout::layoutFlow(box.cell.begin(), qMax(qreal(0), w));
        const qreal h = roundFixed(cell.flow.height + box.top + box.bottom);
        if (box.rowSpan > 1)
            spanNeeds[i] = h;
        else
            g->rowHeight[size_t(cell.row)] = qMax(g->rowHeight[size_t(cell.row)], h);
    }
    // The spans that end in each row, to grow it to what they need.
    std::vector<std::vector<size_t>> spansEnding;
    spansEnding.resize(size_t(rows));
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (spanNeeds[i] > 0)
            spansEnding[size_t(qMin(boxes[i].row + boxes[i].rowSpan, rows) - 1)].push_back(i);
    }
    for (int r = 0; r < rows; ++r) {
        g->rowY[size_t(r)] = r == 0 ? topMargin + spacing + border
                                    : g->rowY[size_t(r - 1)] + g->rowHeight[size_t(r - 1)] + 2 * cellBorder + spacing;
        for (const size_t i : spansEnding[size_t(r)]) {
            const qreal have = g->rowY[size_t(r)] - g->rowY[size_t(boxes[i].row)];
            g->rowHeight[size_t(r)] = qMax(g->rowHeight[size_t(r)], roundFixed(spanNeeds[i] - have));
        }
    }
    for (size_t i = 0; i < boxes.size(); ++i) {
        const CellBox &box = boxes[i];
        FrameLayout::Cell &cell = g->cells[i];
        const int lastRow = qMin(cell.row + box.rowSpan, rows) - 1;
        const qreal top = g->rowY[size_t(cell.row)];
        const qreal height = g->rowY[size_t(lastRow)] + g->rowHeight[size_t(lastRow)] - top;
        cell.rect = QRectF(g->columnX[size_t(cell.column)], top, spanWidth(cell.column, box.columnSpan), height);
        qreal offset = 0;
        const qreal used = cell.flow.height + box.top + box.bottom;
        switch (box.cell.format().verticalAlignment()) {
        case QTextCharFormat::AlignMiddle:
            offset = (height - used) / 2;
            break;
        case QTextCharFormat::AlignBottom:
            offset = height - used;
            break;
        default:
            break;
        }
        cell.contentOrigin = QPointF(cell.rect.left() + box.left, top + box.top + qMax(qreal(0), offset));
    }

    // The sizes as Qt sums them up.
    const qreal contentRight = g->columnX.back() + widths.back() + framePadding + border + spacing;
    const qreal height = g->rowY.back() + g->rowHeight.back() + framePadding + border + spacing + marginBottom +
                         outerBottom + framePadding;
    g->size = QSizeF(contentRight + outerRight + framePadding + marginRight, height);
    g->borderRect = QRectF(QPointF(marginLeft, marginTop),
                           QPointF(g->size.width() - marginRight, height - marginBottom));
    qreal minimum = g->columnX.front();
    qreal maximum = g->columnX.front();
    for (int i = 0; i < columns; ++i) {
        minimum += minWidths[size_t(i)] + 2 * cellBorder + spacing;
        maximum += qMax(maxWidths[size_t(i)], minWidths[size_t(i)]) + 2 * cellBorder + spacing;
    }
    g->minimumWidth = minimum + rightMargin - border;
    g->maximumWidth = maximum + rightMargin - border;
}

// One collapsed or explicit cell edge, placed the way Qt places it: a collapsed edge
// straddles the line between two cells, whole pixels on each side.
void drawEdge(QPainter *painter, const QTextTable *table, const QRectF &rect, Edge side, const EdgeData &d,
              bool collapse, bool grid)
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
    const qreal w = d.width;
    const qreal in = collapse ? std::ceil(w / 2) : 0;  // outward on the top and left
    const qreal out = collapse ? std::floor(w / 2) : 0; // outward on the bottom and right
    QRectF r;
    switch (side) {
    case Edge::Top:
        r = QRectF(rect.left(), rect.top() - in, rect.width(), w);
        break;
    case Edge::Bottom:
        r = QRectF(rect.left(), rect.bottom() - w + out, rect.width(), w);
        break;
    case Edge::Left:
        r = QRectF(rect.left() - in, rect.top(), w, rect.height());
        break;
    case Edge::Right:
        r = QRectF(rect.right() - w + out, rect.top(), w, rect.height());
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

void layout(QTextTable *table, qreal availableWidth, FrameLayout::Geometry *geometry)
{
    layoutInto(table, availableWidth, geometry);
}

// A border ring as Qt draws a frame's: edges of width border outside the rectangle
// (x, y, w, h) to its right and bottom, in the frame's border style: inset and outset
// light one half of the ring.
void drawRing(QPainter *painter, const QRectF &rect, qreal border, QBrush brush, int style)
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
    painter->fillRect(QRectF(QPointF(l + border, t), QPointF(r + border, t + border)), topLeft);
    painter->fillRect(QRectF(QPointF(r, t + border), QPointF(r + border, b)), bottomRight);
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
        drawRing(painter, ring, g.border, fmt.borderBrush(), fmt.borderStyle());
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
        for (Edge e : {Edge::Top, Edge::Left, Edge::Right, Edge::Bottom})
            drawEdge(painter, table, rect, e, axisEdge(table, tableCell, e, collapse, grid), collapse, grid);
        painter->restore();
        painter->save();
        painter->setClipRect(rect, Qt::IntersectClip);
        FrameLayout::drawFlow(painter, origin + cell.contentOrigin, cellContext, cell.flow, cursorWidth, clip);
        painter->restore();
    }
}

} // namespace TableLayout
