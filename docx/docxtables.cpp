#include "docx/docxbody.h"

#include "docx/docxbodyxml.h"
#include "package/packagexml.h"

// Tables: the grid, rows with their cells' spans, merges, shading and borders, and
// the table style's run properties for the cells' text.

using namespace DocxBodyXml;

namespace {

// A cell's edge by its element's name in tcBorders or tcMar (start and end as the
// left and right of a left-to-right table); -1 for the others.
int cellEdge(QStringView n)
{
    return n == QLatin1String("top")                                  ? CellDef::Top
        : n == QLatin1String("left") || n == QLatin1String("start")   ? CellDef::Left
        : n == QLatin1String("bottom")                                ? CellDef::Bottom
        : n == QLatin1String("right") || n == QLatin1String("end")    ? CellDef::Right
                                                                      : -1;
}

} // namespace

void DocxBody::readTable(PackageXml &xml, int level)
{
    const int depth = xml.depth();
    if (level > TableLimits::MaxNesting) {
        // Deeper tables than any document holds: their text goes on at this level.
        readBlocks(xml, level - 1);
        return;
    }
    m_spacing = {};
    if (m_tableRun.size() <= size_t(level))
        m_tableRun.resize(size_t(level) + 1);
    m_tableRun[level] = TableLook();
    std::vector<int> grid;
    int indent = 0;
    RowDef base;
    base.gap = 108;
    int rows = 0;
    // The table style's borders and margins, and the table's own laid over them.
    QString tableStyle;
    DocxTableProps direct;
    bool propsApplied = false;
    int widthShare = 0; // w:tblW of type pct, in fiftieths of a per cent
    const auto applyProps = [&] {
        if (std::exchange(propsApplied, true))
            return;
        // A table as wide as a share of the text: LibreOffice stretches or narrows
        // its grid to that width.
        qint64 gridWidth = 0;
        for (const int w : grid)
            gridWidth += w;
        const qint64 target = level == 1 && widthShare > 0 ? qint64(textWidth()) * widthShare / 5000 : 0;
        if (level == 1 && target > 0 && gridWidth > 0) {
            for (int &w : grid)
                w = int(qMin<qint64>(w * target / gridWidth, 31680));
        }
        DocxTableProps props = styles.table(tableStyle);
        props.overlay(direct);
        for (int edge = 0; edge < 6; ++edge) {
            if (props.bordersGiven[edge])
                base.borders[edge] = border(props.borders[edge]);
        }
        for (int edge = 0; edge < 4; ++edge) {
            if (props.margins[edge] >= 0)
                base.padding[edge] = props.margins[edge];
        }
        m_tableRun[level].para = styles.tableParagraph(tableStyle);
    };
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || xml.depth() != depth + 1 || m_builder.outOfMemory())
            continue;
        if (is(xml, "tblPr")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (!xml.isStart())
                    continue;
                if (is(xml, "tblStyle")) {
                    tableStyle = xml.attribute(u"val");
                    m_tableRun[level].run = styles.tableRun(xml.attribute(u"val"));
                    m_tableRun[level].firstRow = styles.tableFirstRowRun(xml.attribute(u"val"));
                    m_tableRun[level].firstRowPara = styles.tableFirstRowParagraph(xml.attribute(u"val"));
                } else if (is(xml, "tblLook")) {
                    // Either the flag of its own or bit 0x20 of the older hexadecimal value.
                    const QString first = xml.attribute(u"firstRow");
                    const QString val = xml.attribute(u"val");
                    if (!first.isEmpty())
                        m_tableRun[level].firstRowShown = first == QLatin1String("1") || first == QLatin1String("true");
                    else if (!val.isEmpty())
                        m_tableRun[level].firstRowShown = val.toUInt(nullptr, 16) & 0x20;
                } else if (is(xml, "tblW")) {
                    const QString w = xml.attribute(u"w");
                    if (xml.attribute(u"type") == QLatin1String("pct"))
                        widthShare = w.endsWith(QLatin1Char('%')) ? qRound(w.chopped(1).toDouble() * 50) : w.toInt();
                    widthShare = qBound(0, widthShare, 5000 * 4);
                } else if (is(xml, "tblInd")) {
                    indent = DocxProps::number(xml.attribute(u"w"), 0);
                } else if (is(xml, "jc")) {
                    const QString v = xml.attribute(u"val");
                    base.alignment = v == QLatin1String("center") ? 1 : v == QLatin1String("right") || v == QLatin1String("end") ? 2 : 0;
                } else {
                    DocxProps::readTableChild(xml, &direct);
                }
            }
        } else if (is(xml, "tblGrid")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (xml.isStart() && is(xml, "gridCol") && grid.size() < size_t(TableLimits::MaxColumns))
                    grid.push_back(qBound(0, DocxProps::number(xml.attribute(u"w"), 0), 31680));
            }
        } else if (is(xml, "tr")) {
            applyProps();
            m_tableRun[level].inFirstRow = rows++ == 0;
            readRow(xml, level, grid, indent, base);
        } else if (is(xml, "sdt") || is(xml, "customXml") || is(xml, "sdtContent")) {
            // Rows inside a content control: read as rows of this table.
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (xml.isStart() && is(xml, "tr")) {
                    applyProps();
                    m_tableRun[level].inFirstRow = rows++ == 0;
                    readRow(xml, level, grid, indent, base);
                }
            }
        } else {
            xml.skip();
        }
    }
    if (size_t(level) < m_pending.size())
        m_pending[level].reset();
}

