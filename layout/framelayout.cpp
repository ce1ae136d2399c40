#include "layout/framelayout.h"

#include "base/layoutproperties.h"
#include "layout/tablelayout.h"
#include "layout/textmetrics.h"

#include <QHash>
#include <QPainter>
#include <QScopeGuard>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace FrameLayout {

qreal lengthValue(const QTextLength &length, qreal maximum)
{
    return length.type() == QTextLength::VariableLength ? maximum : length.value(maximum);
}

namespace {

// Narrower columns than this are no columns: the frame's content is one column.
constexpr qreal NarrowestColumn = 120;

// The columns a frame's format asks for within the content width, or none.
Columns columnsOf(const QTextFrameFormat &fmt, qreal width)
{
    Columns c;
    const int count = fmt.intProperty(LayoutProperty::ColumnCount);
    if (count < 2 || width >= Unbounded)
        return c;
    const qreal gap = qMax(qreal(0), fmt.doubleProperty(LayoutProperty::ColumnGap));
    const qreal columnWidth = (width - gap * (count - 1)) / count;
    if (columnWidth < NarrowestColumn)
        return c;
    c.count = count;
    c.width = columnWidth;
    c.gap = gap;
    c.height = qMax(qreal(0), fmt.doubleProperty(LayoutProperty::ColumnHeight));
    c.rule = fmt.boolProperty(LayoutProperty::ColumnRule);
    c.balanced = fmt.boolProperty(LayoutProperty::ColumnsBalanced);
    return c;
}

void layoutPlainFrame(QTextFrame *frame, qreal availableWidth, Geometry *g)
{
    const QTextFrameFormat fmt = frame->frameFormat();
    const qreal border = fmt.border();
    const qreal pad = fmt.padding();
    const qreal width = lengthValue(fmt.width(), availableWidth);
    const qreal left = fmt.leftMargin() + border + pad;
    const qreal right = fmt.rightMargin() + border + pad;
    g->border = border;
    g->borderBrush = fmt.borderBrush().style() == Qt::NoBrush ? QBrush(Qt::darkGray) : fmt.borderBrush();
    g->contentOrigin = QPointF(left, fmt.topMargin() + border + pad);
    const qreal content = qMax(qreal(0), width - left - right);
    if (Columns columns = columnsOf(fmt, content); columns.count > 0) {
        g->flow = layoutFlow(frame->begin(), columns.width);
        g->flow.columns = std::move(columns);
        placeColumns(g->flow);
    } else {
        g->flow = layoutFlow(frame->begin(), content);
    }
    qreal height = g->contentOrigin.y() + g->flow.height + border + pad + fmt.bottomMargin();
    if (fmt.height().type() == QTextLength::FixedLength)
        height = fmt.height().rawValue();
    g->size = QSizeF(qMax(width, left + g->flow.width + right), height);
    g->borderRect = QRectF(QPointF(fmt.leftMargin(), fmt.topMargin()),
                           QPointF(g->size.width() - fmt.rightMargin(), height - fmt.bottomMargin()));
    g->minimumWidth = g->flow.minimumWidth + left + right;
    g->maximumWidth = g->flow.maximumWidth + left + right;
}

} // namespace

Piece paragraphPiece(const QTextBlock &block, qreal width)
{
    const ParagraphLayout::Metrics m = ParagraphLayout::layout(block, width);
    Piece piece;
    piece.block = block;
    piece.height = m.height;
    piece.topMargin = m.topMargin;
    piece.bottomMargin = m.bottomMargin;
    piece.width = m.width;
    piece.laidWidth = width;
    return piece;
}

qreal frameX(const Geometry &g, qreal width)
{
    auto *table = qobject_cast<QTextTable *>(g.frame);
    if (!table || (width <= g.size.width() && !table->format().boolProperty(LayoutProperty::ColumnsAsGiven)))
        return 0;
    const Qt::Alignment align = table->format().alignment();
    if (align & Qt::AlignRight)
        return width - g.size.width();
    if (align & Qt::AlignHCenter)
        return (width - g.size.width()) / 2;
    return 0;
}


