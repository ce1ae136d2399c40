#include "platform/richtextbox.h"

#include "platform/colors.h"
#include "platform/documentloader.h"

#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextTable>

#include <vector>

namespace {

// Cursor positions map one to one onto the characters of the document's raw text;
// the separators of paragraphs, lines and table frames read as line ends.
QString plainFromRaw(QString raw)
{
    for (QChar &c : raw) {
        switch (c.unicode()) {
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
        case 0xFDD0: // beginning of a frame
        case 0xFDD1: // end of a frame
            c = QLatin1Char('\n');
            break;
        default:
            break;
        }
    }
    return raw;
}

struct AttributeScan
{
    bool any = false;
    bool bold[2] = {};
    bool italic[2] = {};
    bool underline[2] = {};
    bool strike[2] = {};
    QString family;
    bool mixedFamily = false;
    double size = 0;
    bool mixedSize = false;

    void add(const QTextCharFormat &format, const QFont &defaultFont)
    {
        bold[format.fontWeight() >= QFont::DemiBold ? 1 : 0] = true;
        italic[format.fontItalic() ? 1 : 0] = true;
        underline[format.fontUnderline() ? 1 : 0] = true;
        strike[format.fontStrikeOut() ? 1 : 0] = true;
        QString f = format.hasProperty(QTextFormat::FontFamilies)
                        ? format.fontFamilies().toStringList().value(0)
                        : QString();
        if (f.isEmpty())
            f = defaultFont.family();
        double s = format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize() : 0;
        if (s <= 0)
            s = defaultFont.pointSizeF();
        if (!any) {
            family = f;
            size = s;
        } else {
            mixedFamily = mixedFamily || f != family;
            mixedSize = mixedSize || s != size;
        }
        any = true;
    }

    // Once every attribute reads mixed, no further format can change the answer.
    bool settled() const
    {
        return bold[0] && bold[1] && italic[0] && italic[1] && underline[0] && underline[1] && strike[0] &&
               strike[1] && mixedFamily && mixedSize;
    }

    static TriState tri(const bool seen[2])
    {
        if (seen[0] && seen[1])
            return TriState::Undetermined;
        return seen[1] ? TriState::True : TriState::False;
    }

    SelectionAttributes result() const
    {
        SelectionAttributes a;
        a.bold = tri(bold);
        a.italic = tri(italic);
        a.underline = tri(underline);
        a.strikethru = tri(strike);
        if (!mixedFamily)
            a.fontName = family;
        if (!mixedSize)
            a.fontSize = size;
        return a;
    }
};

} // namespace

RichTextBox::RichTextBox(QWidget *parent)
    : QTextEdit(parent)
{
    setAcceptRichText(false);
    connect(this, &QTextEdit::textChanged, this, &RichTextBox::change);
}

QString RichTextBox::text() const
{
    return plainFromRaw(document()->toRawText());
}

void RichTextBox::setText(const QString &text)
{
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    setTextCursor(cursor);
}

int RichTextBox::selStart() const
{
    return textCursor().selectionStart();
}

void RichTextBox::setSelStart(int start)
{
    QTextCursor cursor = textCursor();
    const int end = document()->characterCount() - 1;
    cursor.setPosition(qBound(0, start, end));
    setTextCursor(cursor);
}

int RichTextBox::selLength() const
{
    const QTextCursor cursor = textCursor();
    return cursor.selectionEnd() - cursor.selectionStart();
}

