#include "layout/tablelayout.h"

#include "base/layoutproperties.h"
#include "layout/paragraphlayout.h"
#include "layout/tableedges.h"

#include <QDeadlineTimer>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace TableLayout {

namespace {

// A band of a table gathers rows until it holds this many cells (and no cell spans
// across its end): few enough that one is laid out well within a slice, many enough
// that a long table makes no more entries than it needs.
constexpr int BandCells = 64;

// Sharing what is left among variable columns ends when nothing more is taken;
// this bounds it whatever the widths.
constexpr int MaxSharingPasses = 256;

} // namespace

Layouter::Layouter(QTextTable *table, qreal availableWidth, bool inBands)
    : m_table(table)
{
    m_rows = table->rows();
    m_columns = table->columns();
    readFormat(availableWidth);
    makeGrid(inBands);
    m_minWidths.assign(size_t(m_columns), 1);
    m_maxWidths.assign(size_t(m_columns), -1);
    m_variableColumns = std::any_of(m_constraints.begin(), m_constraints.end(), [](const QTextLength &l) {
        return l.type() == QTextLength::VariableLength;
    });
    if (!m_variableColumns || m_boxes.empty()) {
        // Fixed and percentage widths need no measure to begin with: bands can be
        // laid out with them while the cells are measured.
        std::vector<qreal> widths;
        distributeWidths(&widths, 0);
        bool changed = false;
        adoptWidths(widths, &changed);
    }
}

Layouter::~Layouter() = default;

void Layouter::readFormat(qreal availableWidth)
{
    const QTextTableFormat fmt = m_table->format();
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
    if (m_collapse && m_rows > 0 && m_columns > 0) {
        qreal widest[4] = {0, 0, 0, 0};
        for (int r = 0; r < m_rows; ++r) {
            for (int c = 0; c < m_columns; ++c) {
                if (r != 0 && r != m_rows - 1)
                    break;
                const QTextTableCell cell = m_table->cellAt(r, c);
                if (r == 0)
                    widest[0] = qMax(widest[0], cellEdge(m_table, cell, Edge::Top, m_grid).width);
                if (r == m_rows - 1)
                    widest[1] = qMax(widest[1], cellEdge(m_table, cell, Edge::Bottom, m_grid).width);
            }
            widest[2] = qMax(widest[2], cellEdge(m_table, m_table->cellAt(r, 0), Edge::Left, m_grid).width);
            widest[3] = qMax(widest[3], cellEdge(m_table, m_table->cellAt(r, m_columns - 1), Edge::Right, m_grid).width);
        }
        m_outerTop = roundFixed(widest[0] / 2);
        m_outerBottom = roundFixed(widest[1] / 2);
        m_outerLeft = roundFixed(widest[2] / 2);
        m_outerRight = roundFixed(widest[3] / 2);
    }
    m_borderBrush = fmt.borderBrush().style() == Qt::NoBrush ? QBrush(Qt::darkGray) : fmt.borderBrush();
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
    m_asGiven = fmt.boolProperty(LayoutProperty::ColumnsAsGiven);
    m_rowHeights.clear();
    m_rowHeightsGiven = fmt.property(LayoutProperty::RowHeights);
    for (const QVariant &h : m_rowHeightsGiven.toList())
        m_rowHeights.push_back(h.toReal());
}

void Layouter::setAvailableWidth(qreal width)
{
    const QTextTableFormat fmt = m_table->format();
    const qreal frameWidth = FrameLayout::lengthValue(fmt.width(), width);
    const qreal contents = frameWidth - 2 * (m_border + m_framePadding) - m_marginLeft - m_marginRight;
    if (contents == m_contentsWidth)
        return;
    m_contentsWidth = contents;
    bool changed = false;
    if (m_settled) {
        // What is measured stays true; the room only shares it out anew, unless the
        // columns now overflow and want measures broken anywhere that were never made.
        if (!decide(&changed))
            m_settled = false;
    } else if (!m_variableColumns) {
        std::vector<qreal> widths;
        distributeWidths(&widths, 0);
        adoptWidths(widths, &changed);
    }
}

