#include "layout/documentlayout.h"

#include "base/layoutproperties.h"

#include <utility>

#include "layout/framelayout.h"
#include "layout/imagehandler.h"
#include "layout/paragraphlayout.h"
#include "layout/scriptfonts.h"
#include "layout/tablelayout.h"
#include "layout/textmetrics.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPainter>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace {

// The tallest document the editor widget can scroll through: its scroll bars count
// in ints.
constexpr double MaximumHeight = double(1 << 30);

} // namespace

DocumentLayout::DocumentLayout(QTextDocument *document)
    : QAbstractTextDocumentLayout(document)
{
    registerHandler(QTextFormat::ImageObject, new ImageHandler(this));
    setProperty("cursorWidth", 1);
}

DocumentLayout::~DocumentLayout() = default;

QTextBlock DocumentLayout::advance(QTextBlock block, int blocks)
{
    if (blocks > 8)
        return block.document()->findBlockByNumber(block.blockNumber() + blocks);
    for (int i = 0; i < blocks && block.isValid(); ++i)
        block = block.next();
    return block;
}

QTextFrame *DocumentLayout::topFrame(int position) const
{
    QTextFrame *root = document()->rootFrame();
    QTextFrame *f = document()->frameAt(position);
    while (f && f->parentFrame() && f->parentFrame() != root)
        f = f->parentFrame();
    return f == root ? nullptr : f;
}

const FrameLayout::Geometry *DocumentLayout::frameGeometry(const QTextFrame *frame) const
{
    const auto it = m_frames.constFind(frame);
    return it == m_frames.constEnd() ? nullptr : it->geometry.get();
}

const FrameLayout::Geometry *DocumentLayout::entryGeometry(const QTextBlock &first) const
{
    const QTextFrame *frame = topFrame(first.position());
    const auto it = m_frames.constFind(frame);
    if (it == m_frames.constEnd())
        return nullptr;
    if (it->table)
        return it->table->geometry(it->table->bandOfPosition(first.position())).get();
    return it->geometry.get();
}

TableLayout::Layouter *DocumentLayout::tableLayouter(QTextTable *table) const
{
    auto it = m_frames.find(table);
    if (it != m_frames.end() && it->table && it->table->fits(table))
        return it->table.get();
    if (it == m_frames.end())
        connect(table, &QObject::destroyed, this, [this, table] { m_frames.remove(table); });
    auto layouter = std::make_shared<TableLayout::Layouter>(table, m_geometry.width, true);
    m_frames.insert(table, Laid{{}, layouter});
    return layouter.get();
}

qreal DocumentLayout::frameX(const FrameLayout::Geometry &g) const
{
    return g.table ? frameX(g.frame, g.size.width()) : 0;
}

qreal DocumentLayout::frameX(const QTextFrame *frame, qreal width) const
{
    const auto *table = qobject_cast<const QTextTable *>(frame);
    if (!table)
        return 0;
    if (table->format().boolProperty(LayoutProperty::ColumnsAsGiven)) {
        // Within the text column, out of it on both sides when wider.
        const Qt::Alignment align = table->format().alignment();
        if (align & Qt::AlignRight)
            return m_geometry.width - width;
        if (align & Qt::AlignHCenter)
            return (m_geometry.width - width) / 2;
        return 0;
    }
    if (m_geometry.width <= width)
        return 0;
    // Qt measures the room from the page's left edge, not the content's: a centred
    // or right-aligned table sits that much further right, and so does this one.
    const qreal room = m_geometry.left + m_geometry.width - width;
    const Qt::Alignment align = table->format().alignment();
    if (align & Qt::AlignRight)
        return room;
    if (align & Qt::AlignHCenter)
        return room / 2;
    return 0;
}

