#include "layout/tablelayout.h"

#include "base/layoutproperties.h"
#include "layout/paragraphlayout.h"

#include <QDeadlineTimer>
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

// Sharing what is left among variable columns ends when nothing more is taken;
// this bounds it whatever the widths.
constexpr int MaxSharingPasses = 256;

qreal roundFixed(qreal v)
{
    return std::floor(v + 0.5);
}

// A length divided as Qt divides it, in 64ths of a pixel, the rest cut off.
qreal divideFixed(qreal v, int by)
{
    return std::trunc(ParagraphLayout::fixed(v) * 64 / by) / 64;
}

qreal halfFixed(qreal v)
{
    return divideFixed(v, 2);
}

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

Layouter::CellBox Layouter::cellBox(const QTextTable *table, const QTextTableCell &cell, qreal cellPadding,
                                    bool collapse, bool grid)
{
    CellBox box{cell, cell.row(), cell.column(), cell.rowSpan(), cell.columnSpan()};
    const QTextTableCellFormat f = cell.format().toTableCellFormat();
    box.alignment = f.verticalAlignment();
    auto side = [&](Edge e) {
        const QVariant v = f.property(paddingProperty(e));
        const qreal pad = ParagraphLayout::fixed(v.isNull() ? cellPadding : v.toReal());
        const qreal edge = axisEdge(table, cell, e, collapse, grid).width;
        return pad + (collapse ? halfFixed(edge) : ParagraphLayout::fixed(edge));
    };
    box.top = side(Edge::Top);
    box.bottom = side(Edge::Bottom);
    box.left = side(Edge::Left);
    box.right = side(Edge::Right);
    return box;
}

Layouter::Layouter(QTextTable *table, qreal availableWidth)
    : m_table(table)
    , m_geometry(std::make_shared<FrameLayout::Geometry>())
{
    FrameLayout::Geometry *g = m_geometry.get();
    g->frame = table;
    const QTextTableFormat fmt = table->format();
    m_rows = table->rows();
    m_columns = table->columns();
    g->table = true;
    g->rows = m_rows;
    g->columns = m_columns;
    if (m_rows <= 0 || m_columns <= 0) {
        m_phase = Phase::Done;
        return;
    }
    // Qt's numbers: margins, border and padding are whole pixels; a collapsed table
    // has no spacing and no border ring around its cells, but the widest outer cell
    // edges, halved, around it.
    m_collapse = fmt.borderCollapse();
    m_grid = m_collapse && fmt.border() >= 1;
    m_border = roundFixed(fmt.border());
    m_cellBorder = m_collapse ? 0 : m_border;
    m_spacing = m_collapse ? 0 : roundFixed(fmt.cellSpacing());
    m_framePadding = roundFixed(fmt.padding());
    m_marginLeft = roundFixed(fmt.leftMargin());
    m_marginRight = roundFixed(fmt.rightMargin());
    m_marginTop = roundFixed(fmt.topMargin());
    m_marginBottom = roundFixed(fmt.bottomMargin());
    m_outerTop = m_outerBottom = m_outerLeft = m_outerRight = m_border;
    if (m_collapse) {
        qreal widest[4] = {0, 0, 0, 0};
        for (int r = 0; r < m_rows; ++r) {
            for (int c = 0; c < m_columns; ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (r == 0)
                    widest[0] = qMax(widest[0], cellEdge(table, cell, Edge::Top, m_grid).width);
                if (r == m_rows - 1)
                    widest[1] = qMax(widest[1], cellEdge(table, cell, Edge::Bottom, m_grid).width);
            }
            widest[2] = qMax(widest[2], cellEdge(table, table->cellAt(r, 0), Edge::Left, m_grid).width);
            widest[3] = qMax(widest[3], cellEdge(table, table->cellAt(r, m_columns - 1), Edge::Right, m_grid).width);
        }
        m_outerTop = roundFixed(widest[0] / 2);
        m_outerBottom = roundFixed(widest[1] / 2);
        m_outerLeft = roundFixed(widest[2] / 2);
        m_outerRight = roundFixed(widest[3] / 2);
    }
    g->border = m_border;
    g->cellBorder = m_cellBorder;
    g->borderBrush = fmt.borderBrush().style() == Qt::NoBrush ? QBrush(Qt::darkGray) : fmt.borderBrush();
    m_leftMargin = m_marginLeft + m_framePadding + m_outerLeft;
    m_rightMargin = m_marginRight + m_framePadding + m_outerRight;
    m_topMargin = m_marginTop + m_framePadding + m_outerTop;
    const qreal frameWidth = FrameLayout::lengthValue(fmt.width(), availableWidth);
    m_contentsWidth = frameWidth - 2 * (m_border + m_framePadding) - m_marginLeft - m_marginRight;
    m_constraints = fmt.columnWidthConstraints();
    m_constraints.resize(m_columns);
    m_variableWidth = fmt.width().type() == QTextLength::VariableLength;
    m_cellPadding = fmt.cellPadding();
    m_keepSpacing = fmt.boolProperty(LayoutProperty::CellsKeepSpacing);
    for (const QVariant &h : fmt.property(LayoutProperty::RowHeights).toList())
        m_rowHeights.push_back(h.toReal());
    g->cellIndex.assign(size_t(m_rows) * size_t(m_columns), -1);
    m_minWidths.assign(size_t(m_columns), 1);
    m_maxWidths.assign(size_t(m_columns), -1);
}

