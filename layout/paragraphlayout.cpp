#include "layout/paragraphlayout.h"

#include "layout/scriptfonts.h"
#include "layout/textmetrics.h"
#include "base/layoutproperties.h"
#include "base/textmarks.h"
#include "layout/paragraphlines.h"
#include "layout/paragraphbox.h"

#include <QDeadlineTimer>
#include <QFontMetricsF>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ParagraphLayout {

namespace {

// Runs without a line-break opportunity longer than this are laid out anywhere-wrapped
// from the start: the word-boundary search that would come first looks for the end
// of the run on every line, which makes a long run quadratic.
constexpr int LongRun = 256;
// Shorter paragraphs cannot hold a run long enough to matter.
constexpr int LongParagraph = 2048;
// What a slice must have left, in milliseconds, to prepare a long paragraph (its
// text's formats and items).
constexpr qint64 PreparationMs = 4;

// An alignment with its left and right as they stand on the screen, as Qt's text
// layout takes it (what QStyle::visualAlignment gives, without the widgets).
Qt::Alignment visualAlignment(Qt::LayoutDirection direction, Qt::Alignment alignment)
{
    if (!(alignment & Qt::AlignHorizontal_Mask))
        alignment |= Qt::AlignLeft;
    if (!(alignment & Qt::AlignAbsolute) && (alignment & (Qt::AlignLeft | Qt::AlignRight))) {
        if (direction == Qt::RightToLeft)
            alignment ^= (Qt::AlignLeft | Qt::AlignRight);
        alignment |= Qt::AlignAbsolute;
    }
    return alignment;
}

qreal blockIndent(const QTextBlock &block, const QTextBlockFormat &format)
{
    qreal indent = format.indent();
    if (QTextList *list = block.textList())
        indent += list->format().indent();
    if (qFuzzyIsNull(indent))
        return 0;
    return indent * block.document()->indentWidth();
}

// The same as word processors have them: from the height of the line's faces at the
// size asked for (TextMetrics), unrounded. A proportional height puts what it adds
// below the text, a minimum height above it; an exact height puts the baseline four
// fifths down, as Qt does.
void wordProcessorHeights(const QTextBlockFormat &format, const QTextLine &line, const TextMetrics::LineBox &box,
                          qreal *adjustment, qreal *height)
{
    const qreal natural = box.height;
    qreal baseline = box.ascent;
    switch (format.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        *height = natural * format.lineHeight() / 100;
        break;
    case QTextBlockFormat::FixedHeight:
        *height = format.lineHeight();
        baseline = *height * 4 / 5;
        break;
    case QTextBlockFormat::MinimumHeight:
        *height = qMax(natural, format.lineHeight());
        baseline += *height - natural;
        break;
    case QTextBlockFormat::LineDistanceHeight:
        *height = natural + format.lineHeight();
        break;
    default:
        *height = natural;
        break;
    }
    *height = fixed(*height);
    *adjustment = fixed(line.ascent() - baseline);
}

// The stretches of the paragraph where no line may break for more than LongRun
// characters: [start, end) pairs in positions of the paragraph. Only stretches
// without a blank can be such; where they may break after all (ideographs, hyphens,
// slashes) the Unicode rules tell.
std::vector<std::pair<int, int>> longRuns(const QString &text)
{
    std::vector<std::pair<int, int>> runs;
    const int n = int(text.size());
    int start = 0;
    for (int i = 0; i <= n; ++i) {
        if (i < n && !text.at(i).isSpace())
            continue;
        if (i - start > LongRun) {
            QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text.constData() + start, i - start);
            qsizetype last = 0;
            for (qsizetype at = finder.toNextBoundary(); at >= 0; at = finder.toNextBoundary()) {
                if (at - last > LongRun)
                    runs.emplace_back(start + int(last), start + int(at));
                last = at;
            }
        }
        start = i + 1;
    }
    return runs;
}

} // namespace