void DocumentLayout::layEntry(int index, const QTextBlock &first) const
{
    const FlowIndex::Entry e = m_index.at(index);
    if (!e.frame) {
        if (m_partial && m_partialIndex == index) {
            // Begun in an earlier slice: finished now, it is needed.
            std::unique_ptr<ParagraphLayout::Layouter> partial = std::move(m_partial);
            m_partialIndex = -1;
            partial->run(QDeadlineTimer(QDeadlineTimer::Forever));
            commitParagraph(index, first, partial->metrics());
        } else {
            commitParagraph(index, first, ParagraphLayout::layout(first, m_geometry.width));
        }
        return;
    }
    QTextFrame *frame = topFrame(first.position());
    if (!frame)
        return;
    auto *table = qobject_cast<QTextTable *>(frame);
    if (!table) {
        const CellEdit edit = m_cellEdit.table == frame ? std::exchange(m_cellEdit, CellEdit()) : CellEdit();
        const auto laid = m_frames.constFind(frame);
        if (edit.table && laid != m_frames.constEnd() && laid->geometry &&
            FrameLayout::editFrame(*laid->geometry, edit.from, edit.length, edit.delta)) {
            commitFrameEntry(index, laid->geometry.get());
            return;
        }
        commitFrame(index, frame, FrameLayout::layoutFrame(frame, m_geometry.width));
        return;
    }
    TableLayout::Layouter *layouter = tableLayouter(table);
    const int band = layouter->bandOfPosition(first.position());
    // A table in bands has an entry a band, and an edit may lay several of them: the
    // change goes into the cell once, or each band laid would splice its paragraphs in
    // again.
    const CellEdit edit = m_cellEdit.table == frame ? std::exchange(m_cellEdit, CellEdit()) : CellEdit();
    if (edit.table && layouter->editCell(edit.row, edit.column, edit.from, edit.length, edit.delta)) {
        // Typing in a cell: what changed in it, and its band's rows.
        commitBand(index, layouter, band);
        return;
    }
    if (m_partialTable.get() == layouter) {
        // Begun in an earlier slice: finished now, it is needed.
        m_partialTable.reset();
        m_partialIndex = -1;
    }
    if (!layouter->hasWidths())
        settleTable(layouter, QDeadlineTimer(QDeadlineTimer::Forever));
    layouter->layBand(band, QDeadlineTimer(QDeadlineTimer::Forever));
    commitBand(index, layouter, band);
}

void DocumentLayout::commitFrame(int index, QTextFrame *frame, const std::shared_ptr<FrameLayout::Geometry> &geometry) const
{
    if (!m_frames.contains(frame))
        connect(frame, &QObject::destroyed, this, [this, frame] { m_frames.remove(frame); });
    m_frames.insert(frame, Laid{geometry, {}});
    commitFrameEntry(index, geometry.get());
}

void DocumentLayout::commitBand(int index, TableLayout::Layouter *table, int band) const
{
    commitFrameEntry(index, table->geometry(band).get());
    if (!table->settled())
        noteSettling();
}

float DocumentLayout::gapBetween(const FlowIndex::Entry &above, const FlowIndex::Entry &below)
{
    // A frame is drawn at its entry's top, so it takes no gap; a paragraph below one
    // keeps its space before (Qt's own layout sets it against the frame).
    if (below.frame || (above.frame && !TextMetrics::wordProcessorRules()))
        return 0;
    return float(ParagraphLayout::gap(above.frame ? 0 : above.bottomMargin, below.topMargin));
}

void DocumentLayout::commitFrameEntry(int index, const FrameLayout::Geometry *g) const
{
    // A frame has no spacing of its own and stands with no gap above it; the
    // paragraph below it keeps its space before, as word processors lay it out.
    FlowIndex::Entry e = m_index.at(index);
    e.content = g ? float(g->size.height()) : 0;
    e.width = g ? float(frameX(*g) + g->size.width()) : 0;
    e.gap = index > 0 ? gapBetween(m_index.at(index - 1), e) : 0;
    e.state = FlowIndex::Laid;
    setEntry(index, e);
    if (index + 1 < m_index.size()) {
        FlowIndex::Entry next = m_index.at(index + 1);
        const float gap = gapBetween(e, next);
        if (next.gap != gap) {
            next.gap = gap;
            setEntry(index + 1, next);
        }
    }
}

