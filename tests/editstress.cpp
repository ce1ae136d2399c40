#include "editstress.h"

#include "base/layoutproperties.h"

#include "base/textmarks.h"
#include "layoutcheck.h"
#include "layout/documentlayout.h"
#include "layout/softbreaks.h"
#include "platform/colors.h"
#include "platform/documentloader.h"
#include "platform/richtextbox.h"
#include "scriptedservices.h"
#include "shell/form1.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <array>
#include <cstdio>

namespace EditStress {

namespace {

// Cursor positions map one to one onto the characters of the raw text; the
// separators of paragraphs, lines and frames read as line ends, as the editor's text.
QString plainFromRaw(QString raw)
{
    for (QChar &c : raw) {
        const char16_t u = c.unicode();
        if (u == QChar::ParagraphSeparator || u == QChar::LineSeparator || u == TextMarks::FrameStart || u == TextMarks::FrameEnd)
            c = QLatin1Char('\n');
    }
    return raw;
}

const QStringList Words{QStringLiteral("le"),       QStringLiteral("mot"),   QStringLiteral("texte"),
                        QStringLiteral("paragraphe"), QStringLiteral("d\u00e9j\u00e0"), QStringLiteral("cellule"),
                        QStringLiteral("anticonstitutionnellement"), QStringLiteral("a"), QStringLiteral("42")};
const QStringList Pieces{QStringLiteral("\u00e9"),     QStringLiteral("\u00df"),     QStringLiteral("\u6587\u5b57"),
                         QStringLiteral("\U0001F600"), QStringLiteral("e\u0301"),    QStringLiteral("\u05e9\u05dc\u05d5\u05dd"),
                         QStringLiteral("\u0e2a\u0e27\u0e31\u0e2a"), QStringLiteral("\t"), QStringLiteral("\u00a0")};

QString words(QRandomGenerator &g, int characters)
{
    QString s;
    while (s.size() < characters) {
        s += Words.at(int(g.bounded(Words.size())));
        s += QLatin1Char(' ');
    }
    return s.left(characters);
}

// What a paste step pastes: b chooses the kind, a seeds the text.
QString pasteText(quint32 a, quint32 b)
{
    QRandomGenerator g(a);
    switch (b % 16) {
    case 6:
    case 7:
    case 8: {
        QString s;
        const int lines = 2 + int(g.bounded(5));
        for (int i = 0; i < lines; ++i)
            s += words(g, 1 + int(g.bounded(40))) + (i + 1 < lines ? QStringLiteral("\n") : QString());
        return s;
    }
    case 9: // one line of words past the longest paragraph shown whole
        return words(g, SoftBreaks::MaxParagraph + 1 + int(g.bounded(64 * 1024)));
    case 10: // one run without a blank
        return QStringLiteral("0123456789abcdefghij").repeated(3300 + int(g.bounded(1700)));
    case 11: { // many short lines
        QString s;
        const int length = 20000 + int(g.bounded(60000));
        while (s.size() < length)
            s += words(g, 4 + int(g.bounded(16))) + QLatin1Char('\n');
        return s;
    }
    case 12:
    case 13: {
        QString s;
        const int n = 1 + int(g.bounded(6));
        for (int i = 0; i < n; ++i)
            s += Pieces.at(int(g.bounded(Pieces.size()))) + words(g, int(g.bounded(6)));
        return s;
    }
    case 14:
        return QString();
    default:
        return words(g, 1 + int(g.bounded(30)));
    }
}

const std::array<int, 7> Widths{180, 260, 330, 420, 560, 700, 900};
const std::array<qreal, 6> Sizes{6, 9, 12, 17, 28, 48};
const QStringList Families{QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Serif"),
                           QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Serif")};

struct MoveKey
{
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};
const std::array<MoveKey, 12> MoveKeys{{
    {Qt::Key_Left, {}}, {Qt::Key_Right, {}}, {Qt::Key_Up, {}}, {Qt::Key_Down, {}},
    {Qt::Key_Home, {}}, {Qt::Key_End, {}}, {Qt::Key_PageUp, {}}, {Qt::Key_PageDown, {}},
    {Qt::Key_Home, Qt::ControlModifier}, {Qt::Key_End, Qt::ControlModifier},
    {Qt::Key_Left, Qt::ControlModifier}, {Qt::Key_Right, Qt::ControlModifier},
}};

} // namespace

struct Runner::State
{
    Form1 *form = nullptr;
    ScriptedServices services;
    std::unique_ptr<QTextDocument> ref;
    QTextCursor cursor; // the reference's caret and selection
    // The last edit was a paste the editor cut in pieces: its undo step ends with a
    // soft break, so what is typed next is a step of its own, where Qt would merge it
    // into the paste's.
    bool pastedInPieces = false;