void relayPiece(Piece &piece, qreal width)
{
    if (!piece.frame) {
        const QTextBlock block = piece.block;
        const int blocks = piece.blocks;
        piece = paragraphPiece(block, width);
        piece.blocks = blocks;
        return;
    }
    piece.frame = layoutFrame(piece.frame->frame, width);
    const qreal x = frameX(*piece.frame, width);
    piece.pos.setX(x);
    piece.height = piece.frame->size.height();
    piece.width = x + piece.frame->size.width();
    piece.laidWidth = width;
}

Flow layoutFlow(QTextFrame::iterator it, qreal width, bool breakAnywhere)
{
    Flow flow;
    for (; !it.atEnd(); ++it) {
        Piece piece;
        if (QTextFrame *child = it.currentFrame()) {
            piece.frame = layoutFrame(child, width);
            const QSizeF size = piece.frame->size;
            const qreal x = frameX(*piece.frame, width);
            piece.pos = QPointF(x, 0);
            piece.height = size.height();
            const QTextDocument *doc = child->document();
            piece.blocks = doc->findBlock(child->lastPosition()).blockNumber() -
                           doc->findBlock(child->firstPosition()).blockNumber() + 1;
            piece.width = x + size.width();
            flow.minimumWidth = qMax(flow.minimumWidth, piece.frame->minimumWidth);
            flow.maximumWidth = qMax(flow.maximumWidth, piece.frame->maximumWidth);
        } else {
            const QTextBlock block = it.currentBlock();
            const ParagraphLayout::Metrics m = ParagraphLayout::layout(block, width, breakAnywhere);
            piece.block = block;
            piece.height = m.height;
            piece.topMargin = m.topMargin;
            piece.bottomMargin = m.bottomMargin;
            piece.width = m.width;
            flow.minimumWidth = qMax(flow.minimumWidth, m.minimumWidth);
            flow.maximumWidth = qMax(flow.maximumWidth, m.maximumWidth);
        }
        piece.laidWidth = width;
        flow.pieces.push_back(std::move(piece));
    }
    placeFlow(flow);
    return flow;
}

void placeFlow(Flow &flow)
{
    qreal y = 0;
    qreal width = 0;
    flow.topMargin = 0;
    bool afterBlock = false;
    qreal previousBottom = 0;
    // Word processors keep a paragraph's spacing beside a table; Qt's own layout
    // lays the table against the text.
    const bool spacedTables = TextMetrics::wordProcessorRules();
    for (Piece &piece : flow.pieces) {
        if (piece.frame) {
            if (afterBlock && spacedTables)
                y += ParagraphLayout::gap(previousBottom, 0); // the space after the paragraph above
            piece.pos.setY(y);
            y += piece.height;
            width = qMax(width, piece.width);
            piece.end = y;
            afterBlock = false;
            continue;
        }
        if (afterBlock)
            y += ParagraphLayout::gap(previousBottom, piece.topMargin);
        else if (&piece == &flow.pieces.front())
            flow.topMargin = piece.topMargin;
        else if (spacedTables)
            y += ParagraphLayout::gap(0, piece.topMargin); // after a frame
        piece.pos = QPointF(0, y);
        y += piece.height;
        width = qMax(width, piece.width);
        piece.end = y;
        previousBottom = piece.bottomMargin;
        afterBlock = true;
    }
    flow.height = y;
    flow.bottomMargin = afterBlock ? previousBottom : 0;
    flow.width = width;
}