bool DocumentLayout::layOutSome(int index, const QTextBlock &first, const QDeadlineTimer &deadline)
{
    const FlowIndex::Entry e = m_index.at(index);
    if (e.frame) {
        // A table is laid out band by band, and a band cell by cell, over as many
        // slices as it takes.
        QTextFrame *frame = topFrame(first.position());
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table) {
            layEntry(index, first);
            return true;
        }
        TableLayout::Layouter *layouter = tableLayouter(table);
        if (!layouter->hasWidths() && !settleTable(layouter, deadline))
            return false;
        const int band = layouter->bandOfPosition(first.position());
        if (!layouter->layBand(band, deadline)) {
            m_partialTable = m_frames.value(table).table;
            m_partialIndex = index;
            return false;
        }
        m_partialTable.reset();
        m_partialIndex = -1;
        commitBand(index, layouter, band);
        return true;
    }
    ParagraphLayout::Metrics measured;
    if (!m_partial && measure(first, &measured)) {
        commitParagraph(index, first, measured, FlowIndex::Measured);
        return true;
    }
    // A long paragraph is laid out line by line, over as many slices as it takes.
    if (!m_partial) {
        m_partial = std::make_unique<ParagraphLayout::Layouter>(first, m_geometry.width);
        m_partialIndex = index;
    }
    if (!m_partial->run(deadline))
        return false;
    std::unique_ptr<ParagraphLayout::Layouter> done = std::move(m_partial);
    m_partialIndex = -1;
    commitParagraph(index, first, done->metrics());
    return true;
}

bool DocumentLayout::measure(const QTextBlock &block, ParagraphLayout::Metrics *m) const
{
    constexpr int Short = 160;
    if (block.length() - 1 > Short || !block.isVisible() || block.textList())
        return false;
    const QTextBlockFormat bf = block.blockFormat();
    if (bf.lineHeightType() != QTextBlockFormat::SingleHeight || bf.layoutDirection() == Qt::RightToLeft ||
        document()->defaultTextOption().textDirection() == Qt::RightToLeft)
        return false;
    QTextBlock::iterator it = block.begin();
    QString text;
    int formatIndex = block.charFormatIndex();
    if (it.atEnd()) {
        if (ParagraphLayout::isStructural(block))
            return false;
    } else {
        const QTextFragment fragment = it.fragment();
        if (!(++it).atEnd())
            return false;
        text = fragment.text();
        for (const QChar c : text) {
            if (c.unicode() < 0x20 || c.unicode() >= 0x7F)
                return false;
        }
        formatIndex = fragment.charFormatIndex();
    }
    const bool noGap = bf.boolProperty(LayoutProperty::NoLineGap);
    const int key = formatIndex * 2 + (noGap ? 1 : 0);
    auto found = m_metrics.constFind(key);
    if (found == m_metrics.constEnd()) {
        const QTextCharFormat cf = document()->allFormats().value(formatIndex).toCharFormat();
        if (cf.isImageFormat() || cf.objectType() != QTextFormat::NoObject ||
            cf.verticalAlignment() != QTextCharFormat::AlignNormal)
            return false;
        const QFont font = cf.font();
        const QFontMetricsF laidOut(TextMetrics::laidOutFont(font));
        const qreal height = TextMetrics::wordProcessorRules()
                                 ? ParagraphLayout::fixed(TextMetrics::box(TextMetrics::face(font), noGap).height)
                                 : std::ceil(laidOut.ascent() + laidOut.descent() + qMax(qreal(0), laidOut.leading()));
        found = m_metrics.insert(key, Measures{laidOut, height});
    }
    const QFontMetricsF &fm = found->metrics;
    // The room of the first line, as ParagraphLayout gives it.
    const qreal indent = bf.indent() * document()->indentWidth();
    const qreal left = qMax(qreal(0), bf.leftMargin() + indent) + bf.textIndent();
    const qreal room = qMin(m_geometry.width, m_geometry.width - bf.rightMargin()) - left;
    const qreal natural = text.isEmpty() ? 0 : fm.horizontalAdvance(text);
    if (natural > room - 2)
        return false;
    m->height = found->height;
    m->lines = 1;
    m->topMargin = bf.topMargin();
    m->bottomMargin = bf.bottomMargin();
    m->width = left + natural + qMax(qreal(0), bf.rightMargin());
    return true;
}