// Qt's line height rules: the line's own height, or the format's fixed, minimum,
// proportional or added distance.
void lineHeights(const QTextBlockFormat &format, const QTextLine &line, qreal *adjustment, qreal *height,
                 qreal *bottom)
{
    const qreal natural = line.height();
    const int type = format.lineHeightType();
    const qreal raw = std::ceil(line.ascent() + line.descent() + line.leading());
    *height = fixed(format.lineHeight(raw, 1));
    *bottom = fixed(format.lineHeight(natural, 1));
    *adjustment = 0;
    if (type == QTextBlockFormat::FixedHeight) // four fifths of it in 64ths, cut as Qt cuts them
        *adjustment = fixed(line.ascent() + qMax(line.leading(), qreal(0))) - qreal(std::llround(*height * 64) * 4 / 5) / 64;
    else if (type == QTextBlockFormat::MinimumHeight)
        *adjustment = fixed(natural) - *height;
}

// The box of a line under word processors' heights: where the layout stood it (the
// baseline as far down from the box's top as wordProcessorHeights put it), as high as
// the pitch it took. faces are the paragraph's, asked for its lines in order.
QRectF wordProcessorBox(TextMetrics::LineBoxes &faces, const QTextBlockFormat &format, const QTextLine &line)
{
    const TextMetrics::LineBox box =
        faces.box(line.textStart(), line.textStart() + line.textLength(), line.ascent(), line.descent());
    qreal adjustment = 0;
    qreal height = 0;
    wordProcessorHeights(format, line, box, &adjustment, &height);
    return QRectF(line.x(), line.y() + adjustment, line.width(), height);
}

QRectF lineBox(const QTextBlock &block, int index)
{
    const QTextLine line = block.layout()->lineAt(index);
    if (!line.isValid())
        return QRectF();
    if (!TextMetrics::wordProcessorRules())
        return line.rect();
    TextMetrics::LineBoxes faces(block);
    return wordProcessorBox(faces, block.blockFormat(), line);
}

std::vector<QRectF> lineBoxes(const QTextBlock &block)
{
    const QTextLayout *tl = block.layout();
    std::vector<QRectF> boxes;
    boxes.reserve(size_t(tl->lineCount()));
    if (!TextMetrics::wordProcessorRules()) {
        for (int i = 0; i < tl->lineCount(); ++i)
            boxes.push_back(tl->lineAt(i).rect());
        return boxes;
    }
    TextMetrics::LineBoxes faces(block);
    const QTextBlockFormat format = block.blockFormat();
    for (int i = 0; i < tl->lineCount(); ++i)
        boxes.push_back(wordProcessorBox(faces, format, tl->lineAt(i)));
    return boxes;
}

qreal cursorX(const QTextLine &line, int *position)
{
    const qreal x = line.x();
    if (x >= 0)
        return line.cursorToX(position);
    // Measured with the line moved right of the origin for a moment.
    QTextLine moved = line;
    const QPointF at = moved.position();
    moved.setPosition(QPointF(0, at.y()));
    const qreal result = moved.cursorToX(position) + x;
    moved.setPosition(at);
    return result;
}

qreal cursorX(const QTextLine &line, int position)
{
    return cursorX(line, &position);
}

QRectF caretBox(const QTextBlock &block, int position, int cursorWidth)
{
    const QTextLayout *tl = block.layout();
    if (tl->lineCount() == 0)
        return QRectF();
    int at = qBound(0, position - block.position(), block.length() - 1);
    QTextLine line = tl->lineForTextPosition(at);
    if (!line.isValid())
        line = tl->lineAt(at == 0 ? 0 : tl->lineCount() - 1);
    const QRectF box = lineBox(block, line.lineNumber());
    const qreal x = cursorX(line, &at);
    return QRectF(x, box.top(), cursorWidth, box.height());
}