namespace {

// A frame in a cell is measured, laid out with no bound, then laid out at its
// column's width, and each of these lays out the frames inside it the same way: the
// work doubled with each level of nesting (text boxes in text boxes took minutes).
// While a frame is laid out its document does not change, so the frames inside it
// are measured once each until the outermost layout ends.
struct Measures
{
    int depth = 0;
    QHash<const QTextFrame *, std::pair<qreal, qreal>> widths;
};
thread_local Measures t_measures;

} // namespace

std::shared_ptr<Geometry> layoutFrame(QTextFrame *frame, qreal availableWidth)
{
    ++t_measures.depth;
    const auto leave = qScopeGuard([] {
        if (--t_measures.depth == 0)
            t_measures.widths.clear();
    });
    if (auto *table = qobject_cast<QTextTable *>(frame))
        return TableLayout::layout(table, availableWidth);
    auto g = std::make_shared<Geometry>();
    g->frame = frame;
    layoutPlainFrame(frame, availableWidth, g.get());
    return g;
}

bool editFrame(Geometry &g, int from, int length, int delta)
{
    Flow &flow = g.flow;
    if (g.table || flow.columns.count == 0)
        return false;
    const QTextDocument *doc = g.frame->document();
    const int frameFirst = doc->findBlock(g.frame->firstPosition()).blockNumber();
    const int frameEnd = doc->findBlock(g.frame->lastPosition()).blockNumber() + 1;
    const int first = doc->findBlock(from).blockNumber() - frameFirst;
    const int lastNew = doc->findBlock(qMin(from + length, g.frame->lastPosition())).blockNumber() - frameFirst;
    const int lastOld = lastNew - delta;
    const ChangedPieces changed = changedPieces(
        int(flow.pieces.size()), frameEnd - frameFirst, [&](int i) { return flow.pieces[size_t(i)].blocks; },
        [&](int i) { return bool(flow.pieces[size_t(i)].frame); }, first, lastOld, delta);
    if (changed.first < 0)
        return false;
    const int i0 = changed.first, i1 = changed.end, start = changed.startBlock, count = changed.count;
    std::vector<Piece> fresh;
    fresh.reserve(size_t(count));
    QTextBlock block = doc->findBlockByNumber(frameFirst + start);
    for (int k = 0; k < count && block.isValid(); ++k, block = block.next()) {
        if (doc->frameAt(block.position()) != g.frame)
            return false; // a frame came in
        fresh.push_back(paragraphPiece(block, flow.columns.width));
    }
    if (int(fresh.size()) != count)
        return false;
    flow.pieces.erase(flow.pieces.begin() + i0, flow.pieces.begin() + i1);
    flow.pieces.insert(flow.pieces.begin() + i0, std::make_move_iterator(fresh.begin()),
                       std::make_move_iterator(fresh.end()));
    const qreal before = flow.height;
    placeColumns(flow);
    // As layoutPlainFrame() sizes it: as wide as the columns or what stands out of them.
    const QTextFrameFormat fmt = g.frame->frameFormat();
    if (fmt.height().type() != QTextLength::FixedLength)
        g.size.setHeight(g.size.height() - before + flow.height);
    g.size.setWidth(g.contentOrigin.x() + flow.width + fmt.rightMargin() + fmt.border() + fmt.padding());
    g.borderRect = QRectF(QPointF(fmt.leftMargin(), fmt.topMargin()),
                          QPointF(g.size.width() - fmt.rightMargin(), g.size.height() - fmt.bottomMargin()));
    return true;
}

void measureFrame(QTextFrame *frame, qreal *minimumWidth, qreal *maximumWidth)
{
    if (t_measures.depth > 0) {
        if (const auto it = t_measures.widths.constFind(frame); it != t_measures.widths.constEnd()) {
            *minimumWidth = it->first;
            *maximumWidth = it->second;
            return;
        }
    }
    const std::shared_ptr<Geometry> g = layoutFrame(frame, Unbounded);
    *minimumWidth = g->minimumWidth;
    *maximumWidth = g->maximumWidth;
    if (t_measures.depth > 0)
        t_measures.widths.insert(frame, {*minimumWidth, *maximumWidth});
}

