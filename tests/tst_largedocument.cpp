// Large and extreme documents opened through the open image: the whole document is
// laid out in the end whatever the user does meanwhile, documents taller than Qt's
// fixed-point layout allows open and can be scrolled to the end, huge paragraphs are
// shown in pieces that never reach the text, and the editor draws what Qt's own
// layout draws, but where it means to differ: it measures text as word processors do
// (advances at the fractional pixel size of a point size where Qt rounds it to whole
// pixels, line heights from the faces' own line metrics, the space after a paragraph
// added to the space before the next). The comparisons with Qt's layout are made
// with those rules off; tst_producermetrics holds them against the producer.
#include "base/layoutproperties.h"
#include "base/textmarks.h"
#include "documentfixture.h"
#include "platform/documentloader.h"
#include "layout/imagehandler.h"
#include "layout/paragraphlayout.h"
#include "layout/softbreaks.h"
#include "layout/textmetrics.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextImageFormat>
#include <QTextLayout>
#include <QTextTable>
#include <QTimer>

#include <functional>

namespace {

// Qt's own layout stops at 2^23 pixels.
constexpr double QtLayoutLimit = 8388608;

// Where the editor follows the producer of a document and Qt's layout does not:
// rows as high as the producer set them, cells that hold their paragraphs' spacing,
// paragraphs' borders, sections' columns. Taking these off the editor's document leaves what both layouts must place alike.
void withoutProducersLayout(QTextDocument *doc)
{
    QList<QTextTable *> tables;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QTextCursor c(b);
        if (QTextTable *t = c.currentTable(); t && !tables.contains(t))
            tables << t;
    }
    // A section's columns, and with them the blocks Qt keeps beside their frame.
    for (QTextFrame *frame : doc->rootFrame()->childFrames()) {
        if (!ParagraphLayout::isColumns(frame))
            continue;
        QTextFrameFormat f = frame->frameFormat();
        for (const auto p : {LayoutProperty::ColumnCount, LayoutProperty::ColumnGap, LayoutProperty::ColumnHeight,
                             LayoutProperty::ColumnRule})
            f.clearProperty(p);
        frame->setFrameFormat(f);
        for (QTextBlock beside : {doc->findBlock(frame->firstPosition() - 1), doc->findBlock(frame->lastPosition() + 1)}) {
            QTextBlockFormat plain = beside.blockFormat();
            plain.clearProperty(TextMarks::Structural);
            QTextCursor(beside).setBlockFormat(plain);
        }
    }
    for (QTextTable *t : tables) {
        QTextTableFormat f = t->format();
        f.clearProperty(LayoutProperty::RowHeights);
        f.clearProperty(LayoutProperty::CellsKeepSpacing);
        f.clearProperty(LayoutProperty::ColumnsAsGiven);
        t->setFormat(f);
    }
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        bool bordered = false;
        for (const auto side : {LayoutProperty::BorderTop, LayoutProperty::BorderLeft, LayoutProperty::BorderBottom,
                                LayoutProperty::BorderRight}) {
            bordered = bordered || f.hasProperty(side);
            f.clearProperty(side);
        }
        // A label right-aligned at the indent, as Qt has no such alignment.
        const bool labelled = f.hasProperty(LayoutProperty::LabelRight);
        f.clearProperty(LayoutProperty::LabelRight);
        if (bordered || labelled)
            QTextCursor(b).setBlockFormat(f);
    }
}

QString corpusFile(const char *name)
{
    return QStringLiteral(ORVO_RTF_CORPUS "/large/") + QLatin1String(name);
}

// Whether the block is a blank paragraph right before or right after a table.
bool blankBesideTable(const QTextBlock &b)
{
    const QTextDocument *doc = b.document();
    if (b.length() != 1 || ParagraphLayout::isStructural(b))
        return false;
    const int at = b.position();
    const QTextFrame *next = doc->characterAt(at) == QChar(TextMarks::FrameStart) ? doc->frameAt(at + 1) : nullptr;
    const QTextFrame *before = at > 0 && doc->characterAt(at - 1) == QChar(TextMarks::FrameEnd) ? doc->frameAt(at - 1) : nullptr;
    return (qobject_cast<const QTextTable *>(next) && next->firstPosition() == at + 1)
        || (qobject_cast<const QTextTable *>(before) && before->lastPosition() == at - 1);
}