// The boxes (the top-left place of each cell), row by row, read off the grid: each
// place holds its cell, so a cell's extent is where it stands. The bands end where no
// cell spans from one row into the next.
void Layouter::makeGrid(bool inBands)
{
    const int rows = qMax(0, m_rows);
    const int columns = qMax(0, m_columns);
    std::vector<QTextTableCell> above(static_cast<size_t>(columns));
    std::vector<QTextTableCell> here(static_cast<size_t>(columns));
    Band band;
    int cellsInBand = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            here[size_t(c)] = m_table->cellAt(r, c);
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell &cell = here[size_t(c)];
            if (!cell.isValid() || (r > 0 && above[size_t(c)] == cell) || (c > 0 && here[size_t(c - 1)] == cell))
                continue;
            CellBox box;
            box.cell = cell;
            box.row = r;
            box.column = c;
            while (c + box.columnSpan < columns && here[size_t(c + box.columnSpan)] == cell)
                ++box.columnSpan;
            while (r + box.rowSpan < rows && m_table->cellAt(r + box.rowSpan, c) == cell)
                ++box.rowSpan;
            m_boxes.push_back(std::move(box));
            ++cellsInBand;
        }
        std::swap(above, here);
        bool crossed = false;
        if (r + 1 < rows) {
            for (int c = 0; c < columns && !crossed; ++c)
                crossed = m_table->cellAt(r + 1, c) == above[size_t(c)];
        }
        if (r + 1 == rows || (inBands && !crossed && cellsInBand >= BandCells)) {
            band.endRow = r + 1;
            band.endBox = int(m_boxes.size());
            m_bands.push_back(band);
            band = Band();
            band.firstRow = r + 1;
            band.firstBox = int(m_boxes.size());
            cellsInBand = 0;
        }
    }
    if (m_bands.empty())
        m_bands.push_back(Band());
}

bool Layouter::fits(const QTextTable *table) const
{
    if (table != m_table || table->rows() != m_rows || table->columns() != m_columns)
        return false;
    // Rows given their heights anew, or the cells' spacing: the table is laid out anew.
    const QTextTableFormat fmt = table->format();
    return fmt.boolProperty(LayoutProperty::CellsKeepSpacing) == m_keepSpacing &&
           fmt.boolProperty(LayoutProperty::ColumnsAsGiven) == m_asGiven &&
           fmt.property(LayoutProperty::RowHeights) == m_rowHeightsGiven;
}

int Layouter::bandOfRow(int row) const
{
    const auto it = std::partition_point(m_bands.begin(), m_bands.end(), [row](const Band &b) { return b.endRow <= row; });
    return qBound(0, int(it - m_bands.begin()), int(m_bands.size()) - 1);
}

int Layouter::bandOfPosition(int position) const
{
    if (m_bands.size() == 1 || position <= m_table->firstPosition())
        return 0;
    const QTextTableCell cell = m_table->cellAt(position);
    return cell.isValid() ? bandOfRow(cell.row()) : int(m_bands.size()) - 1;
}

int Layouter::bandPosition(int band) const
{
    const Band &b = m_bands[size_t(band)];
    return b.firstBox < b.endBox ? m_boxes[size_t(b.firstBox)].cell.firstPosition() : m_table->firstPosition();
}

qreal Layouter::width() const
{
    if (m_columnX.empty())
        return 0;
    const qreal contentRight = m_columnX.back() + m_columnWidth.back() + m_framePadding + m_border + m_spacing;
    return contentRight + m_outerRight + m_framePadding + m_marginRight;
}

int Layouter::boxAt(int band, int row, int column) const
{
    const Band &b = m_bands[size_t(band)];
    const auto first = m_boxes.begin() + b.firstBox;
    const auto last = m_boxes.begin() + b.endBox;
    const auto it = std::partition_point(first, last, [&](const CellBox &box) {
        return box.row < row || (box.row == row && box.column < column);
    });
    return it != last && it->row == row && it->column == column ? int(it - m_boxes.begin()) : -1;
}

void Layouter::format(CellBox &box)
{
    const QTextTableCellFormat f = box.cell.format().toTableCellFormat();
    box.alignment = f.verticalAlignment();
    auto side = [&](Edge e) {
        const QVariant v = f.property(paddingProperty(e));
        const qreal pad = ParagraphLayout::fixed(v.isNull() ? m_cellPadding : v.toReal());
        const qreal edge = axisEdge(m_table, box.cell, e, m_collapse, m_grid).width;
        return pad + (m_collapse ? halfFixed(edge) : ParagraphLayout::fixed(edge));
    };
    box.top = side(Edge::Top);
    box.bottom = side(Edge::Bottom);
    box.left = side(Edge::Left);
    box.right = side(Edge::Right);
    box.formatted = true;
}