namespace {

// How far a paragraph's lines may stand out of its place in the flow (a fixed line
// height moves them up): what is looked at around a point or a clip.
constexpr qreal Slack = 64;

// The pieces from first to last that can reach into [top, bottom] (flow coordinates).
std::pair<size_t, size_t> piecesAround(const Flow &flow, qreal top, qreal bottom)
{
    const auto &pieces = flow.pieces;
    auto first = std::partition_point(pieces.begin(), pieces.end(),
                                      [&](const Piece &p) { return p.end < top - Slack; });
    if (first != pieces.begin())
        --first;
    auto last = std::partition_point(first, pieces.end(), [&](const Piece &p) { return p.end <= bottom + Slack; });
    if (last != pieces.end())
        ++last;
    return {size_t(first - pieces.begin()), size_t(last - pieces.begin())};
}

} // namespace

namespace {

// A flow in columns: the pieces of the columns the clip reaches, each once, and the
// rules between the columns.
void drawColumns(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
                 const Flow &flow, int cursorWidth, const QRectF &clip)
{
    const Columns &c = flow.columns;
    const QRectF local = clip.isValid() ? clip.translated(-origin) : QRectF();
    size_t drawn = 0; // the pieces before it are drawn
    for (size_t k = 0; k < c.columns.size(); ++k) {
        const Column &column = c.columns[k];
        const size_t end = k + 1 < c.columns.size() ? c.columns[k + 1].piece + 1 : flow.pieces.size();
        if (local.isValid() && (column.rect.top() > local.bottom() + Slack ||
                                column.rect.bottom() < local.top() - Slack))
            continue;
        for (size_t i = qMax(drawn, column.piece); i < qMin(end, flow.pieces.size()); ++i) {
            const Piece &piece = flow.pieces[i];
            const QPointF at = origin + piece.pos;
            if (piece.frame)
                draw(painter, at, context, *piece.frame, cursorWidth, clip);
            else
                ParagraphLayout::draw(painter, at, context, piece.block, cursorWidth, clip);
        }
        drawn = qMax(drawn, end);
    }
    if (!c.rule)
        return;
    painter->save();
    painter->setPen(QPen(context.palette.color(QPalette::Text), 0));
    for (const Band &band : c.bands) {
        if (band.content <= 0 || (local.isValid() && (band.top > local.bottom() || band.top + band.content < local.top())))
            continue;
        for (int k = 1; k < c.count; ++k) {
            const qreal x = origin.x() + k * (c.width + c.gap) - c.gap / 2;
            painter->drawLine(QLineF(x, origin.y() + band.top, x, origin.y() + band.top + band.content));
        }
    }
    painter->restore();
}

} // namespace

void drawFlow(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
              const Flow &flow, int cursorWidth, const QRectF &clip)
{
    if (flow.columns.count > 0) {
        drawColumns(painter, origin, context, flow, cursorWidth, clip);
        return;
    }
    // Only what the clip can show: a cell may hold thousands of paragraphs.
    size_t first = 0, last = flow.pieces.size();
    if (clip.isValid())
        std::tie(first, last) = piecesAround(flow, clip.top() - origin.y(), clip.bottom() - origin.y());
    for (size_t i = first; i < last; ++i) {
        const Piece &piece = flow.pieces[i];
        const QPointF at = origin + piece.pos;
        if (piece.frame) {
            if (clip.isValid() && (at.y() > clip.bottom() || at.y() + piece.height < clip.top()))
                continue;
            draw(painter, at, context, *piece.frame, cursorWidth, clip);
        } else {
            ParagraphLayout::draw(painter, at, context, piece.block, cursorWidth, clip);
        }
    }
}