    RichTextBox *editor() const { return form->RichTextBox1; }
    QTextDocument *doc() const { return editor()->document(); }
    DocumentLayout *layout() const { return editor()->documentLayout(); }

    // A control drawn by the window is clicked on the window; a windowed one (the
    // swatches) on its own widget, which is what a click there reaches.
    void click(const char *name)
    {
        Control &c = form->control(name);
        if (c.widget())
            QTest::mouseClick(c.widget(), Qt::LeftButton);
        else
            QTest::mouseClick(form, Qt::LeftButton, {}, c.boxPixels().center());
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(editor(), k, modifiers); }
    void key(QKeySequence::StandardKey standard)
    {
        const QKeyCombination c = QKeySequence::keyBindings(standard).value(0)[0];
        QTest::keyClick(editor(), c.key(), c.keyboardModifiers());
    }

    // Text positions of the editor's document positions, and back.
    std::pair<int, int> editorSelection() const
    {
        const SoftBreaks::Map map(doc());
        const QTextCursor c = editor()->textCursor();
        return {map.toText(c.anchor()), map.toText(c.position())};
    }
    // The reference holds the blocks a table needs in front of it as the editor does,
    // and they are no part of its text either.
    int refText(int documentPosition) const { return SoftBreaks::Map(ref.get()).toText(documentPosition); }
    int refDocument(int textPosition) const
    {
        return qBound(0, SoftBreaks::Map(ref.get()).toDocument(textPosition), ref->characterCount() - 1);
    }
    void followEditor()
    {
        const auto [anchor, position] = editorSelection();
        cursor.setPosition(refDocument(anchor));
        cursor.setPosition(refDocument(position), QTextCursor::KeepAnchor);
    }
    void select(int anchor, int position)
    {
        const int start = qMin(anchor, position);
        const int end = qMax(anchor, position);
        editor()->setSelStart(start);
        editor()->setSelLength(end - start);
        cursor.setPosition(refDocument(start));
        cursor.setPosition(refDocument(end), QTextCursor::KeepAnchor);
    }

    std::vector<QTextTable *> tables() const
    {
        std::vector<QTextTable *> found;
        std::vector<QTextFrame *> frames{ref->rootFrame()};
        while (!frames.empty()) {
            QTextFrame *f = frames.back();
            frames.pop_back();
            for (QTextFrame *child : f->childFrames()) {
                if (auto *t = qobject_cast<QTextTable *>(child))
                    found.push_back(t);
                frames.push_back(child);
            }
        }
        return found;
    }

    // A place in the text: anywhere, or at an edge of a paragraph, a cell, a picture or
    // a piece of a long paragraph.
    int place(quint32 a) const { return refText(placeInReference(a)); }
    int placeInReference(quint32 a) const
    {
        const int length = ref->characterCount();
        const quint32 r = a / 5;
        const auto paragraphEdge = [&] {
            const QTextBlock b = ref->findBlockByNumber(int((r / 2) % quint32(ref->blockCount())));
            return r % 2 ? b.position() + b.length() - 1 : b.position();
        };
        switch (a % 5) {
        case 1:
            return paragraphEdge();
        case 2: {
            const std::vector<QTextTable *> all = tables();
            if (all.empty())
                return paragraphEdge();
            QTextTable *t = all[(r / 4) % all.size()];
            const int cells = t->rows() * t->columns();
            const QTextTableCell cell = t->cellAt(int((r / 4 / quint32(all.size())) % quint32(qMax(1, cells))) / t->columns(),
                                                  int((r / 4 / quint32(all.size())) % quint32(qMax(1, cells))) % t->columns());
            if (!cell.isValid())
                return paragraphEdge();
            return r % 2 ? cell.lastPosition() : cell.firstPosition();
        }
        case 3: {
            const QString raw = ref->toRawText();
            std::vector<int> pictures;
            for (qsizetype i = raw.indexOf(QChar::ObjectReplacementCharacter); i >= 0;
                 i = raw.indexOf(QChar::ObjectReplacementCharacter, i + 1))
                pictures.push_back(int(i));
            if (pictures.empty())
                return paragraphEdge();
            return qMin(length - 1, pictures[(r / 2) % pictures.size()] + int(r % 2));
        }
        case 4: {
            const SoftBreaks::Map map(doc());
            std::vector<int> pieces;
            for (QTextBlock b = doc()->begin(); b.isValid(); b = b.next()) {
                if (SoftBreaks::isContinuation(b))
                    pieces.push_back(map.toText(b.position()));
            }
            if (pieces.empty())
                return paragraphEdge();
            return qBound(0, pieces[(r / 3) % pieces.size()] + int(r % 3) - 1, length - 1);
        }
        default:
            return int(r % quint32(length));
        }
    }