void DocumentLayout::commitParagraph(int index, const QTextBlock &block, const ParagraphLayout::Metrics &m,
                                     FlowIndex::State state) const
{
    FlowIndex::Entry e = m_index.at(index);
    // The space after a paragraph right above a table stands below it, in its own
    // entry: a frame is drawn at its entry's top.
    const bool aboveFrame = TextMetrics::wordProcessorRules() && index + 1 < m_index.size() && m_index.at(index + 1).frame;
    e.content = float(m.height + (aboveFrame ? ParagraphLayout::gap(m.bottomMargin, 0) : 0));
    e.topMargin = float(m.topMargin);
    e.bottomMargin = float(m.bottomMargin);
    e.width = float(m.width);
    e.gap = index > 0 ? gapBetween(m_index.at(index - 1), e) : 0;
    e.state = state;
    setEntry(index, e);
    m_learned.paragraphs += 1;
    m_learned.lines += m.lines;
    m_learned.height += m.height;
    m_learned.gaps += e.gap;
    if (m.lines >= 3) {
        m_learned.longChars += block.length() - 1;
        m_learned.longLines += m.lines;
    }
    if (index + 1 < m_index.size()) {
        FlowIndex::Entry next = m_index.at(index + 1);
        const float gap = gapBetween(e, next);
        if (gap != next.gap) {
            next.gap = gap;
            setEntry(index + 1, next);
        }
    }
}

void DocumentLayout::ensureLaid(int index, const QTextBlock &first) const
{
    if (m_index.at(index).state != FlowIndex::Laid) {
        layEntry(index, first);
        noteSizeChange();
    }
}

QPointF DocumentLayout::paragraphOrigin(const QTextBlock &, int index, double top) const
{
    const FlowIndex::Entry &e = m_index.at(index);
    return QPointF(m_geometry.left, top + e.gap);
}

void DocumentLayout::draw(QPainter *painter, const PaintContext &context)
{
    if (m_index.size() == 0)
        return;
    const QRectF clip = context.clip;
    const double from = clip.isValid() ? clip.top() : 0;
    const double to = clip.isValid() ? clip.bottom() : documentSize().height();
    const FlowIndex::Position p = m_index.atY(from - m_geometry.top);
    int index = p.index;
    double top = m_geometry.top + p.top;
    QTextBlock block = document()->findBlockByNumber(p.firstBlock);
    bool ok = false;
    int cursorWidth = property("cursorWidth").toInt(&ok);
    if (!ok)
        cursorWidth = 1;
    while (index < m_index.size() && block.isValid() && top <= to) {
        ensureLaid(index, block);
        const FlowIndex::Entry e = m_index.at(index);
        // Drawn in coordinates local to the entry: the painter carries the large
        // offset in floating point, the text engine only small ones.
        painter->save();
        painter->translate(0, top);
        const QRectF local = clip.isValid() ? clip.translated(0, -top) : QRectF();
        if (!e.frame) {
            const QPointF origin = paragraphOrigin(block, index, top) - QPointF(0, top);
            ParagraphLayout::draw(painter, origin, context, block, cursorWidth, local);
        } else if (const FrameLayout::Geometry *g = entryGeometry(block)) {
            FrameLayout::draw(painter, QPointF(m_geometry.left + frameX(*g), 0), context, *g, cursorWidth, local);
        }
        painter->restore();
        top += e.height();
        block = advance(block, e.blocks);
        ++index;
    }
}

int DocumentLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const
{
    using ParagraphLayout::Hit;
    if (m_index.size() == 0)
        return -1;
    const FlowIndex::Position p = m_index.atY(point.y() - m_geometry.top);
    int index = p.index;
    double top = m_geometry.top + p.top;
    QTextBlock block = document()->findBlockByNumber(p.firstBlock);
    int position = block.position();
    Hit hit = Hit::Before;
    for (int tries = 0; tries < 8 && index < m_index.size() && block.isValid(); ++tries) {
        ensureLaid(index, block);
        const FlowIndex::Entry e = m_index.at(index);
        int pos = block.position();
        Hit h = Hit::Before;
        if (!e.frame) {
            h = ParagraphLayout::hitTest(block, point - paragraphOrigin(block, index, top), accuracy, &pos);
            if ((h == Hit::Inside || h == Hit::Exact) && ParagraphLayout::isStructural(block))
                h = Hit::After;
        } else if (const FrameLayout::Geometry *g = entryGeometry(block)) {
            const QPointF local = point - QPointF(m_geometry.left + frameX(*g), top);
            if (local.y() < 0 || local.x() < 0) {
                pos = g->frame->firstPosition() - 1;
                h = Hit::Before;
            } else if (local.y() > g->size.height() || local.x() > g->size.width()) {
                pos = g->frame->lastPosition() + 1;
                h = local.y() > g->size.height() ? Hit::After : Hit::Inside;
            } else {
                h = FrameLayout::hitTest(*g, local, accuracy, &pos);
            }
        }
        if (h == Hit::Inside || h == Hit::Exact) {
            position = pos;
            hit = h;
            break;
        }
        if (tries == 0 || (h == Hit::Before && pos < position) || (h == Hit::After && pos > position)) {
            position = pos;
            hit = h;
        }
        if (h != Hit::After)
            break;
        top += e.height();
        block = advance(block, e.blocks);
        ++index;
    }
    if (accuracy == Qt::ExactHit && hit != Hit::Exact)
        return -1;
    return qBound(0, position, document()->rootFrame()->lastPosition());
}

const FrameLayout::Geometry *DocumentLayout::columnsAt(const QPointF &point, QPointF *origin) const
{
    if (m_index.size() == 0)
        return nullptr;
    const FlowIndex::Position p = m_index.atY(point.y() - m_geometry.top);
    if (p.index < 0 || p.index >= m_index.size() || !m_index.at(p.index).frame)
        return nullptr;
    const QTextBlock first = document()->findBlockByNumber(p.firstBlock);
    ensureLaid(p.index, first);
    const FrameLayout::Geometry *g = entryGeometry(first);
    if (!g || g->table || g->flow.columns.count == 0)
        return nullptr;
    *origin = QPointF(m_geometry.left + frameX(*g), m_geometry.top + p.top) + g->contentOrigin;
    return g;
}

QRectF DocumentLayout::columnRect(const QPointF &point) const
{
    QPointF origin;
    const FrameLayout::Geometry *g = columnsAt(point, &origin);
    const FrameLayout::Column *column = g ? FrameLayout::columnAt(g->flow, point - origin) : nullptr;
    return column ? column->rect.translated(origin) : QRectF();
}

QRectF DocumentLayout::bandRect(const QPointF &point) const
{
    QPointF origin;
    const FrameLayout::Geometry *g = columnsAt(point, &origin);
    const FrameLayout::Column *column = g ? FrameLayout::columnAt(g->flow, point - origin) : nullptr;
    if (!column)
        return QRectF();
    for (const FrameLayout::Band &band : g->flow.columns.bands) {
        if (band.top == column->rect.top())
            return QRectF(origin.x(), origin.y() + band.top, g->flow.width, band.content);
    }
    return QRectF();
}