void draw(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
          const Geometry &g, int cursorWidth, const QRectF &clip)
{
    const QRectF outer = g.borderRect.translated(origin);
    if (clip.isValid() && !outer.intersects(clip) && !QRectF(origin, g.size).intersects(clip))
        return;
    const QTextFrameFormat fmt = g.frame->frameFormat();
    if (fmt.background().style() != Qt::NoBrush) {
        painter->fillRect(outer.adjusted(g.border, g.ringTop ? g.border : 0, -g.border, g.ringBottom ? -g.border : 0),
                          fmt.background());
    }
    if (g.table) {
        TableLayout::draw(painter, origin, context, g, cursorWidth, clip);
        return;
    }
    TableLayout::drawRing(painter, outer.adjusted(0, 0, -g.border, -g.border), g.border, fmt.borderBrush(),
                          fmt.borderStyle());
    drawFlow(painter, origin + g.contentOrigin, context, g.flow, cursorWidth, clip);
}

namespace {

ParagraphLayout::Hit hitFlow(const Flow &flow, const QPointF &point, Qt::HitTestAccuracy accuracy, int *position)
{
    using ParagraphLayout::Hit;
    Hit hit = Hit::Before;
    bool first = true;
    // The pieces wholly above the point all answer After, those wholly below Before,
    // each further on than the one before: the ones around the point decide. In
    // columns, those of the column the point is in, with the lines it holds.
    size_t from = 0, to = 0, column = 0;
    const Column *inColumn = columnAt(flow, point);
    if (inColumn) {
        column = size_t(inColumn - flow.columns.columns.data());
        from = inColumn->piece;
        to = column + 1 < flow.columns.columns.size() ? flow.columns.columns[column + 1].piece + 1 : flow.pieces.size();
        if (column + 1 < flow.columns.columns.size() && flow.columns.columns[column + 1].line == 0)
            --to;
        to = qMin(to, flow.pieces.size());
    } else {
        std::tie(from, to) = piecesAround(flow, point.y(), point.y());
    }
    for (size_t i = from; i < to; ++i) {
        const Piece &piece = flow.pieces[i];
        int pos = -1;
        Hit h;
        if (piece.frame) {
            const QPointF local = point - piece.pos;
            if (local.y() < 0 || local.x() < 0) {
                pos = piece.frame->frame->firstPosition() - 1;
                h = Hit::Before;
            } else if (local.y() > piece.frame->size.height() || local.x() > piece.frame->size.width()) {
                pos = piece.frame->frame->lastPosition() + 1;
                h = Hit::After;
            } else {
                h = hitTest(*piece.frame, local, accuracy, &pos);
            }
        } else if (inColumn) {
            const auto [firstLine, endLine] = columnLines(flow, column, i);
            h = ParagraphLayout::hitTest(piece.block, point - piece.pos, accuracy, &pos, firstLine, endLine);
        } else {
            h = ParagraphLayout::hitTest(piece.block, point - piece.pos, accuracy, &pos);
        }
        if (h == Hit::Inside || h == Hit::Exact) {
            if (!piece.frame && ParagraphLayout::isStructural(piece.block))
                continue;
            *position = pos;
            return h;
        }
        if (first || (h == Hit::Before && pos < *position) || (h == Hit::After && pos > *position)) {
            *position = pos;
            hit = h;
        }
        first = false;
    }
    return hit;
}

} // namespace

