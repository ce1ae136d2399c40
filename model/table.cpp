#include "model/table.h"

#include <algorithm>

bool CellDef::operator==(const CellDef &o) const
{
    return right == o.right && std::equal(borders, borders + 4, o.borders) && background == o.background
        && foreground == o.foreground && shading == o.shading && vAlign == o.vAlign && hMerge == o.hMerge
        && vMerge == o.vMerge && std::equal(padding, padding + 4, o.padding) && height == o.height;
}

bool RowDef::operator==(const RowDef &o) const
{
    return left == o.left && gap == o.gap && height == o.height && std::equal(padding, padding + 4, o.padding) && after == o.after && afterShown == o.afterShown
        && alignment == o.alignment && std::equal(borders, borders + 6, o.borders) && cells == o.cells
        && tooWide == o.tooWide;
}

void DocTable::addRow(std::vector<TableCell> cells, const RowDef *def)
{
    int index = -1;
    if (def) {
        if (defs.empty() || !(defs.back() == *def))
            defs.push_back(*def);
        index = int(defs.size()) - 1;
    }
    cellCount += qint64(cells.size());
    rows.push_back(TableRow{std::move(cells), index});
}

bool DocTable::continuesMerge(const TableRow &row) const
{
    if (row.def < 0)
        return false;
    const RowDef &def = defs[size_t(row.def)];
    const size_t n = std::min(row.cells.size(), def.cells.size());
    for (size_t i = 0; i < n; ++i) {
        if (def.cells[i].vMerge == 2)
            return true;
    }
    return false;
}

namespace {

// A cell of one row with its extent, before the grid is known.
struct Span
{
    int left = 0;
    int right = 0;
    int cell = 0; // index in the row
    unsigned char vMerge = 0;
    std::vector<TableCell> content;
};

std::vector<Span> spansOf(const DocTable &table, const TableRow &row)
{
    static const RowDef none;
    const RowDef &def = row.def >= 0 ? table.defs[size_t(row.def)] : none;
    std::vector<Span> spans;
    int left = def.left;
    int lastWidth = TableLimits::DefaultCellWidth;
    for (size_t i = 0; i < row.cells.size(); ++i) {
        const CellDef *cd = i < def.cells.size() ? &def.cells[i] : nullptr;
        // Boundaries only grow: a \cellx left of the one before still gets a sliver.
        int right = cd ? cd->right : left + lastWidth;
        if (right <= left)
            right = left + 1;
        lastWidth = right - left;
        const TableCell content = row.cells[i];
        if (cd && cd->hMerge == 2 && !spans.empty()) {
            // Merged into the cell before it: that cell grows, and keeps what this one
            // holds (a covered cell is normally empty).
            Span &before = spans.back();
            before.right = right;
            if (!table.content.blank(content.begin, content.end))
                before.content.push_back(content);
        } else {
            spans.push_back(Span{left, right, int(i), cd ? cd->vMerge : (unsigned char)0, {content}});
        }
        left = right;
    }
    return spans;
}

} // namespace

namespace {

TableGrid allEdgesGrid(const DocTable &table)
{
    // Every edge of every row is a column edge; where a row has no cell (it starts
    // right of the others or ends left of them) an empty padding cell fills the grid.
    TableGrid grid;
    std::vector<std::vector<Span>> rows;
    rows.reserve(table.rows.size());
    for (const TableRow &row : table.rows) {
        if (row.def >= 0 && table.defs[size_t(row.def)].tooWide)
            return grid;
        rows.push_back(spansOf(table, row));
        for (const Span &s : rows.back()) {
            grid.boundaries.push_back(s.left);
            grid.boundaries.push_back(s.right);
        }
        if (row.def >= 0 && table.defs[size_t(row.def)].after > 0 && !rows.back().empty())
            grid.boundaries.push_back(rows.back().back().right + table.defs[size_t(row.def)].after);
        // Sorting as we go keeps the list short for long tables.
        if (grid.boundaries.size() > 4 * size_t(TableLimits::MaxColumns)) {
            std::sort(grid.boundaries.begin(), grid.boundaries.end());
            grid.boundaries.erase(std::unique(grid.boundaries.begin(), grid.boundaries.end()), grid.boundaries.end());
            if (grid.columns() > TableLimits::MaxColumns)
                return grid;
        }
    }
    std::sort(grid.boundaries.begin(), grid.boundaries.end());
    grid.boundaries.erase(std::unique(grid.boundaries.begin(), grid.boundaries.end()), grid.boundaries.end());
    const int columns = grid.columns();
    if (columns < 1 || columns > TableLimits::MaxColumns)
        return grid;

    auto column = [&](int twips) {
        return int(std::lower_bound(grid.boundaries.begin(), grid.boundaries.end(), twips) - grid.boundaries.begin());
    };
    // Vertical merges still open: the grid cell that spans down to the row above,
    // by its first column.
    std::vector<int> open(size_t(columns), -1), nextOpen(size_t(columns), -1);
    int r = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<Span> &spans = rows[i];
        if (spans.empty())
            continue;
        std::fill(nextOpen.begin(), nextOpen.end(), -1);
        auto pad = [&](int from, int to) {
            GridCell cell;
            cell.row = r;
            cell.column = from;
            cell.columnSpan = to - from;
            cell.sourceRow = int(i);
            cell.sourceCell = -1;
            cell.padding = true;
            grid.cells.push_back(std::move(cell));
        };
        if (const int first = column(spans.front().left); first > 0)
            pad(0, first);
        for (size_t k = 0; k < spans.size(); ++k) {
            const Span &s = spans[k];
            const int c0 = column(s.left);
            const int c1 = column(s.right);
            const int above = open[size_t(c0)];
            if (s.vMerge == 2 && above >= 0 && grid.cells[size_t(above)].column == c0
                && grid.cells[size_t(above)].columnSpan == c1 - c0) {
                GridCell &origin = grid.cells[size_t(above)];
                ++origin.rowSpan;
                for (const TableCell &part : s.content) {
                    if (!table.content.blank(part.begin, part.end))
                        origin.content.push_back(part);
                }
                nextOpen[size_t(c0)] = above;
                continue;
            }
            GridCell cell;
            cell.row = r;
            cell.column = c0;
            cell.columnSpan = c1 - c0;
            cell.sourceRow = int(i);
            cell.sourceCell = s.cell;
            cell.content = s.content;
            grid.cells.push_back(std::move(cell));
            if (s.vMerge != 0)
                nextOpen[size_t(c0)] = int(grid.cells.size()) - 1;
        }
        if (const int last = column(spans.back().right); last < columns)
            pad(last, columns);
        std::swap(open, nextOpen);
        ++r;
    }
    grid.rows = r;
    grid.valid = r > 0;
    return grid;
}

