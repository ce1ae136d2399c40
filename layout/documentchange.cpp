#include "layout/documentlayout.h"

#include "layout/framelayout.h"
#include "layout/paragraphlayout.h"
#include "layout/scriptfonts.h"
#include "layout/tablelayout.h"
#include "layout/textmetrics.h"

#include <QFontMetricsF>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>

// How the layout follows the document's changes: the entries of the changed
// paragraphs and tables are scanned afresh, and what an edit changed is laid out now.

namespace {

// A change this long may bring scripts whose fonts are best found in advance.
constexpr int LargeChange = 4096;

// What of the document's defaults the layout depends on, beyond the font.
QString optionKey(const QTextDocument *doc)
{
    const QTextOption o = doc->defaultTextOption();
    return QStringLiteral("%1 %2 %3 %4 %5 %6")
        .arg(o.wrapMode())
        .arg(int(o.alignment()))
        .arg(int(o.flags()))
        .arg(o.textDirection())
        .arg(o.tabStopDistance())
        .arg(doc->indentWidth());
}

} // namespace

std::vector<FlowIndex::Entry> DocumentLayout::scan(int firstBlock, int minimumBlocks) const
{
    std::vector<FlowIndex::Entry> entries;
    const QTextDocument *doc = document();
    QTextBlock block = doc->findBlockByNumber(firstBlock);
    const QList<QTextFrame *> frames = doc->rootFrame()->childFrames();
    auto frame = std::lower_bound(frames.begin(), frames.end(), block.position(),
                                  [](const QTextFrame *f, int position) { return f->lastPosition() < position; });
    int covered = 0;
    while (block.isValid() && covered < minimumBlocks) {
        FlowIndex::Entry e;
        if (frame != frames.end() && block.position() >= (*frame)->firstPosition()) {
            // A table is an entry per band of its rows, a frame one entry.
            auto *table = qobject_cast<QTextTable *>(*frame);
            TableLayout::Layouter *layouter = table ? tableLayouter(table) : nullptr;
            const int band = layouter ? layouter->bandOfPosition(block.position()) : 0;
            const bool lastBand = !layouter || band + 1 >= layouter->bandCount();
            const QTextBlock last = lastBand ? doc->findBlock((*frame)->lastPosition())
                                             : doc->findBlock(layouter->bandPosition(band + 1)).previous();
            e.frame = true;
            e.blocks = last.blockNumber() - block.blockNumber() + 1;
            e.content = float(e.blocks) * float(m_lineHeight) / float(qMax(1, table ? table->columns() : 1));
            block = last.next();
            if (lastBand)
                ++frame;
        } else {
            e.width = float(block.length() - 1); // kept for estimating again
            e.content = estimate(block.length() - 1);
            block = block.next();
        }
        covered += e.blocks;
        entries.push_back(e);
    }
    return entries;
}

void DocumentLayout::rebuild()
{
    m_frames.clear();
    m_index.replace(0, m_index.size(), scan(0, document()->blockCount()));
}

