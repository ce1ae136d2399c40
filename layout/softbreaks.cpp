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
        if (const auto *table = qobject_cast<const QTextTable *>(child)) {
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

int split(QTextCursor &cursor, int first, int last)
{
    QTextDocument *doc = cursor.document();
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
            const int at = cutPoint(doc, start, start + PieceLength);
            cursor.setPosition(at);
            cursor.insertBlock(piece, cursor.charFormat());
            ++made;
            ++number;
            start = at + 1;
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
        cursor.removeSelectedText();
    const int firstBlock = cursor.blockNumber();
    const QTextBlockFormat paragraph = realFormat(cursor.blockFormat());
    // Line ends as QTextCursor::insertText knows them: CR LF, CR, LF, the paragraph
    // separator and the frame marks.
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ch = text.at(i).unicode();
        if (ch != u'\n' && ch != u'\r' && ch != QChar::ParagraphSeparator && ch != 0xFDD0 && ch != 0xFDD1)
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
