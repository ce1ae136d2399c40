#pragma once

#include "layout/framelayout.h"

#include <QList>
#include <QTextLength>
#include <QTextTable>

#include <memory>
#include <vector>

class QDeadlineTimer;

// Tables by Qt's rules: column widths (fixed, percentage, variable, from the cells'
// natural widths), spacing, padding, spans, vertical alignment, and borders, ringed
// or collapsed, placed and coloured as Qt places and colours them.
namespace TableLayout {

// Lays a table out and keeps it laid out while its cells are typed in.
//
// A table of the document's root frame is cut into bands of whole rows that no cell
// spans across; each band is laid out on its own, when it is shown or in a slice, so
// that a table of thousands of rows opens as fast as its first screen. The column
// widths come from every cell's natural widths, as Qt sets them: they are settled by
// measuring every cell, over as many slices as it takes (settle()). Until then fixed
// and percentage widths stand as given; a table with variable columns is settled
// before any band is laid out.
//
// Typing in a cell lays out the paragraphs that changed and moves the ones after
// them (editCell()); what the change does to the natural widths is measured later,
// paragraph by paragraph, and only when the widths then differ are the bands laid out
// again, each cell whose width stays keeping its lines.
//
// Any other change of the table (its rows, spans, formats, several cells at once)
// drops the layouter: a new one is made for the table as it is then.
class Layouter final
{
public:
    // inBands: a table of the root frame, cut into bands; otherwise one band.
    Layouter(QTextTable *table, qreal availableWidth, bool inBands);
    ~Layouter();

    QTextTable *table() const { return m_table; }
    // Whether this layouter still describes the table's grid.
    bool fits(const QTextTable *table) const;
    // A new width of the room: the widths follow from what is measured.
    void setAvailableWidth(qreal width);

    int bandCount() const { return int(m_bands.size()); }
    int bandOfRow(int row) const;
    // The band holding the character at position.
    int bandOfPosition(int position) const;
    // Where the band's first cell's text begins.
    int bandPosition(int band) const;
    // The table's width at the present column widths.
    qreal width() const;

    // Whether the column widths are final (every cell measured as it stands).
    bool settled() const { return m_settled; }
    // Whether bands can be laid out now: widths are known, final or given.
    bool hasWidths() const { return m_version >= 0; }
    // Measures what is not measured yet until done (true) or the deadline has
    // passed. *changed tells whether the widths changed: the bands laid out with the
    // old ones are to be laid out again.
    bool settle(const QDeadlineTimer &deadline, bool *changed);

    // Whether the band is laid out at the present widths.
    bool isLaid(int band) const;
    // A band laid out at other widths than the present ones, or -1: it stands as it
    // is until layBand() has laid it out again, in slices.
    int staleBand() const;
    // Lays the band out, cell by cell, until done (true) or the deadline has passed;
    // the next call goes on from there. Needs hasWidths().
    bool layBand(int band, const QDeadlineTimer &deadline);
    // The band as laid out (null before it ever was).
    const std::shared_ptr<FrameLayout::Geometry> &geometry(int band) const;

    // Whether the cell's padding, borders and alignment are still those it was laid
    // out with (a change of them changes its neighbours too).
    bool cellHolds(int row, int column) const;
    // The text of one cell changed, from position from on, length characters now, the
    // document delta blocks longer: lays out the paragraphs that changed and the
    // band's rows. False when the band is to be laid out again (it is not laid out, or
    // the change reached a frame inside the cell); only that cell is then redone.
    bool editCell(int row, int column, int from, int length, int delta);

private:
    // What a piece of a cell's flow (a paragraph or a nested frame) needs at its
    // natural width, in words and broken anywhere.
    struct Natural
    {
        QTextBlock block;
        QTextFrame *frame = nullptr;
        int blocks = 1;
        qreal minimum[2] = {0, 0};
        qreal maximum[2] = {0, 0};
        quint8 measured = 0; // a bit per way of breaking
    };
    struct CellBox
    {
        QTextTableCell cell;
        // Asking a cell for its place searches the table: asked once.
        int row = 0, column = 0, rowSpan = 1, columnSpan = 1;
        qreal top = 0, bottom = 0, left = 0, right = 0; // padding, with the cell's share of its borders
        qreal needed = 0; // the height its content needs, padding included
        int alignment = QTextCharFormat::AlignNormal;
        bool formatted = false; // padding, borders and alignment read
        bool listed = false;    // naturals made, one per piece of the cell
        std::vector<Natural> naturals;
        qreal minimum[2] = {0, 0}; // the widest of the pieces' naturals, once all are measured
        qreal maximum[2] = {0, 0};
        quint8 measured = 0;
        quint8 queued = 0; // waits to be measured again, a bit per way of breaking
    };
    struct Band
    {
        int firstRow = 0;
        int endRow = 0;
        int firstBox = 0; // its boxes, in m_boxes
        int endBox = 0;
        bool formatted = false;
        std::shared_ptr<FrameLayout::Geometry> geometry;
        int version = -1; // the widths it is laid out at
        bool complete = false; // every cell laid out, at these widths or others
    };
    // Where a measuring pass over every box stands.
    struct Pass
    {
        bool started = false;
        bool done = false;
        int box = 0;
        int piece = 0;
    };