void DocxBody::readRow(PackageXml &xml, int level, const std::vector<int> &grid, int indent, RowDef def)
{
    const int depth = xml.depth();
    std::vector<Cell> cells;
    int before = 0;
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || xml.depth() != depth + 1 || m_builder.outOfMemory())
            continue;
        if (is(xml, "trPr") || is(xml, "tblPrEx")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (!xml.isStart())
                    continue;
                if (is(xml, "gridBefore")) {
                    before = qBound(0, DocxProps::number(xml.attribute(u"val"), 0), TableLimits::MaxColumns);
                } else if (is(xml, "trHeight")) {
                    const int h = qBound(0, DocxProps::number(xml.attribute(u"val"), 0), 31680);
                    def.height = xml.attribute(u"hRule") == QLatin1String("exact") ? -h : h;
                } else if (is(xml, "jc")) {
                    const QString v = xml.attribute(u"val");
                    def.alignment = v == QLatin1String("center") ? 1 : v == QLatin1String("right") || v == QLatin1String("end") ? 2 : 0;
                }
            }
        } else if (is(xml, "tc")) {
            readCell(xml, level, &cells);
        } else if (is(xml, "sdt") || is(xml, "customXml") || is(xml, "sdtContent")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (xml.isStart() && is(xml, "tc"))
                    readCell(xml, level, &cells);
            }
        } else {
            xml.skip();
        }
    }
    if (cells.size() == size_t(TableLimits::MaxColumns))
        endCell(level);
    if (cells.empty())
        return;
    // Boundaries from the grid: a cell spans its columns' widths; where the grid has
    // no more columns, the cell's own width or a default.
    const auto columnWidth = [&](size_t i) { return i < grid.size() && grid[i] > 0 ? grid[i] : TableLimits::DefaultCellWidth; };
    int x = indent;
    if (m_indentAtCellEdge && def.alignment == 0) {
        // The cells' edge stands at the indent and their text one padding further in;
        // the builder puts a row's text at its left.
        x += qBound(0, def.padding[CellDef::Left] >= 0 ? def.padding[CellDef::Left] : def.gap, 1440);
    }
    size_t column = 0;
    for (; column < size_t(before); ++column)
        x += columnWidth(column);
    def.left = x;
    def.cells.clear();
    for (Cell &cell : cells) {
        for (int i = 0; i < cell.span; ++i)
            x += columnWidth(column++);
        cell.def.right = x;
        def.cells.push_back(cell.def);
    }
    m_builder.rowEnd(level, &def);
}

