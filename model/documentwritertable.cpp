#include "model/documentwriter.h"

#include "base/layoutproperties.h"
#include "model/marks.h"
#include "model/table.h"
#include "model/twips.h"

#include <QTextCursor>
#include <QTextTable>

#include <algorithm>
#include <cmath>

// Tables: one QTextTable per source table, its grid made from all cell boundaries,
// merged cells spanning it, borders, shading and vertical alignment per cell.

namespace {

// The most a table reaching left of the text moves the text column right, pixels.
constexpr int MaxRoomLeft = 48;

QTextFrameFormat::BorderStyle borderStyle(unsigned char style)
{
    switch (style) {
    case BorderLine::Double:
        return QTextFrameFormat::BorderStyle_Double;
    case BorderLine::Dotted:
        return QTextFrameFormat::BorderStyle_Dotted;
    case BorderLine::Dashed:
        return QTextFrameFormat::BorderStyle_Dashed;
    default:
        return QTextFrameFormat::BorderStyle_Solid;
    }
}

const RowDef &defOf(const DocTable &table, const GridCell &cell)
{
    static const RowDef none;
    if (cell.padding)
        return none; // no cell of the row: nothing of the row's own
    const TableRow &row = table.rows[size_t(cell.sourceRow)];
    return row.def >= 0 ? table.defs[size_t(row.def)] : none;
}

const CellDef &cellDefOf(const DocTable &table, const GridCell &cell)
{
    static const CellDef none;
    const RowDef &def = defOf(table, cell);
    return size_t(cell.sourceCell) < def.cells.size() ? def.cells[size_t(cell.sourceCell)] : none;
}

bool shown(const BorderLine &b)
{
    return b.given && b.style != BorderLine::None;
}

} // namespace

int DocumentWriter::emptyFirstMark(const FlowContent &content, const GridCell &cell)
{
    for (const TableCell &part : cell.content) {
        if (part.begin >= part.end)
            continue;
        const FlowOp &op = content.ops[part.begin];
        if (op.kind != FlowOp::Para)
            return -1;
        return emptyParagraph(content, part.begin, part.end) ? op.charFormat : -1;
    }
    return -1;
}

std::vector<DocumentWriter::Edges> DocumentWriter::drawnEdges(const DocTable &table, const TableGrid &grid)
{
    // The borders each cell names itself, and those its row gives it (outer or
    // inside by where the cell stands).
    std::vector<Edges> own(grid.cells.size()), fromRow(grid.cells.size());
    std::vector<int> at(size_t(grid.rows) * size_t(grid.columns()), -1);
    for (size_t i = 0; i < grid.cells.size(); ++i) {
        const GridCell &cell = grid.cells[i];
        const RowDef &def = defOf(table, cell);
        const CellDef &cd = cellDefOf(table, cell);
        const bool top = cell.row == 0, bottom = cell.row + cell.rowSpan == grid.rows;
        const bool first = cell.column == 0, last = cell.column + cell.columnSpan == grid.columns();
        const RowDef::Edge row[4] = {top ? RowDef::Top : RowDef::InsideH, first ? RowDef::Left : RowDef::InsideV,
                                        bottom ? RowDef::Bottom : RowDef::InsideH, last ? RowDef::Right : RowDef::InsideV};
        for (int e = 0; e < 4; ++e) {
            own[i][size_t(e)] = cd.borders[e];
            fromRow[i][size_t(e)] = def.borders[row[e]];
        }
        for (int r = cell.row; r < cell.row + cell.rowSpan; ++r) {
            for (int c = cell.column; c < cell.column + cell.columnSpan; ++c)
                at[size_t(r) * size_t(grid.columns()) + size_t(c)] = int(i);
        }
    }
    // An edge is drawn once: an edge between two cells by the cell below or to the
    // right. What a cell names beats what its row gives, a shown border beats none.
    auto resolve = [&](size_t i, int edge, int other, int otherEdge) {
        const BorderLine &mine = own[i][size_t(edge)];
        const BorderLine *theirs = other >= 0 ? &own[size_t(other)][size_t(otherEdge)] : nullptr;
        if (shown(mine))
            return mine;
        if (theirs && shown(*theirs))
            return *theirs;
        if (mine.given || (theirs && theirs->given))
            return BorderLine(); // named, as none
        const BorderLine &row = fromRow[i][size_t(edge)];
        return shown(row) || other < 0 ? row : fromRow[size_t(other)][size_t(otherEdge)];
    };
    std::vector<Edges> drawn(grid.cells.size());
    for (size_t i = 0; i < grid.cells.size(); ++i) {
        const GridCell &cell = grid.cells[i];
        Edges &d = drawn[i];
        if (cell.row > 0) {
            d[CellDef::Top] = resolve(i, CellDef::Top, at[size_t(cell.row - 1) * size_t(grid.columns()) + size_t(cell.column)],
                                         CellDef::Bottom);
        } else {
            d[CellDef::Top] = resolve(i, CellDef::Top, -1, CellDef::Bottom);
        }
        const int before = cell.column > 0 ? at[size_t(cell.row) * size_t(grid.columns()) + size_t(cell.column - 1)] : -1;
        d[CellDef::Left] = resolve(i, CellDef::Left, before, CellDef::Right);
        if (cell.row + cell.rowSpan == grid.rows)
            d[CellDef::Bottom] = resolve(i, CellDef::Bottom, -1, CellDef::Top);
        if (cell.column + cell.columnSpan == grid.columns())
            d[CellDef::Right] = resolve(i, CellDef::Right, -1, CellDef::Left);
    }
    return drawn;
}