qreal gap(qreal bottomMargin, qreal topMargin)
{
    // Qt lets the margins overlap as CSS does; word processors add the space after
    // a paragraph to the space before the next.
    if (TextMetrics::wordProcessorRules())
        return fixed(bottomMargin) + fixed(topMargin);
    return fixed(qMax(bottomMargin, topMargin));
}

bool isColumns(const QTextFrame *frame)
{
    return frame && !qobject_cast<const QTextTable *>(frame) && frame->frameFormat().hasProperty(LayoutProperty::ColumnCount);
}

bool isStructural(const QTextBlock &block)
{
    if (block.length() != 1)
        return false;
    const QTextBlockFormat format = block.blockFormat();
    if (!format.boolProperty(TextMarks::Structural))
        return false;
    const QTextDocument *doc = block.document();
    const int at = block.position();
    if (at + 1 < doc->characterCount() && doc->characterAt(at) == QChar(TextMarks::FrameStart)) {
        const QTextFrame *frame = doc->frameAt(at + 1);
        if ((qobject_cast<const QTextTable *>(frame) || isColumns(frame)) && frame->firstPosition() == at + 1)
            return true; // in front of a table or a section's columns
    }
    if (at > 0 && doc->characterAt(at - 1) == QChar(TextMarks::FrameEnd)) {
        const QTextFrame *frame = doc->frameAt(at - 1);
        if (isColumns(frame) && frame->lastPosition() == at - 1)
            return true; // after a section's columns, where nothing follows them
    }
    // The only block of a padding cell.
    const auto *table = qobject_cast<const QTextTable *>(doc->frameAt(at));
    if (!table || !table->format().boolProperty(TextMarks::Padded))
        return false;
    const QTextTableCell cell = table->cellAt(at);
    return cell.isValid() && cell.firstPosition() == at && cell.lastPosition() == at;
}

Layouter::Layouter(const QTextBlock &block, qreal width, bool breakAnywhere)
    : m_block(block)
    , m_position(block.position())
    , m_length(block.length())
    , m_layout(block.layout())
    , m_format(block.blockFormat())
{
    m_metrics.topMargin = m_format.topMargin();
    m_metrics.bottomMargin = m_format.bottomMargin();
    if (!block.isVisible()) {
        m_layout->clearLayout();
        m_done = true;
        return;
    }
    const QTextDocument *doc = block.document();
    m_direction = block.textDirection();
    m_option = doc->defaultTextOption();
    m_option.setTextDirection(m_direction);
    m_option.setTabs(m_format.tabPositions());
    Qt::Alignment align = m_option.alignment();
    if (m_format.hasProperty(QTextFormat::BlockAlignment))
        align = m_format.alignment();
    m_option.setAlignment(visualAlignment(m_direction, align));
    if (m_format.nonBreakableLines() || doc->pageSize().width() < 0)
        m_option.setWrapMode(QTextOption::ManualWrap);
    else if (breakAnywhere && m_option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere)
        m_option.setWrapMode(QTextOption::WrapAnywhere);
    m_wrap = m_option.wrapMode();
    m_wordOrAnywhere = m_wrap == QTextOption::WrapAtWordBoundaryOrAnywhere;
    m_layout->setTextOption(m_option);
    // Word processors justify a line that a manual break ends (\line, Shift+Enter);
    // Qt leaves it ragged unless justification is forced, which the paragraph's last
    // line then takes too: that one is given back its own width once laid out.
    m_justifiedForced = m_direction == Qt::LeftToRight &&
                        (m_option.alignment() & Qt::AlignHorizontal_Mask) == Qt::AlignJustify &&
                        block.text().contains(QChar::LineSeparator);
    if (m_justifiedForced)
        m_layout->setFlags(Qt::TextJustificationForced);
    m_measured = TextMetrics::wordProcessorRules() && m_option.wrapMode() != QTextOption::ManualWrap;
    m_byAdvances = m_measured &&
                   (m_option.alignment() & (Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter | Qt::AlignJustify)) ==
                       Qt::AlignLeft;

    const qreal indent = fixed(blockIndent(block, m_format));
    const bool rtl = m_direction == Qt::RightToLeft;
    m_leftMargin = fixed(m_format.leftMargin()) + (rtl ? 0 : indent);
    m_rightMargin = fixed(m_format.rightMargin()) + (rtl ? indent : 0);
    // Margins never take a line beyond the container's edges (negative ones would):
    // Qt keeps lines within them too. The first-line indent may.
    m_left = qMax(qreal(0), m_leftMargin);
    m_right = qMin(width, width - m_rightMargin);
    m_textIndent = fixed(m_format.textIndent());
    if (!rtl && m_format.boolProperty(LayoutProperty::LabelRight)) {
        constexpr int LongestLabel = 64;
        const qsizetype tab = block.text().left(LongestLabel).indexOf(QLatin1Char('\t'));
        m_labelEnd = tab > 0 ? int(tab) : -1;
    }
    if (ParagraphBox::hasBorders(m_format)) {
        // The box's borders stand at the paragraph's margins, the text within them
        // (or, outside, the text at the margins and the borders beyond them).
        if (!m_format.boolProperty(LayoutProperty::BordersOutside)) {
            m_left += ParagraphBox::inset(m_format, ParagraphBox::Left);
            m_right -= ParagraphBox::inset(m_format, ParagraphBox::Right);
        }
        m_y = ParagraphBox::above(block, m_format);
        m_below = ParagraphBox::below(block, m_format);
    }
}