void Layouter::formatBand(int band)
{
    Band &b = m_bands[size_t(band)];
    if (b.formatted)
        return;
    for (int i = b.firstBox; i < b.endBox; ++i) {
        if (!m_boxes[size_t(i)].formatted)
            format(m_boxes[size_t(i)]);
    }
    b.formatted = true;
}

bool Layouter::cellHolds(int row, int column) const
{
    const int band = bandOfRow(row);
    const int index = boxAt(band, row, column);
    if (index < 0)
        return false;
    const CellBox &box = m_boxes[size_t(index)];
    if (!box.formatted)
        return true;
    CellBox fresh;
    fresh.cell = box.cell;
    const_cast<Layouter *>(this)->format(fresh);
    return fresh.top == box.top && fresh.bottom == box.bottom && fresh.left == box.left && fresh.right == box.right &&
           fresh.alignment == box.alignment;
}

qreal Layouter::spanWidth(int column, int span) const
{
    const int last = qMin(column + span, m_columns) - 1;
    return m_columnX[size_t(last)] + m_columnWidth[size_t(last)] - m_columnX[size_t(column)];
}

qreal Layouter::contentHeight(const FrameLayout::Flow &flow) const
{
    return m_keepSpacing ? flow.height + flow.topMargin + flow.bottomMargin : flow.height;
}

qreal Layouter::contentWidth(const CellBox &box) const
{
    return qMax(qreal(0), spanWidth(box.column, box.columnSpan) - box.left - box.right);
}