QVariantList DocumentWriter::rowHeights(const DocTable &table, const TableGrid &grid)
{
    // \trrh for the row (exactly when negative), or the tallest \clheight of its
    // cells as TextEdit writes it; none when no row has one.
    std::vector<int> twips(size_t(grid.rows), 0);
    bool any = false;
    for (const GridCell &cell : grid.cells) {
        const RowDef &def = defOf(table, cell);
        int &h = twips[size_t(cell.row)];
        if (def.height != 0)
            h = def.height;
        else if (cell.rowSpan == 1 && h >= 0)
            h = qMax(h, cellDefOf(table, cell).height);
        any = any || h != 0;
    }
    QVariantList heights;
    if (any) {
        for (const int h : twips)
            heights.append(h * PixelsPerTwip);
    }
    return heights;
}

void DocumentWriter::writeTable(DocTable &table, FlowEnd &flow)
{
    const TableGrid grid = layOutTable(table);
    if (!grid.valid) {
        writeFlat(table, flow);
        return;
    }
    const std::vector<Edges> edges = drawnEdges(table, grid);
    // One table, unless merging its cells in one would cost too much: then it goes in
    // as consecutive tables of whole rows, each within the budget.
    const std::vector<GridCell> &cells = grid.cells;
    const qint64 columns = grid.columns();
    int from = 0;
    size_t first = 0;
    qint64 merges = 0;
    for (size_t i = 0; i < cells.size();) {
        const int row = cells[i].row;
        size_t next = i;
        qint64 rowMerges = 0;
        for (; next < cells.size() && cells[next].row == row; ++next)
            rowMerges += cells[next].rowSpan > 1 || cells[next].columnSpan > 1;
        if (row > from && (merges + rowMerges) * qint64(row + 1 - from) * columns > TableLimits::MergeBudget) {
            writePart(table, grid, edges, first, i, from, row, flow);
            first = i;
            from = row;
            merges = 0;
        }
        merges += rowMerges;
        i = next;
    }
    writePart(table, grid, edges, first, cells.size(), from, grid.rows, flow);
}