// Where the editor's layout deliberately differs from Qt's: word processors show a
// blank paragraph beside a table as a line, where Qt gives an empty paragraph before
// a table no height and tucks one after a table against its corner. Only the block a
// table needs where the document has no paragraph takes no room, as in Qt. The
// reference gets a space in each blank paragraph beside a table, so that Qt lays it
// out as a line of the same height; everything else is compared as it is.
int showBlanksBesideTables(QTextDocument *doc)
{
    int shown = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (!blankBesideTable(b))
            continue;
        QTextCursor(b).insertText(QStringLiteral(" "), b.charFormat());
        ++shown;
    }
    return shown;
}

} // namespace

// Held against Qt's own layout, a test lays its text out by Qt's rules alone (see
// above) while it runs; every other test has the word processors' rules.
struct QtsOwnRules final
{
    QtsOwnRules() { TextMetrics::setWordProcessorRules(false); }
    ~QtsOwnRules() { TextMetrics::setWordProcessorRules(true); }
    QtsOwnRules(const QtsOwnRules &) = delete;
    QtsOwnRules &operator=(const QtsOwnRules &) = delete;
};

class TestLargeDocument final : public QObject
{
    Q_OBJECT

    DocumentFixture f;

    RichTextBox *editor() const { return f.editor(); }

    void open(const QString &path)
    {
        f.answerFileDialog(path);
        f.click("Image6");
    }

    // Whether the paragraph shows in the view as it is scrolled now.
    bool inView(const QTextBlock &block) const
    {
        const QRectF r = editor()->document()->documentLayout()->blockBoundingRect(block);
        const int top = editor()->verticalScrollBar()->value();
        return block.layout()->lineCount() > 0 && r.bottom() > top && r.top() < top + editor()->viewport()->height();
    }

    bool endReachedByScrolling() const
    {
        QScrollBar *bar = editor()->verticalScrollBar();
        bar->setValue(bar->maximum());
        QCoreApplication::processEvents();
        return inView(editor()->document()->lastBlock());
    }

    // Where a line of the paragraph shows in the viewport, in its coordinates.
    QRectF lineInView(const QTextBlock &block, int line) const
    {
        const QRectF r = editor()->document()->documentLayout()->blockBoundingRect(block);
        const QTextLayout *layout = block.layout();
        if (layout->lineCount() == 0)
            return QRectF();
        // The box the layout stood the line in, which the caret and the selection keep to.
        const QRectF box = ParagraphLayout::lineBox(block, line < 0 ? layout->lineCount() - 1 : line);
        return box.translated(r.topLeft()).translated(0, -editor()->verticalScrollBar()->value());
    }

    // Whether the last line of the document shows whole, the first one at the top.
    bool lastLineWhole() const
    {
        const QRectF r = lineInView(editor()->document()->lastBlock(), -1);
        return r.isValid() && r.top() >= 0 && r.bottom() <= editor()->viewport()->height();
    }
    bool firstLineAtTop() const
    {
        const QRectF r = lineInView(editor()->document()->begin(), 0);
        return r.isValid() && r.top() >= 0 && r.top() < r.height();
    }

    QAbstractTextDocumentLayout *layout() const { return editor()->document()->documentLayout(); }

    bool caretInView() const
    {
        const QRectF caret = editor()->caretRect();
        return caret.isValid() && caret.top() >= 0 && caret.bottom() <= editor()->viewport()->height();
    }

    int paragraphsWithoutLines() const
    {
        int n = 0;
        for (QTextBlock b = editor()->document()->begin(); b.isValid(); b = b.next())
            n += b.isVisible() && b.layout()->lineCount() == 0;
        return n;
    }

private slots:
    void init()
    {
        const QByteArray name = QTest::currentTestFunction();
        f.setUp();
        // The suite runs this test in two halves side by side (ORVO_TEST_HALF): the
        // ends reached after a load, the longest function, and all the others.
        const QByteArray half = qgetenv("ORVO_TEST_HALF");
        if (!half.isEmpty() && (half == "ends") != (name == "theEndsAreReachedAtOnceAfterALoad"))
            QSKIP("run in the other half");
    }
    void cleanup()
    {
        f.tearDown();
    }