void DocumentLayout::documentChanged(int from, int oldLength, int length)
{
    if (TextMetrics::isReport(document())) {
        // The formats a paragraph was just given to lay it out are no change of the
        // document. A change still pending in an edit block may have come along:
        // the document will not report it again.
        if (!TextMetrics::isOwnReport(document(), from, oldLength, length))
            QMetaObject::invokeMethod(this, &DocumentLayout::followLostChange, Qt::QueuedConnection);
        return;
    }
    // Formats given to the paragraphs laid out now join this change.
    const TextMetrics::ChangeScope scope;
    abandonPartial(from, oldLength, length);
    QTextDocument *doc = document();
    const int docLength = doc->characterCount();
    const int blocks = doc->blockCount();
    const bool full = m_index.size() == 0 || (from == 0 && oldLength == 0 && length == docLength);
    const double oldHeight = m_index.totalHeight();

    if (full) {
        wholeDocumentChanged(docLength, blocks);
        return;
    }

    // A change within one cell of a table may lay out that cell only.
    confineChange(from, length, blocks);
    const auto forget = qScopeGuard([this] { m_cellEdit = CellEdit(); });

    // The changed paragraphs lose their lines at once: nothing may read lines made
    // for a text that is gone. That includes the paragraph that begins right where
    // the change ends: what the change removed before it may have been its own text
    // (an undo that puts paragraphs back in front of the one typed in).
    clearChangedLines(from, length);

    // The entries that held the changed blocks make way for entries scanned afresh.
    const int delta = blocks - m_blockCount;
    int first = doc->findBlock(from).blockNumber();
    int last = doc->findBlock(qMin(from + length, docLength - 1)).blockNumber();
    if (!m_cellEdit.table)
        dropTables(from, length, &first, &last);
    const int lastOld = qBound(first, last - delta, m_blockCount - 1);
    const FlowIndex::Position p0 = m_index.atBlock(first);
    const FlowIndex::Position p1 = m_index.atBlock(lastOld);
    int count = p1.index - p0.index + 1;
    const std::vector<FlowIndex::Entry> fresh = rescan(p0, p1, delta, &count);
    const double replacedHeight = [&] {
        double h = 0;
        for (int i = 0; i < count; ++i)
            h += m_index.at(p0.index + i).height();
        return h;
    }();
    m_index.replace(p0.index, count, fresh);
    m_viewIndex = -1;
    if (length >= LargeChange)
        prefetchFonts(from, length);
    m_blockCount = blocks;
    m_length = docLength;

    layOutChanged(p0, int(fresh.size()));
    reportChange(p0, int(fresh.size()), replacedHeight, oldHeight);
}

void DocumentLayout::wholeDocumentChanged(int docLength, int blocks)
{
    QTextDocument *doc = document();
    const Geometry geometry = readGeometry();
    const QFontMetricsF metrics(doc->defaultFont());
    const bool sameText = m_index.size() > 0 && blocks == m_blockCount && docLength == m_length;
    const bool sameLook = geometry.left == m_geometry.left && geometry.right == m_geometry.right &&
                          geometry.top == m_geometry.top && geometry.bottom == m_geometry.bottom &&
                          geometry.width == m_geometry.width && doc->defaultFont() == m_font &&
                          optionKey(doc) == m_optionKey;
    const bool sameFont = doc->defaultFont() == m_font && optionKey(doc) == m_optionKey;
    m_geometry = geometry;
    m_font = doc->defaultFont();
    m_optionKey = optionKey(doc);
    m_lineHeight = metrics.lineSpacing();
    m_charWidth = qMax(qreal(1), metrics.averageCharWidth());
    // What paragraphs showed at another width or in another font tells nothing now.
    // Tables keep what they measured across a new width only.
    if (!sameLook) {
        m_learned = Learned();
        m_metrics.clear();
        for (auto it = m_frames.begin(); it != m_frames.end();) {
            if (it->table && sameFont) {
                it->table->setAvailableWidth(geometry.width);
                ++it;
            } else {
                it = m_frames.erase(it);
            }
        }
    }
    m_estimates = currentEstimates();
    // A new page width or a new default font: the heights laid out so far are
    // good estimates until each paragraph is laid out again. The same text and
    // look (the editor resized only in height) need nothing.
    if (!sameText) {
        // A document met for the first time has no lines yet to forget.
        if (m_index.size() > 0) {
            for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
                b.clearLayout();
        }
        rebuild();
        m_viewIndex = -1;
        prefetchFonts(0, docLength);
    } else if (!sameLook) {
        m_index.markAllStale();
        refineEstimates(true);
    } else {
        return;
    }
    m_blockCount = blocks;
    m_length = docLength;
    emit update(QRectF(0., 0., 1000000000., 1000000000.));
    if (m_index.pendingCount() > 0)
        emit pendingLayout();
    reportSize();
}

