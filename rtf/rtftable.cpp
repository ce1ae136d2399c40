#include "rtf/rtftable.h"

#include <algorithm>

bool RtfCellDef::operator==(const RtfCellDef &o) const
{
    return right == o.right && std::equal(borders, borders + 4, o.borders) && background == o.background
        && foreground == o.foreground && shading == o.shading && vAlign == o.vAlign && hMerge == o.hMerge
        && vMerge == o.vMerge && std::equal(padding, padding + 4, o.padding) && height == o.height;
}

bool RtfRowDef::operator==(const RtfRowDef &o) const
{
    return left == o.left && gap == o.gap && height == o.height && std::equal(padding, padding + 4, o.padding) && after == o.after && afterShown == o.afterShown
        && alignment == o.alignment && std::equal(borders, borders + 6, o.borders) && cells == o.cells
        && tooWide == o.tooWide;
}

void RtfTable::addRow(std::vector<RtfTableCell> cells, const RtfRowDef *def)
{
    int index = -1;
    if (def) {
        if (defs.empty() || !(defs.back() == *def))
            defs.push_back(*def);
        index = int(defs.size()) - 1;
    }
    cellCount += qint64(cells.size());
    rows.push_back(RtfTableRow{std::move(cells), index});
}

bool RtfTable::continuesMerge(const RtfTableRow &row) const
{
    if (row.def < 0)
        return false;
    const RtfRowDef &def = defs[size_t(row.def)];
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
    std::vector<RtfTableCell> content;
};

std::vector<Span> spansOf(const RtfTable &table, const RtfTableRow &row)
{
    static const RtfRowDef none;
    const RtfRowDef &def = row.def >= 0 ? table.defs[size_t(row.def)] : none;
    std::vector<Span> spans;
    int left = def.left;
    int lastWidth = RtfTableLimits::DefaultCellWidth;
    for (size_t i = 0; i < row.cells.size(); ++i) {
        const RtfCellDef *cd = i < def.cells.size() ? &def.cells[i] : nullptr;
        // Boundaries only grow: a \cellx left of the one before still gets a sliver.
        int right = cd ? cd->right : left + lastWidth;
        if (right <= left)
            right = left + 1;
        lastWidth = right - left;
        const RtfTableCell content = row.cells[i];
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

RtfGrid layOutTable(const RtfTable &table)
{
    RtfGrid grid;
    std::vector<std::vector<Span>> rows;
    rows.reserve(table.rows.size());
    for (const RtfTableRow &row : table.rows) {
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
        if (grid.boundaries.size() > 4 * size_t(RtfTableLimits::MaxColumns)) {
            std::sort(grid.boundaries.begin(), grid.boundaries.end());
            grid.boundaries.erase(std::unique(grid.boundaries.begin(), grid.boundaries.end()), grid.boundaries.end());
            if (grid.columns() > RtfTableLimits::MaxColumns)
                return grid;
        }
    }
    std::sort(grid.boundaries.begin(), grid.boundaries.end());
    grid.boundaries.erase(std::unique(grid.boundaries.begin(), grid.boundaries.end()), grid.boundaries.end());
    const int columns = grid.columns();
    if (columns < 1 || columns > RtfTableLimits::MaxColumns)
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
        auto pad = [&](int from, int to, bool shownEmpty = false) {
            RtfGridCell cell;
            cell.row = r;
            cell.column = from;
            cell.columnSpan = to - from;
            cell.sourceRow = int(i);
            cell.sourceCell = -1;
            cell.padding = true;
            cell.shownEmpty = shownEmpty;
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
                RtfGridCell &origin = grid.cells[size_t(above)];
                ++origin.rowSpan;
                for (const RtfTableCell &part : s.content) {
                    if (!table.content.blank(part.begin, part.end))
                        origin.content.push_back(part);
                }
                nextOpen[size_t(c0)] = above;
                continue;
            }
            RtfGridCell cell;
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
        if (const int last = column(spans.back().right); last < columns) {
            const RtfTableRow &row = table.rows[i];
            pad(last, columns, row.def >= 0 && table.defs[size_t(row.def)].afterShown);
        }
        std::swap(open, nextOpen);
        ++r;
    }
    grid.rows = r;
    grid.valid = r > 0;
    return grid;
}
