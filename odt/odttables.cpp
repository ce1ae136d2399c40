// OpenDocument tables: the columns' widths, rows with their cells' spans across
// columns and rows (covered cells), and each cell's borders, background, padding and
// vertical alignment from its style.
#include "odt/odtbody.h"

#include "model/table.h"
#include "package/packagexml.h"

void OdtBody::readTable(PackageXml &xml, int level)
{
    if (level > TableLimits::MaxNesting) {
        readBlocks(xml, level - 1);
        return;
    }
    std::vector<int> widths;
    std::vector<int> covered(TableLimits::MaxColumns, 0);     // rows still covered below a cell, by column
    std::vector<int> coveredSpan(TableLimits::MaxColumns, 1); // the covering cell's columns
    const int depth = xml.depth();
    // Columns come before rows: their widths are known when the rows are read.
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || xml.depth() != depth + 1 || m_builder.outOfMemory())
            continue;
        if (is(xml, "table-column") || is(xml, "table-columns") || is(xml, "table-header-columns")
            || is(xml, "table-column-group")) {
            const auto column = [&] {
                const OdtStyles::Style *s = styles.style(xml.attribute(u"style-name"));
                const int repeat = qBound(1, xml.attribute(u"number-columns-repeated").toInt(), TableLimits::MaxColumns);
                for (int i = 0; i < repeat && widths.size() < size_t(TableLimits::MaxColumns); ++i)
                    widths.push_back(s && s->columnWidth > 0 ? s->columnWidth : TableLimits::DefaultCellWidth);
            };
            if (is(xml, "table-column")) {
                column();
                xml.skip();
            } else {
                const int d = xml.depth();
                while (xml.next() && xml.depth() >= d) {
                    if (xml.isStart() && is(xml, "table-column"))
                        column();
                }
            }
        } else if (is(xml, "table-row") || is(xml, "table-rows") || is(xml, "table-header-rows")
                   || is(xml, "table-row-group")) {
            readRows(xml, level, widths, &covered, &coveredSpan);
        } else {
            xml.skip();
        }
    }
    if (size_t(level) < m_pending.size())
        m_pending[level].reset();
}

void OdtBody::readRows(PackageXml &xml, int level, const std::vector<int> &widths, std::vector<int> *covered,
                       std::vector<int> *coveredSpan)
{
    if (!is(xml, "table-row")) {
        const int d = xml.depth();
        while (xml.next() && xml.depth() >= d) {
            if (xml.isStart() && (is(xml, "table-row") || is(xml, "table-rows") || is(xml, "table-row-group")))
                readRows(xml, level, widths, covered, coveredSpan);
            else if (xml.isStart())
                xml.skip();
        }
        return;
    }
    const auto width = [&](size_t i) { return i < widths.size() ? widths[i] : TableLimits::DefaultCellWidth; };
    RowDef def;
    def.gap = 0;
    int x = 0;
    size_t column = 0;
    int skipCovered = 0; // covered cells that a span already takes
    bool open = false;   // the last cell a row can have takes the text of those after it
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || xml.depth() != depth + 1 || m_builder.outOfMemory())
            continue;
        const bool coveredCell = is(xml, "covered-table-cell");
        if (!coveredCell && !is(xml, "table-cell")) {
            xml.skip();
            continue;
        }
        if (coveredCell && skipCovered > 0) {
            --skipCovered;
            xml.skip();
            continue;
        }
        if (open || ++m_tableCells > (1 << 22)) {
            // Beyond the widest row: the text goes into the row's last cell, still open.
            flushPending(level);
            readBlocks(xml, level);
            continue;
        }
        CellDef cell;
        int span = 1;
        if (coveredCell) {
            // Below a cell that spans rows: a cell merged into the one above, as wide.
            span = (*coveredSpan)[column];
            if ((*covered)[column] > 0) {
                cell.vMerge = 2;
                --(*covered)[column];
            }
        } else {
            span = qBound(1, xml.attribute(u"number-columns-spanned").toInt(), TableLimits::MaxColumns);
            const int rows = qBound(1, xml.attribute(u"number-rows-spanned").toInt(), 1 << 20);
            if (rows > 1) {
                cell.vMerge = 1;
                (*covered)[column] = rows - 1;
                (*coveredSpan)[column] = span;
            } else {
                (*covered)[column] = 0;
                (*coveredSpan)[column] = 1;
            }
        }
        skipCovered = span - 1;
        for (int i = 0; i < span && column < size_t(TableLimits::MaxColumns); ++i)
            x += width(column++);
        cell.right = x;
        cellStyle(xml.attribute(u"style-name"), &cell);
        readBlocks(xml, level);
        def.cells.push_back(cell);
        open = column >= size_t(TableLimits::MaxColumns);
        if (!open)
            endCell(level);
    }
    if (open)
        endCell(level);
    if (!def.cells.empty())
        m_builder.rowEnd(level, &def);
}

void OdtBody::cellStyle(const QString &name, CellDef *cell)
{
    for (const OdtStyles::Style *style : styles.chain(name)) {
        if (style->para.background && *style->para.background)
            cell->background = m_builder.colorNumber(**style->para.background);
        const OdtCellProps &own = style->cell;
        if (own.background)
            cell->background = *own.background ? m_builder.colorNumber(**own.background) : -1;
        for (int side = 0; side < 4; ++side) {
            if (const std::optional<OdtBorder> &b = own.borders[side]) {
                // OpenDocument's sides run top, left, bottom, right, as a cell's edges do.
                BorderLine &line = cell->borders[side];
                line.given = true;
                line.style = b->style;
                line.width = short(b->width);
                line.color = b->color ? m_builder.colorNumber(*b->color) : -1;
            }
            if (own.padding[side])
                cell->padding[side] = *own.padding[side];
        }
        if (own.vAlign)
            cell->vAlign = *own.vAlign;
    }
}
