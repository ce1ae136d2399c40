#include "layout/tablelayout.h"

#include "layout/paragraphlayout.h"
#include "layout/tableedges.h"

#include <QDeadlineTimer>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <cmath>

// How a table's column widths are settled from its cells' natural widths, and how an
// edit in a cell is laid out without laying out the table again.

namespace TableLayout {

int Layouter::bandOfBox(int boxIndex) const
{
    const auto it = std::partition_point(m_bands.begin(), m_bands.end(),
                                         [boxIndex](const Band &b) { return b.endBox <= boxIndex; });
    return qBound(0, int(it - m_bands.begin()), int(m_bands.size()) - 1);
}

bool Layouter::settle(const QDeadlineTimer &deadline, bool *changed)
{
    *changed = false;
    if (m_settled)
        return true;
    if (!runPass(0, deadline))
        return false;
    if (m_pass[1].started && !runPass(1, deadline))
        return false;
    if (!decide(changed)) {
        // The columns overflow: Qt measures every cell again with words broken
        // anywhere, and so does this.
        if (!runPass(1, deadline) || !decide(changed))
            return false;
    }
    m_settled = true;
    return true;
}

bool Layouter::runPass(int mode, const QDeadlineTimer &deadline)
{
    Pass &pass = m_pass[mode];
    pass.started = true;
    const int bit = 1 << mode;
    while (!pass.done) {
        if (pass.box >= int(m_boxes.size())) {
            pass.done = true;
            break;
        }
        if (!measure(pass.box, mode, &pass.piece, deadline))
            return false;
        ++pass.box;
        pass.piece = 0;
        if (deadline.hasExpired() && pass.box < int(m_boxes.size()))
            return false;
    }
    std::vector<int> &dirty = m_dirty[mode];
    while (!dirty.empty()) {
        const int index = dirty.back();
        int piece = 0;
        if (!measure(index, mode, &piece, deadline))
            return false;
        m_boxes[size_t(index)].queued &= quint8(~bit);
        dirty.pop_back();
        if (deadline.hasExpired() && !dirty.empty())
            return false;
    }
    return true;
}

void Layouter::list(CellBox &box)
{
    box.naturals.clear();
    for (QTextFrame::iterator it = box.cell.begin(); !it.atEnd(); ++it) {
        Natural n;
        if (QTextFrame *frame = it.currentFrame()) {
            const QTextDocument *doc = frame->document();
            n.frame = frame;
            n.blocks = doc->findBlock(frame->lastPosition()).blockNumber() -
                       doc->findBlock(frame->firstPosition()).blockNumber() + 1;
        } else {
            n.block = it.currentBlock();
        }
        box.naturals.push_back(n);
    }
    box.listed = true;
}

bool Layouter::measure(int boxIndex, int mode, int *piece, const QDeadlineTimer &deadline)
{
    CellBox &box = m_boxes[size_t(boxIndex)];
    const quint8 bit = quint8(1 << mode);
    if (box.measured & bit)
        return true;
    if (!box.formatted)
        format(box);
    if (!box.listed)
        list(box);
    // A cell laid out at its width gets its lines back at once: measuring lays its
    // paragraphs out without wrapping.
    const Band &band = m_bands[size_t(bandOfBox(boxIndex))];
    FrameLayout::Cell *laid = nullptr;
    if (band.geometry && band.geometry->cells[size_t(boxIndex - band.firstBox)].laidWidth >= 0)
        laid = &band.geometry->cells[size_t(boxIndex - band.firstBox)];
    bool whole = false; // a nested frame was measured: the cell is laid out again whole
    for (; *piece < int(box.naturals.size()); ++*piece) {
        Natural &n = box.naturals[size_t(*piece)];
        if (n.measured & bit)
            continue;
        if (n.frame) {
            // A frame in a cell measures the same whichever way the cell's words break.
            qreal minimum = 0, maximum = 0;
            FrameLayout::measureFrame(n.frame, &minimum, &maximum);
            n.minimum[0] = n.minimum[1] = minimum;
            n.maximum[0] = n.maximum[1] = maximum;
            n.measured = 3;
            whole = true;
        } else {
            const ParagraphLayout::Metrics m = ParagraphLayout::layout(n.block, FrameLayout::Unbounded, mode == 1);
            n.minimum[mode] = m.minimumWidth;
            n.maximum[mode] = m.maximumWidth;
            n.measured |= bit;
            if (laid && !whole && size_t(*piece) < laid->flow.pieces.size())
                ParagraphLayout::layout(n.block, laid->flow.pieces[size_t(*piece)].laidWidth);
        }
        if (!whole && deadline.hasExpired() && *piece + 1 < int(box.naturals.size())) {
            ++*piece;
            return false;
        }
    }
    if (whole && laid)
        laid->flow = FrameLayout::layoutFlow(box.cell.begin(), laid->laidWidth); // at its width: the band goes on from there
    qreal minimum = 0, maximum = 0;
    for (const Natural &n : box.naturals) {
        minimum = qMax(minimum, n.minimum[mode]);
        maximum = qMax(maximum, n.maximum[mode]);
    }
    // Only what can move a column's width spreads the naturals again: the widest
    // of a variable column, the narrowest room of any.
    if (minimum != box.minimum[mode] || (m_variableColumns && maximum != box.maximum[mode]))
        m_spreadStale[mode] = true;
    box.minimum[mode] = minimum;
    box.maximum[mode] = maximum;
    box.measured |= bit;
    if (!m_spread.empty()) {
        SpreadItem &item = m_spread[size_t(m_orderOf[size_t(boxIndex)])];
        item.minimum[mode] = minimum;
        item.maximum[mode] = maximum;
    }
    return true;
}

// Spread over the columns spanned as Qt spreads it, column by column (where spans
// overlap, the order decides): the minimum in 64ths of a pixel, each column's share
// rounded up to a whole pixel; so is the maximum's.
void Layouter::spreadNaturals(int mode)
{
    if (m_spread.size() != m_boxes.size()) {
        m_order.resize(m_boxes.size());
        for (size_t i = 0; i < m_order.size(); ++i)
            m_order[i] = int(i);
        std::stable_sort(m_order.begin(), m_order.end(),
                         [this](int a, int b) { return m_boxes[size_t(a)].column < m_boxes[size_t(b)].column; });
        m_orderOf.resize(m_boxes.size());
        m_spread.resize(m_boxes.size());
        for (size_t k = 0; k < m_order.size(); ++k) {
            const CellBox &box = m_boxes[size_t(m_order[k])];
            m_orderOf[size_t(m_order[k])] = int(k);
            SpreadItem &item = m_spread[k];
            item.column = box.column;
            item.span = qMin(box.columnSpan, m_columns - box.column);
            item.padding = box.left + box.right;
            std::copy(box.minimum, box.minimum + 2, item.minimum);
            std::copy(box.maximum, box.maximum + 2, item.maximum);
        }
        m_spreadStale[0] = m_spreadStale[1] = true;
    }
    if (!m_spreadStale[mode])
        return;
    std::vector<qreal> &minWidths = m_spreadMin[mode];
    std::vector<qreal> &maxWidths = m_spreadMax[mode];
    minWidths.assign(size_t(m_columns), 1);
    maxWidths.assign(size_t(m_columns), -1);
    for (const SpreadItem &item : m_spread) {
        const int c = item.column;
        const int span = item.span;
        qreal spread = ParagraphLayout::fixed(item.minimum[mode]) + item.padding;
        for (int n = 0; n < span; ++n) {
            const size_t col = size_t(c + n);
            minWidths[col] = std::ceil(qMax(minWidths[col], divideFixed(spread, span - n)));
            spread -= minWidths[col];
            if (spread <= 0)
                break;
        }
        qreal maxLeft = item.maximum[mode] + item.padding;
        for (int n = 0; n < span; ++n) {
            const size_t col = size_t(c + n);
            const qreal mw = std::ceil(maxLeft / (span - n));
            maxWidths[col] = qMax(qMax(maxWidths[col], mw), minWidths[col]);
            maxLeft -= maxWidths[col];
        }
    }
    m_spreadStale[mode] = false;
}

bool Layouter::decide(bool *changed)
{
    if (!m_pass[0].done || !m_dirty[0].empty())
        return false;
    std::vector<qreal> widths;
    spreadNaturals(0);
    m_minWidths = m_spreadMin[0];
    m_maxWidths = m_spreadMax[0];
    if (distributeWidths(&widths, 0)) {
        m_breakAnywhere = false;
        adoptWidths(widths, changed);
        return true;
    }
    if (!m_pass[1].done || !m_dirty[1].empty()) {
        m_pass[1].started = true;
        return false;
    }
    m_breakAnywhere = true;
    spreadNaturals(1);
    m_minWidths = m_spreadMin[1];
    m_maxWidths = m_spreadMax[1];
    distributeWidths(&widths, 1);
    adoptWidths(widths, changed);
    return true;
}

void Layouter::markDirty(int boxIndex)
{
    CellBox &box = m_boxes[size_t(boxIndex)];
    box.measured = 0;
    m_settled = false;
    for (int mode = 0; mode < 2; ++mode) {
        Pass &pass = m_pass[mode];
        const quint8 bit = quint8(1 << mode);
        if (pass.box == boxIndex)
            pass.piece = 0; // its pieces may have moved
        const bool behind = pass.done || boxIndex < pass.box;
        if (pass.started && behind && !(box.queued & bit)) {
            box.queued |= bit;
            m_dirty[mode].push_back(boxIndex);
        }
    }
}

bool Layouter::editCell(int row, int column, int from, int length, int delta)
{
    const int bandIndex = bandOfRow(row);
    const int index = boxAt(bandIndex, row, column);
    if (index < 0)
        return false;
    Band &band = m_bands[size_t(bandIndex)];
    CellBox &box = m_boxes[size_t(index)];
    markDirty(index);
    FrameLayout::Cell *cell = band.geometry ? &band.geometry->cells[size_t(index - band.firstBox)] : nullptr;
    // A band laid out, at the present widths or still at the ones before, takes the
    // change into its cell as it stands.
    const bool laid = cell && cell->laidWidth >= 0 && band.complete;
    // Lays the cell out again, when what changed cannot be found in it.
    auto whole = [&] {
        box.listed = false;
        box.naturals.clear();
        if (cell)
            cell->laidWidth = -1;
        band.version = -1;
        band.complete = false;
        return false;
    };
    const bool haveNaturals = box.listed;
    if (!laid && !haveNaturals)
        return whole();

    // The blocks that changed, counted from the cell's first one: those after the
    // change keep their lines and only move.
    const QTextDocument *doc = m_table->document();
    const int cellFirst = doc->findBlock(box.cell.firstPosition()).blockNumber();
    const int cellEnd = doc->findBlock(box.cell.lastPosition()).blockNumber() + 1;
    const int first = doc->findBlock(from).blockNumber() - cellFirst;
    const int lastNew = doc->findBlock(qMin(from + length, box.cell.lastPosition())).blockNumber() - cellFirst;
    const int lastOld = lastNew - delta;
    const int pieces = laid ? int(cell->flow.pieces.size()) : int(box.naturals.size());
    if (haveNaturals && laid && int(box.naturals.size()) != pieces)
        return whole();
    auto blocksOf = [&](int i) {
        return laid ? cell->flow.pieces[size_t(i)].blocks : box.naturals[size_t(i)].blocks;
    };
    auto isFrame = [&](int i) {
        return laid ? bool(cell->flow.pieces[size_t(i)].frame) : box.naturals[size_t(i)].frame != nullptr;
    };
    const FrameLayout::ChangedPieces changed =
        FrameLayout::changedPieces(pieces, cellEnd - cellFirst, blocksOf, isFrame, first, lastOld, delta);
    if (changed.first < 0)
        return whole(); // a frame in the cell changed or went, or came in
    const int i0 = changed.first, i1 = changed.end, start = changed.startBlock, count = changed.count;
    std::vector<QTextBlock> blocks;
    blocks.reserve(size_t(count));
    QTextBlock block = doc->findBlockByNumber(cellFirst + start);
    for (int k = 0; k < count && block.isValid(); ++k, block = block.next()) {
        if (doc->frameAt(block.position()) != m_table)
            return whole(); // a frame came in
        blocks.push_back(block);
    }
    if (int(blocks.size()) != count)
        return whole();

    if (haveNaturals) {
        std::vector<Natural> fresh(blocks.size());
        for (size_t k = 0; k < blocks.size(); ++k)
            fresh[k].block = blocks[k];
        box.naturals.erase(box.naturals.begin() + i0, box.naturals.begin() + i1);
        box.naturals.insert(box.naturals.begin() + i0, fresh.begin(), fresh.end());
    }
    if (!laid) {
        if (cell)
            cell->laidWidth = -1;
        band.version = -1;
        band.complete = false;
        return false;
    }
    std::vector<FrameLayout::Piece> fresh;
    fresh.reserve(blocks.size());
    for (const QTextBlock &b : blocks)
        fresh.push_back(FrameLayout::paragraphPiece(b, cell->laidWidth));
    auto &flow = cell->flow.pieces;
    flow.erase(flow.begin() + i0, flow.begin() + i1);
    flow.insert(flow.begin() + i0, std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
    FrameLayout::placeFlow(cell->flow);
    box.needed = roundFixed(contentHeight(cell->flow) + box.top + box.bottom);
    finish(bandIndex);
    return true;
}

} // namespace TableLayout
