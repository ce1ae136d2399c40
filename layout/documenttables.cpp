// Settling the root frame's tables: their column widths measured over slices from
// every cell's natural widths, and the bands laid out again where a width changed.
#include "layout/documentlayout.h"

#include "layout/tablelayout.h"

#include <QDeadlineTimer>
#include <QTextTable>

bool DocumentLayout::settleTable(TableLayout::Layouter *table, const QDeadlineTimer &deadline) const
{
    bool changed = false;
    const bool done = table->settle(deadline, &changed);
    if (changed)
        restaleTable(table->table());
    return done;
}

bool DocumentLayout::settleTables(const QDeadlineTimer &deadline)
{
    // Collected first: settling reports to the index, which may make layouters.
    std::vector<std::shared_ptr<TableLayout::Layouter>> unsettled;
    for (const Laid &laid : std::as_const(m_frames)) {
        if (laid.table && !laid.table->settled())
            unsettled.push_back(laid.table);
    }
    for (const std::shared_ptr<TableLayout::Layouter> &table : unsettled) {
        if (!settleTable(table.get(), deadline))
            return false;
        if (deadline.hasExpired())
            return false;
    }
    return true;
}

bool DocumentLayout::relayTables(const QDeadlineTimer &deadline)
{
    // A table whose widths changed stands as it was laid out until its bands are laid
    // out again, here, in slices: drawn meanwhile as far as they got.
    std::vector<std::shared_ptr<TableLayout::Layouter>> stale;
    for (const Laid &laid : std::as_const(m_frames)) {
        if (laid.table && laid.table->hasWidths() && laid.table->staleBand() >= 0)
            stale.push_back(laid.table);
    }
    const QTextDocument *doc = document();
    for (const std::shared_ptr<TableLayout::Layouter> &table : stale) {
        const FlowIndex::Position first = m_index.atBlock(doc->findBlock(table->table()->firstPosition()).blockNumber());
        for (int band = table->staleBand(); band >= 0; band = table->staleBand()) {
            const int index = first.index + band;
            const bool done = table->layBand(band, deadline);
            // The table's entries are its bands, in order.
            const bool entry = index < m_index.size() && m_index.at(index).state == FlowIndex::Laid &&
                               table->bandOfPosition(doc->findBlockByNumber(m_index.locate(index).firstBlock).position()) == band;
            if (entry)
                commitBand(index, table.get(), band);
            if (!done || deadline.hasExpired())
                return false;
        }
    }
    return true;
}

void DocumentLayout::restaleTable(QTextTable *) const
{
    noteSettling();
}

void DocumentLayout::noteSettling() const
{
    emit const_cast<DocumentLayout *>(this)->pendingLayout();
}