    void keyDuringTheBackgroundLayoutLeavesNothingBehind()
    {
        open(corpusFile("large-5mb.rtf"));
        QVERIFY(!editor()->isLaidOut()); // the rest is laid out in the background
        QTest::qWait(50);
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_X);
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 120000);
        // The height found in the background is the height of every paragraph laid out.
        QAbstractTextDocumentLayout *layout = editor()->document()->documentLayout();
        const qreal height = layout->documentSize().height();
        for (QTextBlock b = editor()->document()->begin(); b.isValid(); b = b.next())
            layout->blockBoundingRect(b);
        QCOMPARE(paragraphsWithoutLines(), 0);
        QCOMPARE(layout->documentSize().height(), height);
        QVERIFY(endReachedByScrolling());
        QVERIFY(editor()->text().startsWith(QLatin1Char('x')));
    }

    void theViewStaysOnItsTextWhileTheRestIsLaidOut()
    {
        open(corpusFile("large-5mb.rtf"));
        QScrollBar *bar = editor()->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        QCoreApplication::processEvents();
        QAbstractTextDocumentLayout *layout = editor()->document()->documentLayout();
        const QPointF top(20, bar->value() + 10);
        const int shown = layout->hitTest(top, Qt::FuzzyHit);
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 120000);
        QCOMPARE(layout->hitTest(QPointF(20, bar->value() + 10), Qt::FuzzyHit), shown);
    }

    // Right after a load, with most of the document only estimated, the keys and the
    // scroll bar's ends take the view where the user asked at once, and it stays there
    // while the rest is laid out.
    void theEndsAreReachedAtOnceAfterALoad_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("Ctrl+End") << QStringLiteral("ctrl+end");
        QTest::newRow("Ctrl+Home after Ctrl+End") << QStringLiteral("ctrl+home");
        QTest::newRow("PageDown") << QStringLiteral("pagedown");
        QTest::newRow("scroll bar's bottom end") << QStringLiteral("bar end");
        QTest::newRow("scroll bar's top end") << QStringLiteral("bar top");
    }
    void theEndsAreReachedAtOnceAfterALoad()
    {
        QFETCH(QString, action);
        open(corpusFile("large-5mb.rtf"));
        editor()->setFocus();
        QScrollBar *bar = editor()->verticalScrollBar();
        // The ends of the groove, beside the arrows: a middle click jumps there; the
        // thumb, at an end, is taken to the other by the left button.
        const int arrow = bar->width();
        const QPoint bottom(bar->width() / 2, bar->height() - arrow - 2);
        const QPoint top(bar->width() / 2, arrow + 2);
        std::function<bool()> landed;
        if (action == QLatin1String("ctrl+end")) {
            QTest::keyClick(editor(), Qt::Key_End, Qt::ControlModifier);
            landed = [this] { return lastLineWhole() && editor()->textCursor().atEnd(); };
        } else if (action == QLatin1String("ctrl+home")) {
            QTest::keyClick(editor(), Qt::Key_End, Qt::ControlModifier);
            QCoreApplication::processEvents();
            QTest::keyClick(editor(), Qt::Key_Home, Qt::ControlModifier);
            landed = [this, bar] { return firstLineAtTop() && editor()->textCursor().atStart() && bar->value() == 0; };
        } else if (action == QLatin1String("pagedown")) {
            for (int i = 0; i < 3; ++i) {
                const int before = bar->value();
                QTest::keyClick(editor(), Qt::Key_PageDown);
                QCOMPARE(bar->value(), before + bar->pageStep());
            }
            const int top = layout()->hitTest(QPointF(20, bar->value() + 10), Qt::FuzzyHit);
            landed = [this, top, bar] {
                return layout()->hitTest(QPointF(20, bar->value() + 10), Qt::FuzzyHit) == top && caretInView();
            };
        } else if (action == QLatin1String("bar end")) {
            QTest::mouseClick(bar, Qt::MiddleButton, {}, bottom);
            landed = [this] { return lastLineWhole(); };
        } else {
            QTest::mouseClick(bar, Qt::MiddleButton, {}, bottom);
            QCoreApplication::processEvents();
            QTest::mousePress(bar, Qt::LeftButton, {}, bottom);
            QTest::mouseMove(bar, top);
            QTest::mouseMove(bar, top - QPoint(0, arrow * 2));
            QTest::mouseRelease(bar, Qt::LeftButton, {}, top - QPoint(0, arrow * 2));
            landed = [this] { return firstLineAtTop(); };
        }
        QCoreApplication::processEvents();
        QVERIFY(!editor()->isLaidOut());
        QVERIFY(landed());
        while (!editor()->isLaidOut()) {
            QTest::qWait(5);
            QVERIFY(landed());
        }
    }

    void sevenHundredThousandLinesOpenAndTheLastIsReached()
    {
        const QString path = f.dir->filePath(QStringLiteral("lignes.txt"));
        QByteArray lines;
        for (int i = 1; i <= 700000; ++i)
            lines += "l" + QByteArray::number(i) + '\n';
        QVERIFY(writeBytes(path, lines));
        open(path);
        QCOMPARE(editor()->document()->blockCount(), 700000);
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_End, Qt::ControlModifier);
        QVERIFY(editor()->textCursor().atEnd());
        QCOMPARE(editor()->textCursor().block().text(), QStringLiteral("l700000"));
        QVERIFY(inView(editor()->textCursor().block()));
        QVERIFY(editor()->document()->documentLayout()->documentSize().height() > QtLayoutLimit);
    }

    // Paragraphs 2,112 pixels apart: 3,950 of them come near Qt's limit, and a paste
    // takes the document past it.
    void pastingPastTheHeightLimitKeepsTheProgramAnswering()
    {
        const QString path = f.dir->filePath(QStringLiteral("haut.rtf"));
        QByteArray rtf = "{\\rtf1\\ansi ";
        for (int i = 1; i <= 3950; ++i)
            rtf += "\\pard\\sb31680 p" + QByteArray::number(i) + "\\par\n";
        QVERIFY(writeBytes(path, rtf + "}"));
        open(path);
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_End, Qt::ControlModifier);
        QString pasted;
        for (int i = 1; i <= 400; ++i)
            pasted += QStringLiteral("collé %1\n").arg(i);
        f.services.clipboard->content = pasted + QStringLiteral("fin");
        f.click("Image5");
        bool answered = false;
        QTimer::singleShot(0, this, [&answered] { answered = true; });
        QTRY_VERIFY(answered);
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        QVERIFY(editor()->document()->documentLayout()->documentSize().height() > QtLayoutLimit);
        QVERIFY(editor()->text().endsWith(QStringLiteral("collé 400\nfin")));
        QVERIFY(endReachedByScrolling());
    }

    // One paragraph too long for the text engine is shown in pieces; none of them
    // reaches the text, its positions, what is copied or what is saved.
    void hugeParagraphPiecesAreNotText_data()
    {
        QTest::addColumn<QByteArray>("unit");
        QTest::newRow("without a blank") << QByteArray("abcdefghij");
        QTest::newRow("words") << QByteArray("mot ");
        QTest::newRow("beyond Latin-1") << QByteArray("\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80 ");
    }
    void hugeParagraphPiecesAreNotText()
    {
        QFETCH(QByteArray, unit);
        const QByteArray line = unit.repeated(300000 / unit.size());
        const QString path = f.dir->filePath(QStringLiteral("ligne.txt"));
        QVERIFY(writeBytes(path, "avant\n" + line + "\napr\xc3\xa8s"));
        open(path);
        const QString expected = QString::fromUtf8("avant\n" + line + "\napr\xc3\xa8s");
        QVERIFY(editor()->document()->blockCount() > 4); // shown in pieces
        QCOMPARE(editor()->text(), expected);

        // Positions across every piece's end select the very characters of the text.
        for (QTextBlock b = editor()->document()->findBlockByNumber(2); b.isValid() && b.next().isValid(); b = b.next()) {
            QTextCursor c(editor()->document());
            c.setPosition(b.position());
            editor()->setTextCursor(c);
            const int at = editor()->selStart();
            f.form->Text1->setText(expected.mid(at - 3, 6));
            editor()->setSelStart(at - 3);
            editor()->setSelLength(6);
            QCOMPARE(editor()->selText(), expected.mid(at - 3, 6));
            f.click("Image10");
            QCOMPARE(f.services.clipboard->content, expected.mid(at - 3, 6));
        }

        // Backspace at the start of a piece, Enter inside one: the text changes as a
        // user expects, no more.
        const QTextBlock piece = editor()->document()->findBlockByNumber(3);
        QTextCursor c(editor()->document());
        c.setPosition(piece.position());
        editor()->setTextCursor(c);
        const int at = editor()->selStart();
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_Backspace);
        QString edited = expected;
        edited.remove(at - 1, 1);
        QCOMPARE(editor()->text(), edited);
        QTest::keyClick(editor(), Qt::Key_Return);
        edited.insert(at - 1, QLatin1Char('\n'));
        QCOMPARE(editor()->text(), edited);

        // Saved, the text comes back byte for byte.
        const QString saved = f.dir->filePath(QStringLiteral("enregistre.txt"));
        f.answerFileDialog(saved);
        f.click("Image7");
        QCOMPARE(fileBytes(saved), (edited + QStringLiteral("\r\n")).toUtf8());
    }

    void pastedHugeLineIsShownInPiecesAndUndoneWhole()
    {
        f.editor()->setText(QStringLiteral("début fin"));
        editor()->setSelStart(6);
        const QString line = QStringLiteral("zyxwvutsrq").repeated(20000);
        f.services.clipboard->content = line + QStringLiteral(" ");
        f.click("Image5");
        QVERIFY(editor()->document()->blockCount() > 3);
        QCOMPARE(editor()->text(), QStringLiteral("début ") + line + QStringLiteral(" fin"));
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor()->text(), QStringLiteral("début fin"));
        QCOMPARE(editor()->document()->blockCount(), 1);
    }

    // A table, a picture, margins and alignment: the editor draws them where Qt's own
    // layout draws them, and a caret placed anywhere is where Qt puts it.
    void drawsWhatQtsOwnLayoutDraws()
    {
        const QtsOwnRules qtRules;
        QTextEdit reference;
        for (QTextEdit *edit : {static_cast<QTextEdit *>(editor()), &reference}) {
            QTextDocument *doc = edit->document();
            doc->clear();
            QTextCursor c(doc);
            QTextBlockFormat centred;
            centred.setAlignment(Qt::AlignHCenter);
            centred.setBottomMargin(12);
            c.setBlockFormat(centred);
            c.insertText(QStringLiteral("Titre centré au-dessus d'un tableau qui a sa propre largeur."));
            QTextTableFormat tf;
            tf.setCellPadding(3);
            tf.setWidth(QTextLength(QTextLength::PercentageLength, 90));
            tf.setAlignment(Qt::AlignHCenter);
            QTextTable *table = c.insertTable(2, 3, tf);
            for (int i = 0; i < 6; ++i)
                table->cellAt(i / 3, i % 3).firstCursorPosition().insertText(QStringLiteral("cellule %1 avec du texte").arg(i));
            table->mergeCells(1, 0, 1, 2);
            QTextCursor after = table->lastCursorPosition();
            after.movePosition(QTextCursor::NextBlock);
            QImage image(30, 20, QImage::Format_RGB32);
            image.fill(Qt::darkCyan);
            doc->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("rtfimage://1")), image);
            QTextImageFormat picture;
            picture.setName(QStringLiteral("rtfimage://1"));
            after.insertText(QStringLiteral("Une image "));
            after.insertImage(picture);
            after.insertText(QStringLiteral(" dans le texte, puis un retrait."));
            QTextBlockFormat indented;
            indented.setLeftMargin(40);
            indented.setTextIndent(-20);
            after.insertBlock(indented);
            after.insertText(QStringLiteral("Paragraphe en retrait, assez long pour passer à la ligne suivante au moins une fois."));
            // Columns of fixed widths, collapsed borders, as a reader of RTF makes them.
            QTextTableFormat fixed;
            fixed.setBorderCollapse(true);
            fixed.setCellSpacing(0);
            fixed.setCellPadding(2);
            fixed.setColumnWidthConstraints(
                {QTextLength(QTextLength::FixedLength, 120), QTextLength(QTextLength::FixedLength, 90)});
            QTextTable *grid = after.insertTable(3, 2, fixed);
            for (int i = 0; i < 6; ++i)
                grid->cellAt(i / 2, i % 2).firstCursorPosition().insertText(QStringLiteral("case %1").arg(i));
        }
        // The blank paragraph after the last table keeps its line here, where Qt tucks it
        // against the table's corner (see showBlanksBesideTables).
        QCOMPARE(showBlanksBesideTables(reference.document()), 1);
        reference.setFrameShape(QFrame::NoFrame);
        reference.setFont(editor()->font());
        reference.document()->setDefaultFont(editor()->document()->defaultFont());
        reference.resize(editor()->size());
        reference.show();
        QVERIFY(QTest::qWaitForWindowExposed(&reference));
        QTRY_VERIFY(editor()->isLaidOut());
        for (int pos = 0; pos < editor()->document()->characterCount(); ++pos) {
            QTextCursor mine(editor()->document());
            mine.setPosition(pos);
            editor()->setTextCursor(mine);
            QTextCursor theirs(reference.document());
            theirs.setPosition(pos);
            reference.setTextCursor(theirs);
            QCOMPARE(editor()->cursorRect(), reference.cursorRect());
        }
        editor()->moveCursor(QTextCursor::Start);
        reference.moveCursor(QTextCursor::Start);
        editor()->clearFocus();
        QCoreApplication::processEvents();
        QCOMPARE(editor()->viewport()->grab().toImage(), reference.viewport()->grab().toImage());

        // Lines typed into a cell of the fixed table make its row taller, and only it.
        for (QTextEdit *edit : {static_cast<QTextEdit *>(editor()), &reference}) {
            QTextCursor c(edit->document());
            c.movePosition(QTextCursor::End);
            c.movePosition(QTextCursor::PreviousBlock);
            c.movePosition(QTextCursor::PreviousBlock);
            c.movePosition(QTextCursor::PreviousBlock);
            c.insertText(QStringLiteral("\nplus long\nencore"));
        }
        QCoreApplication::processEvents();
        QCOMPARE(editor()->document()->documentLayout()->documentSize(), reference.document()->documentLayout()->documentSize());
        QCOMPARE(editor()->viewport()->grab().toImage(), reference.viewport()->grab().toImage());
    }

    // Runs in scripts Qt shapes with a font's OpenType tables, in fonts without them:
    // drawn as Qt's own layout draws them, with the family Qt falls back to (or the
    // same boxes where no installed family has the script).
    void scriptsShapedWithTablesAreDrawnAsQtDrawsThem()
    {
        const QtsOwnRules qtRules;
        struct Run
        {
            const char *text;
            const char *family;
            bool bold;
            bool italic;
        };
        const Run runs[] = {
            {"Praveen \u24B8|\u0D2A\u0D4D\u0D30\u0D35\u0D40\u0D23\u0D4D\u200D A|\u0D0E \u00A9 2008 \u4E2D x", "Liberation Serif", false, false},
            {"\u0928\u092E\u0938\u094D\u0924\u0947 \u0926\u0941\u0928\u093F\u092F\u093E 123", "DejaVu Sans", true, false},
            {" \u0BA4\u0BAE\u0BBF\u0BB4\u0BCD abc", "Liberation Sans", false, true},
            {"\u00AB (1) \u00BB \u1797\u17B6\u179F\u17B6\u1781\u17D2\u1798\u17C2\u179A", "Liberation Mono", false, false},
        };
        QTextEdit reference;
        for (QTextEdit *edit : {static_cast<QTextEdit *>(editor()), &reference}) {
            QTextDocument *doc = edit->document();
            doc->clear();
            QTextCursor c(doc);
            for (const Run &run : runs) {
                QTextCharFormat format;
                format.setFontFamilies({QString::fromLatin1(run.family)});
                format.setFontPointSize(14);
                format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
                format.setFontItalic(run.italic);
                c.insertText(QString::fromUtf8(run.text), format);
                c.insertBlock();
            }
        }
        reference.setFrameShape(QFrame::NoFrame);
        reference.setFont(editor()->font());
        reference.document()->setDefaultFont(editor()->document()->defaultFont());
        reference.resize(editor()->size());
        reference.show();
        QVERIFY(QTest::qWaitForWindowExposed(&reference));
        QTRY_VERIFY(editor()->isLaidOut());
        editor()->clearFocus();
        QCoreApplication::processEvents();
        QCOMPARE(editor()->viewport()->grab().toImage(), reference.viewport()->grab().toImage());
        QCOMPARE(editor()->toPlainText(), reference.toPlainText());
    }

    // The fonts named for such runs are no edit: once an opened document is laid out,
    // a key typed at its start is reported as changing what it typed, nothing after.
    void fontsNamedForScriptsAreNoEdit()
    {
        const QString path = f.dir->filePath(QStringLiteral("scripts.rtf"));
        QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0 ";
        for (int i = 1; i <= 200; ++i)
            rtf += "p" + QByteArray::number(i) + (i % 50 ? "" : " \\u3370?\\u3405?\\u3376? A") + "\\par\n";
        QVERIFY(writeBytes(path, rtf + "}"));
        open(path);
        QTRY_VERIFY(editor()->isLaidOut());
        QCoreApplication::processEvents();
        QList<QList<int>> changes;
        const QMetaObject::Connection watch = connect(
            editor()->document(), &QTextDocument::contentsChange, this,
            [&changes](int from, int removed, int added) { changes.append({from, removed, added}); });
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(editor(), Qt::Key_X);
        disconnect(watch);
        QCOMPARE(changes, (QList<QList<int>>{{0, 0, 1}}));
        QVERIFY(editor()->isLaidOut());
    }

    void clickPutsTheCaretOnTheCharacterClicked()
    {
        open(corpusFile("large-1mb.rtf"));
        QScrollBar *bar = editor()->verticalScrollBar();
        bar->setValue(bar->maximum() / 3);
        QCoreApplication::processEvents();
        const QPoint place(150, editor()->viewport()->height() / 2);
        QTest::mouseClick(editor()->viewport(), Qt::LeftButton, {}, place);
        const QRect caret = editor()->cursorRect();
        QVERIFY(qAbs(caret.center().y() - place.y()) <= caret.height());
        QVERIFY(qAbs(caret.x() - place.x()) <= 20);
        // And it stays there while the rest of the document is laid out: within the
        // pixel row the fractional heights above it round to, the scroll bar's steps
        // being whole pixels.
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        const QRect after = editor()->cursorRect();
        QCOMPARE(after.x(), caret.x());
        QVERIFY2(qAbs(after.y() - caret.y()) <= 1, qPrintable(QStringLiteral("%1 -> %2").arg(caret.y()).arg(after.y())));
    }

    // Every paragraph of every corpus document, laid out in the background, sits where
    // Qt's own layout puts it, but for what the editor shows as the producer did.
    void corpusLaysOutAsQtsOwnLayout_data()
    {
        QTest::addColumn<QString>("path");
        const QDir corpus(QStringLiteral(ORVO_RTF_CORPUS));
        for (const QString &name : corpus.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(name)) << corpus.filePath(name);
    }
    void corpusLaysOutAsQtsOwnLayout()
    {
        const QtsOwnRules qtRules;
        QFETCH(QString, path);
        QVERIFY(!editor()->loadFile(path));
        withoutProducersLayout(editor()->document());
        QTextEdit reference;
        reference.setFrameShape(QFrame::NoFrame);
        reference.resize(editor()->size());
        std::unique_ptr<QTextDocument> doc;
        QVERIFY(!DocumentLoader::load(path, &doc));
        doc->setDefaultFont(editor()->document()->defaultFont());
        if (const int blanks = showBlanksBesideTables(doc.get()))
            qInfo("%d blank paragraphs beside tables have their line, where Qt shows none", blanks);
        doc->setParent(&reference);
        reference.setDocument(doc.release());
        reference.show();
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        QAbstractTextDocumentLayout *mine = editor()->document()->documentLayout();
        QAbstractTextDocumentLayout *theirs = reference.document()->documentLayout();
        // The layout reports its size a turn of the event loop later (the scroll bar a
        // taller document needs, and the narrower width it leaves, come then).
        QTRY_COMPARE(mine->documentSize(), theirs->documentSize());
        QTextBlock a = editor()->document()->begin();
        for (QTextBlock b = reference.document()->begin(); b.isValid(); b = b.next(), a = a.next())
            QCOMPARE(mine->blockBoundingRect(a), theirs->blockBoundingRect(b));
    }

    // Odd documents (the fuzzing seeds: broken and nested tables, pictures, shapes,
    // fields, hostile fonts; and any folder named by ORVO_LAYOUT_INPUTS, such as a
    // fuzzing run's findings) open, are laid out whole, paint, and take keys at both
    // ends, with the text the keys make.
    void oddDocumentsLayOutPaintAndTakeKeys_data()
    {
        QTest::addColumn<QString>("path");
        QStringList folders{QStringLiteral(ORVO_SOURCE_DIR "/fuzz/seeds")};
        if (qEnvironmentVariableIsSet("ORVO_LAYOUT_INPUTS"))
            folders << qEnvironmentVariable("ORVO_LAYOUT_INPUTS");
        for (const QString &folder : folders) {
            const QDir dir(folder);
            for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
                QTest::newRow(qPrintable(name)) << dir.filePath(name);
        }
    }
    void oddDocumentsLayOutPaintAndTakeKeys()
    {
        QFETCH(QString, path);
        if (editor()->loadFile(path))
            return; // refused with a message: nothing to lay out
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        // Short paragraphs are only measured until shown; asking for one lays it out.
        for (QTextBlock b = editor()->document()->begin(); b.isValid(); b = b.next())
            editor()->document()->documentLayout()->blockBoundingRect(b);
        QCOMPARE(paragraphsWithoutLines(), 0);
        const QString before = editor()->text();
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(editor(), Qt::Key_A);
        QTest::keyClick(editor(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(editor(), Qt::Key_Z);
        QTest::keyClick(editor(), Qt::Key_Return);
        QVERIFY(!editor()->viewport()->grab().isNull());
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        QVERIFY(endReachedByScrolling());
        const QString after = editor()->text();
        QVERIFY(after.startsWith(QLatin1Char('a')));
        QCOMPARE(after.size(), before.size() + 3); // 'a', 'z' and a line end
    }

    // A narrower window lays everything out again, in the background; the view stays
    // on its text and the heights end up as a full layout at the new width has them.
    void narrowerWindowLaysOutAgain()
    {
        open(corpusFile("large-1mb.rtf"));
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        QScrollBar *bar = editor()->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        QCoreApplication::processEvents();
        QAbstractTextDocumentLayout *layout = editor()->document()->documentLayout();
        const int shown = layout->hitTest(QPointF(10, bar->value() + 5), Qt::FuzzyHit);
        editor()->resize(editor()->width() - 150, editor()->height());
        QCoreApplication::processEvents();
        QVERIFY(!editor()->isLaidOut());
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        const QTextBlock block = editor()->document()->findBlock(shown);
        const QRectF r = layout->blockBoundingRect(block);
        QVERIFY(r.bottom() > bar->value() && r.top() < bar->value() + editor()->viewport()->height());
        const qreal height = layout->documentSize().height();
        for (QTextBlock b = editor()->document()->begin(); b.isValid(); b = b.next())
            layout->blockBoundingRect(b);
        QCOMPARE(layout->documentSize().height(), height);
    }

    // The editor's own keys and clipboard around the pieces of a huge paragraph.
    void piecesWithTheEditorsOwnKeysAndClipboard()
    {
        const QString line = QStringLiteral("0123456789").repeated(10000);
        const QString path = f.dir->filePath(QStringLiteral("chiffres.txt"));
        QVERIFY(writeBytes(path, line.toUtf8()));
        open(path);
        const QTextBlock second = editor()->document()->begin().next();
        QVERIFY(second.isValid());
        // Delete at the end of a piece takes the first character of the next one.
        QTextCursor c(editor()->document());
        c.setPosition(second.position() - 1);
        editor()->setTextCursor(c);
        const int at = editor()->selStart();
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_Delete);
        QString expected = line;
        expected.remove(at, 1);
        QCOMPARE(editor()->text(), expected);
        // Ctrl+C across a piece's end copies the text; Ctrl+V of a long line splits it anew.
        editor()->setSelStart(at - 5);
        editor()->setSelLength(10);
        QTest::keyClick(editor(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected.mid(at - 5, 10));
        QGuiApplication::clipboard()->setText(line);
        editor()->moveCursor(QTextCursor::End);
        const int pieces = editor()->document()->blockCount();
        QTest::keyClick(editor(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(editor()->text(), expected + line);
        QVERIFY(editor()->document()->blockCount() > pieces);
        for (QTextBlock b = editor()->document()->begin(); b.isValid(); b = b.next())
            QVERIFY(b.length() <= SoftBreaks::MaxParagraph);
    }

    // Long paragraphs are laid out over several slices; deleting them meanwhile, or
    // typing before them, leaves a document that lays out whole.
    void editsWhileLongParagraphsAreLaidOut_data()
    {
        QTest::addColumn<bool>("deleteAll");
        QTest::newRow("everything deleted") << true;
        QTest::newRow("typed before them") << false;
    }
    void editsWhileLongParagraphsAreLaidOut()
    {
        QFETCH(bool, deleteAll);
        QByteArray text;
        for (int i = 0; i < 12; ++i)
            text += QByteArray("mot ").repeated(15000) + '\n';
        const QString path = f.dir->filePath(QStringLiteral("longs.txt"));
        QVERIFY(writeBytes(path, text));
        open(path);
        QTest::qWait(30);
        editor()->setFocus();
        if (deleteAll) {
            QTest::keyClick(editor(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(editor(), Qt::Key_Delete);
        } else {
            QTest::keyClick(editor(), Qt::Key_Z);
        }
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        QCOMPARE(editor()->text().size(), deleteAll ? 0 : text.size());
        QVERIFY(endReachedByScrolling());
    }

    void absurdPictureSizeIsShownBounded()
    {
        // A 1x1 PNG claiming a height of about 2.7 million pixels, 400 times.
        QImage pixel(1, 1, QImage::Format_RGB32);
        pixel.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(pixel.save(&buffer, "PNG"));
        QByteArray rtf = "{\\rtf1\\ansi ";
        for (int i = 0; i < 400; ++i)
            rtf += "{\\pict\\pngblip\\picw1\\pich1\\picwgoal15\\pichgoal2000000000 " + png.toHex() + "}\\par\n";
        const QString path = f.dir->filePath(QStringLiteral("images.rtf"));
        QVERIFY(writeBytes(path, rtf + "fin}"));
        open(path);
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        const QTextBlock first = editor()->document()->begin();
        const QRectF r = editor()->document()->documentLayout()->blockBoundingRect(first);
        QVERIFY(r.height() <= ImageHandler::MaximumSide + 100);
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_End, Qt::ControlModifier);
        QVERIFY(inView(editor()->textCursor().block()));
        QCOMPARE(editor()->textCursor().block().text(), QStringLiteral("fin"));
    }
};

QTEST_MAIN(TestLargeDocument)
#include "tst_largedocument.moc"