int DocumentLayout::pageCount() const
{
    return 1;
}

QSizeF DocumentLayout::documentSize() const
{
    const double height = m_geometry.top + m_index.totalHeight() + m_geometry.bottom;
    const double width = qMax(double(m_geometry.width), m_index.maxWidth()) + m_geometry.left + m_geometry.right;
    return QSizeF(width, qMin(height, MaximumHeight));
}

QRectF DocumentLayout::frameBoundingRect(QTextFrame *frame) const
{
    if (!frame)
        return QRectF();
    QTextFrame *root = document()->rootFrame();
    if (frame == root)
        return QRectF(QPointF(0, 0), documentSize());
    QTextFrame *outer = frame;
    while (outer->parentFrame() && outer->parentFrame() != root)
        outer = outer->parentFrame();
    // The entry (or band of a table) that holds the frame's first block.
    const QTextBlock first = document()->findBlock(frame->firstPosition());
    const FlowIndex::Position p = m_index.atBlock(first.blockNumber());
    if (p.index < 0)
        return QRectF();
    const QTextBlock entryFirst = document()->findBlockByNumber(p.firstBlock);
    ensureLaid(p.index, entryFirst);
    const FrameLayout::Geometry *g = entryGeometry(entryFirst);
    if (!g)
        return QRectF();
    const QPointF origin(m_geometry.left + frameX(*g), m_geometry.top + p.top);
    if (outer == frame) {
        // A table in bands reaches down to the end of its last band.
        const int lastBlock = document()->findBlock(outer->lastPosition()).blockNumber();
        const FlowIndex::Position end = m_index.atBlock(lastBlock);
        const double bottom = m_index.locate(end.index).top + m_index.at(end.index).height();
        return QRectF(origin, QSizeF(g->size.width(), bottom - p.top));
    }
    QPointF inner;
    QSizeF size;
    if (!FrameLayout::frameOrigin(*g, frame, &inner, &size))
        return QRectF();
    return QRectF(origin + inner, size);
}

QRectF DocumentLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid() || !block.isVisible() || block.document() != document() || m_index.size() == 0)
        return QRectF();
    const int number = block.blockNumber();
    const FlowIndex::Position p = m_index.atBlock(number);
    if (p.index < 0)
        return QRectF();
    const QTextBlock first = p.firstBlock == number ? block : document()->findBlockByNumber(p.firstBlock);
    ensureLaid(p.index, first);
    // What lies just above shows in the same view: laid out now, it will not push the
    // paragraph down when painted.
    double above = 0;
    int firstBlock = p.firstBlock;
    for (int i = p.index - 1; i >= 0 && above < m_lookaround; --i) {
        firstBlock -= m_index.at(i).blocks;
        if (m_index.at(i).state != FlowIndex::Laid)
            ensureLaid(i, document()->findBlockByNumber(firstBlock));
        above += m_index.at(i).height();
    }
    const double top = m_geometry.top + m_index.locate(p.index).top;
    QPointF origin;
    if (!m_index.at(p.index).frame) {
        origin = paragraphOrigin(block, p.index, top);
    } else {
        const FrameLayout::Geometry *g = entryGeometry(first);
        QPointF inner;
        if (!g || !FrameLayout::blockOrigin(*g, block, &inner))
            return QRectF();
        origin = QPointF(m_geometry.left + frameX(*g), top) + inner;
    }
    // Kept current for those who read a paragraph's position from its layout.
    QTextLayout *tl = block.layout();
    tl->setPosition(origin);
    QRectF r = tl->boundingRect();
    r.moveTopLeft(origin);
    return r;
}

