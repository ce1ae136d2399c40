#include "layout/softbreaks.h"

#include "layout/paragraphlayout.h"

#include "base/textmarks.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <algorithm>

namespace SoftBreaks {

namespace {

// How far back from a piece's intended end a blank is looked for, to end it there.
constexpr int BlankWindow = 1024;

// A piece continues the paragraph: no space above it, no first-line indent, no second
// list marker, no page break of its own.
QTextBlockFormat continuationFormat(const QTextBlock &block)
{
    QTextBlockFormat f = block.blockFormat();
    f.setProperty(Mark, true);
    f.setTopMargin(0);
    f.setTextIndent(0);
    f.clearProperty(QTextFormat::PageBreakPolicy);
    f.clearProperty(QTextFormat::BlockTrailingHorizontalRulerWidth);
    if (QTextList *list = block.textList()) {
        f.clearProperty(QTextFormat::ObjectIndex);
        f.setIndent(f.indent() + list->format().indent());
    }
    return f;
}

// Where the piece that should end near target ends: after the last blank before it,
// or at target itself, never inside a surrogate pair or before a combining mark.
int cutPoint(QTextDocument *doc, int lowest, int target)
{
    // The window holds the characters from..target and the one after target.
    const int from = qMax(lowest + 1, target - BlankWindow);
    QTextCursor c(doc);
    c.setPosition(from);
    c.setPosition(target + 1, QTextCursor::KeepAnchor);
    const QString window = c.selectedText();
    for (qsizetype i = target - from - 1; i >= 0; --i) {
        if (window.at(i).isSpace())
            return from + int(i) + 1;
    }
    int at = target;
    while (at > from && (window.at(at - from - 1).isHighSurrogate() || window.at(at - from).isMark()))
        --at;
    return at;
}

// The separators of the structural blocks of the tables inside frame: in front of
// them, and in their padding cells.
void addStructural(const QTextFrame *frame, std::vector<int> &out)
{
    const QTextDocument *doc = frame->document();
    for (const QTextFrame *child : frame->childFrames()) {
        if (ParagraphLayout::isColumns(child)) {
            const QTextBlock before = doc->findBlock(child->firstPosition() - 1);
            if (ParagraphLayout::isStructural(before))
                out.push_back(before.position());
            // The block after them, where nothing follows: its separator is the
            // document's end, which no text holds, so the frame's end goes instead.
            const QTextBlock after = doc->findBlock(child->lastPosition() + 1);
            if (after.position() == child->lastPosition() + 1 && doc->characterAt(after.position()) != QChar(TextMarks::FrameStart)
                && ParagraphLayout::isStructural(after))
                out.push_back(after.next().isValid() ? after.position() : after.position() - 1);
        } else if (const auto *table = qobject_cast<const QTextTable *>(child)) {
            const QTextBlock before = doc->findBlock(child->firstPosition() - 1);
            if (ParagraphLayout::isStructural(before))
                out.push_back(before.position());
            if (table->format().boolProperty(TextMarks::Padded)) {
                for (int r = 0; r < table->rows(); ++r) {
                    for (int c = 0; c < table->columns(); ++c) {
                        const QTextTableCell cell = table->cellAt(r, c);
                        if (cell.row() == r && cell.column() == c && ParagraphLayout::isStructural(doc->findBlock(cell.firstPosition())))
                            out.push_back(cell.firstPosition());
                    }
                }
            }
        }
        addStructural(child, out);
    }
}

// Whether a word movement goes on over the joint between two pieces: Qt's rules
// depend only on the characters at the joint, so they are asked of the two alone.
bool wordGoesOn(const QString &before, const QString &after, bool forward)
{
    QTextDocument probe;
    probe.setPlainText(before + after);
    QTextCursor c(&probe);
    c.setPosition(forward ? 0 : int(before.size() + after.size()));
    c.movePosition(forward ? QTextCursor::NextWord : QTextCursor::PreviousWord);
    return forward ? c.position() > before.size() : c.position() < before.size();
}

// The last character of a block's text and the first of the next one's, whole
// (a surrogate pair is one).
QString lastCharacter(const QTextBlock &block)
{
    const QString text = block.text();
    if (text.isEmpty())
        return QString();
    const qsizetype n = text.size() >= 2 && text.back().isLowSurrogate() ? 2 : 1;
    return text.right(n);
}

QString firstCharacter(const QTextBlock &block)
{
    const QString text = block.text();
    return text.left(!text.isEmpty() && text.front().isHighSurrogate() ? 2 : 1);
}

} // namespace

bool isContinuation(const QTextBlock &block)
{
    return block.blockFormat().hasProperty(Mark);
}

QTextBlockFormat realFormat(const QTextBlockFormat &format)
{
    QTextBlockFormat f = format;
    f.clearProperty(Mark);
    return f;
}

int split(const QTextCursor &cursor, int first, int last)
{
    QTextDocument *doc = cursor.document();
    // The soft breaks are made with a cursor of their own: the caller's stays where
    // it stood in the text, moved only by the breaks made before it.
    QTextCursor at = cursor;
    int made = 0;
    QTextBlock block = doc->findBlockByNumber(first);
    for (int number = first; block.isValid() && number <= last + made; ++number) {
        if (block.length() - 1 <= MaxParagraph) {
            block = block.next();
            continue;
        }
        const QTextBlockFormat piece = continuationFormat(block);
        int start = block.position();
        int end = start + block.length() - 1;
        while (end - start > PieceLength + PieceLength / 2) {
            const int cut = cutPoint(doc, start, start + PieceLength);
            at.setPosition(cut);
            at.insertBlock(piece, at.charFormat());
            ++made;
            ++number;
            start = cut + 1;
            ++end;
        }
        block = doc->findBlock(end).next();
    }
    return made;
}

void insertPlainText(QTextCursor &cursor, const QString &text)
{
    cursor.beginEditBlock();
    if (cursor.hasSelection())
        removeSelectedText(cursor);
    const int firstBlock = cursor.blockNumber();
    const QTextBlockFormat paragraph = realFormat(cursor.blockFormat());
    // Line ends as QTextCursor::insertText knows them: CR LF, CR, LF, the paragraph
    // separator and the frame marks.
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ch = text.at(i).unicode();
        if (ch != u'\n' && ch != u'\r' && ch != QChar::ParagraphSeparator && ch != TextMarks::FrameStart && ch != TextMarks::FrameEnd)
            continue;
        if (i > start)
            cursor.insertText(text.mid(start, i - start));
        cursor.insertBlock(paragraph, cursor.charFormat());
        if (ch == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (n > start)
        cursor.insertText(start == 0 ? text : text.mid(start));
    split(cursor, firstBlock, cursor.blockNumber());
    cursor.endEditBlock();
}

bool needsCareToRemove(const QTextCursor &cursor)
{
    if (!cursor.hasSelection() || cursor.hasComplexSelection())
        return false;
    const QTextDocument *doc = cursor.document();
    const QTextBlock first = doc->findBlock(cursor.selectionStart());
    return first.position() == cursor.selectionStart() &&
           (isContinuation(first) || isContinuation(doc->findBlock(cursor.selectionEnd())));
}

void removeSelectedText(QTextCursor &cursor)
{
    if (!needsCareToRemove(cursor)) {
        cursor.removeSelectedText();
        return;
    }
    QTextDocument *doc = cursor.document();
    int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    QTextBlock first = doc->findBlock(start);
    cursor.beginEditBlock();
    if (isContinuation(first)) {
        // Taken from before the soft break, the same place in the text: the piece
        // before is left, with the rest of the last block joined to it.
        start = first.position() - 1;
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    } else {
        QTextBlock head = doc->findBlock(end);
        while (isContinuation(head) && head.position() > start)
            head = head.previous();
        const QTextBlockFormat format = head.blockFormat();
        const QTextCharFormat charFormat = head.charFormat();
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cursor.setBlockFormat(format);
        cursor.setBlockCharFormat(charFormat);
    }
    cursor.endEditBlock();
}

int wordEdge(const QTextCursor &cursor, bool forward)
{
    QTextCursor c(cursor.document());
    c.setPosition(cursor.position());
    // A caret on either side of a soft break stands at the same place in the text:
    // the movement starts from the side it goes into.
    if (forward && c.atBlockEnd() && isContinuation(c.block().next()))
        c.setPosition(c.block().next().position());
    else if (!forward && c.atBlockStart() && isContinuation(c.block()))
        c.setPosition(c.block().position() - 1);
    for (;;) {
        const int from = c.position();
        c.movePosition(forward ? QTextCursor::NextWord : QTextCursor::PreviousWord);
        const QTextBlock block = c.block();
        if (forward) {
            const QTextBlock next = block.next();
            if (c.position() == from || !c.atBlockEnd() || !isContinuation(next) ||
                !wordGoesOn(lastCharacter(block), firstCharacter(next), true))
                return c.position();
            c.setPosition(next.position());
        } else {
            if (c.position() == from || !c.atBlockStart() || !isContinuation(block) ||
                !wordGoesOn(lastCharacter(block.previous()), firstCharacter(block), false))
                return c.position();
            c.setPosition(block.position() - 1);
        }
    }
}

Map::Map(const QTextDocument *document)
{
    // Tables are few beside paragraphs: their frames are walked, not the blocks.
    addStructural(document->rootFrame(), m_breaks);
    // Only formats carrying the mark make soft breaks; most documents have none.
    const QList<QTextFormat> formats = document->allFormats();
    std::vector<bool> marked(size_t(formats.size()), false);
    bool any = false;
    for (qsizetype i = 0; i < formats.size(); ++i) {
        if (formats.at(i).hasProperty(Mark))
            marked[size_t(i)] = any = true;
    }
    if (any) {
        for (QTextBlock b = document->begin(); b.isValid(); b = b.next()) {
            const int index = b.blockFormatIndex();
            if (index >= 0 && size_t(index) < marked.size() && marked[size_t(index)])
                m_breaks.push_back(b.position() - 1);
        }
    }
    std::sort(m_breaks.begin(), m_breaks.end());
    // The block in front of a table nested at the start of a padding table's cell is
    // found twice: as that cell's and as the nested table's.
    m_breaks.erase(std::unique(m_breaks.begin(), m_breaks.end()), m_breaks.end());
}

int Map::toText(int documentPosition) const
{
    const auto before = std::lower_bound(m_breaks.begin(), m_breaks.end(), documentPosition);
    return documentPosition - int(before - m_breaks.begin());
}

int Map::toDocument(int textPosition) const
{
    // The soft break i comes before text position t when it sits at or before t in
    // the text: at m_breaks[i] - i.
    int low = 0;
    int high = int(m_breaks.size());
    while (low < high) {
        const int mid = (low + high) / 2;
        if (m_breaks[size_t(mid)] - mid <= textPosition)
            low = mid + 1;
        else
            high = mid;
    }
    return textPosition + low;
}

QString Map::strip(QString raw, int from) const
{
    auto it = std::lower_bound(m_breaks.begin(), m_breaks.end(), from);
    const int end = from + int(raw.size());
    if (it == m_breaks.end() || *it >= end)
        return raw;
    QString out;
    out.reserve(raw.size());
    int copied = from;
    for (; it != m_breaks.end() && *it < end; ++it) {
        out.append(QStringView(raw).mid(copied - from, *it - copied));
        copied = *it + 1;
    }
    out.append(QStringView(raw).mid(copied - from));
    return out;
}

} // namespace SoftBreaks