void DocumentWriter::writePart(DocTable &table, const TableGrid &grid, const std::vector<Edges> &edges, size_t first, size_t end,
                          int fromRow, int toRow, FlowEnd &flow)
{
    if (flow != FlowEnd::AfterParagraph) {
        // The table's first cell marker ends the block the cursor is in; where no
        // paragraph stands there, that block is one only the table needs.
        QTextBlockFormat lead;
        lead.setProperty(DocProperty::TableLead, true);
        m_cursor.setBlockFormat(lead);
    }

    const int columns = grid.columns();
    const int rows = toRow - fromRow;
    static const RowDef noDef;
    const TableRow &firstRow = table.rows[size_t(grid.cells.front().sourceRow)];
    const RowDef &firstDef = firstRow.def >= 0 ? table.defs[size_t(firstRow.def)] : noDef;
    QTextTableFormat format;
    // Each cell draws its own top and left edges (and the last row and column their
    // bottom and right ones), resolved here from both cells that share an edge: this
    // looks like collapsed borders and paints several times faster than Qt's own
    // border collapsing, which a table repaints whole on every key typed into it.
    format.setBorder(0);
    format.setBorderCollapse(false);
    format.setCellSpacing(0);
    format.setCellPadding(0);
    format.setMargin(0);
    QList<QTextLength> widths;
    widths.reserve(columns);
    for (int c = 0; c < columns; ++c)
        widths.append(QTextLength(QTextLength::FixedLength, (grid.boundaries[size_t(c) + 1] - grid.boundaries[size_t(c)]) * PixelsPerTwip));
    format.setColumnWidthConstraints(widths);
    if (firstDef.alignment == 1) {
        format.setAlignment(Qt::AlignHCenter);
    } else if (firstDef.alignment == 2) {
        format.setAlignment(Qt::AlignRight);
    } else {
        format.setAlignment(Qt::AlignLeft);
        // Where the cells start, as the word processors that read these files show
        // them: the row's own left padding (\trpaddl, else \trgaph) left of \trleft, so
        // the text of a cell with that padding starts at \trleft (Word's \trleft-108
        // tables stand out of the text by their gap).
        const int rowPadding = firstDef.padding[CellDef::Left] >= 0 ? firstDef.padding[CellDef::Left] : firstDef.gap;
        const qreal left = (grid.boundaries.front() - qBound(0, rowPadding, 1440)) * PixelsPerTwip;
        if (left != 0)
            format.setLeftMargin(left);
        makeRoomLeft(left);
    }
    // The rows' heights as the producer set them, and the paragraphs' spacing the
    // cells hold.
    format.setProperty(LayoutProperty::CellsKeepSpacing, true);
    // The columns as \cellx made them, whatever their cells hold.
    format.setProperty(LayoutProperty::ColumnsAsGiven, true);
    const QVariantList heights = rowHeights(table, grid).mid(fromRow, rows);
    if (std::any_of(heights.begin(), heights.end(), [](const QVariant &h) { return h.toReal() != 0; }))
        format.setProperty(LayoutProperty::RowHeights, heights);
    if (fromRow > 0)
        format.setProperty(DocProperty::TableContinues, true);
    if (table.textBox)
        format.setProperty(DocProperty::TextBox, true);
    const bool padded = std::any_of(grid.cells.begin(), grid.cells.end(), [](const GridCell &c) { return c.padding; });
    if (padded)
        format.setProperty(TextMarks::Padded, true);

    QTextTable *qtable = m_cursor.insertTable(rows, columns, format);
    // Merging empty cells only drops their markers; the content goes in afterwards.
    // Each merge moves the cells after it in the table's list of cells. A span cut
    // by the end of the part ends there.
    const qint64 places = qint64(rows) * columns;
    for (size_t i = first; i < end; ++i) {
        const GridCell &cell = grid.cells[i];
        const int row = cell.row - fromRow;
        const int rowSpan = qMin(cell.rowSpan, rows - row);
        if (rowSpan > 1 || cell.columnSpan > 1) {
            qtable->mergeCells(row, cell.column, rowSpan, cell.columnSpan);
            m_cellsMoved += places - (qint64(row) * columns + cell.column);
        }
    }
    for (size_t i = first; i < end; ++i) {
        const GridCell &cell = grid.cells[i];
        QTextTableCell qcell = qtable->cellAt(cell.row - fromRow, cell.column);
        QTextTableCellFormat format = cellFormat(table, cell, edges[i]);
        if (const int mark = emptyFirstMark(table.content, cell); mark >= 0) {
            // An empty paragraph is as high as its mark's font. The character format
            // of a cell's first paragraph is the cell's own (Qt keeps both on the
            // character that opens the cell), so the mark's font goes into the cell's
            // format: setting the paragraph's would replace the padding and borders.
            const QTextCharFormat &markFormat = m_formats[size_t(mark)];
            for (int p = QTextFormat::FirstFontProperty; p <= QTextFormat::LastFontProperty; ++p) {
                if (markFormat.hasProperty(p))
                    format.setProperty(p, markFormat.property(p));
            }
        }
        qcell.setFormat(format);
        m_cursor.setPosition(qcell.firstPosition());
        if (cell.padding) {
            if (!cell.shownEmpty)
                markStructural(m_cursor);
            continue;
        }
        FlowEnd cellFlow = FlowEnd::Empty;
        for (const TableCell &part : cell.content)
            write(table.content, part.begin, part.end, cellFlow);
    }
    m_cursor.setPosition(qtable->lastPosition() + 1);
    flow = FlowEnd::AfterTable;
}

