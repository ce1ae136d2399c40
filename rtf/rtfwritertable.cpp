#include "rtf/rtfwriter.h"

#include "rtf/rtfstate.h"
#include "rtf/rtftable.h"

#include <QTextCursor>
#include <QTextTable>

// Tables: one QTextTable per gathered table, its grid made from all cell boundaries,
// merged cells spanning it, borders, shading and vertical alignment per cell.

namespace {

constexpr qreal PixelsPerTwip = 96.0 / 1440.0;

QTextFrameFormat::BorderStyle borderStyle(unsigned char style)
{
    switch (style) {
    case RtfBorder::Double:
        return QTextFrameFormat::BorderStyle_Double;
    case RtfBorder::Dotted:
        return QTextFrameFormat::BorderStyle_Dotted;
    case RtfBorder::Dashed:
        return QTextFrameFormat::BorderStyle_Dashed;
    default:
        return QTextFrameFormat::BorderStyle_Solid;
    }
}

} // namespace

void RtfWriter::writeTable(RtfTable &table, RtfFlow &flow)
{
    const RtfGrid grid = layOutTable(table);
    if (!grid.valid) {
        writeFlat(table, flow);
        return;
    }
    if (flow != RtfFlow::AfterParagraph) {
        // The table's first cell marker ends the block the cursor is in; where no
        // paragraph stands there, that block is one only the table needs.
        QTextBlockFormat lead;
        lead.setProperty(RtfProperty::TableLead, true);
        m_cursor.setBlockFormat(lead);
    }

    const int columns = grid.columns();
    static const RtfRowDef noDef;
    const RtfTableRow &firstRow = table.rows[size_t(grid.cells.front().sourceRow)];
    const RtfRowDef &first = firstRow.def >= 0 ? table.defs[size_t(firstRow.def)] : noDef;
    QTextTableFormat format;
    format.setBorder(0);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(0);
    format.setMargin(0);
    QList<QTextLength> widths;
    widths.reserve(columns);
    for (int c = 0; c < columns; ++c)
        widths.append(QTextLength(QTextLength::FixedLength, (grid.boundaries[size_t(c) + 1] - grid.boundaries[size_t(c)]) * PixelsPerTwip));
    format.setColumnWidthConstraints(widths);
    if (first.alignment == 1) {
        format.setAlignment(Qt::AlignHCenter);
    } else if (first.alignment == 2) {
        format.setAlignment(Qt::AlignRight);
    } else {
        format.setAlignment(Qt::AlignLeft);
        // Like a first line, a table never starts left of the text area.
        if (grid.boundaries.front() > 0)
            format.setLeftMargin(grid.boundaries.front() * PixelsPerTwip);
    }
    if (table.continues)
        format.setProperty(RtfProperty::TableContinues, true);

    QTextTable *qtable = m_cursor.insertTable(grid.rows, columns, format);
    // Merging empty cells only drops their markers; the content goes in afterwards.
    for (const RtfGridCell &cell : grid.cells) {
        if (cell.rowSpan > 1 || cell.columnSpan > 1)
            qtable->mergeCells(cell.row, cell.column, cell.rowSpan, cell.columnSpan);
    }
    for (const RtfGridCell &cell : grid.cells) {
        QTextTableCell qcell = qtable->cellAt(cell.row, cell.column);
        qcell.setFormat(cellFormat(table, grid, cell));
        m_cursor.setPosition(qcell.firstPosition());
        RtfFlow cellFlow = RtfFlow::Empty;
        for (const RtfTableCell &part : cell.content)
            write(table.content, part.begin, part.end, cellFlow);
    }
    m_cursor.setPosition(qtable->lastPosition() + 1);
    flow = RtfFlow::AfterTable;
}

void RtfWriter::writeFlat(RtfTable &table, RtfFlow &flow)
{
    for (const RtfTableRow &row : table.rows) {
        const RtfRowDef *def = row.def >= 0 ? &table.defs[size_t(row.def)] : nullptr;
        for (size_t i = 0; i < row.cells.size(); ++i) {
            const RtfTableCell &cell = row.cells[i];
            // A cell covered by a horizontal merge has no place of its own in the text.
            const bool covered = def && i < def->cells.size() && def->cells[i].hMerge == 2;
            if (covered && table.content.blank(cell.begin, cell.end))
                continue;
            write(table.content, cell.begin, cell.end, flow);
        }
    }
}

QTextTableCellFormat RtfWriter::cellFormat(const RtfTable &table, const RtfGrid &grid, const RtfGridCell &cell) const
{
    static const RtfRowDef noDef;
    static const RtfCellDef noCell;
    const RtfTableRow &row = table.rows[size_t(cell.sourceRow)];
    const RtfRowDef &def = row.def >= 0 ? table.defs[size_t(row.def)] : noDef;
    const RtfCellDef &cd = size_t(cell.sourceCell) < def.cells.size() ? def.cells[size_t(cell.sourceCell)] : noCell;

    QTextTableCellFormat f;
    // \trgaph is half the space between two cells' texts; \trpadd* say it per side.
    const int left = def.padding[RtfCellDef::Left] >= 0 ? def.padding[RtfCellDef::Left] : def.gap;
    const int right = def.padding[RtfCellDef::Right] >= 0 ? def.padding[RtfCellDef::Right] : def.gap;
    f.setLeftPadding(qBound(0, left, 1440) * PixelsPerTwip);
    f.setRightPadding(qBound(0, right, 1440) * PixelsPerTwip);
    f.setTopPadding(qBound(0, def.padding[RtfCellDef::Top], 1440) * PixelsPerTwip);
    f.setBottomPadding(qBound(0, def.padding[RtfCellDef::Bottom], 1440) * PixelsPerTwip);

    // A cell's own border wins; otherwise the row's, outer or inside by where the cell is.
    const bool top = cell.row == 0, bottom = cell.row + cell.rowSpan == grid.rows;
    const bool first = cell.column == 0, last = cell.column + cell.columnSpan == grid.columns();
    const RtfBorder *edges[4] = {
        &def.borders[top ? RtfRowDef::Top : RtfRowDef::InsideH],
        &def.borders[first ? RtfRowDef::Left : RtfRowDef::InsideV],
        &def.borders[bottom ? RtfRowDef::Bottom : RtfRowDef::InsideH],
        &def.borders[last ? RtfRowDef::Right : RtfRowDef::InsideV],
    };
    for (int e = 0; e < 4; ++e) {
        const RtfBorder &b = cd.borders[e].given ? cd.borders[e] : *edges[e];
        const bool shown = b.given && b.style != RtfBorder::None;
        // Whole pixels: the thinnest line a word processor draws is still one.
        const qreal width = shown ? qMax(1, qRound(b.width * PixelsPerTwip)) : 0;
        const QBrush brush(color(b.color, Qt::black));
        const QTextFrameFormat::BorderStyle style = borderStyle(b.style);
        switch (e) {
        case RtfCellDef::Top:
            f.setTopBorder(width);
            if (shown) {
                f.setTopBorderBrush(brush);
                f.setTopBorderStyle(style);
            }
            break;
        case RtfCellDef::Left:
            f.setLeftBorder(width);
            if (shown) {
                f.setLeftBorderBrush(brush);
                f.setLeftBorderStyle(style);
            }
            break;
        case RtfCellDef::Bottom:
            f.setBottomBorder(width);
            if (shown) {
                f.setBottomBorderBrush(brush);
                f.setBottomBorderStyle(style);
            }
            break;
        case RtfCellDef::Right:
            f.setRightBorder(width);
            if (shown) {
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