void Layouter::begin()
{
    const QTextBlock &block = m_block;
    const QString text = block.text();
    if (m_wrap == QTextOption::WrapAtWordBoundaryOrAnywhere && block.length() > LongParagraph)
        m_runs = longRuns(text);
    const bool named = ScriptFonts::prepare(block, text);
    if (!TextMetrics::applyAdvances(block) && named)
        TextMetrics::reportFormats(block);
    if (TextMetrics::wordProcessorRules())
        m_boxes = std::make_unique<TextMetrics::LineBoxes>(block);
    m_layout->beginLayout();
    m_begun = true;
}

Layouter::~Layouter() = default;

void Layouter::alignLabel(QTextLine &line, qreal *l, qreal r)
{
    // The label ends where the line would begin: the line begins left of it by the
    // label's width. Tab stops count from where the first line begins (the reader
    // gives them so), and Qt measures them again each time it places the caret or
    // draws: they move right by as much for the whole paragraph, so that the tab
    // after the label reaches the same stop.
    const qreal width = line.cursorToX(m_labelEnd) - line.cursorToX(0);
    if (width <= 0 || line.textLength() <= m_labelEnd)
        return;
    *l -= width;
    QList<QTextOption::Tab> tabs = m_option.tabs();
    for (QTextOption::Tab &tab : tabs)
        tab.position += width;
    m_option.setTabs(tabs);
    m_layout->setTextOption(m_option);
    line.setLineWidth(r - *l);
}

void Layouter::fitByAdvances(QTextLine &line, qreal width)
{
    // Qt counts the ink of a word's last glyph past its advance (a right bearing
    // below 0, from the glyph's box rounded out to whole pixels: "t" of Liberation
    // Serif at 11 points) as room the word needs, and breaks before a word that word
    // processors set, whose advance ends within a pixel of the edge. A line that ends
    // before the paragraph's end is laid out again a little wider, and keeps what
    // that adds only where its advances fit the width.
    if (!m_byAdvances)
        return;
    const int end = line.textStart() + line.textLength();
    if (end >= m_length - 1 || line.naturalTextWidth() >= width ||
        m_block.document()->characterAt(m_position + end - 1) == QChar::LineSeparator)
        return;
    // Half a pixel: wider, the lines of the Word and OpenDocument corpus that Qt
    // breaks as LibreOffice does lose words (odfdo-collection 61 at 1 and 2 px).
    constexpr qreal Overhang = 0.5;
    line.setLineWidth(width + Overhang);
    if (line.textStart() + line.textLength() == end || fixed(line.naturalTextWidth()) > width)
        line.setLineWidth(width);
}