void DocumentLayout::confineChange(int from, int length, int blocks)
{
    const QTextDocument *doc = document();
    m_cellEdit = CellEdit();
    if (QTextFrame *frame = topFrame(from); frame && frame == topFrame(from + length) && frame == doc->frameAt(from) &&
                                            frame == doc->frameAt(from + length)) {
        if (auto *table = qobject_cast<QTextTable *>(frame)) {
            const QTextTableCell a = table->cellAt(from);
            const QTextTableCell b = table->cellAt(from + length);
            const Laid laid = m_frames.value(frame);
            if (a.isValid() && a == b && (!laid.table || laid.table->cellHolds(a.row(), a.column())))
                m_cellEdit = {frame, a.row(), a.column(), from, length, blocks - m_blockCount};
        } else if (const FrameLayout::Geometry *g = frameGeometry(frame); g && g->flow.columns.count > 0) {
            // In a frame in columns: the paragraphs changed, and the columns placed anew.
            m_cellEdit = {frame, -1, -1, from, length, blocks - m_blockCount};
        }
    }
}

void DocumentLayout::clearChangedLines(int from, int length)
{
    const QTextDocument *doc = document();
    QTextBlock b = doc->findBlock(from);
    QTextBlock end = doc->findBlock(from + length);
    if (end.isValid())
        end = end.next();
    for (; b.isValid() && b != end; b = b.next())
        b.clearLayout();
}

std::vector<FlowIndex::Entry> DocumentLayout::rescan(const FlowIndex::Position &p0, const FlowIndex::Position &p1,
                                                     int delta, int *count) const
{
    int oldBlocks = p1.firstBlock + m_index.at(p1.index).blocks - p0.firstBlock;
    std::vector<FlowIndex::Entry> fresh;
    for (;;) {
        fresh = scan(p0.firstBlock, oldBlocks + delta);
        int covered = 0;
        for (const FlowIndex::Entry &e : fresh)
            covered += e.blocks;
        // A table made by the change can reach over entries that follow.
        if (covered <= oldBlocks + delta || p0.index + *count >= m_index.size())
            break;
        oldBlocks += m_index.at(p0.index + *count).blocks;
        ++*count;
    }
    if (*count == 1 && fresh.size() == 1 && fresh[0].frame == m_index.at(p0.index).frame) {
        // Typing in a paragraph mostly keeps its height.
        const FlowIndex::Entry &old = m_index.at(p0.index);
        fresh[0].content = old.content;
        fresh[0].gap = old.gap;
        fresh[0].topMargin = old.topMargin;
        fresh[0].bottomMargin = old.bottomMargin;
        fresh[0].width = old.width;
    }
    return fresh;
}

void DocumentLayout::layOutChanged(const FlowIndex::Position &p0, int entries)
{
    // What an edit changes is laid out now: the paragraph typed in, the few an Enter
    // or a small paste makes. A large paste is laid out where it is shown, and in
    // slices.
    const QTextDocument *doc = document();
    QTextBlock block = doc->findBlockByNumber(p0.firstBlock);
    int budget = 64 * 1024;
    for (int i = 0; i < entries && block.isValid(); ++i) {
        const int index = p0.index + i;
        const FlowIndex::Entry e = m_index.at(index);
        if (i >= 4 || (budget -= block.length()) < 0)
            break;
        layEntry(index, block);
        block = advance(block, e.blocks);
    }
    if (entries == 0 || m_index.at(p0.index + entries - 1).state != FlowIndex::Laid) {
        // The entry after the change takes its gap from the last new one's margin, once known.
        const int next = p0.index + entries;
        if (next < m_index.size() && next > 0) {
            FlowIndex::Entry e = m_index.at(next);
            const FlowIndex::Entry &prev = m_index.at(next - 1);
            e.gap = gapBetween(prev, e);
            m_index.set(next, e);
        }
    }
}