    void readFormat(qreal availableWidth);
    void makeGrid(bool inBands);
    void formatBand(int band);
    void format(CellBox &box);
    // Runs the measuring in one way of breaking (0: at words, 1: anywhere) over
    // every box, then over those changed since; false when the deadline passed first.
    bool runPass(int mode, const QDeadlineTimer &deadline);
    // Measures a box, piece after piece from *piece on; false when the deadline
    // passed first.
    bool measure(int boxIndex, int mode, int *piece, const QDeadlineTimer &deadline);
    void list(CellBox &box);
    void aggregate(CellBox &box, int mode);
    // The boxes' naturals spread over the columns, as Qt spreads them (into
    // m_spreadMin and m_spreadMax), when they changed since.
    void spreadNaturals(int mode);
    // What a box brings to the spread, kept in column order: spreading a table of
    // thousands of cells after each key then reads one short array.
    struct SpreadItem
    {
        int column = 0;
        int span = 1;
        qreal padding = 0;
        qreal minimum[2] = {0, 0};
        qreal maximum[2] = {0, 0};
    };
    void extremes(qreal *minimum, qreal *maximum) const;
    // Gives the columns their widths; false when they overflow the room and are to be
    // measured again with words broken anywhere, as Qt does.
    bool distributeWidths(std::vector<qreal> *widths, int mode);
    // Decides the widths from what is measured; false when a measure is missing.
    bool decide(bool *changed);
    void adoptWidths(const std::vector<qreal> &widths, bool *changed);
    void markDirty(int boxIndex);
    int bandOfBox(int boxIndex) const;
    qreal spanWidth(int column, int span) const;
    // What a cell's content takes: its flow, and where the producer's rules want it,
    // the spacing of its first and last paragraphs.
    qreal contentHeight(const FrameLayout::Flow &flow) const;
    qreal contentWidth(const CellBox &box) const;
    int boxAt(int band, int row, int column) const;
    void finish(int band);

    QTextTable *m_table = nullptr;
    int m_rows = 0;
    int m_columns = 0;
    bool m_collapse = false;
    bool m_grid = false;
    bool m_variableWidth = false;
    bool m_variableColumns = false;
    bool m_breakAnywhere = false; // the widths come from measures broken anywhere
    qreal m_border = 0, m_cellBorder = 0, m_spacing = 0, m_framePadding = 0, m_cellPadding = 0;
    qreal m_marginLeft = 0, m_marginRight = 0, m_marginTop = 0, m_marginBottom = 0;
    qreal m_outerTop = 0, m_outerBottom = 0, m_outerLeft = 0, m_outerRight = 0;
    qreal m_leftMargin = 0, m_rightMargin = 0, m_topMargin = 0;
    qreal m_contentsWidth = 0;
    QBrush m_borderBrush;
    QList<QTextLength> m_constraints;
    bool m_keepSpacing = false;
    bool m_asGiven = false; // fixed columns stay as given (LayoutProperty::ColumnsAsGiven)
    std::vector<qreal> m_rowHeights; // as the producer set them: at least, exactly when negative
    QVariant m_rowHeightsGiven; // the table format's list they were read from
    std::vector<CellBox> m_boxes; // row by row
    std::vector<Band> m_bands;
    std::vector<int> m_order; // the boxes column by column, for the natural widths
    std::vector<int> m_orderOf; // a box's place in m_order
    std::vector<SpreadItem> m_spread; // in m_order's order, once made
    bool m_spreadStale[2] = {true, true};
    std::vector<qreal> m_spreadMin[2];
    std::vector<qreal> m_spreadMax[2];
    std::vector<qreal> m_minWidths;
    std::vector<qreal> m_maxWidths;
    std::vector<qreal> m_columnWidth;
    std::vector<qreal> m_columnX;
    int m_version = -1; // counts the widths adopted; -1 while there are none
    bool m_settled = false;
    Pass m_pass[2];
    std::vector<int> m_dirty[2]; // boxes to measure again, behind their pass
};

// The table laid out whole.
std::shared_ptr<FrameLayout::Geometry> layout(QTextTable *table, qreal availableWidth);
// Draws the table (or the band of it) laid out in geometry with its top-left at origin.
void draw(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
          const FrameLayout::Geometry &geometry, int cursorWidth, const QRectF &clip);
// A frame's border ring: edges of width border outside rect to its right and
// bottom, in the frame's style (inset and outset light one half of the ring). A band
// of a table draws the top and bottom edges only where the table has them.
void drawRing(QPainter *painter, const QRectF &rect, qreal border, QBrush brush, int style, bool top = true,
              bool bottom = true);

} // namespace TableLayout