// The grid by the width of the table's last row, built in steps: each but the last
// false where the table gets no grid, which is then returned as it stands.
struct LastRowWidth
{
    explicit LastRowWidth(const DocTable &table) : table(table) {}
    // Each row's cells as spans, and the room after its last cell.
    bool readRows();
    // The table's width, and each row's edges on it.
    bool placeEdges();
    // The columns' boundaries: the edges of the rows less than EdgeTolerance apart
    // make one.
    bool mergeEdges();
    void placeCells();

    const DocTable &table;
    TableGrid grid;
    std::vector<std::vector<Span>> rows;
    std::vector<int> afterOf;    // per row: the room after its last cell, twips
    std::vector<char> afterCell; // per row: that room is a cell of its own
    std::vector<std::vector<int>> edges; // per row: its edges on the table's width
    qint64 right = 0; // the table's right edge
};

bool LastRowWidth::readRows()
{
    rows.reserve(table.rows.size());
    afterOf.reserve(table.rows.size());
    afterCell.reserve(table.rows.size());
    for (const TableRow &row : table.rows) {
        if (row.def >= 0 && table.defs[size_t(row.def)].tooWide)
            return false;
        rows.push_back(spansOf(table, row));
        const RowDef *def = row.def >= 0 ? &table.defs[size_t(row.def)] : nullptr;
        afterOf.push_back(def && !rows.back().empty() ? def->after : 0);
        afterCell.push_back(def && def->afterShown && afterOf.back() > 0);
    }
    return true;
}

bool LastRowWidth::placeEdges()
{
    int origin = 0;
    qint64 width = 0;
    size_t first = rows.size();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].empty())
            continue;
        if (first == rows.size()) {
            first = i;
            origin = rows[i].front().left;
        }
        width = qint64(rows[i].back().right) + afterOf[i] - rows[i].front().left;
    }
    if (first == rows.size() || width <= 0)
        return false;
    right = origin + width;
    // Each row's edges on the table's width: where each cell starts, where the last
    // one ends, and the table's right edge after a cell for the room after it.
    edges.resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<Span> &spans = rows[i];
        if (spans.empty())
            continue;
        const qint64 left = spans.front().left;
        const qint64 rowRight = qint64(spans.back().right) + afterOf[i];
        const qint64 rowWidth = rowRight - left;
        const bool kept = i != first && left == origin && spans.back().right <= right;
        auto place = [&](qint64 twips) {
            if (kept)
                return int(twips);
            return int(origin + (rowWidth > 0 ? ((twips - left) * width + rowWidth / 2) / rowWidth : 0));
        };
        std::vector<int> &e = edges[i];
        e.reserve(spans.size() + 2);
        for (const Span &s : spans)
            e.push_back(place(s.left));
        if (afterCell[i])
            e.push_back(place(spans.back().right));
        e.push_back(int(right));
        grid.boundaries.insert(grid.boundaries.end(), e.begin(), e.end());
        // Sorting as we go keeps the list short for long tables.
        if (grid.boundaries.size() > 4 * size_t(TableLimits::MaxColumns)) {
            std::sort(grid.boundaries.begin(), grid.boundaries.end());
            grid.boundaries.erase(std::unique(grid.boundaries.begin(), grid.boundaries.end()), grid.boundaries.end());
            if (grid.columns() > 2 * TableLimits::MaxColumns)
                return false;
        }
    }
    return true;
}

