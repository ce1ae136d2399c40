#include "platform/richtextbox.h"

#include "base/textmarks.h"
#include "layout/backgroundlayout.h"
#include "platform/colors.h"
#include "layout/documentlayout.h"
#include "platform/documentloader.h"
#include "platform/filedrop.h"
#include "layout/paragraphlayout.h"
#include "layout/softbreaks.h"
#include "layout/textmetrics.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextLayout>
#include <QTextTable>

#include <cmath>
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
        case TextMarks::FrameStart:
        case TextMarks::FrameEnd:
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

// Whether a key takes the selection away: typed text, Enter, Tab, Backspace, Delete
// and their word forms, cut and paste.
bool replacesSelection(const QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Paste) ||
        event->matches(QKeySequence::DeleteEndOfWord) || event->matches(QKeySequence::DeleteStartOfWord))
        return true;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return !(event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier));
    default:
        break;
    }
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
}

// Whether a word deletion from the cursor would reach out of the table cell it
// stands in.
bool endsOutsideItsCell(const QTextCursor &cursor, bool forward, bool inPieces)
{
    QTextTable *table = cursor.currentTable();
    if (!table)
        return false;
    const QTextTableCell cell = table->cellAt(cursor.position());
    if (!cell.isValid())
        return false;
    int edge = 0;
    if (inPieces) {
        edge = SoftBreaks::wordEdge(cursor, forward);
    } else {
        QTextCursor c(cursor.document());
        c.setPosition(cursor.position());
        c.movePosition(forward ? QTextCursor::NextWord : QTextCursor::PreviousWord);
        edge = c.position();
    }
    return edge < cell.firstPosition() || edge > cell.lastPosition();
}

} // namespace

RichTextBox::RichTextBox(QWidget *parent)
    : QTextEdit(parent)
    , m_background(new BackgroundLayout(this, viewport()))
{
    setAcceptRichText(false);
    // A document is shown on the light page it was written on, whatever the
    // desktop's scheme: its own colours were chosen against black text on white.
    QPalette page = palette();
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, Qt::black);
    page.setColor(QPalette::Link, Qt::blue);
    page.setColor(QPalette::LinkVisited, Qt::magenta);
    setPalette(page);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        m_drift = 0;
        noteEnd();
        if (DocumentLayout *layout = documentLayout())
            layout->setViewTop(value);
    });
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, &RichTextBox::keepEnd);
    connect(this, &QTextEdit::textChanged, this, &RichTextBox::change);
    connect(this, &QTextEdit::cursorPositionChanged, this, &RichTextBox::stepOverStructural);
    // The text control asks the editor to show and paint the parts it means by Qt's
    // line rectangles; the editor's lines stand in boxes of their own.
    for (QObject *child : children()) {
        if (!child->inherits("QWidgetTextControl"))
            continue;
        const bool shows = answerTextControl(child, "visibilityRequest(QRectF)", "_q_ensureVisible(QRectF)", "showPart(QRectF)");
        const bool paints = answerTextControl(child, "updateRequest(QRectF)", "_q_repaintContents(QRectF)", "paintPart(QRectF)");
        m_answersControl = shows && paints;
    }
    if (!m_answersControl)
        qWarning("RichTextBox: Qt's text control could not be rewired; the caret follows Qt's line rectangles");
    adoptDocument(document());
}

RichTextBox::~RichTextBox() = default;

void RichTextBox::adoptDocument(QTextDocument *doc)
{
    auto *layout = qobject_cast<DocumentLayout *>(doc->documentLayout());
    if (!layout) {
        layout = new DocumentLayout(doc);
        doc->setDocumentLayout(layout);
    }
    layout->setLookaround(viewport()->height());
    layout->setViewTop(verticalScrollBar()->value());
    connect(layout, &DocumentLayout::viewShifted, this, &RichTextBox::followShift, Qt::UniqueConnection);
    m_background->watch(layout);
    m_softBreaks.reset();
    connect(doc, &QTextDocument::contentsChange, this, &RichTextBox::forgetSoftBreaks, Qt::UniqueConnection);
    // An edit moves the end as the user sees it: the view stays where the editor puts it.
    // Formats the layout gives a paragraph's lines are reported as a change of it, but
    // they change neither its text nor where the end is.
    disconnect(m_endWatch);
    m_endWatch = connect(doc, &QTextDocument::contentsChange, this, [this, doc](int from, int removed, int added) {
        if (!TextMetrics::isOwnReport(doc, from, removed, added))
            forgetEnd();
    });
}