void RichTextBox::setSelLength(int length)
{
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const int end = document()->characterCount() - 1;
    cursor.setPosition(start);
    cursor.setPosition(qBound(start, start + qMax(0, length), end), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

QString RichTextBox::selText() const
{
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return QString();
    if (cursor.hasComplexSelection()) {
        // A selection across cells of a table takes whole cells, as it is highlighted
        // and as cutting it empties them: their texts, row by row.
        int firstRow = 0, rows = 0, firstColumn = 0, columns = 0;
        cursor.selectedTableCells(&firstRow, &rows, &firstColumn, &columns);
        const QTextTable *table = cursor.currentTable();
        const QString raw = document()->toRawText();
        QStringList cells;
        for (int r = firstRow; table && r < firstRow + rows; ++r) {
            for (int c = firstColumn; c < firstColumn + columns; ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() == r && cell.column() == c)
                    cells << plainFromRaw(raw.mid(cell.firstPosition(), cell.lastPosition() - cell.firstPosition()));
            }
        }
        return cells.join(QLatin1Char('\n'));
    }
    const int start = cursor.selectionStart();
    return plainFromRaw(document()->toRawText().mid(start, cursor.selectionEnd() - start));
}

void RichTextBox::setSelText(const QString &text)
{
    QTextCursor cursor = textCursor();
    if (text.isEmpty()) {
        if (cursor.hasSelection())
            cursor.removeSelectedText();
    } else {
        cursor.insertText(text);
    }
    setTextCursor(cursor);
}

SelectionAttributes RichTextBox::selectionAttributes() const
{
    const QTextCursor cursor = textCursor();
    const QFont defaultFont = document()->defaultFont();
    AttributeScan scan;
    if (!cursor.hasSelection()) {
        scan.add(currentCharFormat(), defaultFont);
        return scan.result();
    }
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    // Walk the fragments that the selection touches: every format in it counts,
    // not only the one at the cursor. A long document repeats a handful of formats
    // over and over, so each distinct format is looked at once; the indicators read
    // the whole document this way on every change of a large selection.
    std::vector<bool> seen;
    for (QTextBlock block = document()->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        // A fragment's position costs a walk of the document's tree; inside a block
        // that the selection covers whole, no fragment needs it.
        const int blockStart = block.position();
        const bool whole = blockStart >= start && blockStart + block.length() - 1 <= end;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            if (!whole) {
                const int fStart = fragment.position();
                if (fStart + fragment.length() <= start)
                    continue;
                if (fStart >= end)
                    break;
            }
            const size_t index = size_t(qMax(0, fragment.charFormatIndex()));
            if (index >= seen.size())
                seen.resize(index + 1);
            else if (seen[index])
                continue;
            seen[index] = true;
            scan.add(fragment.charFormat(), defaultFont);
            if (scan.settled())
                return scan.result();
        }
    }
    if (!scan.any)
        scan.add(currentCharFormat(), defaultFont);
    return scan.result();
}

void RichTextBox::mergeFormat(const QTextCharFormat &format)
{
    mergeCurrentCharFormat(format);
}

void RichTextBox::setSelBold(bool on)
{
    QTextCharFormat f;
    f.setFontWeight(on ? QFont::Bold : QFont::Normal);
    mergeFormat(f);
}

void RichTextBox::setSelItalic(bool on)
{
    QTextCharFormat f;
    f.setFontItalic(on);
    mergeFormat(f);
}

void RichTextBox::setSelUnderline(bool on)
{
    QTextCharFormat f;
    f.setFontUnderline(on);
    mergeFormat(f);
}

void RichTextBox::setSelStrikethru(bool on)
{
    QTextCharFormat f;
    f.setFontStrikeOut(on);
    mergeFormat(f);
}

void RichTextBox::setSelColor(quint32 colorInt)
{
    QTextCharFormat f;
    f.setForeground(ColorInt::toQColor(colorInt & 0x00FFFFFF));
    mergeFormat(f);
}

void RichTextBox::setSelFontName(const QString &name)
{
    QTextCharFormat f;
    f.setFontFamilies({name});
    mergeFormat(f);
}

Failure RichTextBox::loadFile(const QString &path)
{
    std::unique_ptr<QTextDocument> loaded;
    if (Failure f = DocumentLoader::load(path, &loaded))
        return f;
    loaded->setDefaultFont(document()->defaultFont());
    loaded->setParent(this);
    const QPointer<QTextDocument> old = document();
    {
        // The swap is one change, reported once below.
        const QSignalBlocker blocker(this);
        setDocument(loaded.release());
    }
    if (old && old->parent() == this)
        old->deleteLater();
    moveCursor(QTextCursor::Start);
    emit change();
    return {};
}
