#pragma once

#include "layout/flowindex.h"

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QSizeF>
#include <QTextBlock>

#include <memory>
#include <vector>

class QDeadlineTimer;
class QTextFrame;
class QTextTable;
namespace FrameLayout {
struct Geometry;
}
namespace ParagraphLayout {
class Layouter;
struct Metrics;
}
namespace TableLayout {
class Layouter;
}
namespace ScriptFonts {
class Prefetch;
}

// The editor's document layout. Qt's own lays a document out from the top, every
// paragraph after the previous one, and repositions every later paragraph after an
// edit; its fixed-point positions end at 2^23 pixels. This one keeps the heights of
// the root frame's paragraphs and tables in a FlowIndex instead: what has not been
// laid out yet has an estimated height, and is laid out when it is drawn, hit or
// asked for, or in slices by layoutPending(). An edit lays out what it changed and
// moves nothing else; the end of a document is reached at once; heights are summed
// without limit. The paragraphs themselves are still QTextLayouts, laid out by Qt's
// rules (ParagraphLayout, FrameLayout).
class DocumentLayout final : public QAbstractTextDocumentLayout
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DocumentLayout)

public:
    explicit DocumentLayout(QTextDocument *document);
    ~DocumentLayout() override;

    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override;
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    QRectF blockBoundingRect(const QTextBlock &block) const override;

    // Lays out what is only estimated, in document order, until the deadline has
    // passed (at least one paragraph or table). Returns whether some is left.
    bool layoutPending(const QDeadlineTimer &deadline);
    bool isComplete() const;
    // The paragraph being laid out over slices, whose last lines are still to come
    // (an invalid block when there is none).
    QTextBlock unfinishedBlock() const;
    // How much above a paragraph asked for is laid out with it: the height of the
    // view, so that what the view shows around it does not move once painted.
    void setLookaround(qreal height) { m_lookaround = height; }
    // The y at the top of the view: what lies wholly above it and changes height is
    // reported by viewShifted(), for the view to follow.
    void setViewTop(qreal y);
    // The column of a frame in newspaper columns that point is in (document
    // coordinates), as high as what it holds; null where the document is one column.
    QRectF columnRect(const QPointF &point) const;
    // The band of columns that column is in: the frame's width, as high as its tallest column.
    QRectF bandRect(const QPointF &point) const;
    // What lies below the last paragraph: the root frame's bottom margin, border and padding.
    qreal bottomEdge() const { return m_geometry.bottom; }

signals:
    // Some of the document is only estimated again (after a change, a new width).
    void pendingLayout();
    // What lies wholly above the top of the view grew by dy: the view keeps showing the
    // same text when it moves down by as much.
    void viewShifted(qreal dy);

protected:
    void documentChanged(int from, int oldLength, int length) override;
    void resizeInlineObject(QTextInlineObject item, int posInDocument, const QTextFormat &format) override;