void DocumentWriter::makeRoomLeft(qreal left)
{
    // A table that reaches left of the text column keeps its border in view: the
    // column's margin grows to hold it (within reason), as a page's margin holds it.
    if (left >= 0 || !inPage())
        return;
    QTextFrame *root = m_cursor.document()->rootFrame();
    QTextFrameFormat f = root->frameFormat();
    const qreal needed = qMin(std::ceil(-left) + 1, qreal(MaxRoomLeft));
    if (f.leftMargin() < needed) {
        f.setLeftMargin(needed);
        root->setFrameFormat(f);
    }
}

void DocumentWriter::writeFlat(DocTable &table, FlowEnd &flow)
{
    for (const TableRow &row : table.rows) {
        const RowDef *def = row.def >= 0 ? &table.defs[size_t(row.def)] : nullptr;
        for (size_t i = 0; i < row.cells.size(); ++i) {
            const TableCell &cell = row.cells[i];
            // A cell covered by a horizontal merge has no place of its own in the text.
            const bool covered = def && i < def->cells.size() && def->cells[i].hMerge == 2;
            if (covered && table.content.blank(cell.begin, cell.end))
                continue;
            write(table.content, cell.begin, cell.end, flow);
        }
    }
}

QTextTableCellFormat DocumentWriter::cellFormat(const DocTable &table, const GridCell &cell, const Edges &edges) const
{
    const RowDef &def = defOf(table, cell);
    const CellDef &cd = cellDefOf(table, cell);

    QTextTableCellFormat f;
    // \trgaph is half the space between two cells' texts; \trpadd* say it per side
    // for the row, \clpad* for the cell.
    auto padding = [&](CellDef::Edge e, int otherwise) {
        return qBound(0, cd.padding[e] >= 0 ? cd.padding[e] : def.padding[e] >= 0 ? def.padding[e] : otherwise, 1440)
            * PixelsPerTwip;
    };
    f.setLeftPadding(padding(CellDef::Left, def.gap));
    f.setRightPadding(padding(CellDef::Right, def.gap));
    f.setTopPadding(padding(CellDef::Top, 0));
    f.setBottomPadding(padding(CellDef::Bottom, 0));

    for (int e = 0; e < 4; ++e) {
        const BorderLine &b = edges[size_t(e)];
        // Whole pixels: the thinnest line a word processor draws is still one.
        const qreal width = shown(b) ? qMax(1, qRound(b.width * PixelsPerTwip)) : 0;
        const QBrush brush(color(b.color, Qt::black));
        const QTextFrameFormat::BorderStyle style = borderStyle(b.style);
        switch (e) {
        case CellDef::Top:
            f.setTopBorder(width);
            if (width > 0) {
                f.setTopBorderBrush(brush);
                f.setTopBorderStyle(style);
            }
            break;
        case CellDef::Left:
            f.setLeftBorder(width);
            if (width > 0) {
                f.setLeftBorderBrush(brush);
                f.setLeftBorderStyle(style);
            }
            break;
        case CellDef::Bottom:
            f.setBottomBorder(width);
            if (width > 0) {
                f.setBottomBorderBrush(brush);
                f.setBottomBorderStyle(style);
            }
            break;
        case CellDef::Right:
            f.setRightBorder(width);
            if (width > 0) {
                f.setRightBorderBrush(brush);
                f.setRightBorderStyle(style);
            }
            break;
        }
    }

    // Shading: the pattern colour laid over the background at \clshdng per cent.
    QColor background = color(cd.background, QColor());
    if (cd.shading > 0) {
        const QColor base = background.isValid() ? background : QColor(Qt::white);
        const QColor ink = color(cd.foreground, Qt::black);
        const qreal s = qBound(0, cd.shading, 10000) / 10000.0;
        background = QColor::fromRgbF(base.redF() * (1 - s) + ink.redF() * s, base.greenF() * (1 - s) + ink.greenF() * s,
                                      base.blueF() * (1 - s) + ink.blueF() * s);
    }
    if (background.isValid())
        f.setBackground(background);
    if (cd.vAlign == 1)
        f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    else if (cd.vAlign == 2)
        f.setVerticalAlignment(QTextCharFormat::AlignBottom);
    return f;
}