DocumentLayout *RichTextBox::documentLayout() const
{
    return qobject_cast<DocumentLayout *>(document()->documentLayout());
}

bool RichTextBox::isLaidOut() const
{
    const DocumentLayout *layout = documentLayout();
    return layout && layout->isComplete();
}

void RichTextBox::stepOverStructural()
{
    // A structural block is no paragraph: the caret passes over it, and over any that
    // stand right beside it, in one step, in the direction it came from, the other way
    // when there is nowhere to go (the blocks after a section's columns end the
    // document).
    QTextCursor cursor = textCursor();
    QTextBlock block = cursor.block();
    if (!ParagraphLayout::isStructural(block)) {
        m_caret = cursor.position();
        return;
    }
    const bool back = m_caret > block.position() && block.position() > 0;
    QTextBlock target = block;
    while (target.isValid() && ParagraphLayout::isStructural(target))
        target = back ? target.previous() : target.next();
    if (!target.isValid()) {
        for (target = block; target.isValid() && ParagraphLayout::isStructural(target);)
            target = back ? target.next() : target.previous();
    }
    if (!target.isValid())
        return; // nothing but structural blocks: the caret stays
    const int to = target.position() < block.position() ? target.position() + target.length() - 1 : target.position();
    m_caret = to;
    cursor.setPosition(to, cursor.hasSelection() ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    setTextCursor(cursor); // comes back here once, outside the blocks
}

void RichTextBox::forgetSoftBreaks()
{
    m_softBreaks.reset();
}

const SoftBreaks::Map &RichTextBox::softBreaks() const
{
    if (!m_softBreaks)
        m_softBreaks = std::make_unique<SoftBreaks::Map>(document());
    return *m_softBreaks;
}

QString RichTextBox::text() const
{
    return plainFromRaw(softBreaks().strip(document()->toRawText(), 0));
}

void RichTextBox::setText(const QString &text)
{
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    SoftBreaks::insertPlainText(cursor, text);
    setTextCursor(cursor);
}

int RichTextBox::selStart() const
{
    return softBreaks().toText(textCursor().selectionStart());
}

void RichTextBox::setSelStart(int start)
{
    const SoftBreaks::Map &breaks = softBreaks();
    const int end = document()->characterCount() - 1;
    QTextCursor cursor = textCursor();
    cursor.setPosition(qMin(end, breaks.toDocument(qBound(0, start, breaks.toText(end)))));
    setTextCursor(cursor);
}

int RichTextBox::selLength() const
{
    const QTextCursor cursor = textCursor();
    const SoftBreaks::Map &breaks = softBreaks();
    return breaks.toText(cursor.selectionEnd()) - breaks.toText(cursor.selectionStart());
}

void RichTextBox::setSelLength(int length)
{
    const SoftBreaks::Map &breaks = softBreaks();
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const int textStart = breaks.toText(start);
    const int textEnd = qBound(textStart, textStart + qMax(0, length), breaks.toText(document()->characterCount() - 1));
    cursor.setPosition(start);
    // Up to just after the last character selected, not beyond a soft break after it.
    if (textEnd > textStart)
        cursor.setPosition(breaks.toDocument(textEnd - 1) + 1, QTextCursor::KeepAnchor);
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
                if (cell.row() == r && cell.column() == c) {
                    const int from = cell.firstPosition();
                    cells << plainFromRaw(softBreaks().strip(raw.mid(from, cell.lastPosition() - from), from));
                }
            }
        }
        return cells.join(QLatin1Char('\n'));
    }
    const int start = cursor.selectionStart();
    return plainFromRaw(softBreaks().strip(document()->toRawText().mid(start, cursor.selectionEnd() - start), start));
}

void RichTextBox::setSelText(const QString &text)
{
    QTextCursor cursor = textCursor();
    if (text.isEmpty()) {
        if (cursor.hasSelection())
            SoftBreaks::removeSelectedText(cursor);
    } else {
        SoftBreaks::insertPlainText(cursor, text);
    }
    setTextCursor(cursor);
}

void RichTextBox::keyPressEvent(QKeyEvent *event)
{
    // Around a soft break the keys act on the text, which has no character there.
    if (wordKey(event) || replaceSelectionInPieces(event) || pieceKey(event))
        return;
    const bool vertical = (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) &&
                          !(event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier));
    if (!vertical) {
        QTextEdit::keyPressEvent(event);
        return;
    }
    verticalKey(event);
}