private:
    // The body of layoutPending(): lays out pending entries until the deadline.
    void layOutSlice(const QDeadlineTimer &deadline);
    // The first pending entry of what a view at the document's end shows, or -1.
    int pendingAtEnd() const;
    // Lays everything out again: a change of the document came along with the report
    // of a paragraph's new formats, and its range is not known.
    void followLostChange();
    // The parts of documentChanged(). The whole document changed (a load, a new page
    // width or default font): estimated afresh, or only marked stale when the text is
    // the same.
    void wholeDocumentChanged(int docLength, int blocks);
    // The cell, or the frame in columns, the change from from over length is
    // confined to, if any (m_cellEdit).
    void confineChange(int from, int length, int blocks);
    void clearChangedLines(int from, int length);
    // The entries scanned afresh for the blocks of the count entries from p0 (to p1),
    // with delta blocks more; count grows by the entries that a table the change made
    // reaches over.
    std::vector<FlowIndex::Entry> rescan(const FlowIndex::Position &p0, const FlowIndex::Position &p1, int delta,
                                         int *count) const;
    // Lays out now the first few of the new entries from p0 on.
    void layOutChanged(const FlowIndex::Position &p0, int entries);
    // Asks for the repaint of what the new entries changed, and reports the size.
    void reportChange(const FlowIndex::Position &p0, int entries, double replacedHeight, double oldHeight);
    struct Geometry
    {
        qreal left = 0;   // x of the content
        qreal top = 0;    // y where the flow starts
        qreal bottom = 0; // below the flow: border, padding and margin
        qreal right = 0;  // right of the content: margin, border and padding
        qreal width = 0;  // the content's width
    };
    // What the estimates of heights go by: the default font at first, then what the
    // paragraphs laid out so far show.
    struct Estimates
    {
        qreal lineHeight = 16;
        qreal charsPerLine = 80;
        qreal gap = 0;
        bool operator==(const Estimates &) const = default;
    };
    struct Learned
    {
        double paragraphs = 0;
        double lines = 0;
        double height = 0;
        double gaps = 0;
        double longChars = 0; // characters and lines of the paragraphs of three lines or more
        double longLines = 0;
    };
    Geometry readGeometry() const;
    void rebuild();
    std::vector<FlowIndex::Entry> scan(int firstBlock, int minimumBlocks) const;
    Estimates currentEstimates() const;
    float estimate(int length) const;
    // Estimates again what is not laid out, when what was learned tells better.
    void refineEstimates(bool always);
    // Lays out entry index, whose first block is given.
    void layEntry(int index, const QTextBlock &first) const;
    void commitParagraph(int index, const QTextBlock &block, const ParagraphLayout::Metrics &m,
                         FlowIndex::State state = FlowIndex::Laid) const;
    void commitFrame(int index, QTextFrame *frame, const std::shared_ptr<FrameLayout::Geometry> &geometry) const;
    // Commits entry index, a band of a table laid out.
    void commitBand(int index, TableLayout::Layouter *table, int band) const;
    // The flow entry of a frame or a band of a table laid out as g says.
    void commitFrameEntry(int index, const FrameLayout::Geometry *g) const;
    // The space above the entry below: the margins it shares with the one above.
    static float gapBetween(const FlowIndex::Entry &above, const FlowIndex::Entry &below);
    // The layouter of a table of the root frame, made if it has none.
    TableLayout::Layouter *tableLayouter(QTextTable *table) const;
    // The frame, or the band of a table, that entry's first block begins (null when
    // not laid out).
    const FrameLayout::Geometry *entryGeometry(const QTextBlock &first) const;
    // Settles the tables' column widths until the deadline; false when some is left.
    bool settleTables(const QDeadlineTimer &deadline);
    bool settleTable(TableLayout::Layouter *table, const QDeadlineTimer &deadline) const;
    // The table's column widths changed: its bands are to be laid out again.
    void restaleTable(QTextTable *table) const;
    // Lays out again the bands of tables whose widths changed, until the deadline;
    // false when some is left.
    bool relayTables(const QDeadlineTimer &deadline);
    // Asks the background for slices: a table's widths are to be settled.
    void noteSettling() const;
    // A change reaching tables of the root frame other than within one cell: they
    // are laid out anew, and the blocks first to last grow to hold all of them.
    void dropTables(int from, int length, int *first, int *last);
    // Lays out what it can of entry index before the deadline; true when it is done.
    bool layOutSome(int index, const QTextBlock &first, const QDeadlineTimer &deadline);
    // The height of a short paragraph of plain ASCII in one format that fits on one
    // line, found from its font alone: no QTextLayout is made for it (a million of
    // them would take hundreds of megabytes) until it is shown.
    bool measure(const QTextBlock &block, ParagraphLayout::Metrics *metrics) const;
    // Ends the paragraph or table laid out over slices, if any, after the document
    // changed as documentChanged() tells; the paragraph keeps none of its lines.
    void abandonPartial(int from, int oldLength, int length);
    void ensureLaid(int index, const QTextBlock &first) const;
    QTextFrame *topFrame(int position) const;
    // The frame in columns at point, and where its content starts; null when none.
    const FrameLayout::Geometry *columnsAt(const QPointF &point, QPointF *origin) const;
    const FrameLayout::Geometry *frameGeometry(const QTextFrame *frame) const;
    qreal frameX(const FrameLayout::Geometry &geometry) const;
    qreal frameX(const QTextFrame *frame, qreal width) const;
    QPointF paragraphOrigin(const QTextBlock &block, int index, double top) const;
    // Reports the document's size if it changed: now, or once the event loop turns.
    void reportSize();
    void noteSizeChange() const;
    // Sets an entry; a change of height above the view is reported.
    void setEntry(int index, const FlowIndex::Entry &entry) const;
    int viewIndex() const;
    static QTextBlock advance(QTextBlock block, int blocks);
    void shiftView(double dy) const;
    // Finds the fonts the scripts of a text just put in need, off the UI thread.
    void prefetchFonts(int from, int length);

    Geometry m_geometry;
    // The paragraph or table that layoutPending() is laying out over several slices,
    // and its entry.
    mutable std::unique_ptr<ParagraphLayout::Layouter> m_partial;
    mutable std::shared_ptr<TableLayout::Layouter> m_partialTable;
    mutable int m_partialIndex = -1;
    mutable FlowIndex m_index;
    // The root frame's frames as laid out, and its tables' layouters: a table is laid
    // out in bands, each an entry of its own, and keeps its layouter to lay out the
    // cell typed in.
    struct Laid
    {
        std::shared_ptr<FrameLayout::Geometry> geometry;
        std::shared_ptr<TableLayout::Layouter> table;
    };
    mutable QHash<const QTextFrame *, Laid> m_frames;
    // The cell a change is confined to, while documentChanged() lays it out again; the
    // table's layouter takes it in once, with the first of the table's entries laid.
    // Or the frame in columns it is confined to (row and column -1), which lays out
    // again the paragraphs it changed.
    struct CellEdit
    {
        const QTextFrame *table = nullptr;
        int row = -1;
        int column = -1;
        int from = 0;   // the change, as documentChanged() tells it
        int length = 0;
        int delta = 0;  // blocks the document gained
    };
    mutable CellEdit m_cellEdit;
    int m_blockCount = 0;
    int m_length = 0;
    qreal m_lookaround = 1000;
    qreal m_viewTop = 0;
    mutable int m_viewIndex = -1; // the entry at the top of the view, -1 when to be found again
    mutable bool m_batching = false; // a slice reports the view's shift once, at its end
    mutable double m_batchedShift = 0;
    qreal m_lineHeight = 16; // of the default font
    qreal m_charWidth = 7;
    QFont m_font;
    QString m_optionKey;
    mutable Learned m_learned;
    struct Measures
    {
        QFontMetricsF metrics; // of the font as laid out
        qreal height = 0;      // of a line in it
    };
    // By character format, and whether its lines leave out the line gap (twice the
    // format's index, plus one), for measure().
    mutable QHash<int, Measures> m_metrics;
    Estimates m_estimates; // what the estimated heights were made with
    mutable QSizeF m_reportedSize;
    QElapsedTimer m_sizeReported; // since the size was last reported
    mutable bool m_sizeCheckQueued = false;
    std::vector<std::unique_ptr<ScriptFonts::Prefetch>> m_prefetches;
};