QChar Layouter::charAt(int i) const
{
    return m_block.document()->characterAt(m_position + i);
}

int Layouter::withoutBlanks(int start, int end) const
{
    while (end > start && charAt(end - 1) == QLatin1Char(' '))
        --end;
    return end;
}

void Layouter::fitExactAdvances(QTextLine &line, qreal width)
{
    // Qt's advances fall a 64th of a pixel or so short of the face's at the size asked
    // for, each glyph (TextMetrics::advanceShortfall): a line Qt fills to within a
    // pixel or two can be wider than its room where word processors measure it, and
    // they take its last word to the next line. Only lines broken at a blank are
    // measured again, from their last tab, and only where Qt leaves less room than
    // the shortfall can reach (two 64ths a character).
    const int start = line.textStart();
    const int end = start + line.textLength();
    if (!m_measured || end >= m_length - 1)
        return;
    const int last = withoutBlanks(start, end);
    if (last == end || last == start)
        return;
    const qreal room = width - line.naturalTextWidth();
    if (room > (last - start) * (2.0 / 64))
        return;
    int from = last;
    while (from > start && charAt(from - 1) != QLatin1Char('\t'))
        --from;
    int word = last;
    while (word > start && charAt(word - 1) != QLatin1Char(' ')) {
        // A word that word processors could break within is left to Qt.
        const QChar c = charAt(--word);
        if (c == QLatin1Char('-') || c == QChar::SoftHyphen || c.unicode() >= 0x2E80)
            return;
    }
    if (word <= from)
        return;
    // Lines come in order: the fragments are walked on from the last line's.
    if (m_fragment.atEnd() || m_fragment.fragment().position() - m_position > from)
        m_fragment = m_block.begin();
    while (!m_fragment.atEnd() &&
           m_fragment.fragment().position() - m_position + m_fragment.fragment().length() <= from)
        ++m_fragment;
    qreal shortfall = 0;
    for (QTextBlock::iterator it = m_fragment; !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int a = qMax(from, fragment.position() - m_position);
        const int b = qMin(last, fragment.position() - m_position + fragment.length());
        if (b <= a)
            break;
        shortfall += TextMetrics::advanceShortfall(line.glyphRuns(a, b - a),
                                                   TextMetrics::laidOutFont(fragment.charFormat().font()));
    }
    if (shortfall > room)
        line.setNumColumns(word - start, width);
}

void Layouter::justifyBeforeBreak(QTextLine &line)
{
    // A justified line that a manual break ends has its blanks before the break
    // widened as well, as LibreOffice lays it out: its words end short of the edge by
    // one blank's share of the room. Qt leaves blanks at a line's end out of its
    // justification: the line is justified across the width that leaves its words
    // where they stand with that share.
    if (!m_justifiedForced)
        return;
    const int start = line.textStart();
    const int end = start + line.textLength();
    if (end <= start || charAt(end - 1) != QChar::LineSeparator)
        return;
    const int last = withoutBlanks(start, end - 1);
    if (last == end - 1 || last == start)
        return;
    int blanks = 0;
    for (int i = start; i < last; ++i)
        blanks += charAt(i) == QLatin1Char(' ');
    if (blanks == 0)
        return;
    // Qt gives the blanks at the line's end no width: theirs is their font's.
    QTextCursor cursor(m_block);
    cursor.setPosition(m_position + last + 1);
    const qreal trailing = QFontMetricsF(TextMetrics::laidOutFont(cursor.charFormat().font()))
                               .horizontalAdvance(QString(end - 1 - last, QLatin1Char(' ')));
    const qreal text = line.naturalTextWidth();
    const qreal room = line.width() - text - trailing;
    if (room > 0)
        line.setNumColumns(line.textLength(), text + room * blanks / (blanks + 1));
}

