#pragma once

#include <QAbstractTextDocumentLayout>
#include <QPointF>
#include <QTextBlock>
#include <QTextOption>

#include <cmath>
#include <memory>
#include <vector>

class QDeadlineTimer;
class QTextLayout;
namespace TextMetrics {
class LineBoxes;
}

class QPainter;
class QTextDocument;

// Lays out, draws and hit-tests one paragraph with its QTextLayout, by the rules of
// Qt's own document layout: margins, indents, first-line indent, alignment, tabs,
// line heights and direction; but the text is measured as word processors measure
// it (TextMetrics: advances at the size asked for, line heights from the faces). Positions are relative to the place where the caller
// puts the paragraph (its layout position); where that is, the caller decides.
namespace ParagraphLayout {

struct Metrics
{
    qreal height = 0;       // from the top of the first line to the bottom of the last
    qreal topMargin = 0;
    qreal bottomMargin = 0;
    qreal width = 0;        // how far the lines reach, right margin included
    qreal minimumWidth = 0; // the widest unbreakable piece, margins included
    qreal maximumWidth = 0; // the width without any wrapping, margins included
    int lines = 0;
};

// Lays the paragraph's lines out within width (the container's content width). A
// structural paragraph (isStructural) reports height 0 but still has its line.
// breakAnywhere: lines break anywhere, as Qt measures the columns of a table that
// overflows its room (only where the document breaks at words or anywhere).
Metrics layout(const QTextBlock &block, qreal width, bool breakAnywhere = false);

// The same, line by line: a long paragraph can be laid out over several slices of
// time. Between slices the paragraph's QTextLayout is in the middle of its layout;
// nothing but the one who started it may touch it until run() returns true (a long
// paragraph's first slice only prepares it, with a deadline). A change
// of the document ends the layouter: the paragraph may be gone, and its lines are
// then dropped by whoever knows where it went (position() and length() tell where
// it was).
class Layouter final
{
public:
    Layouter(const QTextBlock &block, qreal width, bool breakAnywhere = false);
    ~Layouter();
    // Lays out lines until all are done (true) or the deadline has passed.
    bool run(const QDeadlineTimer &deadline);
    bool done() const { return m_done; }
    const QTextBlock &block() const { return m_block; }
    int position() const { return m_position; }
    int length() const { return m_length; }
    const Metrics &metrics() const { return m_metrics; }

private:
    // What comes before the lines: the text's long runs, its fonts and advances, the
    // faces' boxes, the QTextLayout begun.
    void begin();
    // Moves the first line left by the width of its right-aligned label (LabelRight),
    // laid out again from *l, which moves with it.
    void alignLabel(QTextLine &line, qreal *l, qreal r);
    void fitByAdvances(QTextLine &line, qreal width);
    // The paragraph's character at i, and where [start, end) of its text ends
    // without the blanks at its end.
    QChar charAt(int i) const;
    int withoutBlanks(int start, int end) const;
    void fitExactAdvances(QTextLine &line, qreal width);
    void justifyBeforeBreak(QTextLine &line);
    bool hangPunctuation(QTextLine &line, qreal width);
    bool breakBeforeSmallKana(QTextLine &line, qreal width);
    void keepSlashWords(QTextLine &line, qreal width);
    QTextBlock m_block;
    int m_position = 0;
    int m_length = 0;
    QTextLayout *m_layout = nullptr;
    QTextBlockFormat m_format;
    QTextOption m_option;
    QTextOption::WrapMode m_wrap = QTextOption::WrapAtWordBoundaryOrAnywhere;
    bool m_wordOrAnywhere = true; // the paragraph's own wrapping, before any line overflowed
    Qt::LayoutDirection m_direction = Qt::LeftToRight;
    qreal m_leftMargin = 0;
    qreal m_rightMargin = 0;
    qreal m_left = 0;  // where lines begin and end, within the container
    qreal m_right = 0;
    qreal m_textIndent = 0;
    int m_labelEnd = -1; // where a label right-aligned at the first line's indent ends
    std::vector<std::pair<int, int>> m_runs; // stretches without a break opportunity
    std::unique_ptr<TextMetrics::LineBoxes> m_boxes; // the lines' heights as word processors have them
    size_t m_run = 0;
    QTextBlock::iterator m_fragment; // where fitExactAdvances() last began
    bool m_anywhere = false;
    bool m_justifiedForced = false; // justified across manual breaks: its last line stays ragged
    bool m_measured = false;   // by word processors' rules, wrapped: fitExactAdvances
    bool m_byAdvances = false; // and left-aligned: lines hold the words whose advances fit (fitByAdvances)
    qreal m_y = 0;
    qreal m_bottom = 0;
    qreal m_below = 0; // the paragraph's bottom border and its distance from the text
    bool m_begun = false;
    bool m_done = false;
    Metrics m_metrics;
};

// The space between two paragraphs: the larger of the margins that meet (the sum, by
// word processors' rules), cut to Qt's fixed point as Qt adds it.
qreal gap(qreal bottomMargin, qreal topMargin);

// Qt's layout arithmetic is 26.6 fixed point: a length in 64ths of a pixel, the rest
// cut off. Paragraphs and tables land on the same places when values are cut the
// same way.
inline qreal fixed(qreal value)
{
    return std::trunc(value * 64) / 64;
}

// Whether the paragraph is the empty block a table needs in front of it where the
// document has none, or a padding cell's (TextMarks::Structural): it takes no height. Qt's own layout
// gives no height to any empty paragraph before a table and tucks one after a table
// against its corner; word processors show the document's blank paragraphs beside a
// table as lines, and so does this layout.
// So is the empty block Qt keeps in front of a section's columns (isColumns) where the
// document has no paragraph, or after them where nothing follows.
bool isStructural(const QTextBlock &block);
// Whether the frame holds a section's newspaper columns (LayoutProperty::ColumnCount).
bool isColumns(const QTextFrame *frame);

// Draws the paragraph with its layout's origin at origin, as Qt draws a block:
// background, list marker, selections, text, caret. The clip is in the painter's
// coordinates.
void draw(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
          const QTextBlock &block, int cursorWidth, const QRectF &clip);

// The box a line of the paragraph stands in, relative to its layout's position (where
// its QTextLines are): from the line's top to the next line's, as far across as the
// line's width. Under word processors' line heights (TextMetrics) it is shorter than
// Qt's own line rectangle, which reaches into the lines around it; the caret and the
// selection are drawn in it.
QRectF lineBox(const QTextBlock &block, int line);
// The boxes of all the paragraph's lines, in order, as lineBox() gives them.
std::vector<QRectF> lineBoxes(const QTextBlock &block);
// Where the caret stands before position (in the paragraph's text) on line, relative
// to the layout's position, as QTextLine::cursorToX() gives it; also on a line placed
// left of the layout's position (a paragraph that goes on in a column further left),
// where Qt gives no x below 0.
qreal cursorX(const QTextLine &line, int *position);
qreal cursorX(const QTextLine &line, int position);
// The caret's box at position, a position of the document within the paragraph,
// relative to the layout's position: as high as its line's box, cursorWidth wide.
QRectF caretBox(const QTextBlock &block, int position, int cursorWidth = 1);

enum class Hit { Before, After, Inside, Exact };
// The document position at point, given relative to the layout's origin. Only the
// lines [firstLine, endLine) are looked at when endLine is given (a paragraph that
// goes on in the next column): a point below them is on the last of them.
Hit hitTest(const QTextBlock &block, const QPointF &point, Qt::HitTestAccuracy accuracy, int *position,
            int firstLine = 0, int endLine = -1);

} // namespace ParagraphLayout
