// Edits that once broke the program or left the layout off, each taken the way a
// user takes it: a document opened through the open image, real keys and clicks on
// the editor, then the text, the caret and what the layout shows, held against a
// layout of the same document made from scratch.
#include "documentfixture.h"
#include "base/textmarks.h"
#include "layoutcheck.h"
#include "layout/documentlayout.h"
#include "layout/paragraphlayout.h"
#include "layout/softbreaks.h"
#include "layout/textmetrics.h"
#include "platform/documentloader.h"

#include <QBuffer>
#include <QImage>
#include <QScrollBar>
#include <QTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextTable>

#include <cmath>

class TestEditingLayout final : public QObject
{
    Q_OBJECT

    DocumentFixture f;

    RichTextBox *editor() const { return f.editor(); }

    void open(const QByteArray &rtf)
    {
        const QString path = f.dir->filePath(QStringLiteral("document.rtf"));
        QVERIFY(writeBytes(path, rtf));
        f.answerFileDialog(path);
        f.click("Image6");
        editor()->setFocus();
    }

    void openCorpus(const char *name)
    {
        f.answerFileDialog(QStringLiteral(ORVO_RTF_CORPUS "/") + QLatin1String(name));
        f.click("Image6");
        editor()->setFocus();
    }

    void key(int key, Qt::KeyboardModifiers modifiers = {}, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(editor(), Qt::Key(key), modifiers);
    }

    // The layout once the background has finished, against a fresh one.
    void verifyLaidOutAsFresh()
    {
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        QCOMPARE(LayoutCheck::staleLines(editor()->document()), QString());
        QCOMPARE(LayoutCheck::compareWithFresh(editor()->document(), 200, 1), QString());
    }

    // The document opened, at the editor's width, in a stock QTextEdit beside it.
    std::unique_ptr<QTextEdit> stockBeside(const QString &path)
    {
        auto reference = std::make_unique<QTextEdit>();
        reference->setFrameShape(QFrame::NoFrame);
        reference->resize(editor()->size());
        std::unique_ptr<QTextDocument> doc;
        if (DocumentLoader::load(path, &doc))
            return {};
        doc->setDefaultFont(editor()->document()->defaultFont());
        doc->setParent(reference.get());
        reference->setDocument(doc.release());
        reference->show();
        return reference;
    }

    // Every paragraph's rect and lines and every caret as Qt's own layout has them.
    void verifyAsQt(QTextEdit *reference)
    {
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        QAbstractTextDocumentLayout *mine = editor()->document()->documentLayout();
        QAbstractTextDocumentLayout *theirs = reference->document()->documentLayout();
        QCOMPARE(editor()->document()->pageSize(), reference->document()->pageSize());
        QTextBlock a = editor()->document()->begin();
        for (QTextBlock b = reference->document()->begin(); b.isValid(); b = b.next(), a = a.next()) {
            QCOMPARE(mine->blockBoundingRect(a), theirs->blockBoundingRect(b));
            QCOMPARE(a.layout()->lineCount(), b.layout()->lineCount());
            for (int i = 0; i < a.layout()->lineCount(); ++i) {
                QCOMPARE(a.layout()->lineAt(i).textStart(), b.layout()->lineAt(i).textStart());
                QCOMPARE(a.layout()->lineAt(i).rect(), b.layout()->lineAt(i).rect());
            }
        }
        QCOMPARE(mine->documentSize(), theirs->documentSize());
        QCoreApplication::processEvents();
        QCOMPARE(editor()->horizontalScrollBar()->maximum(), reference->horizontalScrollBar()->maximum());
        for (int pos = 0; pos < editor()->document()->characterCount(); ++pos) {
            QTextCursor c(editor()->document());
            c.setPosition(pos);
            editor()->setTextCursor(c);
            QTextCursor d(reference->document());
            d.setPosition(pos);
            reference->setTextCursor(d);
            QCOMPARE(editor()->cursorRect(), reference->cursorRect());
        }
    }

private slots:
    void init()
    {
        // What is held against Qt's own layout is laid out by Qt's rules alone.
        const QByteArray name = QTest::currentTestFunction();
        TextMetrics::setWordProcessorRules(name != "exactLineSpacing" && name != "linesWiderThanTheirRoom");
        f.setUp();
    }
    void cleanup()
    {
        f.tearDown();
        TextMetrics::setWordProcessorRules(true);
    }