bool Layouter::distributeWidths(std::vector<qreal> *result, int mode)
{
    const int columns = m_columns;
    const QList<QTextLength> &constraints = m_constraints;
    std::vector<qreal> &minWidths = m_minWidths;
    const std::vector<qreal> &maxWidths = m_maxWidths;
    // Fixed columns, then percentages, then the variable ones share what is left.
    qreal remaining = ParagraphLayout::fixed(m_contentsWidth) - columns * 2 * m_cellBorder - (columns + 1) * m_spacing;
    if (m_collapse)
        remaining -= m_outerLeft + m_outerRight;
    const qreal initial = remaining;
    std::vector<qreal> &widths = *result;
    widths.assign(size_t(columns), 0);
    qreal totalPercentage = 0;
    int variable = 0;
    bool allGiven = m_asGiven;
    for (int i = 0; i < columns; ++i) {
        const QTextLength &length = constraints.at(i);
        if (length.type() == QTextLength::FixedLength && m_asGiven) {
            // As the producer gave it: what does not fit breaks inside the cell.
            widths[size_t(i)] = ParagraphLayout::fixed(length.rawValue());
            minWidths[size_t(i)] = widths[size_t(i)];
            remaining -= widths[size_t(i)];
        } else if (length.type() == QTextLength::FixedLength) {
            allGiven = false;
            widths[size_t(i)] = qMax(ParagraphLayout::fixed(length.rawValue()), minWidths[size_t(i)]);
            minWidths[size_t(i)] = widths[size_t(i)];
            remaining -= widths[size_t(i)];
        } else if (length.type() == QTextLength::PercentageLength) {
            allGiven = false;
            totalPercentage += length.rawValue();
        } else {
            allGiven = false;
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
    if (columns == 0 || allGiven)
        return true; // words broken anywhere would not change the columns
    // A table wider than its room is measured again with words broken anywhere, as
    // Qt does where the document breaks at words or anywhere.
    qreal used = m_leftMargin + m_spacing + m_border;
    for (int i = 0; i < columns; ++i)
        used += widths[size_t(i)] + (i + 1 < columns ? 2 * m_cellBorder + m_spacing : 0);
    used += m_framePadding + m_border + m_spacing - (m_marginLeft + m_border + m_framePadding);
    return !(used > m_contentsWidth && mode == 0 &&
             m_table->document()->defaultTextOption().wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere);
}

void Layouter::adoptWidths(const std::vector<qreal> &widths, bool *changed)
{
    std::vector<qreal> x(widths.size());
    for (size_t i = 0; i < widths.size(); ++i)
        x[i] = i == 0 ? m_leftMargin + m_spacing + m_border : x[i - 1] + widths[i - 1] + 2 * m_cellBorder + m_spacing;
    if (m_version >= 0 && widths == m_columnWidth && x == m_columnX) {
        // The same columns: what is laid out stands, only the extremes may be new.
        qreal minimum = 0, maximum = 0;
        extremes(&minimum, &maximum);
        for (Band &band : m_bands) {
            if (band.geometry) {
                band.geometry->minimumWidth = minimum;
                band.geometry->maximumWidth = maximum;
            }
        }
        return;
    }
    m_columnWidth = widths;
    m_columnX = std::move(x);
    ++m_version;
    *changed = true;
}

bool Layouter::isLaid(int band) const
{
    const Band &b = m_bands[size_t(band)];
    return b.version == m_version && b.complete;
}

int Layouter::staleBand() const
{
    for (size_t i = 0; i < m_bands.size(); ++i) {
        if (m_bands[i].complete && m_bands[i].version != m_version)
            return int(i);
    }
    return -1;
}

const std::shared_ptr<FrameLayout::Geometry> &Layouter::geometry(int band) const
{
    return m_bands[size_t(band)].geometry;
}

bool Layouter::layBand(int index, const QDeadlineTimer &deadline)
{
    Band &band = m_bands[size_t(index)];
    if (isLaid(index) || m_version < 0)
        return m_version >= 0;
    formatBand(index);
    if (!band.geometry) {
        auto g = std::make_shared<FrameLayout::Geometry>();
        g->frame = m_table;
        g->table = true;
        g->rows = m_rows;
        g->columns = m_columns;
        g->firstRow = band.firstRow;
        g->bandRows = band.endRow - band.firstRow;
        g->ringTop = index == 0;
        g->ringBottom = index + 1 == int(m_bands.size());
        g->border = m_border;
        g->cellBorder = m_cellBorder;
        g->borderBrush = m_borderBrush;
        g->cells.resize(size_t(band.endBox - band.firstBox));
        g->cellIndex.assign(size_t(g->bandRows) * size_t(qMax(0, m_columns)), -1);
        for (int i = band.firstBox; i < band.endBox; ++i) {
            const CellBox &box = m_boxes[size_t(i)];
            FrameLayout::Cell &cell = g->cells[size_t(i - band.firstBox)];
            cell.row = box.row;
            cell.column = box.column;
            for (int r = box.row; r < box.row + box.rowSpan; ++r) {
                for (int c = box.column; c < box.column + box.columnSpan; ++c)
                    g->cellIndex[size_t(r - band.firstRow) * size_t(m_columns) + size_t(c)] = i - band.firstBox;
            }
        }
        band.geometry = std::move(g);
    }
    FrameLayout::Geometry *g = band.geometry.get();
    // Each cell laid out at its width, paragraph by paragraph when it was laid out
    // before: one whose width holds keeps its lines, so a band begun in an earlier
    // slice goes on where it stopped. Between slices the band stands as far as it
    // got, every paragraph in its place.
    const int count = band.endBox - band.firstBox;
    for (int i = 0; i < count; ++i) {
        CellBox &box = m_boxes[size_t(band.firstBox + i)];
        FrameLayout::Cell &cell = g->cells[size_t(i)];
        const qreal w = contentWidth(box);
        bool stopped = false;
        if (cell.laidWidth < 0) {
            cell.flow = FrameLayout::layoutFlow(box.cell.begin(), w);
        } else {
            bool moved = false;
            for (FrameLayout::Piece &piece : cell.flow.pieces) {
                if (piece.laidWidth == w)
                    continue;
                FrameLayout::relayPiece(piece, w);
                moved = true;
                if (deadline.hasExpired()) {
                    stopped = true;
                    break;
                }
            }
            if (!moved) {
                cell.laidWidth = w;
                continue;
            }
            FrameLayout::placeFlow(cell.flow);
        }
        cell.laidWidth = w;
        box.needed = roundFixed(contentHeight(cell.flow) + box.top + box.bottom);
        if (stopped || (deadline.hasExpired() && i + 1 < count)) {
            if (band.complete)
                finish(index);
            return false;
        }
    }
    band.version = m_version;
    band.complete = true;
    finish(index);
    return true;
}

// The band's rows from its cells: a row is as high as its cells need, a span grows
// only its last row; positions are the band's own, the first band holding the top of
// the table and the last its bottom, so that the bands stacked make the table.
void Layouter::finish(int index)
{
    const Band &band = m_bands[size_t(index)];
    FrameLayout::Geometry *g = band.geometry.get();
    const int rows = band.endRow - band.firstRow;
    const bool first = index == 0;
    const bool last = index + 1 == int(m_bands.size());
    std::vector<std::vector<int>> spansEnding(static_cast<size_t>(rows));
    g->rowHeight.assign(size_t(rows), 0);
    g->rowY.assign(size_t(rows), 0);
    for (int i = band.firstBox; i < band.endBox; ++i) {
        const CellBox &box = m_boxes[size_t(i)];
        const int r = box.row - band.firstRow;
        if (box.rowSpan > 1)
            spansEnding[size_t(qMin(r + box.rowSpan, rows) - 1)].push_back(i);
        else
            g->rowHeight[size_t(r)] = qMax(g->rowHeight[size_t(r)], box.needed);
    }
    // Rows the producer made at least or exactly so high.
    const auto setHeight = [&](int r) { return size_t(band.firstRow + r) < m_rowHeights.size() ? m_rowHeights[size_t(band.firstRow + r)] : 0; };
    for (int r = 0; r < rows; ++r) {
        const qreal h = setHeight(r);
        if (h > 0)
            g->rowHeight[size_t(r)] = qMax(g->rowHeight[size_t(r)], roundFixed(h));
        else if (h < 0)
            g->rowHeight[size_t(r)] = roundFixed(-h);
    }
    for (int r = 0; r < rows; ++r) {
        g->rowY[size_t(r)] = r == 0 ? (first ? m_topMargin + m_spacing + m_border : 0)
                                    : g->rowY[size_t(r - 1)] + g->rowHeight[size_t(r - 1)] + 2 * m_cellBorder + m_spacing;
        if (setHeight(r) < 0)
            continue;
        for (const int i : spansEnding[size_t(r)]) {
            const CellBox &box = m_boxes[size_t(i)];
            const qreal have = g->rowY[size_t(r)] - g->rowY[size_t(box.row - band.firstRow)];
            g->rowHeight[size_t(r)] = qMax(g->rowHeight[size_t(r)], roundFixed(box.needed - have));
        }
    }
    for (int i = band.firstBox; i < band.endBox; ++i) {
        const CellBox &box = m_boxes[size_t(i)];
        FrameLayout::Cell &cell = g->cells[size_t(i - band.firstBox)];
        const int r = box.row - band.firstRow;
        const int lastRow = qMin(r + box.rowSpan, rows) - 1;
        const qreal top = g->rowY[size_t(r)];
        const qreal height = g->rowY[size_t(lastRow)] + g->rowHeight[size_t(lastRow)] - top;
        cell.rect = QRectF(m_columnX[size_t(box.column)], top, spanWidth(box.column, box.columnSpan), height);
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
    g->columnX = m_columnX;
    g->columnWidth = m_columnWidth;
    qreal height = 0;
    if (rows > 0) {
        const qreal bottom = g->rowY.back() + g->rowHeight.back();
        height = last ? bottom + m_framePadding + m_border + m_spacing + m_marginBottom + m_outerBottom + m_framePadding
                      : bottom + 2 * m_cellBorder + m_spacing;
    }
    g->size = QSizeF(rows > 0 ? width() : 0, height);
    g->borderRect = QRectF(QPointF(m_marginLeft, first ? m_marginTop : 0),
                           QPointF(g->size.width() - m_marginRight, last ? height - m_marginBottom : height));
    extremes(&g->minimumWidth, &g->maximumWidth);
}

// The table's narrowest and widest, as Qt sums them up.
void Layouter::extremes(qreal *minimumWidth, qreal *maximumWidth) const
{
    if (m_columnX.empty())
        return;
    qreal minimum = m_columnX.front();
    qreal maximum = m_columnX.front();
    for (int i = 0; i < m_columns; ++i) {
        minimum += m_minWidths[size_t(i)] + 2 * m_cellBorder + m_spacing;
        maximum += qMax(m_maxWidths[size_t(i)], m_minWidths[size_t(i)]) + 2 * m_cellBorder + m_spacing;
    }
    *minimumWidth = minimum + m_rightMargin - m_border;
    *maximumWidth = maximum + m_rightMargin - m_border;
}

std::shared_ptr<FrameLayout::Geometry> layout(QTextTable *table, qreal availableWidth)
{
    // As Qt does: every cell measured, then laid out at its width.
    Layouter layouter(table, availableWidth, false);
    bool changed = false;
    layouter.settle(QDeadlineTimer(QDeadlineTimer::Forever), &changed);
    layouter.layBand(0, QDeadlineTimer(QDeadlineTimer::Forever));
    return layouter.geometry(0);
}

} // namespace TableLayout