    QString expectedCopy() const
    {
        if (!cursor.hasSelection())
            return QString();
        // What the editor copies leaves out the separators of soft breaks and of the
        // hidden blocks in front of tables and in padding cells, as its text does. A
        // selection from inside a table to past it takes in the table's whole frame,
        // and so the hidden block in front of it.
        const QString raw = ref->toRawText();
        const SoftBreaks::Map map(ref.get());
        const auto selected = [&](int from, int to) { return plainFromRaw(map.strip(raw.mid(from, to - from), from)); };
        if (cursor.hasComplexSelection()) {
            int firstRow = 0, rows = 0, firstColumn = 0, columns = 0;
            cursor.selectedTableCells(&firstRow, &rows, &firstColumn, &columns);
            const QTextTable *table = cursor.currentTable();
            QStringList cells;
            for (int r = firstRow; table && r < firstRow + rows; ++r) {
                for (int c = firstColumn; c < firstColumn + columns; ++c) {
                    const QTextTableCell cell = table->cellAt(r, c);
                    if (cell.row() == r && cell.column() == c)
                        cells << selected(cell.firstPosition(), cell.lastPosition());
                }
            }
            return cells.join(QLatin1Char('\n'));
        }
        return selected(cursor.selectionStart(), cursor.selectionEnd());
    }

    void merge(const QTextCharFormat &f)
    {
        cursor.mergeCharFormat(f);
    }

    // Lays out the rest as the background does, until the layout says it is complete.
    void finishLayout()
    {
        QCoreApplication::processEvents();
        while (!editor()->isLaidOut()) {
            layout()->layoutPending(QDeadlineTimer(50));
            QCoreApplication::processEvents();
        }
    }

    // Enter as Qt's editor takes it: a new paragraph in the paragraph's formats, but
    // not a heading's nor a ruler's; in an empty paragraph of other formats, the
    // formats go back to plain ones first, and only the next Enter makes a paragraph.
    void newParagraph()
    {
        QTextBlockFormat bf = cursor.blockFormat();
        QTextCharFormat cf = cursor.charFormat();
        bf.clearProperty(QTextFormat::BlockTrailingHorizontalRulerWidth);
        if (bf.hasProperty(QTextFormat::HeadingLevel)) {
            bf.clearProperty(QTextFormat::HeadingLevel);
            cf = QTextCharFormat();
        }
        if (cursor.currentList()) {
            QTextBlockFormat existing = cursor.blockFormat();
            existing.clearProperty(QTextFormat::BlockBottomMargin);
            cursor.setBlockFormat(existing);
            if (bf.marker() == QTextBlockFormat::MarkerType::Checked)
                bf.setMarker(QTextBlockFormat::MarkerType::Unchecked);
        }
        if (cursor.block().text().isEmpty() &&
            !cursor.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth) &&
            !cursor.blockFormat().hasProperty(QTextFormat::BlockCodeLanguage)) {
            bf = QTextBlockFormat();
            const bool changed = cursor.blockFormat() != bf;
            cf = QTextCharFormat();
            cursor.setBlockFormat(bf);
            cursor.setCharFormat(cf);
            if (changed)
                return;
        }
        cursor.insertBlock(bf, cf);
    }