bool Layouter::hangPunctuation(QTextLine &line, qreal width)
{
    // LibreOffice lets an ideographic comma or full stop hang past the line's end
    // where Qt takes it to the next line with the character before it (a line does
    // not begin with one). A closing bracket does not hang.
    const auto hangs = [](QChar c) {
        return c == QChar(0x3001) || c == QChar(0x3002) || c == QChar(0xFF0C) || c == QChar(0xFF0E);
    };
    if (!m_byAdvances)
        return false;
    const int start = line.textStart();
    const int end = start + line.textLength();
    const QTextDocument *doc = m_block.document();
    int mark = -1;
    for (int i = end; i < qMin(end + 2, m_length - 1) && mark < 0; ++i) {
        if (hangs(doc->characterAt(m_position + i)))
            mark = i;
    }
    if (mark < 0)
        return false;
    // Laid out wide enough to hold the mark, then exactly as wide as the text up to it.
    line.setLineWidth(width + 4 * line.height());
    const qreal x0 = line.cursorToX(start);
    const qreal markStart = line.cursorToX(mark) - x0;
    const qreal markEnd = line.cursorToX(mark + 1) - x0;
    if (line.textStart() + line.textLength() > mark && markStart <= width + 0.01 && markEnd > markStart) {
        line.setLineWidth(markEnd + 0.01);
        if (line.textStart() + line.textLength() == mark + 1)
            return true;
    }
    line.setLineWidth(width);
    return false;
}

bool Layouter::breakBeforeSmallKana(QTextLine &line, qreal width)
{
    // Qt breaks no line before a small kana or the prolonged sound mark (their line
    // break class, CJ, taken strictly) and takes the kana before it to the next line
    // with it; LibreOffice breaks there as before any kana.
    const auto small = [](QChar c) {
        static const char16_t marks[] = {0x3041, 0x3043, 0x3045, 0x3047, 0x3049, 0x3063, 0x3083, 0x3085, 0x3087,
                                         0x308E, 0x3095, 0x3096, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30C3,
                                         0x30E3, 0x30E5, 0x30E7, 0x30EE, 0x30F5, 0x30F6, 0x30FC, 0xFF70};
        const char16_t u = c.unicode();
        return std::find(std::begin(marks), std::end(marks), u) != std::end(marks) || (u >= 0x31F0 && u <= 0x31FF) ||
               (u >= 0xFF67 && u <= 0xFF6F);
    };
    const auto kanaOrIdeograph = [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x3041 && u <= 0x30FA) || (u >= 0x3400 && u <= 0x4DBF) || (u >= 0x4E00 && u <= 0x9FFF) ||
               (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF66 && u <= 0xFF9F);
    };
    if (!m_byAdvances)
        return false;
    const int start = line.textStart();
    const int end = start + line.textLength();
    const QTextDocument *doc = m_block.document();
    if (end <= start || end + 1 >= m_length - 1 || !kanaOrIdeograph(doc->characterAt(m_position + end)) ||
        !small(doc->characterAt(m_position + end + 1)))
        return false;
    // Laid out wide enough to hold the kana, which stays where it fits the width.
    line.setLineWidth(width + 4 * line.height());
    const qreal x0 = line.cursorToX(start);
    if (line.textStart() + line.textLength() > end + 1 && line.cursorToX(end + 1) - x0 <= width + 0.01) {
        line.setNumColumns(end + 1 - start, width);
        return true;
    }
    line.setLineWidth(width);
    return false;
}

