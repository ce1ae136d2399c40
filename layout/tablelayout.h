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

// Lays a table out cell by cell, so that a large one can take several slices of
// time: its cells, their natural widths, the columns' widths, then the rows. Nothing
// of the table may change between slices (a change of the document drops the
// layouter).
class Layouter final
{
public:
    Layouter(QTextTable *table, qreal availableWidth);
    // Goes on until done (true) or the deadline has passed.
    bool run(const QDeadlineTimer &deadline);
    QTextTable *table() const { return m_table; }
    const std::shared_ptr<FrameLayout::Geometry> &geometry() const { return m_geometry; }
    // Once done, after the text of one cell changed: lays out that cell and the rows
    // again, when the columns keep their widths (fixed ones, none widened by its
    // cells). False when the whole table must be laid out again.
    bool relayoutCell(int row, int column);

private:
    struct CellBox
    {
        QTextTableCell cell;
        // Asking a cell for its place searches the table: asked once.
        int row = 0, column = 0, rowSpan = 1, columnSpan = 1;
        qreal top = 0, bottom = 0, left = 0, right = 0; // padding, with the cell's share of its borders
        qreal needed = 0; // the height its content needs, padding included
        int alignment = QTextCharFormat::AlignNormal;
    };
    static CellBox cellBox(const QTextTable *table, const QTextTableCell &cell, qreal cellPadding, bool collapse,
                           bool grid);
    // Gives the columns their widths; false when they overflow the room and are to be
    // measured again with words broken anywhere, as Qt does.
    bool distributeWidths();
    qreal spanWidth(int column, int span) const;
    // What a cell's content takes: its flow, and where the producer's rules want it,
    // the spacing of its first and last paragraphs.
    qreal contentHeight(const FrameLayout::Flow &flow) const;
    void finish();

    enum class Phase { Cells, Natural, Rows, Done };
    QTextTable *m_table = nullptr;
    std::shared_ptr<FrameLayout::Geometry> m_geometry;
    Phase m_phase = Phase::Cells;
    int m_next = 0; // the row or cell the phase goes on with
    int m_rows = 0;
    int m_columns = 0;
    bool m_collapse = false;
    bool m_grid = false;
    bool m_variableWidth = false;
    bool m_breakAnywhere = false; // measuring again after an overflow
    qreal m_border = 0, m_cellBorder = 0, m_spacing = 0, m_framePadding = 0, m_cellPadding = 0;
    qreal m_marginLeft = 0, m_marginRight = 0, m_marginTop = 0, m_marginBottom = 0;
    qreal m_outerTop = 0, m_outerBottom = 0, m_outerLeft = 0, m_outerRight = 0;
    qreal m_leftMargin = 0, m_rightMargin = 0, m_topMargin = 0;
    qreal m_contentsWidth = 0;
    QList<QTextLength> m_constraints;
    bool m_keepSpacing = false;
    std::vector<qreal> m_rowHeights; // as the producer set them: at least, exactly when negative
    std::vector<CellBox> m_boxes;
    std::vector<int> m_order; // the boxes column by column, for the natural widths
    std::vector<qreal> m_minWidths;
    std::vector<qreal> m_maxWidths;
};

// The table laid out whole.
std::shared_ptr<FrameLayout::Geometry> layout(QTextTable *table, qreal availableWidth);
// Draws the table laid out in geometry with its top-left at origin.
void draw(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
          const FrameLayout::Geometry &geometry, int cursorWidth, const QRectF &clip);
// A frame's border ring: edges of width border outside rect to its right and
// bottom, in the frame's style (inset and outset light one half of the ring).
void drawRing(QPainter *painter, const QRectF &rect, qreal border, QBrush brush, int style);

} // namespace TableLayout