bool DocumentLayout::layoutPending(const QDeadlineTimer &deadline)
{
    {
        // The view follows once for the whole slice: nothing is painted in between.
        m_batching = true;
        m_batchedShift = 0;
        const auto flush = qScopeGuard([this] {
            m_batching = false;
            shiftView(m_batchedShift);
            // The scroll bars follow the growing document a few times a second; each
            // report reaches the editor's scroll bars and repaints them.
            if (!m_sizeReported.isValid() || m_sizeReported.hasExpired(100) || m_index.pendingCount() == 0)
                reportSize();
        });
        layOutSlice(deadline);
    }
    // Asked once the size is reported: a scroll bar that the report shows narrows the
    // page, and every paragraph is then to be laid out again.
    return m_partialIndex >= 0 || !isComplete();
}

void DocumentLayout::layOutSlice(const QDeadlineTimer &deadline)
{
    refineEstimates(false);
    // Column widths first: a table whose widths change is laid out again.
    if (!settleTables(deadline) || !relayTables(deadline))
        return;
    const bool resuming = m_partialIndex >= 0;
    int index = resuming ? m_partialIndex : pendingAtEnd();
    if (index < 0)
        index = m_index.nextPending(0);
    if (index < 0)
        return;
    QTextBlock block = m_partial ? m_partial->block()
                                 : document()->findBlockByNumber(m_index.locate(index).firstBlock);
    while (index >= 0 && block.isValid()) {
        if (!layOutSome(index, block, deadline))
            break;
        block = advance(block, m_index.at(index).blocks);
        ++index;
        if (deadline.hasExpired())
            break;
        if (index >= m_index.size() || !FlowIndex::isPending(m_index.at(index).state)) {
            index = m_index.nextPending(index);
            if (index >= 0)
                block = document()->findBlockByNumber(m_index.locate(index).firstBlock);
        }
    }
}

int DocumentLayout::pendingAtEnd() const
{
    // Ctrl+End and the scroll bar's end take the view there, at any moment: what a
    // view at the end shows is laid out first, its long paragraphs over slices too.
    constexpr int MostEntries = 256; // however thin they are
    int first = -1;
    double covered = 0;
    const int last = m_index.size() - 1;
    for (int i = last; i >= 0 && i > last - MostEntries && covered < m_lookaround; --i) {
        const FlowIndex::Entry &e = m_index.at(i);
        if (FlowIndex::isPending(e.state))
            first = i;
        covered += e.height();
    }
    return first;
}

bool DocumentLayout::isComplete() const
{
    if (m_index.pendingCount() > 0)
        return false;
    for (const Laid &laid : m_frames) {
        if (laid.table && (!laid.table->settled() || (laid.table->hasWidths() && laid.table->staleBand() >= 0)))
            return false;
    }
    return true;
}

QTextBlock DocumentLayout::unfinishedBlock() const
{
    return m_partial ? m_partial->block() : QTextBlock();
}

void DocumentLayout::noteSizeChange() const
{
    if (m_sizeCheckQueued)
        return;
    m_sizeCheckQueued = true;
    auto *self = const_cast<DocumentLayout *>(this);
    QMetaObject::invokeMethod(self, [self] { self->reportSize(); }, Qt::QueuedConnection);
}

void DocumentLayout::reportSize()
{
    m_sizeCheckQueued = false;
    m_sizeReported.start();
    const QSizeF size = documentSize();
    if (size == m_reportedSize)
        return;
    m_reportedSize = size;
    emit documentSizeChanged(size);
}

void DocumentLayout::resizeInlineObject(QTextInlineObject item, int posInDocument, const QTextFormat &format)
{
    const QTextCharFormat f = format.toCharFormat();
    QTextObjectInterface *handler = handlerForObject(f.objectType());
    if (!handler)
        return;
    const QSizeF size = handler->intrinsicSize(document(), posInDocument, format);
    item.setWidth(size.width());
    if (f.verticalAlignment() == QTextCharFormat::AlignMiddle) {
        const qreal halfX = QFontMetricsF(f.font()).xHeight() / 2;
        item.setAscent((size.height() + halfX) / 2);
        item.setDescent((size.height() - halfX) / 2);
    } else {
        item.setAscent(size.height());
        item.setDescent(0);
    }
}