bool RichTextBox::wordKey(QKeyEvent *event)
{
    QTextCursor cursor = textCursor();
    const bool wordForward = event->matches(QKeySequence::DeleteEndOfWord);
    const bool wordDelete = wordForward || event->matches(QKeySequence::DeleteStartOfWord);
    if (!cursor.hasSelection() && !isReadOnly() && wordDelete &&
        endsOutsideItsCell(cursor, wordForward, !softBreaks().isEmpty())) {
        // Qt would select into the next cell and empty both: at a cell's edge a word
        // deletion does what Delete and Backspace do there, nothing.
        event->accept();
        return true;
    }
    if (!cursor.hasSelection() && !isReadOnly() && wordDelete && !softBreaks().isEmpty()) {
        // A word cut in two pieces is still one word, and a soft break none.
        cursor.setPosition(SoftBreaks::wordEdge(cursor, wordForward), QTextCursor::KeepAnchor);
        SoftBreaks::removeSelectedText(cursor);
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return true;
    }
    const bool selects = event->matches(QKeySequence::SelectNextWord) || event->matches(QKeySequence::SelectPreviousWord);
    const bool right = event->matches(QKeySequence::MoveToNextWord) || event->matches(QKeySequence::SelectNextWord);
    if ((selects || right || event->matches(QKeySequence::MoveToPreviousWord)) && !softBreaks().isEmpty()) {
        // A word cut in two pieces is crossed in one move, as in the text without
        // them. Right is forward in a left-to-right paragraph.
        const bool forward = right != (cursor.block().textDirection() == Qt::RightToLeft);
        cursor.setPosition(SoftBreaks::wordEdge(cursor, forward), selects ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return true;
    }
    return false;
}

bool RichTextBox::replaceSelectionInPieces(QKeyEvent *event)
{
    QTextCursor cursor = textCursor();
    if (!isReadOnly() && cursor.hasSelection() && !cursor.hasComplexSelection() && !softBreaks().isEmpty() &&
        replacesSelection(event)) {
        // The selection is taken away the way that keeps paragraphs and pieces apart,
        // as an undo step of its own (the layout must hear of it before the caret
        // is shown), then the key does the rest with no selection.
        const bool removes = event->matches(QKeySequence::Cut) || event->key() == Qt::Key_Backspace ||
                             event->key() == Qt::Key_Delete;
        if (event->matches(QKeySequence::Cut))
            copy();
        SoftBreaks::removeSelectedText(cursor);
        setTextCursor(cursor);
        if (!removes)
            keyPressEvent(event);
        ensureCursorVisible();
        event->accept();
        return true;
    }
    return false;
}

bool RichTextBox::pieceKey(QKeyEvent *event)
{
    QTextCursor cursor = textCursor();
    const bool plain = !(event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier));
    if (!cursor.hasSelection() && plain && !isReadOnly()) {
        const QTextBlock block = cursor.block();
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!(event->modifiers() & Qt::ShiftModifier) && SoftBreaks::isContinuation(block)) {
                // A real paragraph begun inside a piece is not a piece.
                cursor.insertBlock(SoftBreaks::realFormat(cursor.blockFormat()), cursor.charFormat());
                setTextCursor(cursor);
                ensureCursorVisible();
                event->accept();
                return true;
            }
            break;
        case Qt::Key_Backspace:
            if (cursor.atBlockStart() && SoftBreaks::isContinuation(block) && block.position() > 1) {
                cursor.setPosition(block.position() - 1);
                cursor.deletePreviousChar();
                setTextCursor(cursor);
                event->accept();
                return true;
            }
            break;
        case Qt::Key_Delete:
            if (cursor.atBlockEnd() && SoftBreaks::isContinuation(block.next())) {
                cursor.setPosition(block.next().position());
                cursor.deleteChar();
                setTextCursor(cursor);
                event->accept();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return false;
}

void RichTextBox::verticalKey(QKeyEvent *event)
{
    // Up and Down keep the caret's x in the paragraph's layout, whose lines may stand
    // in several columns: where the line left and the line reached lie in their
    // layouts' columns differently, the caret keeps its place across its column.
    DocumentLayout *layout = documentLayout();
    const auto columnOf = [&](int position, QRectF *box) {
        *box = lineBoxAt(position);
        if (!layout || !box->isValid())
            return std::pair<QRectF, qreal>();
        const QRectF column = layout->columnRect(box->center());
        const QTextBlock block = document()->findBlock(position);
        return std::pair<QRectF, qreal>(column, column.left() - block.layout()->position().x());
    };
    QRectF before;
    const auto [from, fromOffset] = columnOf(textCursor().position(), &before);
    QTextEdit::keyPressEvent(event);
    if (from.isNull())
        return;
    QTextCursor moved = textCursor();
    QRectF after;
    const auto [to, toOffset] = columnOf(moved.position(), &after);
    if (to.isNull() || qAbs(toOffset - fromOffset) < 1)
        return;
    const int at = layout->hitTest(QPointF(to.left() + before.left() - from.left(), after.center().y()), Qt::FuzzyHit);
    if (at < 0 || at == moved.position())
        return;
    moved.setPosition(at, (event->modifiers() & Qt::ShiftModifier) ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    setTextCursor(moved);
}

void RichTextBox::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    if (DocumentLayout *layout = documentLayout())
        layout->setLookaround(viewport()->height());
}

// A drag of files is taken for their content, copied; the text of their addresses
// that file managers add is not. Only drags: a paste stays the clipboard's text.
void RichTextBox::dragEnterEvent(QDragEnterEvent *event)
{
    const QScopedValueRollback<bool> dragging(m_dragging, true);
    QTextEdit::dragEnterEvent(event);
    if (event->isAccepted() && !FileDrop::localFiles(event->mimeData()).isEmpty())
        event->setDropAction(Qt::CopyAction); // never a move: the file stays where it is
}

void RichTextBox::dragMoveEvent(QDragMoveEvent *event)
{
    const QScopedValueRollback<bool> dragging(m_dragging, true);
    QTextEdit::dragMoveEvent(event);
    if (event->isAccepted() && !FileDrop::localFiles(event->mimeData()).isEmpty())
        event->setDropAction(Qt::CopyAction);
}

void RichTextBox::dropEvent(QDropEvent *event)
{
    const QScopedValueRollback<bool> dragging(m_dragging, true);
    const bool files = !FileDrop::localFiles(event->mimeData()).isEmpty();
    if (files)
        event->setDropAction(Qt::CopyAction);
    QTextEdit::dropEvent(event);
    if (files && event->isAccepted())
        event->setDropAction(Qt::CopyAction);
}

bool RichTextBox::canInsertFromMimeData(const QMimeData *source) const
{
    if (m_dragging) {
        const QStringList files = FileDrop::localFiles(source);
        if (!files.isEmpty())
            return !isReadOnly() && FileDrop::accepts(files);
    }
    return QTextEdit::canInsertFromMimeData(source);
}

void RichTextBox::insertFromMimeData(const QMimeData *source)
{
    if (m_dragging && !isReadOnly()) {
        // Dropped at the drop point, where the control put the cursor, in the
        // control's one edit for the drop.
        const QStringList files = FileDrop::localFiles(source);
        if (!files.isEmpty()) {
            if (!FileDrop::accepts(files))
                return;
            QTextCursor cursor = textCursor();
            if (!FileDrop::insert(cursor, files.first()))
                setTextCursor(cursor);
            return;
        }
    }
    if (!source || !source->hasText() || isReadOnly())
        return;
    QTextCursor cursor = textCursor();
    // Only what could make or touch a piece takes the way that knows them.
    if (!SoftBreaks::isContinuation(cursor.block()) && !SoftBreaks::needsCareToRemove(cursor) &&
        source->text().size() <= SoftBreaks::MaxParagraph &&
        cursor.block().length() + source->text().size() <= SoftBreaks::MaxParagraph) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    SoftBreaks::insertPlainText(cursor, source->text());
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData *RichTextBox::createMimeDataFromSelection() const
{
    // What is copied is the text, without the soft breaks the display put in nor the
    // blocks the tables need.
    if (softBreaks().isEmpty())
        return QTextEdit::createMimeDataFromSelection();
    auto *data = new QMimeData;
    data->setText(selText());
    return data;
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
    {
        // Paragraphs too long for the text engine are shown in pieces; the load
        // itself is no undoable edit.
        loaded->setUndoRedoEnabled(false);
        QTextCursor cursor(loaded.get());
        cursor.beginEditBlock();
        SoftBreaks::split(cursor, 0, loaded->blockCount() - 1);
        cursor.endEditBlock();
        loaded->setUndoRedoEnabled(true);
    }
    loaded->setDocumentLayout(new DocumentLayout(loaded.get()));
    loaded->setParent(this);
    const QPointer<QTextDocument> old = document();
    {
        // The swap is one change, reported once below.
        const QSignalBlocker blocker(this);
        setDocument(loaded.release());
    }
    adoptDocument(document());
    if (old && old->parent() == this)
        old->deleteLater();
    moveCursor(QTextCursor::Start);
    m_caret = 0;
    stepOverStructural(); // the caret did not move, so nothing else told it
    emit change();
    return {};
}