bool LastRowWidth::mergeEdges()
{
    std::sort(grid.boundaries.begin(), grid.boundaries.end());
    std::vector<int> kept;
    kept.reserve(grid.boundaries.size());
    for (const int b : grid.boundaries) {
        if (kept.empty() || b - kept.back() >= TableLimits::EdgeTolerance)
            kept.push_back(b);
    }
    if (kept.size() >= 2 && kept.back() != right)
        kept.back() = int(right); // the table's own right edge stands
    grid.boundaries = std::move(kept);
    const int columns = grid.columns();
    if (columns < 1 || columns > TableLimits::MaxColumns) {
        grid.boundaries.clear();
        return false;
    }
    return true;
}

void LastRowWidth::placeCells()
{
    const int columns = grid.columns();
    // The column an edge stands at: the kept edge it was merged into lies at most
    // one tolerance left of it.
    auto column = [&](int twips) {
        return int(std::lower_bound(grid.boundaries.begin(), grid.boundaries.end(), twips - (TableLimits::EdgeTolerance - 1))
                   - grid.boundaries.begin());
    };
    // Vertical merges still open: the grid cell that spans down to the row above,
    // by its first column.
    std::vector<int> open(size_t(columns), -1), nextOpen(size_t(columns), -1);
    int r = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<Span> &spans = rows[i];
        if (spans.empty())
            continue;
        std::fill(nextOpen.begin(), nextOpen.end(), -1);
        const std::vector<int> &e = edges[i];
        int next = 0; // the first column not yet covered in this row
        int last = -1; // the row's last cell on the grid
        for (size_t k = 0; k < spans.size(); ++k) {
            const Span &s = spans[k];
            const int c0 = qMax(k == 0 ? 0 : column(e[k]), next);
            const int c1 = qMin(qMax(k + 1 == spans.size() && !afterCell[i] ? columns : column(e[k + 1]), c0 + 1), columns);
            if (c0 >= columns) {
                // A sliver of a cell that the tolerance left no column: what it holds
                // goes to the cell before it.
                if (last >= 0) {
                    for (const TableCell &part : s.content) {
                        if (!table.content.blank(part.begin, part.end))
                            grid.cells[size_t(last)].content.push_back(part);
                    }
                }
                continue;
            }
            next = c1;
            const int above = open[size_t(c0)];
            if (s.vMerge == 2 && above >= 0 && grid.cells[size_t(above)].column == c0
                && grid.cells[size_t(above)].columnSpan == c1 - c0) {
                GridCell &originCell = grid.cells[size_t(above)];
                ++originCell.rowSpan;
                for (const TableCell &part : s.content) {
                    if (!table.content.blank(part.begin, part.end))
                        originCell.content.push_back(part);
                }
                nextOpen[size_t(c0)] = above;
                last = above;
                continue;
            }
            GridCell cell;
            cell.row = r;
            cell.column = c0;
            cell.columnSpan = c1 - c0;
            cell.sourceRow = int(i);
            cell.sourceCell = s.cell;
            cell.content = s.content;
            grid.cells.push_back(std::move(cell));
            last = int(grid.cells.size()) - 1;
            if (s.vMerge != 0)
                nextOpen[size_t(c0)] = int(grid.cells.size()) - 1;
        }
        if (next < columns) {
            GridCell cell; // the room after the last cell
            cell.row = r;
            cell.column = next;
            cell.columnSpan = columns - next;
            cell.sourceRow = int(i);
            cell.sourceCell = -1;
            cell.padding = true;
            cell.shownEmpty = true;
            grid.cells.push_back(std::move(cell));
        }
        std::swap(open, nextOpen);
        ++r;
    }
    grid.rows = r;
    grid.valid = r > 0;
}

TableGrid lastRowWidthGrid(const DocTable &table)
{
    // The grid as LibreOffice builds it for RTF, whose reading the documents are compared
    // with (each case checked on its HTML export): the table is as wide as its last
    // row, room after its last cell (\trwWidthA) included, and starts at the first
    // row's edge. The first row, and any row that starts elsewhere (\trleft), is
    // stretched or shrunk to that width in proportion; a later row that starts at the
    // edge keeps its cells, its last one reaching the table's right edge. Edges of the
    // rows less than EdgeTolerance apart make one column edge. Only room after the
    // last cell that the row tells before \row is a cell of its own: an empty one,
    // which is no cell of the file; other room goes to the last cell.
    LastRowWidth build(table);
    if (build.readRows() && build.placeEdges() && build.mergeEdges())
        build.placeCells();
    return std::move(build.grid);
}

} // namespace

TableGrid layOutTable(const DocTable &table)
{
    return table.gridRule == DocTable::GridRule::LastRowWidth ? lastRowWidthGrid(table) : allEdgesGrid(table);
}