void Layouter::keepSlashWords(QTextLine &line, qreal width)
{
    // LibreOffice breaks no line after a slash within a word ("SIT/CAT/PROD" goes to
    // the next line whole), where the Unicode rules Qt follows allow it. The line then
    // ends before the word, still aligned (justified) across its whole width.
    const QTextOption::WrapMode wrap = m_option.wrapMode();
    if (!TextMetrics::wordProcessorRules() ||
        (wrap != QTextOption::WordWrap && wrap != QTextOption::WrapAtWordBoundaryOrAnywhere))
        return;
    const int start = line.textStart();
    const int end = start + line.textLength();
    const QTextDocument *doc = m_block.document();
    if (end >= m_length - 1 || end - start < 2 || doc->characterAt(m_position + end - 1) != QLatin1Char('/') ||
        doc->characterAt(m_position + end).isSpace())
        return;
    int word = end - 1;
    while (word > start && !doc->characterAt(m_position + word - 1).isSpace())
        --word;
    if (word > start)
        line.setNumColumns(word - start, width);
}

bool Layouter::run(const QDeadlineTimer &deadline)
{
    if (m_done)
        return true;
    if (!m_begun) {
        // A long paragraph's formats and items take a good part of a slice, and its
        // first line shapes the text that follows it: it is prepared in a slice with
        // room enough left, and its lines begin in the next.
        const bool sliced = m_length > LongParagraph && !deadline.isForever();
        if (sliced && deadline.remainingTime() < PreparationMs)
            return false;
        begin();
        if (sliced)
            return false;
    }
    for (;;) {
        QTextLine line = m_layout->createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        if (!m_runs.empty()) {
            const int start = line.textStart();
            while (m_run < m_runs.size() && m_runs[m_run].second - LongRun < start)
                ++m_run;
            const bool inside = m_run < m_runs.size() && m_runs[m_run].first <= start;
            if (inside != m_anywhere) {
                m_anywhere = inside;
                m_option.setWrapMode(m_anywhere ? QTextOption::WrapAnywhere : m_wrap);
                m_layout->setTextOption(m_option);
            }
        }
        qreal l = m_left;
        qreal r = m_right;
        if (m_layout->lineCount() == 1) {
            if (m_direction == Qt::LeftToRight)
                l += m_textIndent;
            else
                r -= m_textIndent;
        }
        line.setLineWidth(r - l);
        if (m_labelEnd > 0 && m_layout->lineCount() == 1)
            alignLabel(line, &l, r);
        else {
            fitByAdvances(line, r - l);
            fitExactAdvances(line, r - l);
        }
        const bool hung = hangPunctuation(line, r - l) || breakBeforeSmallKana(line, r - l);
        if (!hung)
            keepSlashWords(line, r - l);
        justifyBeforeBreak(line);
        if (!hung && fixed(line.naturalTextWidth()) > r - l) {
            // Wider than its room (a glyph or a picture that does not fit, margins
            // wider than the page): laid out again at its natural width, broken
            // anywhere, as Qt's block layout does; from then on the paragraph breaks
            // at words only, as Qt leaves it.
            const bool wordOrAnywhere = m_wordOrAnywhere && !m_anywhere;
            if (wordOrAnywhere) {
                m_option.setWrapMode(QTextOption::WrapAnywhere);
                m_layout->setTextOption(m_option);
            }
            line.setLineWidth(qMax(line.naturalTextWidth(), r - l));
            if (m_wordOrAnywhere)
                m_wrap = QTextOption::WordWrap;
            if (wordOrAnywhere) {
                m_option.setWrapMode(m_wrap);
                m_layout->setTextOption(m_option);
            }
        }
        qreal adjustment = 0;
        qreal height = 0;
        qreal lineBottom = 0;
        if (m_boxes) {
            const TextMetrics::LineBox box =
                m_boxes->box(line.textStart(), line.textStart() + line.textLength(), line.ascent(), line.descent());
            wordProcessorHeights(m_format, line, box, &adjustment, &height);
            lineBottom = height;
        } else {
            lineHeights(m_format, line, &adjustment, &height, &lineBottom);
        }
        line.setPosition(QPointF(l, m_y - adjustment));
        m_bottom = m_y + lineBottom;
        m_y += height;
        m_metrics.width = qMax(m_metrics.width, line.x() + line.naturalTextWidth() + m_rightMargin);
        // A line is complete here: the next slice may go on from it.
        if (deadline.hasExpired())
            return false;
    }
    if (m_justifiedForced && m_layout->lineCount() > 0) {
        QTextLine last = m_layout->lineAt(m_layout->lineCount() - 1);
        last.setLineWidth(last.naturalTextWidth());
    }
    m_layout->endLayout();
    if (m_anywhere) {
        m_option.setWrapMode(m_wrap);
        m_layout->setTextOption(m_option);
    }
    m_metrics.height = qMax(m_y, m_bottom) + m_below;
    m_metrics.lines = m_layout->lineCount();
    m_metrics.minimumWidth = m_layout->minimumWidth() + m_leftMargin + m_rightMargin;
    m_metrics.maximumWidth = m_layout->maximumWidth() + m_leftMargin + m_rightMargin;
    if (isStructural(m_block))
        m_metrics.height = 0;
    m_done = true;
    return true;
}