    // A line of more than 64K characters pasted is shown in pieces; the caret stands
    // right after it, where the next key lands.
    void caretAfterAHugePasteOnOneLine()
    {
        f.type(QStringLiteral("debut fin"));
        editor()->setSelStart(6);
        const QString line = QStringLiteral("pr\u00e9sent ").repeated(106 * 1024 / 8);
        f.services.clipboard->content = line;
        f.click("Image5");
        QVERIFY(editor()->document()->blockCount() > 3); // in pieces
        QCOMPARE(editor()->selStart(), 6 + int(line.size()));
        editor()->setFocus();
        f.type(QStringLiteral("X"));
        QCOMPARE(editor()->text(), QStringLiteral("debut ") + line + QStringLiteral("Xfin"));
        verifyLaidOutAsFresh();
    }

    // The same paste at the start of documents whose paragraphs are long: Ctrl+Delete
    // then takes the word after the caret, as in a document never cut in pieces.
    void wordDeletedAfterAHugePaste_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("thai") << QStringLiteral("rpk-thai-874-word.rtf");
        QTest::newRow("png") << QStringLiteral("rtfjs-png-bin.rtf");
    }
    void wordDeletedAfterAHugePaste()
    {
        QFETCH(QString, name);
        const QString path = QStringLiteral(ORVO_RTF_CORPUS "/") + name;
        f.answerFileDialog(path);
        f.click("Image6");
        const QString line = QStringLiteral("0123456789abcdefghij").repeated(106 * 1024 / 20);
        f.services.clipboard->content = line;
        f.click("Image5");
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_Delete, Qt::ControlModifier);
        // The same edits on the document as read, with no pieces.
        std::unique_ptr<QTextDocument> plain;
        QVERIFY(!DocumentLoader::load(path, &plain));
        QTextCursor c(plain.get());
        c.insertText(line);
        c.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        QCOMPARE(editor()->text().size(), plain->characterCount() - 1);
        QCOMPARE(editor()->selStart(), int(line.size()));
    }

    // Ctrl+Delete and Ctrl+Backspace at each edge of the pieces a long pasted line is
    // shown in, and a character either side: they take what they take in the same
    // line never cut, a word cut in two included, and the undo gives the line back.
private:
    // Rows of a long line, one word or many, for a key forward and backward.
    static void pieceEdgeRows(const char *forwardKey, const char *backwardKey)
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("forward");
        const QString run = QStringLiteral("0123456789abcdefghij").repeated(3500);
        const QString words = QStringLiteral("pr\u00e9sent ").repeated(9000);
        QTest::addRow("one word, %s", forwardKey) << run << true;
        QTest::addRow("one word, %s", backwardKey) << run << false;
        QTest::addRow("words, %s", forwardKey) << words << true;
        QTest::addRow("words, %s", backwardKey) << words << false;
    }

    // Pastes the line with the paste image; gives the text positions of the soft
    // breaks it is shown in pieces with.
    std::vector<int> pasteInPieces(const QString &line)
    {
        f.services.clipboard->content = line;
        f.click("Image5");
        editor()->setFocus();
        std::vector<int> edges;
        int removed = 0;
        const QTextDocument *doc = editor()->document();
        for (QTextBlock b = doc->begin().next(); b.isValid(); b = b.next()) {
            if (!SoftBreaks::isContinuation(b))
                return {};
            edges.push_back(b.position() - ++removed);
        }
        return edges;
    }