void DocumentLayout::reportChange(const FlowIndex::Position &p0, int entries, double replacedHeight, double oldHeight)
{
    double newHeight = 0;
    for (int i = 0; i < entries; ++i)
        newHeight += m_index.at(p0.index + i).height();
    const double top = m_geometry.top + p0.top;
    if (newHeight == replacedHeight && m_index.totalHeight() - oldHeight == 0)
        emit update(QRectF(0., top, 1000000000., newHeight));
    else
        emit update(QRectF(0., top, 1000000000., 1000000000.));
    if (!isComplete())
        emit pendingLayout();
    reportSize();
}

void DocumentLayout::prefetchFonts(int from, int length)
{
    std::erase_if(m_prefetches, [](const std::unique_ptr<ScriptFonts::Prefetch> &p) { return p->isDone(); });
    if (std::unique_ptr<ScriptFonts::Prefetch> p = ScriptFonts::prefetch(document(), from, length))
        m_prefetches.push_back(std::move(p));
}

void DocumentLayout::dropTables(int from, int length, int *first, int *last)
{
    // The tables whose characters (their cell markers included) the change reaches:
    // their grid, spans or formats may be other now, and every band of them is
    // scanned afresh.
    const QTextDocument *doc = document();
    // A frame put around them makes tables of the root frame tables of that frame,
    // laid out with it: their layouters here are no more theirs.
    for (auto laid = m_frames.begin(); laid != m_frames.end();) {
        if (laid.key()->parentFrame() == doc->rootFrame()) {
            ++laid;
            continue;
        }
        if (m_partialTable && m_partialTable == laid->table) {
            m_partialTable.reset();
            m_partialIndex = -1;
        }
        laid = m_frames.erase(laid);
    }
    const QList<QTextFrame *> frames = doc->rootFrame()->childFrames();
    auto it = std::lower_bound(frames.begin(), frames.end(), from,
                               [](const QTextFrame *f, int position) { return f->lastPosition() < position; });
    for (; it != frames.end() && (*it)->firstPosition() - 1 <= from + length; ++it) {
        // A table spans its first cell's marker to its end marker; what was only
        // removed stands at from, and reaches the table when that lies inside it.
        const int begin = (*it)->firstPosition() - 1;
        const int end = (*it)->lastPosition() + 1;
        const bool reached = length > 0 ? from < end && from + length > begin : begin < from && from < end;
        auto *table = qobject_cast<QTextTable *>(*it);
        if (!table || !reached)
            continue;
        const auto laid = m_frames.constFind(table);
        if (laid == m_frames.constEnd() || !laid->table)
            continue;
        if (m_partialTable == laid->table) {
            m_partialTable.reset();
            m_partialIndex = -1;
        }
        m_frames.remove(table);
        *first = qMin(*first, doc->findBlock(table->firstPosition()).blockNumber());
        *last = qMax(*last, doc->findBlock(table->lastPosition()).blockNumber());
    }
}

void DocumentLayout::followLostChange()
{
    m_blockCount = -1;
    documentChanged(0, 0, document()->characterCount());
}

void DocumentLayout::abandonPartial(int from, int oldLength, int length)
{
    if (m_partial) {
        // The paragraph is left with the lines of its unfinished layout. Where the
        // change did not reach, it still stands, moved perhaps, and loses them; what
        // the change reached is dropped by documentChanged() or is gone, and its old
        // layout must not be touched.
        const int position = m_partial->position();
        const int end = position + m_partial->length();
        int now = -1;
        if (end <= from)
            now = position;
        else if (position >= from + oldLength)
            now = position + length - oldLength;
        QTextBlock block = now >= 0 ? document()->findBlock(now) : QTextBlock();
        if (block.isValid() && block.position() == now)
            block.clearLayout();
    }
    m_partial.reset();
    m_partialTable.reset();
    m_partialIndex = -1;
}