ParagraphLayout::Hit hitTest(const Geometry &g, const QPointF &point, Qt::HitTestAccuracy accuracy, int *position)
{
    using ParagraphLayout::Hit;
    if (!g.table) {
        *position = g.frame->firstPosition();
        const Hit h = hitFlow(g.flow, point - g.contentOrigin, accuracy, position);
        return h == Hit::Exact ? h : Hit::Inside;
    }
    // The cell whose row and column start at or before the point.
    const auto row = std::upper_bound(g.rowY.begin(), g.rowY.end(), point.y());
    const auto column = std::upper_bound(g.columnX.begin(), g.columnX.end(), point.x());
    const int r = qMax(0, int(row - g.rowY.begin()) - 1); // within the band
    const int c = qMax(0, int(column - g.columnX.begin()) - 1);
    const int index = g.cellIndex.empty() ? -1 : g.cellIndex[size_t(r) * size_t(g.columns) + size_t(c)];
    if (index < 0) {
        *position = g.frame->firstPosition();
        return Hit::Before;
    }
    const Cell &cell = g.cells[size_t(index)];
    auto *table = static_cast<QTextTable *>(g.frame);
    const QTextTableCell tableCell = table->cellAt(cell.row, cell.column);
    *position = tableCell.firstPosition();
    const Hit h = hitFlow(cell.flow, point - cell.contentOrigin, accuracy, position);
    if (h == Hit::Exact)
        return h;
    if (h == Hit::After)
        *position = tableCell.lastPosition();
    return Hit::Inside;
}

namespace {

int piecePosition(const Piece &piece)
{
    return piece.frame ? piece.frame->frame->firstPosition() : piece.block.position();
}

bool blockInFlow(const Flow &flow, const QTextBlock &block, QPointF *origin)
{
    // The pieces follow the document: the last one starting at or before the block.
    const int position = block.position();
    auto it = std::partition_point(flow.pieces.begin(), flow.pieces.end(),
                                   [&](const Piece &p) { return piecePosition(p) <= position; });
    if (it != flow.pieces.begin()) {
        const Piece &piece = *(it - 1);
        if (piece.frame) {
            const QTextFrame *f = piece.frame->frame;
            if (block.position() >= f->firstPosition() && block.position() <= f->lastPosition()) {
                QPointF inner;
                if (blockOrigin(*piece.frame, block, &inner)) {
                    *origin = piece.pos + inner;
                    return true;
                }
            }
        } else if (piece.block == block) {
            *origin = piece.pos;
            return true;
        }
    }
    return false;
}

bool frameInFlow(const Flow &flow, const QTextFrame *frame, QPointF *origin, QSizeF *size)
{
    for (const Piece &piece : flow.pieces) {
        if (!piece.frame)
            continue;
        if (piece.frame->frame == frame) {
            *origin = piece.pos;
            *size = piece.frame->size;
            return true;
        }
        QPointF inner;
        if (frameOrigin(*piece.frame, frame, &inner, size)) {
            *origin = piece.pos + inner;
            return true;
        }
    }
    return false;
}

} // namespace

bool blockOrigin(const Geometry &g, const QTextBlock &block, QPointF *origin)
{
    if (!g.table) {
        QPointF inner;
        if (!blockInFlow(g.flow, block, &inner))
            return false;
        *origin = g.contentOrigin + inner;
        return true;
    }
    auto *table = static_cast<QTextTable *>(g.frame);
    const QTextTableCell tableCell = table->cellAt(block.position());
    if (!tableCell.isValid())
        return false;
    const int row = tableCell.row() - g.firstRow;
    if (row < 0 || row >= g.bandRows)
        return false;
    const int index = g.cellIndex[size_t(row) * size_t(g.columns) + size_t(tableCell.column())];
    if (index < 0)
        return false;
    const Cell &cell = g.cells[size_t(index)];
    QPointF inner;
    if (!blockInFlow(cell.flow, block, &inner))
        return false;
    *origin = cell.contentOrigin + inner;
    return true;
}

bool frameOrigin(const Geometry &g, const QTextFrame *frame, QPointF *origin, QSizeF *size)
{
    if (!g.table) {
        QPointF inner;
        if (!frameInFlow(g.flow, frame, &inner, size))
            return false;
        *origin = g.contentOrigin + inner;
        return true;
    }
    for (const Cell &cell : g.cells) {
        QPointF inner;
        if (frameInFlow(cell.flow, frame, &inner, size)) {
            *origin = cell.contentOrigin + inner;
            return true;
        }
    }
    return false;
}

} // namespace FrameLayout