bool Layouter::run(const QDeadlineTimer &deadline)
{
    FrameLayout::Geometry *g = m_geometry.get();
    // The cells, row by row: the top-left one of each span.
    while (m_phase == Phase::Cells) {
        if (m_next >= m_rows) {
            m_phase = Phase::Natural;
            m_next = 0;
            break;
        }
        const int r = m_next++;
        for (int c = 0; c < m_columns; ++c) {
            const QTextTableCell cell = m_table->cellAt(r, c);
            if (!cell.isValid())
                continue;
            if (cell.row() != r || cell.column() != c) {
                const int origin = g->cellIndex[size_t(cell.row()) * size_t(m_columns) + size_t(cell.column())];
                g->cellIndex[size_t(r) * size_t(m_columns) + size_t(c)] = origin;
                continue;
            }
            g->cellIndex[size_t(r) * size_t(m_columns) + size_t(c)] = int(m_boxes.size());
            m_boxes.push_back(cellBox(m_table, cell, m_cellPadding, m_collapse, m_grid));
        }
        if (deadline.hasExpired())
            return false;
    }
    // Natural widths: each cell laid out without wrapping gives its minimum and maximum.
    while (m_phase == Phase::Natural) {
        if (m_next >= int(m_boxes.size())) {
            m_next = 0;
            if (!distributeWidths()) {
                m_breakAnywhere = true;
                m_minWidths.assign(size_t(m_columns), 1);
                m_maxWidths.assign(size_t(m_columns), -1);
                continue;
            }
            m_phase = Phase::Rows;
            break;
        }
        if (m_next == 0) {
            // Column by column, as Qt goes: where spans overlap, the order decides.
            m_order.resize(m_boxes.size());
            for (size_t i = 0; i < m_order.size(); ++i)
                m_order[i] = int(i);
            std::stable_sort(m_order.begin(), m_order.end(),
                             [this](int a, int b) { return m_boxes[size_t(a)].column < m_boxes[size_t(b)].column; });
        }
        const CellBox &box = m_boxes[size_t(m_order[size_t(m_next++)])];
        const FrameLayout::Flow natural = FrameLayout::layoutFlow(box.cell.begin(), FrameLayout::Unbounded, m_breakAnywhere);
        const int c = box.column;
        const int span = qMin(box.columnSpan, m_columns - c);
        // Spread over the columns spanned as Qt spreads it: the minimum in 64ths of a
        // pixel, each column's share rounded up to a whole pixel; so is the maximum's.
        const qreal padding = box.left + box.right;
        qreal spread = ParagraphLayout::fixed(natural.minimumWidth) + padding;
        for (int n = 0; n < span; ++n) {
            const size_t col = size_t(c + n);
            m_minWidths[col] = std::ceil(qMax(m_minWidths[col], divideFixed(spread, span - n)));
            spread -= m_minWidths[col];
            if (spread <= 0)
                break;
        }
        qreal maxLeft = natural.maximumWidth + padding;
        for (int n = 0; n < span; ++n) {
            const size_t col = size_t(c + n);
            const qreal mw = std::ceil(maxLeft / (span - n));
            m_maxWidths[col] = qMax(qMax(m_maxWidths[col], mw), m_minWidths[col]);
            maxLeft -= m_maxWidths[col];
        }
        if (deadline.hasExpired())
            return false;
    }
    // Rows: each cell laid out at its width; a span grows only its last row.
    while (m_phase == Phase::Rows) {
        if (m_next >= int(m_boxes.size())) {
            finish();
            m_phase = Phase::Done;
            break;
        }
        const size_t i = size_t(m_next++);
        const CellBox &box = m_boxes[i];
        FrameLayout::Cell &cell = g->cells[i];
        cell.row = box.row;
        cell.column = box.column;
        const qreal w = spanWidth(cell.column, box.columnSpan) - box.left - box.right;
        cell.flow = FrameLayout::layoutFlow(box.cell.begin(), qMax(qreal(0), w));
        m_boxes[i].needed = roundFixed(contentHeight(cell.flow) + box.top + box.bottom);
        if (deadline.hasExpired())
            return m_phase == Phase::Done;
    }
    return true;
}

