#include "layout/framelayout.h"

#include "base/layoutproperties.h"
#include "layout/textmetrics.h"

#include <QTextLayout>

#include <algorithm>
#include <cmath>

// A frame's flow in newspaper columns: the pieces placed down each column and across,
// paragraphs split between lines at a column's bottom, the breaks kept as word
// processors keep them, the last band balanced where asked.
namespace FrameLayout {

namespace {

// Fills in where a paragraph's lines stand as it laid them out, for the columns to
// move them from.
void noteLines(Piece &piece)
{
    piece.lines.clear();
    if (piece.frame)
        return;
    const QTextBlockFormat format = piece.block.blockFormat();
    piece.keepWithNext = format.boolProperty(LayoutProperty::KeepWithNext);
    piece.widowControl = format.boolProperty(LayoutProperty::WidowControl);
    const QTextLayout *tl = piece.block.layout();
    const std::vector<QRectF> boxes = ParagraphLayout::lineBoxes(piece.block);
    piece.lines.reserve(boxes.size());
    for (int i = 0; i < tl->lineCount(); ++i)
        piece.lines.push_back({tl->lineAt(i).position(), boxes[size_t(i)].top(), boxes[size_t(i)].bottom()});
}

// Where the placing stood before a piece: what it goes back to when the paragraphs
// kept with the next one go on with it in the next column.
struct PlaceState
{
    int column = 0;
    qreal y = 0;
    bool empty = true;
    bool afterBlock = false;
    bool afterFrame = false;
    qreal previousBottom = 0;
    qreal width = 0;
    size_t bands = 0;
    Band band;
    size_t columns = 0;
    Column last;
};

// The placing of a flow's pieces in columns, each band height high; with fullBands
// at 0 or more, the band after that many is lastHeight high and the last one.
struct Placing
{
    Placing(Flow &flow, qreal height, int fullBands, qreal lastHeight);
    // False when the pieces do not fit in the bands.
    bool run();
    // A column begins with the given piece, at its line.
    void begin(size_t piece, int line);
    // The next column, in the next band after the last column of one.
    void next(size_t piece, int line);
    // What stands in the column reaches down to bottom.
    void reach(qreal bottom);
    // Piece i goes on whole in the next column. The paragraphs kept with it that
    // stand in the column before it go there with it, unless the first of them starts
    // the column: the column would be left empty. Returns the piece the placing goes
    // on from.
    size_t moveOn(size_t i);
    // The space before a paragraph at a column's top stays in the first band, and
    // goes in later ones, as at the top of a page. Below a frame a paragraph keeps
    // its space before, as in a flow without columns.
    qreal spaceBefore(const Piece &piece) const;
    // Each places piece i and returns the piece before the one the placing goes on
    // from: i, or one earlier where paragraphs kept with it moved on with it.
    size_t placeFrame(size_t i);
    void placeEmpty(Piece &piece, size_t i);
    size_t placeParagraph(size_t i);