private slots:
    void wordKeysAtPieceEdges_data() { pieceEdgeRows("Ctrl+Delete", "Ctrl+Backspace"); }
    void wordKeysAtPieceEdges()
    {
        QFETCH(QString, line);
        QFETCH(bool, forward);
        const std::vector<int> edges = pasteInPieces(line);
        QVERIFY(edges.size() > 2);
        QTextDocument *doc = editor()->document();
        for (int edge : edges) {
            for (int at = edge - 1; at <= edge + 1; ++at) {
                editor()->setSelStart(at);
                QTest::keyClick(editor(), forward ? Qt::Key_Delete : Qt::Key_Backspace, Qt::ControlModifier);
                QTextDocument plain;
                plain.setPlainText(line);
                QTextCursor c(&plain);
                c.setPosition(at);
                c.movePosition(forward ? QTextCursor::NextWord : QTextCursor::PreviousWord, QTextCursor::KeepAnchor);
                c.removeSelectedText();
                QCOMPARE(editor()->text(), plain.toPlainText());
                QCOMPARE(editor()->selStart(), c.position());
                QCOMPARE(LayoutCheck::staleLines(doc), QString());
                key(Qt::Key_Z, Qt::ControlModifier);
                QCOMPARE(editor()->text(), line);
            }
        }
        verifyLaidOutAsFresh();
    }

    // Ctrl+Right and Ctrl+Left, with Shift and without, at each edge of the pieces
    // and a character either side: the caret goes where it goes in the same line
    // never cut, over a word cut in two in one move.
    void wordMovesAtPieceEdges_data() { pieceEdgeRows("Ctrl+Right", "Ctrl+Left"); }
    void wordMovesAtPieceEdges()
    {
        QFETCH(QString, line);
        QFETCH(bool, forward);
        const std::vector<int> edges = pasteInPieces(line);
        QVERIFY(edges.size() > 2);
        QTextDocument plain;
        plain.setPlainText(line);
        for (int edge : edges) {
            for (int at = edge - 1; at <= edge + 1; ++at) {
                for (const bool select : {false, true}) {
                    editor()->setSelStart(at);
                    QTest::keyClick(editor(), forward ? Qt::Key_Right : Qt::Key_Left,
                                    Qt::ControlModifier | (select ? Qt::ShiftModifier : Qt::NoModifier));
                    QTextCursor c(&plain);
                    c.setPosition(at);
                    c.movePosition(forward ? QTextCursor::NextWord : QTextCursor::PreviousWord);
                    const int start = qMin(at, c.position());
                    QCOMPARE(editor()->selStart(), select ? start : c.position());
                    QCOMPARE(editor()->selLength(), select ? qAbs(c.position() - at) : 0);
                    // The next key lands at the caret.
                    if (!select) {
                        f.type(QStringLiteral("#"));
                        QCOMPARE(editor()->text().indexOf(QLatin1Char('#')), c.position());
                        key(Qt::Key_Z, Qt::ControlModifier);
                        QCOMPARE(editor()->text(), line);
                    }
                }
            }
        }
    }

    // A selection from the start of a paragraph or of a piece into another piece or
    // paragraph, taken away by a key: the paragraphs are left as the same selection
    // in the text leaves them, none joined to another or cut in two.
    void selectionFromAnEdgeIntoAPiece_data()
    {
        QTest::addColumn<int>("from"); // 0: the document's start, 1: the long paragraph's, 2: its last piece's
        QTest::addColumn<int>("key");
        const std::array<std::pair<const char *, int>, 3> keys{{{"Delete", Qt::Key_Delete}, {"a letter", Qt::Key_X}, {"Enter", Qt::Key_Return}}};
        const std::array<const char *, 3> starts{"document start", "paragraph start", "piece start"};
        for (int from = 0; from < 3; ++from) {
            for (const auto &[name, key] : keys)
                QTest::addRow("%s, %s", starts[size_t(from)], name) << from << key;
        }
    }
    void selectionFromAnEdgeIntoAPiece()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        f.type(QStringLiteral("premier"));
        this->key(Qt::Key_Return);
        const QString line = QStringLiteral("pr\u00e9sent ").repeated(9000);
        f.services.clipboard->content = line;
        f.click("Image5");
        editor()->setFocus();
        this->key(Qt::Key_Return);
        f.type(QStringLiteral("dernier"));
        const QString text = editor()->text();
        QCOMPARE(text, QStringLiteral("premier\n") + line + QStringLiteral("\ndernier"));
        QTextDocument *doc = editor()->document();
        std::vector<int> edges;
        int breaks = 0;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            if (SoftBreaks::isContinuation(b))
                edges.push_back(b.position() - ++breaks);
        }
        QVERIFY(edges.size() >= 3);
        const int start = from == 0 ? 0 : from == 1 ? 8 : edges.back();
        const int end = from == 2 ? int(text.size()) - 4 : edges.front() + 5;
        editor()->setSelStart(start);
        editor()->setSelLength(end - start);
        QTest::keyClick(editor(), Qt::Key(key));
        QTextDocument plain;
        plain.setPlainText(text);
        QTextCursor c(&plain);
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        if (key == Qt::Key_Delete)
            c.removeSelectedText();
        else if (key == Qt::Key_Return)
            c.insertBlock();
        else
            c.insertText(QStringLiteral("x"));
        QCOMPARE(editor()->text(), plain.toPlainText());
        QCOMPARE(editor()->selStart(), c.position());
        QCOMPARE(LayoutCheck::staleLines(doc), QString());
        // The selection taken away is an undo step, what the key put in another.
        this->key(Qt::Key_Z, Qt::ControlModifier, key == Qt::Key_Delete ? 1 : 2);
        QCOMPARE(editor()->text(), text);
        verifyLaidOutAsFresh();
    }

    // A selection over, into or out of a table deleted, a long word typed, a long
    // line pasted, a key, a size changed, all but the deletion undone, then that too,
    // with the background laying out nothing, a slice or everything between the
    // steps: once the layout says it is complete, it is.
    void completeAfterUndoingATableDeletedAndAPaste_data()
    {
        QTest::addColumn<int>("slices"); // between the steps; -1: until complete
        QTest::addColumn<int>("narrower");
        QTest::addColumn<QString>("from"); // the selection from 3 characters into this
        QTest::addColumn<QString>("to");   // to 3 characters into this
        const QString before = QStringLiteral("INTRODUCTION\n\nProcess Name");
        const QString inside = QStringLiteral("Process Owner");
        const QString in2 = QStringLiteral("Manager, Business");
        const QString after = QStringLiteral("PURPOSE\n\nThe");
        QTest::newRow("over, no slices") << 0 << 120 << before << after;
        QTest::newRow("over, laid out between") << -1 << 0 << before << after;
        QTest::newRow("into, a slice between") << 1 << 120 << before << in2;
        QTest::newRow("into, narrow") << 0 << 300 << before << in2;
        QTest::newRow("out of, slices between") << 4 << 300 << inside << after;
        QTest::newRow("out of, laid out between") << -1 << 120 << inside << after;
    }
    void completeAfterUndoingATableDeletedAndAPaste()
    {
        QFETCH(int, slices);
        QFETCH(int, narrower);
        QFETCH(QString, from);
        QFETCH(QString, to);
        const auto between = [&] {
            DocumentLayout *layout = editor()->documentLayout();
            for (int i = 0; slices < 0 ? !layout->isComplete() : i < slices; ++i)
                layout->layoutPending(QDeadlineTimer(slices < 0 ? 50 : 0));
        };
        openCorpus("rtfjs-wmf-and-emf.rtf");
        const QString before = editor()->text();
        QVERIFY(before.size() > 0);
        editor()->resize(editor()->width() - narrower, editor()->height());
        QCoreApplication::processEvents();
        between();
        const int start = int(before.indexOf(from));
        const int end = int(before.indexOf(to));
        QVERIFY(start > 0 && end > start);
        editor()->setSelStart(start + 3);
        editor()->setSelLength(end - start);
        key(Qt::Key_Delete);
        between();
        const QString deleted = editor()->text();
        QVERIFY(deleted.size() < before.size());
        f.type(QStringLiteral("anticonstitutionnellement"));
        between();
        f.services.clipboard->content = QStringLiteral("0123456789 abcdefghijklmnopqrstuvwxyz ").repeated(124 * 1024 / 38);
        f.click("Image5");
        between();
        editor()->setFocus();
        f.type(QStringLiteral("k"));
        between();
        editor()->setSelStart(start - 200);
        editor()->setSelLength(400);
        QTextCharFormat size;
        size.setFontPointSize(17);
        editor()->mergeCurrentCharFormat(size);
        between();
        // The size, the key, the paste and the word are undone; the deletion stays.
        for (int i = 0; i < 4; ++i) {
            key(Qt::Key_Z, Qt::ControlModifier);
            between();
        }
        QCOMPARE(editor()->text(), deleted);
        verifyLaidOutAsFresh();
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor()->text(), before);
        verifyLaidOutAsFresh();
    }

    // Lines wider than their room: margins wider than the page, a picture wider than
    // it, alone or centred. They are laid out in whole words or whole, at their
    // natural width, where Qt's own layout puts them; a click on the left half of
    // the picture puts the caret before it, on the right half after it.
    void linesWiderThanTheirRoom_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("picture");
        QTest::newRow("indent wider than the page")
            << QByteArray("\\pard\\li4500 Un paragraphe en retrait plus large que la page, mot par mot.\\par") << false;
        QTest::newRow("both margins") << QByteArray("\\pard\\li2600\\ri2600 Des mots entre deux marges.\\par") << false;
        QTest::newRow("picture") << QByteArray("\\pard Avant %1 apr\\'e8s.\\par") << true;
        QTest::newRow("centred picture") << QByteArray("\\pard\\qc %1\\par") << true;
    }
    void linesWiderThanTheirRoom()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, picture);
        if (picture) {
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(Qt::darkCyan);
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            QVERIFY(image.save(&buffer, "PNG"));
            body.replace("%1", "{\\pict\\pngblip\\picw8\\pich8\\picwgoal7500\\pichgoal600 " + png.toHex() + "}");
        }
        open("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard D\\'e9but.\\par " + body + " Fin.}");
        editor()->resize(300, editor()->height());
        const QString path = f.dir->filePath(QStringLiteral("document.rtf"));
        const std::unique_ptr<QTextEdit> reference = stockBeside(path);
        QVERIFY(reference);
        verifyAsQt(reference.get());
        if (!picture)
            return;
        // The picture's paragraph: a click on each half of the picture.
        const QTextBlock block = editor()->document()->findBlockByNumber(1);
        const int at = int(block.text().indexOf(QChar::ObjectReplacementCharacter));
        QVERIFY(at >= 0);
        const int position = block.position() + at;
        const QRectF before = LayoutCheck::caretRect(editor()->document(), position);
        const QRectF after = LayoutCheck::caretRect(editor()->document(), position + 1);
        QCOMPARE(after.x() - before.x(), 500.0); // the caret after it stands after it
        editor()->horizontalScrollBar()->setValue(0);
        editor()->verticalScrollBar()->setValue(0);
        const int y = int(before.center().y());
        QTest::mouseClick(editor()->viewport(), Qt::LeftButton, {}, QPoint(int(before.x()) + 100, y));
        QCOMPARE(editor()->textCursor().position(), position);
        QTest::mouseClick(editor()->viewport(), Qt::LeftButton, {}, QPoint(int(before.x()) + 270, y));
        QCOMPARE(editor()->textCursor().position(), position + 1);
    }

    // Exact line spacing: every line where Qt's own layout puts it, also after a
    // line typed into the paragraph.
    void exactLineSpacing_data()
    {
        QTest::addColumn<QByteArray>("spacing");
        QTest::newRow("12.8 pt") << QByteArray("\\sl-256\\slmult0");
        QTest::newRow("15 pt") << QByteArray("\\sl-300\\slmult0");
        QTest::newRow("11.35 pt") << QByteArray("\\sl-227\\slmult0");
    }
    void exactLineSpacing()
    {
        QFETCH(QByteArray, spacing);
        const QByteArray words = QByteArray("Des mots sur des lignes d'une hauteur exacte, ").repeated(4);
        open("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard" + spacing + " " + words + "\\par\\pard" + spacing +
             "\\fs28 " + words + "\\par}");
        editor()->resize(420, editor()->height());
        const QString path = f.dir->filePath(QStringLiteral("document.rtf"));
        const std::unique_ptr<QTextEdit> reference = stockBeside(path);
        QVERIFY(reference);
        verifyAsQt(reference.get());
        if (QTest::currentTestFailed())
            return;
        QTest::keyClick(editor(), Qt::Key_Home, Qt::ControlModifier);
        f.type(words.left(60));
        QTextCursor c(reference->document());
        c.insertText(QString::fromLatin1(words.left(60)));
        verifyAsQt(reference.get());
    }

    // Lines closer than Qt's line rectangles (the faces' own heights) or farther apart
    // (a line and a half): the caret is as high as its line's box, the view shows it
    // whole, and a selected line is highlighted over its box, not over the lines
    // around it.
    void theCaretAndTheSelectionKeepToTheLinesBoxes_data()
    {
        QTest::addColumn<QByteArray>("spacing");
        QTest::newRow("single") << QByteArray();
        QTest::newRow("a line and a half") << QByteArray("\\sl360\\slmult1");
    }
    void theCaretAndTheSelectionKeepToTheLinesBoxes()
    {
        QFETCH(QByteArray, spacing);
        const QByteArray words = QByteArray("Des mots sur des lignes qui se suivent, ").repeated(6);
        open("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard" + spacing + "\\fs28 " + words + "\\par}");
        editor()->resize(420, editor()->height());
        QCoreApplication::processEvents();
        const QTextBlock block = editor()->document()->begin();
        QVERIFY(block.layout()->lineCount() >= 3);
        const QPointF origin = editor()->document()->documentLayout()->blockBoundingRect(block).topLeft() -
                               QPointF(0, editor()->verticalScrollBar()->value());
        const QRectF first = ParagraphLayout::lineBox(block, 0).translated(origin);
        const QRectF second = ParagraphLayout::lineBox(block, 1).translated(origin);
        QVERIFY(qAbs(first.bottom() - second.top()) < 0.05); // the boxes follow one another
        QVERIFY(second.height() < block.layout()->lineAt(1).height() + 0.05 || !spacing.isEmpty());

        key(Qt::Key_Home, Qt::ControlModifier);
        key(Qt::Key_Down);
        const QRectF caret = editor()->caretRect();
        QVERIFY2(qAbs(caret.top() - second.top()) < 0.05 && qAbs(caret.height() - second.height()) < 0.05,
                 qPrintable(QStringLiteral("caret %1+%2, line %3+%4")
                                .arg(caret.top()).arg(caret.height()).arg(second.top()).arg(second.height())));
        const QVariant asked = editor()->inputMethodQuery(Qt::ImCursorRectangle);
        QVERIFY(qAbs(asked.toRectF().top() - second.top()) < 0.05);

        key(Qt::Key_Down, Qt::ShiftModifier); // the second line, whole
        const QImage image = editor()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QPalette palette = editor()->palette();
        const QList<QRgb> highlights{palette.color(QPalette::Active, QPalette::Highlight).rgb(),
                                     palette.color(QPalette::Inactive, QPalette::Highlight).rgb()};
        const auto highlighted = [&](int y) {
            int n = 0;
            for (int x = 0; x < image.width(); ++x)
                n += highlights.contains(image.pixel(x, y));
            return n;
        };
        for (int y = 0; y < image.height(); ++y) {
            if (y + 1 <= second.top() || y >= second.bottom())
                QVERIFY2(highlighted(y) == 0, qPrintable(QStringLiteral("row %1 outside the box").arg(y)));
        }
        QVERIFY(highlighted(int(std::ceil(second.top()))) > 100);
        QVERIFY(highlighted(int(std::floor(second.bottom())) - 1) > 100);
    }

    // Shift+Enter in the empty paragraph after a table, then a word and another
    // Shift+Enter: the paragraph's lines, and what follows, where a fresh layout
    // puts them.
    void lineBreakAfterATable_data()
    {
        QTest::addColumn<QByteArray>("after"); // what follows the empty paragraph
        QTest::newRow("the last paragraph") << QByteArray();
        QTest::newRow("a paragraph follows") << QByteArray("Fin du document.\\par");
        QTest::newRow("a table follows")
            << QByteArray("\\trowd\\cellx3000\\pard\\intbl Encore\\cell\\row\\pard Fin.\\par");
    }
    void lineBreakAfterATable()
    {
        QFETCH(QByteArray, after);
        open("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard Avant le tableau.\\par"
             "\\trowd\\cellx2000\\cellx4000\\pard\\intbl Un\\cell Deux\\par trois\\cell\\row"
             "\\pard\\par " + after + "}");
        verifyLaidOutAsFresh();
        QTextDocument *doc = editor()->document();
        const QTextFrame *table = doc->rootFrame()->childFrames().value(0);
        QVERIFY(table);
        const QTextBlock empty = doc->findBlock(table->lastPosition() + 1);
        QCOMPARE(empty.length(), 1);
        // The caret there by a click on it.
        const QRectF r = doc->documentLayout()->blockBoundingRect(empty);
        editor()->verticalScrollBar()->setValue(0);
        QTest::mouseClick(editor()->viewport(), Qt::LeftButton, {}, QPoint(int(r.left()) + 4, int(r.center().y())));
        QCOMPARE(editor()->textCursor().position(), empty.position());
        key(Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(doc->findBlock(table->lastPosition() + 1).text(), QString(QChar::LineSeparator));
        verifyLaidOutAsFresh();
        f.type(QStringLiteral("mot"));
        key(Qt::Key_Return, Qt::ShiftModifier);
        verifyLaidOutAsFresh();
        key(Qt::Key_Z, Qt::ControlModifier, 3);
        verifyLaidOutAsFresh();
    }

    // A vertically centred cell of a table in a cell, its lines spaced in proportion,
    // typed in and beside: it stands where a fresh layout puts it.
    void centredNestedCellWithProportionalSpacing_data()
    {
        QTest::addColumn<QByteArray>("spacing");
        QTest::newRow("one and a half") << QByteArray("\\sl360\\slmult1");
        QTest::newRow("double") << QByteArray("\\sl480\\slmult1");
        QTest::newRow("1.15") << QByteArray("\\sl276\\slmult1");
    }
    void centredNestedCellWithProportionalSpacing()
    {
        QFETCH(QByteArray, spacing);
        open("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\trowd\\cellx6000"
             "\\pard\\intbl\\itap2" + spacing + " Au centre\\nestcell"
             "\\pard\\intbl\\itap2" + spacing + " Un\\par deux\\par trois\\par quatre\\nestcell"
             "{\\*\\nesttableprops\\trowd\\clvertalc\\cellx2500\\cellx5000\\nestrow}"
             "\\pard\\intbl\\itap1 Dehors\\cell\\row\\pard Fin.\\par}");
        verifyLaidOutAsFresh();
        QTextDocument *doc = editor()->document();
        const QTextBlock centred = doc->findBlock(int(doc->toPlainText().indexOf(QStringLiteral("Au centre"))));
        QVERIFY(centred.isValid());
        QTextCursor c(centred);
        c.movePosition(QTextCursor::EndOfBlock);
        editor()->setTextCursor(c);
        f.type(QStringLiteral(" ici"));
        verifyLaidOutAsFresh();
        key(Qt::Key_Return);
        f.type(QStringLiteral("et la"));
        verifyLaidOutAsFresh();
        const QTextBlock other = doc->findBlock(int(doc->toPlainText().indexOf(QStringLiteral("quatre"))));
        c = QTextCursor(other);
        c.movePosition(QTextCursor::EndOfBlock);
        editor()->setTextCursor(c);
        key(Qt::Key_Return);
        f.type(QStringLiteral("cinq"));
        verifyLaidOutAsFresh();
        key(Qt::Key_Z, Qt::ControlModifier, 4);
        verifyLaidOutAsFresh();
    }

    // Paragraphs with space above and below them, before and after a table, typed
    // in and split: a point exactly on the edge between two paragraphs, and a click
    // there, find what a fresh layout finds, the end of the upper one.
    void pointBetweenTwoParagraphs_data()
    {
        QTest::addColumn<QByteArray>("spacing");
        QTest::newRow("none") << QByteArray("");
        QTest::newRow("above and below") << QByteArray("\\sb120\\sa240");
        QTest::newRow("below, exact lines") << QByteArray("\\sa200\\sl-300\\slmult0");
    }
    void pointBetweenTwoParagraphs()
    {
        QFETCH(QByteArray, spacing);
        QByteArray body;
        for (int i = 0; i < 6; ++i)
            body += "\\pard" + spacing + " Paragraphe " + QByteArray::number(i) + " avec quelques mots.\\par";
        open("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}" + body +
             "\\trowd\\cellx3000\\pard\\intbl Cellule\\cell\\row" + body + "}");
        QTextDocument *doc = editor()->document();
        // Typed into the second paragraph, then split in two, and a word after the table.
        QTextCursor c(doc->findBlockByNumber(1));
        c.movePosition(QTextCursor::EndOfBlock);
        editor()->setTextCursor(c);
        f.type(QStringLiteral(" encore"));
        key(Qt::Key_Left, {}, 3);
        key(Qt::Key_Return);
        key(Qt::Key_End, Qt::ControlModifier);
        f.type(QStringLiteral(" fin"));
        key(Qt::Key_Return);
        verifyLaidOutAsFresh();
        const LayoutCheck::Fresh fresh = LayoutCheck::freshLayout(doc);
        QAbstractTextDocumentLayout *mine = doc->documentLayout();
        QTextBlock b = fresh.doc->begin();
        for (QTextBlock a = doc->begin(); a.isValid() && a.next().isValid(); a = a.next(), b = b.next()) {
            const QRectF r = mine->blockBoundingRect(a);
            for (const qreal y : {r.bottom(), mine->blockBoundingRect(a.next()).top()}) {
                const QPointF p(r.left() + 20, y);
                for (Qt::HitTestAccuracy accuracy : {Qt::FuzzyHit, Qt::ExactHit})
                    QCOMPARE(mine->hitTest(p, accuracy), fresh.layout->hitTest(p, accuracy));
            }
        }
    }

    // Ctrl+Delete at the end of a cell and Ctrl+Backspace at the start of the next
    // take nothing, as Delete and Backspace there, also when the cell holds a line
    // shown in pieces: Qt's editor would select into the other cell and empty both.
    void wordDeletionAtACellEdge_data()
    {
        QTest::addColumn<bool>("pieces");
        QTest::newRow("short cells") << false;
        QTest::newRow("a cell in pieces") << true;
    }
    void wordDeletionAtACellEdge()
    {
        QFETCH(bool, pieces);
        open("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard Avant.\\par"
             "\\trowd\\cellx3000\\cellx6000\\pard\\intbl Un mot\\cell Deux mots\\cell\\row\\pard Fin.\\par}");
        QTextDocument *doc = editor()->document();
        auto *table = qobject_cast<QTextTable *>(doc->rootFrame()->childFrames().value(0));
        QVERIFY(table);
        QTextCursor c(doc);
        c.setPosition(table->cellAt(0, 0).lastPosition());
        editor()->setTextCursor(c);
        if (pieces) {
            f.services.clipboard->content = QStringLiteral("0123456789abcdefghij").repeated(3500);
            f.click("Image5");
            editor()->setFocus();
            QVERIFY(!SoftBreaks::Map(doc).isEmpty());
        }
        const QString before = editor()->text();
        const int end = editor()->selStart();
        key(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(editor()->text(), before);
        QCOMPARE(editor()->selStart(), end);
        c.setPosition(table->cellAt(0, 1).firstPosition());
        editor()->setTextCursor(c);
        const int start = editor()->selStart();
        key(Qt::Key_Backspace, Qt::ControlModifier);
        QCOMPARE(editor()->text(), before);
        QCOMPARE(editor()->selStart(), start);
        // Within the cell a word goes as ever.
        key(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(editor()->text(), QString(before).remove(start, 5));
        verifyLaidOutAsFresh();
    }

    // A selection from inside a table at the top of the document to its end takes in
    // the table's frame and the hidden block in front of it: what is copied is the
    // text selected, the typed letters first, and nothing of that block.
    void copyFromACellPastTheTable()
    {
        open("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}"
             "\\trowd\\cellx3000\\cellx6000\\pard\\intbl Un\\cell Deux\\cell\\row\\pard Fin.\\par}");
        key(Qt::Key_Home, Qt::ControlModifier);
        f.type(QStringLiteral("ab"));
        QVERIFY(editor()->text().startsWith(QStringLiteral("abUn")));
        key(Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
        QCOMPARE(editor()->selStart(), 0);
        // In the document the selection begins on the hidden block's separator.
        QCOMPARE(editor()->textCursor().selectionStart(), 0);
        QCOMPARE(editor()->document()->characterAt(0), QChar(TextMarks::FrameStart));
        f.services.clipboard->content = QStringLiteral("earlier");
        f.click("Image10");
        QCOMPARE(f.services.clipboard->content, editor()->text().left(editor()->selLength()));
        QVERIFY(f.services.clipboard->content.startsWith(QStringLiteral("abUn\nDeux")));
        QVERIFY(f.services.clipboard->content.endsWith(QStringLiteral("Fin.")));
    }

    // Justified paragraphs replaced by a typed word, then the typing and the
    // replacement undone: the program goes on with the old text.
    void undoAfterTypingOverJustifiedParagraphs()
    {
        open("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f1 MS Mincho;}}"
             "\\pard\\qj \\par\\par\\par\\par\\pard\\qj Spanish\\par\\pard\\ql \\u161?Hola\\par"
             "\\pard\\ql Liga espa\\u241?ola\\par\\pard\\qj \\par}");
        const QString before = editor()->text();
        key(Qt::Key_Home, Qt::ControlModifier);
        key(Qt::Key_Right, {}, 3);
        key(Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
        f.type(QStringLiteral("fbeAD"));
        QCOMPARE(editor()->text(), before.left(3) + QStringLiteral("fbeAD"));
        QCOMPARE(LayoutCheck::staleLines(editor()->document()), QString());
        key(Qt::Key_Z, Qt::ControlModifier, 2);
        QCOMPARE(editor()->text(), before);
        QCOMPARE(LayoutCheck::staleLines(editor()->document()), QString());
        verifyLaidOutAsFresh();
    }

    // A document a few lines higher or lower than the view, lines added and taken
    // away at its end: once laid out, the scroll bar reaches the document's bottom
    // and no further, whether the bar comes, goes or stays.
    void scrollRangeReachesTheEndAfterEdits_data()
    {
        QTest::addColumn<int>("lines");
        for (int lines = -3; lines <= 3; ++lines)
            QTest::addRow("%+d lines", lines) << lines;
    }
    void scrollRangeReachesTheEndAfterEdits()
    {
        QFETCH(int, lines);
        QByteArray paragraphs;
        const QByteArray words = "Les mots de ce paragraphe passent a la ligne selon la largeur de la vue. ";
        for (int i = 0; i < 6; ++i)
            paragraphs += "\\pard " + words + words + words + "\\par\n";
        open("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24\n" + paragraphs + "}");
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        const auto verifyRange = [this](const char *when) {
            QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
            QTest::qWait(20);
            const int high = editor()->documentLayout()->documentSize().toSize().height();
            const int wanted = qMax(0, high - editor()->viewport()->height());
            QVERIFY2(editor()->verticalScrollBar()->maximum() == wanted,
                     qPrintable(QStringLiteral("%1: the scroll range ends at %2 for a document %3 px high in a view %4 px high")
                                    .arg(QLatin1String(when))
                                    .arg(editor()->verticalScrollBar()->maximum())
                                    .arg(high)
                                    .arg(editor()->viewport()->height())));
        };
        // The view made as high as the document give or take a few lines, the scroll
        // bar shown.
        const int high = editor()->documentLayout()->documentSize().toSize().height();
        const int chrome = editor()->height() - editor()->viewport()->height();
        editor()->resize(editor()->width(), high + chrome + lines * 7);
        verifyRange("resized");
        key(Qt::Key_End, Qt::ControlModifier);
        for (int step = 0; step < 4; ++step) {
            key(Qt::Key_Return);
            verifyRange("Enter");
            f.type(QStringLiteral("mot "));
            verifyRange("typed");
        }
        for (int step = 0; step < 8; ++step) {
            key(Qt::Key_Backspace, Qt::ControlModifier);
            verifyRange("word deleted");
        }
        key(Qt::Key_Z, Qt::ControlModifier, 3);
        verifyRange("undone");
    }

};

QTEST_MAIN(TestEditingLayout)
#include "tst_editinglayout.moc"
