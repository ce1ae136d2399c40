#pragma once

#include "layout/paragraphlayout.h"

#include <QAbstractTextDocumentLayout>
#include <QBrush>
#include <QPointF>
#include <QRectF>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextLength>

#include <memory>
#include <vector>

class QPainter;

// Lays out, draws and hit-tests what a table or another frame holds, whole: the
// cells' paragraphs and the frames nested in them. Tables follow Qt's rules for
// column widths (fixed, percentage, variable), spacing, padding, spans and vertical
// alignment; borders are drawn solid. Positions are relative to the frame's
// top-left corner.
namespace FrameLayout {

struct Geometry;

// A paragraph or a nested frame in a cell or a frame, where it sits in its flow.
struct Piece
{
    QTextBlock block; // a paragraph, or
    std::shared_ptr<Geometry> frame; // a nested frame
    QPointF pos;      // the paragraph's layout origin, or the frame's top-left
    qreal height = 0;
    qreal topMargin = 0; // a paragraph's margins and how far its lines reach
    qreal bottomMargin = 0;
    qreal width = 0;
    qreal end = 0; // the flow's height after this piece: it never decreases along the flow
    int blocks = 1; // the document blocks it covers
    qreal laidWidth = -1; // the width it is laid out at
    // In a flow in columns, a paragraph's lines as it laid them out, before the
    // columns moved those past a column's bottom: where each stood and the top and
    // bottom of its box.
    struct Line
    {
        QPointF pos;
        qreal top = 0;
        qreal bottom = 0;
    };
    std::vector<Line> lines;
    // A paragraph's LayoutProperty::KeepWithNext and WidowControl, noted with its lines.
    bool keepWithNext = false;
    bool widowControl = false;
};

// Where a column of a flow in columns begins: its first piece, and the first of that
// piece's lines it holds. The column holds everything up to where the next one
// begins.
struct Column
{
    QRectF rect; // relative to the flow: the band's top, the column's width, as high as what it holds
    size_t piece = 0;
    int line = 0;
};

struct Band
{
    qreal top = 0;
    qreal height = 0;  // its room: the band's height, more when a column holds more
    qreal content = 0; // its tallest column
};

// A flow laid out in newspaper columns side by side, band after band of them.
struct Columns
{
    int count = 0; // none: the flow is one column
    qreal width = 0;
    qreal gap = 0;
    qreal height = 0; // a band's; 0: one band, its columns balanced
    bool rule = false;
    bool balanced = false; // the last band's columns are balanced (LayoutProperty::ColumnsBalanced)
    std::vector<Band> bands;
    std::vector<Column> columns; // band by band, left to right
};

struct Flow
{
    std::vector<Piece> pieces;
    qreal height = 0;
    qreal width = 0; // how far the content reaches
    qreal minimumWidth = 0;
    qreal maximumWidth = 0;
    // The first paragraph's space before and the last one's space after, which the
    // height leaves out as Qt's layout does (0 where a frame begins or ends the flow).
    qreal topMargin = 0;
    qreal bottomMargin = 0;
    Columns columns;
};

struct Cell
{
    int row = 0;
    int column = 0;
    QRectF rect;          // padding box, relative to the frame
    QPointF contentOrigin; // where the flow starts, relative to the frame
    Flow flow;
    qreal laidWidth = -1;  // the width the flow is laid out at; -1 when it is to be laid out
};

struct Geometry
{
    QTextFrame *frame = nullptr;
    bool table = false;
    QSizeF size;
    qreal minimumWidth = 0;
    qreal maximumWidth = 0;
    // A table, or a band of its rows: its cells (only the top-left one of a span) and
    // where each grid place of its rows goes. Rows are counted in the whole table;
    // the band's rows are firstRow to firstRow + bandRows, and its rows' positions
    // are relative to the band's top.
    int rows = 0;
    int columns = 0;
    int firstRow = 0;
    int bandRows = 0;
    bool ringTop = true; // the table's top and bottom edges are the band's
    bool ringBottom = true;
    std::vector<Cell> cells;
    std::vector<int> cellIndex; // (row - firstRow) * columns + column -> index into cells
    std::vector<qreal> columnX;
    std::vector<qreal> columnWidth;
    std::vector<qreal> rowY;
    std::vector<qreal> rowHeight;
    qreal border = 0;     // around the table and, unless collapsed, around each cell
    qreal cellBorder = 0;
    QBrush borderBrush;
    QRectF borderRect;    // outer edge of the table's border
    // Another frame: one flow.
    Flow flow;
    QPointF contentOrigin;
};

// Where a table in a flow of the given width stands across it: as its alignment puts it.
qreal frameX(const Geometry &geometry, qreal width);
// Wide enough for any paragraph: the width at which content shows its natural widths.
constexpr qreal Unbounded = 1e6;
// A frame's width or height in pixels, the whole room for a variable one.
qreal lengthValue(const QTextLength &length, qreal maximum);

// Lays out the flow from it until its end within width.
Flow layoutFlow(QTextFrame::iterator it, qreal width, bool breakAnywhere = false);
// A paragraph laid out within width, as a piece of a flow (placed by placeFlow()).
Piece paragraphPiece(const QTextBlock &block, qreal width);
// Lays a piece of a flow out again within another width (placed by placeFlow()).
void relayPiece(Piece &piece, qreal width);
// Places a flow's pieces one below the other from their heights and margins, as
// layoutFlow() does; sets the flow's height and width.
void placeFlow(Flow &flow);
// Places a flow's pieces, laid out at the columns' width, in columns: each column
// filled down to the band's height, a paragraph's lines that do not fit going on at
// the next column's top (with widow control, two at least on each side, or the
// paragraph whole), a frame that does not fit moving there whole, with the
// paragraphs kept with it. Sets the flow's bands, columns, height and width.
void placeColumns(Flow &flow);
// The column of a flow in columns nearest to point (flow coordinates); null when the
// flow is one column.
const Column *columnAt(const Flow &flow, const QPointF &point);
// The lines [first, end) of the piece that column index of the flow holds.
std::pair<int, int> columnLines(const Flow &flow, size_t column, size_t piece);
// Draws a flow laid out by layoutFlow() with its top-left at origin.
void drawFlow(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
              const Flow &flow, int cursorWidth, const QRectF &clip);
// Lays out a frame that may take up to availableWidth.
std::shared_ptr<Geometry> layoutFrame(QTextFrame *frame, qreal availableWidth);
// The narrowest and widest a frame can be laid out, as a layout of it with no bound
// on its width finds them. Within the layout of a frame around it, each frame is
// measured once.
void measureFrame(QTextFrame *frame, qreal *minimumWidth, qreal *maximumWidth);

// Draws the frame with its top-left at origin (painter coordinates).
void draw(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
          const Geometry &geometry, int cursorWidth, const QRectF &clip);
// The document position at point, given relative to the frame's top-left.
ParagraphLayout::Hit hitTest(const Geometry &geometry, const QPointF &point, Qt::HitTestAccuracy accuracy,
                             int *position);
// Where the block's layout origin sits relative to the frame's top-left; false when
// the frame does not hold the block.
bool blockOrigin(const Geometry &geometry, const QTextBlock &block, QPointF *origin);
// Follows a change of the document within the flow of a frame in columns, as
// QTextDocument::contentsChange tells it (delta: the blocks the document gained):
// the paragraphs it reached are laid out again, the others keep their lines, and the
// columns are placed anew. False when it cannot (the change reached a frame in the
// flow); the frame is then to be laid out whole.
bool editFrame(Geometry &geometry, int from, int length, int delta);
// Where a nested frame's top-left sits relative to this frame; false when not inside.
bool frameOrigin(const Geometry &geometry, const QTextFrame *frame, QPointF *origin, QSizeF *size);

// The pieces of a flow that held the blocks an edit changed: pieces first to end,
// the first of which began at block startBlock (blocks counted from the flow's first),
// and how many blocks they hold now. firstBlock to lastOld are the changed blocks as
// they were numbered before the edit, which left the flow delta blocks more;
// blocksOf(i) is how many blocks piece i covers, isFrame(i) whether it is a frame.
// None (first < 0) where a frame is among them or the numbers do not hold together.
struct ChangedPieces
{
    int first = -1;
    int end = -1;
    int startBlock = 0;
    int count = 0;
};
template <typename BlocksOf, typename IsFrame>
ChangedPieces changedPieces(int pieces, int flowBlocks, BlocksOf blocksOf, IsFrame isFrame, int firstBlock,
                            int lastOld, int delta)
{
    int i0 = -1, i1 = -1, start = 0, end = 0;
    for (int i = 0, at = 0; i < pieces; ++i) {
        const int next = at + blocksOf(i);
        if (i0 < 0 && next > firstBlock) {
            i0 = i;
            start = at;
        }
        if (i0 >= 0 && next > lastOld) {
            i1 = i + 1;
            end = next;
            break;
        }
        at = next;
    }
    if (i0 < 0 || i1 < 0 || firstBlock < 0 || lastOld < firstBlock)
        return {};
    for (int i = i0; i < i1; ++i) {
        if (isFrame(i))
            return {};
    }
    const int count = end + delta - start;
    if (count <= 0 || start + count > flowBlocks)
        return {};
    return {i0, i1, start, count};
}

} // namespace FrameLayout