    Flow &flow;
    Columns &c;
    const qreal height;
    const int fullBands;
    const qreal lastHeight;
    const qreal pitch;
    int column = 0;
    qreal y = 0;        // in the column, from the band's top
    bool empty = true;  // nothing stands in the column yet
    bool fits = true;
    qreal room = 0;     // the band's height
    bool afterBlock = false;
    bool afterFrame = false;
    qreal previousBottom = 0;
    qreal width = 0;
    std::vector<PlaceState> before;
    // The column each piece starts in, and whether it starts it.
    std::vector<std::pair<size_t, bool>> started;
    // Word processors keep a paragraph's spacing beside a table; Qt's own layout
    // lays the table against the text.
    const bool spacedTables = TextMetrics::wordProcessorRules();
};

Placing::Placing(Flow &flow, qreal height, int fullBands, qreal lastHeight)
    : flow(flow), c(flow.columns), height(height), fullBands(fullBands), lastHeight(lastHeight),
      pitch(flow.columns.width + flow.columns.gap), room(fullBands == 0 ? lastHeight : height),
      before(flow.pieces.size()), started(flow.pieces.size())
{
}

void Placing::begin(size_t piece, int line)
{
    c.columns.push_back({QRectF(column * pitch, c.bands.back().top, c.width, 0), piece, line});
    y = 0;
    empty = true;
}

void Placing::next(size_t piece, int line)
{
    Band &band = c.bands.back();
    if (++column == c.count) {
        if (int(c.bands.size()) == fullBands + 1)
            fits = false;
        column = 0;
        band.height = qMax(room, band.content);
        c.bands.push_back({band.top + band.height, 0, 0});
        room = int(c.bands.size()) - 1 == fullBands ? lastHeight : height;
    }
    begin(piece, line);
}

void Placing::reach(qreal bottom)
{
    y = bottom;
    empty = false;
    Column &col = c.columns.back();
    col.rect.setHeight(qMax(col.rect.height(), bottom));
    Band &band = c.bands.back();
    band.content = qMax(band.content, bottom);
}

size_t Placing::moveOn(size_t i)
{
    size_t first = i;
    while (first > 0 && !flow.pieces[first - 1].frame && flow.pieces[first - 1].keepWithNext)
        --first;
    if (first < i && started[first].first == c.columns.size() - 1 && !started[first].second) {
        const PlaceState &s = before[first];
        column = s.column;
        afterBlock = s.afterBlock;
        afterFrame = s.afterFrame;
        previousBottom = s.previousBottom;
        width = s.width;
        c.bands.resize(s.bands);
        c.bands.back() = s.band;
        c.columns.resize(s.columns);
        c.columns.back() = s.last;
        room = int(c.bands.size()) - 1 == fullBands ? lastHeight : height;
        i = first;
    }
    next(i, 0);
    return i;
}

qreal Placing::spaceBefore(const Piece &piece) const
{
    if (!afterBlock && !(afterFrame && spacedTables))
        return qreal(0); // the flow's first paragraph: its space is the flow's top margin
    if (empty && c.bands.size() > 1)
        return qreal(0);
    return ParagraphLayout::gap(afterBlock ? previousBottom : 0, piece.topMargin);
}

size_t Placing::placeFrame(size_t i)
{
    Piece &piece = flow.pieces[i];
    // The space after the paragraph above, where the column goes on from it.
    const qreal above = afterBlock && spacedTables && !empty ? ParagraphLayout::gap(previousBottom, 0) : 0;
    // A frame does not break: it goes whole to the next column where it does not fit.
    if (!empty && y + above + piece.height > room) {
        if (const size_t from = moveOn(i); from != i)
            return from - 1;
    }
    if (!empty)
        y += above;
    started[i] = {c.columns.size() - 1, empty};
    piece.pos = QPointF(column * pitch + frameX(*piece.frame, c.width), c.bands.back().top + y);
    width = qMax(width, column * pitch + piece.width);
    reach(y + piece.height);
    piece.end = piece.pos.y() + piece.height;
    afterBlock = false;
    afterFrame = true;
    return i;
}

void Placing::placeEmpty(Piece &piece, size_t i)
{
    const size_t lines = piece.lines.size();
    started[i] = {c.columns.size() - 1, empty};
    piece.pos = QPointF(column * pitch, c.bands.back().top + y + spaceBefore(piece));
    if (lines > 0)
        piece.block.layout()->lineAt(0).setPosition(piece.lines[0].pos);
    reach(y + spaceBefore(piece) + piece.height);
    piece.end = piece.pos.y() + piece.height;
    previousBottom = piece.bottomMargin;
    afterBlock = true;
    afterFrame = false;
}

size_t Placing::placeParagraph(size_t i)
{
    Piece &piece = flow.pieces[i];
    const size_t lines = piece.lines.size();
    // The lines from first on that fit in the column, the first of them below
    // shift: at least one.
    const auto fitting = [&](size_t first, qreal shift) {
        size_t end = first + 1;
        while (end < lines && shift + piece.lines[end].bottom <= room)
            ++end;
        return end;
    };
    // Where the lines from first on break, end being the first that does not fit:
    // with widow and orphan control, not before the last line, and not after the
    // first unless the paragraph can go on whole in the next column (0).
    const auto split = [&](size_t first, size_t end, bool canMove) {
        if (!piece.widowControl || end >= lines)
            return end;
        if (end == lines - 1 && end - 1 > first)
            --end;
        return first == 0 && canMove && end < 2 ? 0 : end;
    };
    size_t end = 0; // the first line of the next column, 0 while to be found
    if (!empty) {
        const qreal shift = y + spaceBefore(piece);
        end = shift + piece.lines[0].bottom > room ? 0 : split(0, fitting(0, shift), true);
        if (end == 0) {
            if (const size_t from = moveOn(i); from != i)
                return from - 1;
        }
    }
    started[i] = {c.columns.size() - 1, empty};
    piece.pos = QPointF(column * pitch, c.bands.back().top + y + spaceBefore(piece));
    QTextLayout *tl = piece.block.layout();
    // Where the lines of the column being filled stand: the line's y in the
    // paragraph, plus shift, is its y in the band.
    qreal shift = piece.pos.y() - c.bands.back().top;
    if (end == 0)
        end = split(0, fitting(0, shift), false);
    QPointF offset; // of the lines in this column from where they were laid out
    for (size_t k = 0; k < lines; ++k) {
        const Piece::Line &line = piece.lines[k];
        if (k == end) {
            // The rest of the paragraph goes on at the next column's top.
            next(i, int(k));
            shift = -line.top;
            offset = QPointF(column * pitch - piece.pos.x(), c.bands.back().top - line.top - piece.pos.y());
            end = split(k, fitting(k, shift), false);
        }
        tl->lineAt(int(k)).setPosition(line.pos + offset);
        reach(shift + line.bottom);
    }
    // What lies below the last line: the bottom border.
    const qreal below = piece.height - piece.lines.back().bottom;
    reach(y + qMax(qreal(0), below));
    piece.end = c.bands.back().top + y;
    width = qMax(width, column * pitch + piece.width);
    previousBottom = piece.bottomMargin;
    afterBlock = true;
    afterFrame = false;
    return i;
}

bool Placing::run()
{
    c.bands.clear();
    c.columns.clear();
    c.bands.push_back({0, 0, 0});
    begin(0, 0);
    flow.topMargin = 0;
    for (size_t i = 0; i < flow.pieces.size() && fits; ++i) {
        Piece &piece = flow.pieces[i];
        before[i] = {column, y, empty, afterBlock, afterFrame, previousBottom, width, c.bands.size(), c.bands.back(),
                     c.columns.size(), c.columns.back()};
        if (piece.frame) {
            i = placeFrame(i);
            continue;
        }
        if (i == 0)
            flow.topMargin = piece.topMargin;
        if (piece.height <= 0 || piece.lines.empty())
            placeEmpty(piece, i);
        else
            i = placeParagraph(i);
    }
    Band &last = c.bands.back();
    last.height = last.content;
    flow.height = last.top + last.height;
    flow.width = qMax(width, c.count * c.width + (c.count - 1) * c.gap);
    flow.bottomMargin = afterBlock ? previousBottom : 0;
    return fits;
}

// Places the pieces in columns, each band height high; with fullBands at 0 or more,
// the band after that many is lastHeight high and the last one (false when the pieces
// do not fit in them).
bool placeInColumns(Flow &flow, qreal height, int fullBands = -1, qreal lastHeight = 0)
{
    return Placing(flow, height, fullBands, lastHeight).run();
}

// The least height of the band after fullBands at which the pieces fit in it, from
// low (too low) to high (enough), and the pieces placed so.
void balance(Flow &flow, qreal height, int fullBands, qreal low, qreal high)
{
    while (high - low > 0.25) {
        const qreal middle = (low + high) / 2;
        if (placeInColumns(flow, height, fullBands, middle))
            high = middle;
        else
            low = middle;
    }
    placeInColumns(flow, height, fullBands, high);
}

} // namespace

void placeColumns(Flow &flow)
{
    Columns &c = flow.columns;
    for (Piece &piece : flow.pieces) {
        if (piece.lines.empty() || !piece.block.isValid() ||
            int(piece.lines.size()) != piece.block.layout()->lineCount())
            noteLines(piece);
    }
    if (c.height > 0) {
        placeInColumns(flow, c.height);
        if (!c.balanced)
            return;
        // More of the page follows the section: its last band's columns are balanced,
        // as low as they can be.
        const int full = int(c.bands.size()) - 1;
        qreal held = 0; // what the last band's columns hold, one below the other
        for (auto it = c.columns.rbegin(); it != c.columns.rend() && it->rect.top() == c.bands.back().top; ++it)
            held += it->rect.height();
        balance(flow, c.height, full, held / c.count - 1, c.height);
        return;
    }
    // Balanced: the least height at which everything fits in one band.
    qreal whole = 0;
    qreal tallest = 0;
    for (const Piece &piece : flow.pieces) {
        whole += piece.height + qMax(piece.topMargin, qreal(0)) + qMax(piece.bottomMargin, qreal(0));
        if (piece.frame)
            tallest = qMax(tallest, piece.height);
        for (const Piece::Line &line : piece.lines)
            tallest = qMax(tallest, line.bottom - line.top);
    }
    const qreal high = whole + 1;
    if (!placeInColumns(flow, 0, 0, high))
        return; // cannot happen: everything fits in the first column
    balance(flow, 0, 0, qMax(tallest, whole / c.count) - 1, high);
}

const Column *columnAt(const Flow &flow, const QPointF &point)
{
    const Columns &c = flow.columns;
    if (c.count == 0 || c.columns.empty())
        return nullptr;
    // The band the point is in (the first above it, the last below it), then the
    // column across it, each reaching halfway into the gaps.
    auto band = std::upper_bound(c.columns.begin(), c.columns.end(), point.y(),
                                 [](qreal y, const Column &col) { return y < col.rect.top(); });
    if (band != c.columns.begin())
        --band;
    const qreal top = band->rect.top();
    auto first = std::partition_point(c.columns.begin(), c.columns.end(),
                                      [top](const Column &col) { return col.rect.top() < top; });
    const Column *found = &*first;
    for (auto it = first; it != c.columns.end() && it->rect.top() == top; ++it) {
        if (point.x() >= it->rect.left() - c.gap / 2)
            found = &*it;
    }
    return found;
}

std::pair<int, int> columnLines(const Flow &flow, size_t column, size_t piece)
{
    const std::vector<Column> &columns = flow.columns.columns;
    const Piece &p = flow.pieces[piece];
    const int lines = p.frame ? 0 : p.block.layout()->lineCount();
    int first = 0;
    int end = lines;
    if (columns[column].piece == piece)
        first = columns[column].line;
    if (column + 1 < columns.size() && columns[column + 1].piece == piece)
        end = columns[column + 1].line;
    return {first, end};
}

} // namespace FrameLayout