void DocxBody::readCell(PackageXml &xml, int level, std::vector<Cell> *cells)
{
    const int depth = xml.depth();
    Cell cell;
    bool contentRead = false;
    if (cells->size() >= size_t(TableLimits::MaxColumns) || ++m_tableCells > (1 << 22)) {
        // No row is this wide and no document this large: the cell's text goes into
        // the row's last cell, which stays open until the row ends.
        flushPending(level);
        readBlocks(xml, level);
        return;
    }
    const bool lastAllowed = cells->size() + 1 == size_t(TableLimits::MaxColumns);
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart())
            continue;
        if (xml.depth() == depth + 1 && is(xml, "tcPr")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (!xml.isStart())
                    continue;
                if (is(xml, "gridSpan")) {
                    cell.span = qBound(1, DocxProps::number(xml.attribute(u"val"), 1), TableLimits::MaxColumns);
                } else if (is(xml, "vMerge")) {
                    cell.def.vMerge = xml.attribute(u"val") == QLatin1String("restart") ? 1 : 2;
                } else if (is(xml, "shd")) {
                    QRgb fill = 0;
                    if (DocxProps::color(xml.attribute(u"fill"), &fill))
                        cell.def.background = m_builder.colorNumber(fill);
                    // The pattern's colour (automatic: black) laid over the fill, as
                    // RTF's shading of a cell.
                    const int cover = DocxProps::patternCover(xml.attribute(u"val"));
                    if (cover > 0) {
                        QRgb ink = 0;
                        cell.def.foreground = DocxProps::color(xml.attribute(u"color"), &ink) ? m_builder.colorNumber(ink) : -1;
                        cell.def.shading = cover;
                    }
                } else if (is(xml, "vAlign")) {
                    const QString v = xml.attribute(u"val");
                    cell.def.vAlign = v == QLatin1String("center") ? 1 : v == QLatin1String("bottom") ? 2 : 0;
                } else if (is(xml, "tcBorders")) {
                    const int b = xml.depth();
                    while (xml.next() && xml.depth() >= b) {
                        if (!xml.isStart())
                            continue;
                        const int edge = cellEdge(xml.name());
                        if (edge >= 0)
                            cell.def.borders[edge] = border(DocxProps::border(xml));
                    }
                } else if (is(xml, "tcMar")) {
                    // The cell's own margins, over the table's (twips; other units are
                    // left to the table's).
                    const int b = xml.depth();
                    while (xml.next() && xml.depth() >= b) {
                        if (!xml.isStart())
                            continue;
                        const int edge = cellEdge(xml.name());
                        const QString type = xml.attribute(u"type");
                        if (edge >= 0 && (type.isEmpty() || type == QLatin1String("dxa")))
                            cell.def.padding[edge] = qBound(0, DocxProps::number(xml.attribute(u"w"), 0), 1440);
                    }
                }
            }
            continue;
        }
        if (m_builder.outOfMemory())
            continue;
        contentRead = true;
        if (is(xml, "p")) {
            flushPending(level);
            readParagraph(xml, level);
        } else if (is(xml, "tbl")) {
            flushPending(level);
            readTable(xml, level + 1);
        } else if (is(xml, "sdt") || is(xml, "customXml") || is(xml, "sdtContent") || is(xml, "ins")) {
            readBlocks(xml, level);
        } else {
            xml.skip();
        }
    }
    (void)contentRead;
    cells->push_back(cell);
    if (!lastAllowed)
        endCell(level);
}

void DocxBody::endCell(int level)
{
    m_spacing = {};
    if (m_pending.size() <= size_t(level))
        m_pending.resize(size_t(level) + 1);
    const ParaState last = m_pending[level] ? *m_pending[level] : ParaState();
    m_pending[level].reset();
    m_builder.cellEnd(last, level);
}