    // A key that replaces a selection in a document shown in pieces: the editor takes
    // the selection away first, as an undo step of its own.
    bool replacesInPieces() const
    {
        const QTextCursor c = editor()->textCursor();
        return c.hasSelection() && !c.hasComplexSelection() && !SoftBreaks::Map(doc()).isEmpty();
    }
    void removeFirstIf(bool inPieces)
    {
        if (inPieces && cursor.hasSelection())
            cursor.removeSelectedText();
    }

    // Text typed at the reference's cursor, in undo steps as the editor makes them.
    void typed(const QString &text)
    {
        if (!pastedInPieces) {
            cursor.insertText(text);
            return;
        }
        cursor.beginEditBlock();
        cursor.insertText(text);
        cursor.endEditBlock();
        pastedInPieces = false;
    }

    QString apply(const Step &s);
    QString applyStep(const Step &s);
    // The steps by kind: keys that change the text, the clipboard's (a failure when
    // what was copied is not what was selected), formats, and the caret, the view
    // and the history.
    void editKey(const Step &s);
    QString clipboardStep(const Step &s);
    void formatStep(const Step &s);
    void viewStep(const Step &s);
    QString check(bool full, quint32 seed);
    QString scrollRange();
};

QString Runner::State::apply(const Step &s)
{
    const int revision = ref->revision();
    const int editorBlocks = doc()->blockCount();
    const int refBlocks = ref->blockCount();
    const bool pieces = pastedInPieces;
    const QString failure = applyStep(s);
    if (ref->revision() != revision)
        pastedInPieces = false;
    else
        pastedInPieces = pieces;
    if ((s.op == Op::Paste || s.op == Op::KeyPaste) &&
        doc()->blockCount() - editorBlocks > ref->blockCount() - refBlocks)
        pastedInPieces = true;
    return failure;
}

QString Runner::State::applyStep(const Step &s)
{
    // Each kind of step takes its own and leaves the others alone.
    editKey(s);
    formatStep(s);
    viewStep(s);
    return clipboardStep(s);
}

void Runner::State::editKey(const Step &s)
{
    switch (s.op) {
    case Op::Type: {
        QRandomGenerator g(s.a);
        const int n = 1 + int(s.b % 8);
        for (int i = 0; i < n; ++i) {
            QString c;
            const quint32 kind = g.bounded(20u);
            if (kind == 0)
                c = Pieces.at(int(g.bounded(Pieces.size() - 2))); // no tab or no-break space
            else if (kind < 4)
                c = QStringLiteral(" ");
            else
                c = QChar(char16_t(u'a' + g.bounded(26u)));
            const bool inPieces = replacesInPieces();
            QTest::sendKeyEvent(QTest::Click, editor(), Qt::Key_unknown, c, Qt::NoModifier);
            removeFirstIf(inPieces);
            typed(c);
        }
        break;
    }
    case Op::Enter: {
        const bool inPieces = replacesInPieces();
        key(Qt::Key_Return);
        removeFirstIf(inPieces);
        newParagraph();
        break;
    }
    case Op::LineBreak: {
        const bool inPieces = replacesInPieces();
        key(Qt::Key_Return, Qt::ShiftModifier);
        removeFirstIf(inPieces);
        typed(QString(QChar::LineSeparator));
        break;
    }
    case Op::Backspace: {
        key(Qt::Key_Backspace);
        // As Qt's editor takes it: the start of a list item leaves the list, the start
        // of an indented paragraph comes out by one level.
        QTextBlockFormat bf = cursor.blockFormat();
        if (QTextList *list = cursor.currentList(); list && cursor.atBlockStart() && !cursor.hasSelection()) {
            list->remove(cursor.block());
        } else if (cursor.atBlockStart() && bf.indent() > 0) {
            bf.setIndent(bf.indent() - 1);
            cursor.setBlockFormat(bf);
        } else {
            QTextCursor local = cursor;
            local.deletePreviousChar();
        }
        break;
    }
    case Op::Delete: {
        key(Qt::Key_Delete);
        QTextCursor local = cursor;
        local.deleteChar();
        break;
    }
    case Op::DeleteWord:
    case Op::BackspaceWord: {
        const bool forward = s.op == Op::DeleteWord;
        key(forward ? QKeySequence::DeleteEndOfWord : QKeySequence::DeleteStartOfWord);
        if (!cursor.hasSelection()) {
            // At a cell's edge the editor deletes nothing, where Qt's editor would
            // select into the next cell and empty both.
            const QTextTable *table = cursor.currentTable();
            const QTextTableCell cell = table ? table->cellAt(cursor.position()) : QTextTableCell();
            QTextCursor edge(ref.get());
            edge.setPosition(cursor.position());
            edge.movePosition(forward ? QTextCursor::NextWord : QTextCursor::PreviousWord);
            if (cell.isValid() && (edge.position() < cell.firstPosition() || edge.position() > cell.lastPosition()))
                break;
            cursor.movePosition(forward ? QTextCursor::NextWord : QTextCursor::PreviousWord, QTextCursor::KeepAnchor);
        }
        cursor.removeSelectedText();
        break;
    }
    default:
        break;
    }
}

QString Runner::State::clipboardStep(const Step &s)
{
    switch (s.op) {
    case Op::Paste: {
        const QString text = pasteText(s.a, s.b);
        services.clipboard->content = text;
        click("Image5");
        if (text.isEmpty()) {
            if (cursor.hasSelection())
                cursor.removeSelectedText();
        } else {
            cursor.beginEditBlock();
            cursor.insertText(text);
            cursor.endEditBlock();
        }
        break;
    }
    case Op::KeyPaste: {
        QString text = pasteText(s.a, s.b);
        if (text.isEmpty())
            text = QStringLiteral("x");
        QGuiApplication::clipboard()->setText(text);
        // What could make or touch a piece goes the editor's own way, the rest Qt's:
        // a fragment inserted, whose undo leaves the caret elsewhere.
        const bool inPieces = replacesInPieces();
        // The caret as the paste finds it: after the selection is taken away first.
        QTextCursor at = editor()->textCursor();
        int length = at.block().length();
        if (inPieces) {
            const QTextBlock last = doc()->findBlock(at.selectionEnd());
            at.setPosition(at.selectionStart());
            length = at.positionInBlock() + last.length() - (editor()->textCursor().selectionEnd() - last.position());
        }
        const bool qtWay = !SoftBreaks::isContinuation(at.block()) && !SoftBreaks::needsCareToRemove(at) &&
                           text.size() <= SoftBreaks::MaxParagraph && length + text.size() <= SoftBreaks::MaxParagraph;
        key(QKeySequence::Paste);
        removeFirstIf(inPieces);
        if (qtWay) {
            cursor.insertFragment(QTextDocumentFragment::fromPlainText(text));
        } else {
            cursor.beginEditBlock();
            cursor.insertText(text);
            cursor.endEditBlock();
        }
        break;
    }
    case Op::Copy:
    case Op::Cut: {
        const QString expected = expectedCopy();
        services.clipboard->content = QStringLiteral("<nothing copied>");
        click(s.op == Op::Copy ? "Image10" : "Image11");
        if (services.clipboard->content != expected)
            return QStringLiteral("copied %1 characters, not the %2 selected").arg(services.clipboard->content.size()).arg(expected.size());
        if (s.op == Op::Cut && cursor.hasSelection())
            cursor.removeSelectedText();
        break;
    }
    case Op::KeyCopy: {
        if (!cursor.hasSelection() || cursor.hasComplexSelection())
            break;
        QGuiApplication::clipboard()->setText(QStringLiteral("<nothing copied>"));
        key(QKeySequence::Copy);
        // As Qt's editor copies a document that was never cut in pieces.
        QString expected = QTextDocumentFragment(cursor).toPlainText();
        QString copied = QGuiApplication::clipboard()->text();
        expected.replace(QChar::Nbsp, QLatin1Char(' '));
        copied.replace(QChar::Nbsp, QLatin1Char(' '));
        if (copied != expected)
            return QStringLiteral("Ctrl+C copied %1 characters, not the %2 selected").arg(copied.size()).arg(expected.size());
        break;
    }
    default:
        break;
    }
    return QString();
}

void Runner::State::formatStep(const Step &s)
{
    switch (s.op) {
    case Op::Bold:
    case Op::Italic:
    case Op::Underline:
    case Op::Strike: {
        // The toggle sets what the selection does not all have.
        const SelectionAttributes before = editor()->selectionAttributes();
        QTextCharFormat f;
        if (s.op == Op::Bold) {
            f.setFontWeight(before.bold == TriState::False ? QFont::Bold : QFont::Normal);
            click("Image12");
        } else if (s.op == Op::Italic) {
            f.setFontItalic(before.italic == TriState::False);
            click("Image16");
        } else if (s.op == Op::Underline) {
            f.setFontUnderline(before.underline == TriState::False);
            click("Image13");
        } else {
            f.setFontStrikeOut(before.strikethru == TriState::False);
            click("Image14");
        }
        merge(f);
        break;
    }
    case Op::Colour: {
        const QByteArray name = "Picture" + QByteArray::number(1 + int(s.a % 17));
        QTextCharFormat f;
        f.setForeground(ColorInt::toQColor(form->control(name.constData()).backColor() & 0x00FFFFFF));
        click(name.constData());
        merge(f);
        break;
    }
    case Op::Font: {
        const QString family = Families.at(int(s.a % quint32(Families.size())));
        services.dialogs->fontAnswers.push_back(QFont(family));
        click("Label1");
        QTextCharFormat f;
        f.setFontFamilies({form->CommonDialog1.fontName()});
        merge(f);
        break;
    }
    case Op::Size: {
        QTextCharFormat f;
        f.setFontPointSize(Sizes[s.a % Sizes.size()]);
        editor()->mergeCurrentCharFormat(f);
        merge(f);
        break;
    }
    default:
        break;
    }
}

void Runner::State::viewStep(const Step &s)
{
    switch (s.op) {
    case Op::Caret: {
        const int at = place(s.a);
        select(at, at);
        break;
    }
    case Op::Select:
        select(place(s.a), place(s.b));
        break;
    case Op::Undo:
        key(QKeySequence::Undo);
        ref->undo(&cursor);
        break;
    case Op::Redo:
        key(QKeySequence::Redo);
        ref->redo(&cursor);
        break;
    case Op::Move: {
        const MoveKey &m = MoveKeys[s.a % MoveKeys.size()];
        key(m.key, m.modifiers | (s.b % 3 == 0 ? Qt::ShiftModifier : Qt::NoModifier));
        followEditor();
        break;
    }
    case Op::Click: {
        const QSize size = editor()->viewport()->size();
        const QPoint at(int(s.a % quint32(qMax(1, size.width()))), int(s.b % quint32(qMax(1, size.height()))));
        QTest::mouseClick(editor()->viewport(), Qt::LeftButton, (s.b >> 16) % 4 == 0 ? Qt::ShiftModifier : Qt::NoModifier, at);
        followEditor();
        break;
    }
    case Op::Resize:
        editor()->resize(Widths[s.a % Widths.size()], editor()->height());
        break;
    case Op::Scroll: {
        QScrollBar *bar = editor()->verticalScrollBar();
        const int choice = int(s.b % 4);
        bar->setValue(choice == 0 ? 0 : choice == 1 ? bar->maximum() : int(s.a % quint32(bar->maximum() + 1)));
        break;
    }
    case Op::Paint:
        editor()->viewport()->repaint();
        break;
    case Op::Slices: {
        const int n = 1 + int(s.a % 12);
        for (int i = 0; i < n; ++i)
            layout()->layoutPending(QDeadlineTimer(s.b % 4 == 0 ? 8 : 0));
        break;
    }
    case Op::Wait:
        QTest::qWait(int(s.a % 40));
        break;
    default:
        break;
    }
}

QString Runner::State::check(bool full, quint32 seed)
{
    const QString mine = editor()->text();
    const QString theirs = plainFromRaw(SoftBreaks::Map(ref.get()).strip(ref->toRawText(), 0));
    if (mine != theirs) {
        qsizetype at = 0;
        while (at < mine.size() && at < theirs.size() && mine.at(at) == theirs.at(at))
            ++at;
        return QStringLiteral("the text differs at %1 of %2 (reference %3): %4 | reference %5")
            .arg(at)
            .arg(mine.size())
            .arg(theirs.size())
            .arg(mine.mid(qMax<qsizetype>(0, at - 20), 40).toHtmlEscaped(),
                 theirs.mid(qMax<qsizetype>(0, at - 20), 40).toHtmlEscaped());
    }
    const auto [anchor, position] = editorSelection();
    if (anchor != refText(cursor.anchor()) || position != refText(cursor.position()))
        return QStringLiteral("the selection is %1..%2, in the reference %3..%4")
            .arg(anchor)
            .arg(position)
            .arg(refText(cursor.anchor()))
            .arg(refText(cursor.position()));
    const QString stale = LayoutCheck::staleLines(doc());
    if (!stale.isEmpty())
        return QStringLiteral("stale lines: ") + stale;
    if (!full)
        return editor()->isLaidOut() ? scrollRange() : QString();
    finishLayout();
    const QString fresh = LayoutCheck::compareWithFresh(doc(), 40, seed);
    if (!fresh.isEmpty())
        return QStringLiteral("against a fresh layout at %1 px: ").arg(doc()->pageSize().width()) + fresh;
    return scrollRange();
}

QString Runner::State::scrollRange()
{
    // The whole document can be scrolled into view, and no further, once what the
    // event loop has waiting is done.
    QCoreApplication::processEvents();
    const QScrollBar *bar = editor()->verticalScrollBar();
    const int high = layout()->documentSize().toSize().height();
    const int wanted = qMax(0, high - editor()->viewport()->height());
    if (bar->maximum() != wanted)
        return QStringLiteral("the scroll range ends at %1 for a document %2 px high in a viewport %3 px high")
            .arg(bar->maximum())
            .arg(high)
            .arg(editor()->viewport()->height());
    return QString();
}

Runner::Runner(Form1 *form, const ScriptedServices &services)
    : d(std::make_unique<State>())
{
    d->form = form;
    d->services = services;
}

Runner::~Runner() = default;

QString Runner::open(const QString &path, int columns)
{
    d->services.dialogs->fileAnswers.push_back(path);
    d->click("Image6");
    d->editor()->setFocus();
    if (DocumentLoader::load(path, &d->ref))
        d->ref = std::make_unique<QTextDocument>();
    if (columns > 1) {
        QTextFrameFormat format;
        format.setMargin(0);
        format.setBorder(0);
        format.setPadding(0);
        format.setProperty(LayoutProperty::ColumnCount, columns);
        format.setProperty(LayoutProperty::ColumnGap, 24);
        format.setProperty(LayoutProperty::ColumnHeight, 300);
        for (QTextDocument *doc : {d->doc(), d->ref.get()}) {
            QTextCursor c(doc);
            c.movePosition(QTextCursor::End);
            c.insertBlock();
            c.movePosition(QTextCursor::Start);
            c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            c.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
            c.insertFrame(format);
            doc->clearUndoRedoStacks();
        }
        d->editor()->moveCursor(QTextCursor::Start);
    }
    d->cursor = QTextCursor(d->ref.get());
    d->followEditor();
    return d->check(true, 0);
}

QString Runner::run(const std::vector<Step> &steps, const Options &options, int *failedAt,
                    const std::function<void(int)> &beforeStep)
{
    for (int i = 0; i < int(steps.size()); ++i) {
        if (beforeStep)
            beforeStep(i);
        QString failure = d->apply(steps[size_t(i)]);
        if (qEnvironmentVariableIsSet("ORVO_STRESS_VERBOSE")) {
            const auto [anchor, position] = d->editorSelection();
            std::fprintf(stderr, "step %d %s: selection %d..%d, %d characters in %d paragraphs\n", i,
                         qPrintable(describe(steps[size_t(i)])), anchor, position, int(d->editor()->text().size()),
                         d->doc()->blockCount());
        }
        if (failure.isEmpty()) {
            const bool full = (options.checkEvery > 0 && (i + 1) % options.checkEvery == 0) ||
                              (options.finalCheck && i + 1 == int(steps.size()));
            failure = d->check(full, quint32(i));
        }
        if (!failure.isEmpty()) {
            *failedAt = i;
            return QStringLiteral("after step %1 (%2): %3").arg(i).arg(describe(steps[size_t(i)]), failure);
        }
    }
    *failedAt = -1;
    return QString();
}

} // namespace EditStress