qreal Layouter::contentHeight(const FrameLayout::Flow &flow) const
{
    return m_keepSpacing ? flow.height + flow.topMargin + flow.bottomMargin : flow.height;
}

qreal Layouter::spanWidth(int column, int span) const
{
    const FrameLayout::Geometry *g = m_geometry.get();
    const int last = qMin(column + span, m_columns) - 1;
    return g->columnX[size_t(last)] + g->columnWidth[size_t(last)] - g->columnX[size_t(column)];
}

bool Layouter::distributeWidths()
{
    FrameLayout::Geometry *g = m_geometry.get();
    const int columns = m_columns;
    const QList<QTextLength> &constraints = m_constraints;
    std::vector<qreal> &minWidths = m_minWidths;
    const std::vector<qreal> &maxWidths = m_maxWidths;
    // Fixed columns, then percentages, then the variable ones share what is left.
    qreal remaining = ParagraphLayout::fixed(m_contentsWidth) - columns * 2 * m_cellBorder - (columns + 1) * m_spacing;
    if (m_collapse)
        remaining -= m_outerLeft + m_outerRight;
    const qreal initial = remaining;
    std::vector<qreal> widths(size_t(columns), 0);
    qreal totalPercentage = 0;
    int variable = 0;
    for (int i = 0; i < columns; ++i) {
        const QTextLength &length = constraints.at(i);
        if (length.type() == QTextLength::FixedLength) {
            widths[size_t(i)] = qMax(ParagraphLayout::fixed(length.rawValue()), minWidths[size_t(i)]);
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
        // What is left goes to the variable columns that know their widest, each
        // taking its part of what the ones before it left, in 64ths of a pixel as Qt
        // shares it; then, in a table of set width, to every variable column alike.
        std::vector<int> known;
        for (int i = 0; i < columns; ++i) {
            if (constraints.at(i).type() == QTextLength::VariableLength && maxWidths[size_t(i)] >= 0)
                known.push_back(i);
        }
        qreal last = remaining;
        for (int pass = 0; pass < MaxSharingPasses && remaining > 0; ++pass) {
            for (size_t k = 0; k < known.size(); ++k) {
                const size_t col = size_t(known[k]);
                const qreal w = qMin(maxWidths[col] - widths[col], divideFixed(remaining, int(known.size() - k)));
                widths[col] += w;
                remaining -= w;
            }
            if (remaining == last)
                break;
            last = remaining;
        }
        if (remaining > 0 && !m_variableWidth) {
            const qreal each = divideFixed(remaining, variable);
            for (int i = 0; i < columns; ++i) {
                if (constraints.at(i).type() == QTextLength::VariableLength)
                    widths[size_t(i)] += each;
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
        g->columnX[size_t(i)] = i == 0 ? m_leftMargin + m_spacing + m_border
                                       : g->columnX[size_t(i - 1)] + widths[size_t(i - 1)] + 2 * m_cellBorder + m_spacing;
    }
    // A table wider than its room is measured again with words broken anywhere, as
    // Qt does where the document breaks at words or anywhere.
    const qreal used = g->columnX.back() + widths.back() + m_framePadding + m_border + m_spacing -
                       (m_marginLeft + m_border + m_framePadding);
    if (used > m_contentsWidth && !m_breakAnywhere &&
        m_table->document()->defaultTextOption().wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere)
        return false;
    g->cells.resize(m_boxes.size());
    g->rowY.assign(size_t(m_rows), 0);
    g->rowHeight.assign(size_t(m_rows), 0);
    return true;
}

bool Layouter::relayoutCell(int row, int column)
{
    FrameLayout::Geometry *g = m_geometry.get();
    if (m_phase != Phase::Done || row < 0 || row >= m_rows || column < 0 || column >= m_columns ||
        m_table->rows() != m_rows || m_table->columns() != m_columns)
        return false;
    for (int c = 0; c < m_columns; ++c) {
        const QTextLength &length = m_constraints.at(c);
        if (length.type() != QTextLength::FixedLength || g->columnWidth[size_t(c)] != roundFixed(length.rawValue()))
            return false;
    }
    const int index = g->cellIndex[size_t(row) * size_t(m_columns) + size_t(column)];
    if (index < 0)
        return false;
    CellBox &box = m_boxes[size_t(index)];
    // The cell's format may have changed too: its padding, borders and alignment anew.
    const CellBox fresh = cellBox(m_table, m_table->cellAt(box.row, box.column), m_cellPadding, m_collapse, m_grid);
    // Borders shared with neighbours, another padding: more than this cell changes.
    if (fresh.row != box.row || fresh.column != box.column || fresh.rowSpan != box.rowSpan ||
        fresh.columnSpan != box.columnSpan || fresh.top != box.top || fresh.bottom != box.bottom ||
        fresh.left != box.left || fresh.right != box.right)
        return false;
    const QTextTableCell cell = fresh.cell;
    const qreal width = spanWidth(box.column, box.columnSpan);
    const FrameLayout::Flow natural = FrameLayout::layoutFlow(cell.begin(), FrameLayout::Unbounded, m_breakAnywhere);
    if (natural.minimumWidth + box.left + box.right > width)
        return false;
    box = fresh;
    FrameLayout::Cell &laid = g->cells[size_t(index)];
    laid.flow = FrameLayout::layoutFlow(cell.begin(), qMax(qreal(0), width - box.left - box.right));
    box.needed = roundFixed(contentHeight(laid.flow) + box.top + box.bottom);
    finish();
    return true;
}

void Layouter::finish()
{
    FrameLayout::Geometry *g = m_geometry.get();
    const int rows = m_rows;
    const int columns = m_columns;
    const std::vector<CellBox> &boxes = m_boxes;
    // A row is as high as its cells need; a span grows only its last row, and the
    // spans that end in each row are gathered for that.
    std::vector<std::vector<size_t>> spansEnding;
    spansEnding.resize(size_t(rows));
    g->rowHeight.assign(size_t(rows), 0);
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (boxes[i].rowSpan > 1)
            spansEnding[size_t(qMin(boxes[i].row + boxes[i].rowSpan, rows) - 1)].push_back(i);
        else
            g->rowHeight[size_t(boxes[i].row)] = qMax(g->rowHeight[size_t(boxes[i].row)], boxes[i].needed);
    }
    // Rows the producer made at least or exactly so high.
    for (size_t r = 0; r < size_t(rows) && r < m_rowHeights.size(); ++r) {
        if (m_rowHeights[r] > 0)
            g->rowHeight[r] = qMax(g->rowHeight[r], roundFixed(m_rowHeights[r]));
        else if (m_rowHeights[r] < 0)
            g->rowHeight[r] = roundFixed(-m_rowHeights[r]);
    }
    for (int r = 0; r < rows; ++r) {
        g->rowY[size_t(r)] = r == 0 ? m_topMargin + m_spacing + m_border
                                    : g->rowY[size_t(r - 1)] + g->rowHeight[size_t(r - 1)] + 2 * m_cellBorder + m_spacing;
        if (size_t(r) < m_rowHeights.size() && m_rowHeights[size_t(r)] < 0)
            continue;
        for (const size_t i : spansEnding[size_t(r)]) {
            const qreal have = g->rowY[size_t(r)] - g->rowY[size_t(boxes[i].row)];
            g->rowHeight[size_t(r)] = qMax(g->rowHeight[size_t(r)], roundFixed(boxes[i].needed - have));
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
        const qreal used = contentHeight(cell.flow) + box.top + box.bottom;
        switch (box.alignment) {
        case QTextCharFormat::AlignMiddle:
            offset = halfFixed(height - used);
            break;
        case QTextCharFormat::AlignBottom:
            offset = height - used;
            break;
        default:
            break;
        }
        const qreal before = m_keepSpacing ? ParagraphLayout::fixed(cell.flow.topMargin) : 0;
        cell.contentOrigin = QPointF(cell.rect.left() + box.left, top + box.top + before + qMax(qreal(0), offset));
    }

    // The sizes as Qt sums them up.
    const qreal contentRight = g->columnX.back() + g->columnWidth.back() + m_framePadding + m_border + m_spacing;
    const qreal height = g->rowY.back() + g->rowHeight.back() + m_framePadding + m_border + m_spacing + m_marginBottom +
                         m_outerBottom + m_framePadding;
    g->size = QSizeF(contentRight + m_outerRight + m_framePadding + m_marginRight, height);
    g->borderRect = QRectF(QPointF(m_marginLeft, m_marginTop),
                           QPointF(g->size.width() - m_marginRight, height - m_marginBottom));
    qreal minimum = g->columnX.front();
    qreal maximum = g->columnX.front();
    for (int i = 0; i < columns; ++i) {
        minimum += m_minWidths[size_t(i)] + 2 * m_cellBorder + m_spacing;
        maximum += qMax(m_maxWidths[size_t(i)], m_minWidths[size_t(i)]) + 2 * m_cellBorder + m_spacing;
    }
    g->minimumWidth = minimum + m_rightMargin - m_border;
    g->maximumWidth = maximum + m_rightMargin - m_border;
}

std::shared_ptr<FrameLayout::Geometry> layout(QTextTable *table, qreal availableWidth)
{
    Layouter layouter(table, availableWidth);
    layouter.run(QDeadlineTimer(QDeadlineTimer::Forever));
    return layouter.geometry();
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