Metrics layout(const QTextBlock &block, qreal width, bool breakAnywhere)
{
    Layouter layouter(block, width, breakAnywhere);
    layouter.run(QDeadlineTimer(QDeadlineTimer::Forever));
    return layouter.metrics();
}

Hit hitTest(const QTextBlock &block, const QPointF &point, Qt::HitTestAccuracy accuracy, int *position,
            int firstLine, int endLine)
{
    const QTextLayout *tl = block.layout();
    const int lines = tl->lineCount();
    const bool part = endLine >= 0 && (firstLine > 0 || endLine < lines) && firstLine < endLine;
    const int from = part ? firstLine : 0;
    const int to = part ? qMin(endLine, lines) : lines;
    QRectF rect;
    if (part) {
        for (int i = from; i < to; ++i)
            rect = rect.united(tl->lineAt(i).rect());
    } else {
        rect = tl->boundingRect();
    }
    *position = block.position();
    if (point.y() < rect.top() - (from == 0 ? block.blockFormat().topMargin() : 0)) {
        if (from > 0)
            *position += tl->lineAt(from).textStart();
        return Hit::Before;
    }
    if (point.y() > rect.bottom()) {
        if (to == lines) {
            *position += block.length();
            return Hit::After;
        }
        // On the column's last line, where its next one is in another column.
        const QTextLine line = tl->lineAt(to - 1);
        *position += line.xToCursor(point.x(), QTextLine::CursorBetweenCharacters);
        return Hit::After;
    }
    const QPointF pos = point;
    Hit hit = Hit::Inside;
    int offset = from > 0 ? tl->lineAt(from).textStart() : 0;
    // Lines closer than Qt's heights of them: each reaches down to the next (in the
    // same column).
    const bool closer = TextMetrics::wordProcessorRules();
    for (int i = from; i < to; ++i) {
        const QTextLine line = tl->lineAt(i);
        QRectF lr = line.naturalTextRect();
        if (closer && i + 1 < to)
            lr.setBottom(qMin(lr.bottom(), tl->lineAt(i + 1).y()));
        if (lr.top() > pos.y()) {
            offset = qMin(offset, line.textStart());
        } else if (lr.bottom() <= pos.y()) {
            offset = qMax(offset, line.textStart() + line.textLength());
        } else {
            if (lr.left() <= pos.x() && lr.right() >= pos.x())
                hit = Hit::Exact;
            offset = line.xToCursor(pos.x(), accuracy == Qt::ExactHit ? QTextLine::CursorOnCharacter
                                                                     : QTextLine::CursorBetweenCharacters);
            break;
        }
    }
    *position += offset;
    return hit;
}

} // namespace ParagraphLayout
