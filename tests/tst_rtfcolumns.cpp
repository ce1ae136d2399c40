// Sections in newspaper columns: a frame of the body per section of more than one
// column, carrying the columns and the page's body height; the text stays as it is.

#include "base/layoutproperties.h"
#include "layout/paragraphlayout.h"
#include "platform/richtextbox.h"
#include "rtf/rtfreader.h"

#include <QAbstractTextDocumentLayout>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QtTest>

namespace {

constexpr qreal PixelsPerTwip = 96.0 / 1440.0;

// The frames of columns in the body, each with its text and its count, gap and height.
QStringList columns(const QByteArray &rtf)
{
    QTextDocument doc;
    [&] { QVERIFY(!Rtf::read(rtf, &doc)); }();
    QStringList out;
    for (QTextFrame *child : doc.rootFrame()->childFrames()) {
        if (!ParagraphLayout::isColumns(child))
            continue;
        QTextCursor c(&doc);
        c.setPosition(child->firstPosition());
        c.setPosition(child->lastPosition(), QTextCursor::KeepAnchor);
        const QTextFrameFormat f = child->frameFormat();
        out << QStringLiteral("%1 %2 %3 %4%5").arg(c.selection().toPlainText()).arg(f.intProperty(LayoutProperty::ColumnCount))
                   .arg(f.doubleProperty(LayoutProperty::ColumnGap)).arg(f.doubleProperty(LayoutProperty::ColumnHeight))
                   .arg(f.boolProperty(LayoutProperty::ColumnRule) ? " rule" : "");
        [&] { QCOMPARE(f.margin() + f.border() + f.padding(), 0.0); }();
    }
    return out;
}

// The lines of the first frame of columns as the editor shows the document, each as
// its text and the column it stands in, counted across the bands: "a@1 b@2".
QString linesInColumns(const QByteArray &rtf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.rtf"));
    QFile file(path);
    [&] { QVERIFY(file.open(QIODevice::WriteOnly)); }();
    file.write(rtf);
    file.close();
    RichTextBox box;
    box.resize(700, 500);
    box.show();
    [&] {
        QVERIFY(!box.loadFile(path));
        QTRY_VERIFY(box.isLaidOut());
    }();
    QTextFrame *frame = box.document()->rootFrame()->childFrames().value(0);
    if (!ParagraphLayout::isColumns(frame))
        return QStringLiteral("no columns");
    QAbstractTextDocumentLayout *layout = box.document()->documentLayout();
    const QRectF rect = layout->frameBoundingRect(frame);
    const qreal band = frame->frameFormat().doubleProperty(LayoutProperty::ColumnHeight);
    QStringList out;
    for (QTextBlock b = box.document()->findBlock(frame->firstPosition()); b.isValid() && b.position() < frame->lastPosition();
         b = b.next()) {
        const QPointF origin = layout->blockBoundingRect(b).topLeft();
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            const int column = 2 * int((origin.y() + line.y() - rect.top()) / band) + 1 +
                               (origin.x() + line.x() >= rect.center().x());
            out << b.text().mid(line.textStart(), line.textLength()).remove(QChar(0x2028)).trimmed() + '@' +
                       QString::number(column);
        }
    }
    return out.join(' ');
}

QString px(int twips)
{
    return QString::number(twips * PixelsPerTwip);
}

} // namespace

class TestRtfColumns final : public QObject
{
    Q_OBJECT

private slots:
    void sectionsAndTheirColumns();
    void editorTextAndTyping();
    void whereColumnsBreak();
};

void TestRtfColumns::sectionsAndTheirColumns()
{
    // One column, two on the section's own page, then one again (\sectd): only the
    // second section's paragraphs and table are in the frame.
    QCOMPARE(columns("{\\rtf1\\paperh15840\\margt1080\\margb1440\\sectd one\\par\\sect\\cols2\\colsx440\\linebetcol"
                     "\\pghsxn16000 two\\par\\trowd\\cellx2000\\pard\\intbl cell\\cell\\row\\pard three\\par\\sect\\sectd four\\par}"),
             QStringList{"two\ncell\nthree 2 " + px(440) + ' ' + px(16000 - 1080 - 1440) + " rule"});
    // Without \sectd a section keeps the columns before it, in a frame of its own, on
    // Word's page where the document gives none.
    const QString page = px(15840 - 2 * 1440);
    QCOMPARE(columns("{\\rtf1\\cols3 a\\par\\sect b\\par\\sect\\sectd c\\par}"),
             (QStringList{"a 3 48 " + page, "b 3 48 " + page}));
    // Hostile numbers: as many columns as a page may hold, the gaps then sharing half
    // its width; nonsense is none given, and margins leaving no body balance the columns.
    QCOMPARE(columns("{\\rtf1\\cols99999 a\\par}"), QStringList{"a 20 " + px(8640 / 38) + ' ' + page});
    QCOMPARE(columns("{\\rtf1\\cols0\\colsx100 a\\par}"), QStringList());
    QCOMPARE(columns("{\\rtf1\\cols2\\colsx-500\\paperh-5\\margb-100 a\\par}"), QStringList{"a 2 48 " + page});
    QCOMPARE(columns("{\\rtf1\\cols2\\margt9000\\margb9000 a\\par}"), QStringList{"a 2 48 0"});
    // A footer higher than its margin leaves room pushes the body's end up (two lines
    // of 12 points, 276 twips each, 720 from the edge, under a margin of 1000); under
    // \titlepg the first page has its own header and footer (here a line, a row whose
    // tallest cell is a line, and a line), and a band holds what every page holds.
    QCOMPARE(columns("{\\rtf1\\cols2\\margt1440\\margb1000{\\footer \\fs24 a\\par b\\par}x\\par}"),
             QStringList{"x 2 48 " + px(15840 - 1440 - (720 + 2 * 276))});
    QCOMPARE(columns("{\\rtf1\\cols2\\titlepg\\margt720\\margb1000{\\headerl \\fs24 h\\par}{\\footerf \\fs24 a\\par"
                     "\\trowd\\cellx1000\\cellx2000\\pard\\intbl\\fs12 s\\cell\\fs24\\cell\\row\\pard b\\par}x\\par}"),
             QStringList{"x 2 48 " + px(qMin(15840 - 720 - (720 + 3 * 276), 15840 - (720 + 276) - 1000))});
    // Blanks that end a paragraph hang past its edge: a rule of underlined spaces
    // across the footer is one line, not as many as the spaces would fill.
    QCOMPARE(columns("{\\rtf1\\cols2\\margt1440\\margb720{\\footer \\fs24\\ul " + QByteArray(600, ' ') + "\\par}x\\par}"),
             QStringList{"x 2 48 " + px(15840 - 1440 - (720 + 276))});
    // A table that ends the footer is followed by the empty paragraph word processors
    // keep after a table, at the row's size.
    QCOMPARE(columns("{\\rtf1\\cols2\\margt1440\\margb720{\\footer \\trowd\\cellx1000\\pard\\intbl\\fs24 a\\cell\\row}x\\par}"),
             QStringList{"x 2 48 " + px(15840 - 1440 - (720 + 2 * 276))});
    // Paragraphs that give no line spacing have the default style's (1.15 lines: 317
    // twips a line of 12 points); a table row's line, 1.3 lines (358), as LibreOffice
    // gives them room in a cell; then the paragraph after the table (317).
    QCOMPARE(columns("{\\rtf1{\\stylesheet{\\sa200\\sl276\\slmult1 Normal;}}\\cols2\\margt1440\\margb720{\\footer \\pard\\fs24 a\\par"
                     "\\trowd\\cellx1000\\pard\\intbl\\fs24 b\\cell\\row}x\\par}"),
             QStringList{"x 2 48 " + px(15840 - 1440 - (720 + 317 + 358 + 317))});
}

void TestRtfColumns::editorTextAndTyping()
{
    // Columns from the document's start to its end, opened as the open command does:
    // Qt's blocks before and after the frame are no lines and take no room, and what
    // is typed goes into the columns.
    QTemporaryDir dir;
    RichTextBox boxes[2];
    for (int cols = 0; cols < 2; ++cols) {
        const QString path = dir.filePath(QStringLiteral("c%1.rtf").arg(cols));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("{\\rtf1") + (cols ? "\\cols2" : "") + " first\\par second\\column third\\par}");
        file.close();
        boxes[cols].resize(700, 500);
        boxes[cols].show();
        QVERIFY(!boxes[cols].loadFile(path));
        QTRY_VERIFY(boxes[cols].isLaidOut());
    }
    RichTextBox &box = boxes[1];
    QCOMPARE(box.text(), QStringLiteral("first\nsecond\nthird"));
    box.selectAll();
    QCOMPARE(box.selText(), box.text());
    QAbstractTextDocumentLayout *plain = boxes[0].document()->documentLayout();
    QCOMPARE(box.document()->documentLayout()->blockBoundingRect(box.document()->firstBlock().next()).top(),
             plain->blockBoundingRect(boxes[0].document()->firstBlock()).top());
    QCOMPARE(box.document()->documentLayout()->documentSize().height(), plain->documentSize().height());

    box.setSelStart(9); // first\nsec|ond
    box.setSelLength(0);
    QTest::keyClicks(&box, QStringLiteral("XY"));
    box.moveCursor(QTextCursor::End);
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, QStringLiteral("end"));
    QCOMPARE(box.text(), QStringLiteral("first\nsecXYond\nthird\nend"));
    QTextFrame *frame = box.document()->rootFrame()->childFrames().value(0);
    QVERIFY(ParagraphLayout::isColumns(frame) && box.document()->findBlock(frame->lastPosition()).text() == "end");
}

void TestRtfColumns::whereColumnsBreak()
{
    // Bands of five lines of 24 px (2000 twips of body), two columns.
    const QByteArray page = "{\\rtf1\\paperh4000\\margt1000\\margb1000\\cols2\\sl-360\\sa0 ";
    // A heading kept with the next paragraph goes with it to the next column; on its
    // own it stays at the column's bottom. It stays in a column it would leave empty.
    const QByteArray kept = "a\\par b\\par c\\par d\\par\\keepn H\\par\\pard\\sl-360\\sa0 n1\\line n2\\par}";
    QCOMPARE(linesInColumns(page + kept), QStringLiteral("a@1 b@1 c@1 d@1 H@2 n1@2 n2@2"));
    QCOMPARE(linesInColumns(page + QByteArray(kept).replace("\\keepn", "")),
             QStringLiteral("a@1 b@1 c@1 d@1 H@1 n1@2 n2@2"));
    QCOMPARE(linesInColumns(page + "\\keepn a\\par b\\par c\\par d\\par e\\par\\pard\\sl-360 f\\par}"),
             QStringLiteral("a@1 b@1 c@1 d@1 e@1 f@2"));
    // Widow and orphan control (the document's, \\widowctrl, or the paragraph's): no
    // last line alone at the next column's top, no first line alone at the bottom;
    // \\nowidctlpar breaks where the lines do.
    const QByteArray widow = "a\\par b\\par w1\\line w2\\line w3\\line w4\\par}";
    QCOMPARE(linesInColumns("{\\rtf1\\widowctrl" + page.mid(6) + widow), QStringLiteral("a@1 b@1 w1@1 w2@1 w3@2 w4@2"));
    QCOMPARE(linesInColumns(page + "\\widctlpar " + widow), QStringLiteral("a@1 b@1 w1@1 w2@1 w3@2 w4@2"));
    QCOMPARE(linesInColumns("{\\rtf1\\widowctrl" + page.mid(6) + "\\nowidctlpar " + widow),
             QStringLiteral("a@1 b@1 w1@1 w2@1 w3@1 w4@2"));
    QCOMPARE(linesInColumns(page + "\\widctlpar a\\par b\\par c\\par d\\par w1\\line w2\\line w3\\par}"),
             QStringLiteral("a@1 b@1 c@1 d@1 w1@2 w2@2 w3@2"));
    // A section going on on the same page (\\sbknone) balances the last band of the
    // columns before it; the one ending the document does not.
    const QByteArray twelve = "a\\par b\\par c\\par d\\par e\\par f\\par g\\par h\\par i\\par j\\par k\\par l\\par m\\par\\sect";
    const QString bandOne = QStringLiteral("a@1 b@1 c@1 d@1 e@1 f@2 g@2 h@2 i@2 j@2 ");
    QCOMPARE(linesInColumns(page + twelve + "\\sectd\\sbknone after\\par}"), bandOne + "k@3 l@3 m@4");
    QCOMPARE(linesInColumns(page + twelve + "\\sectd after\\par}"), bandOne + "k@3 l@3 m@3");
    QCOMPARE(linesInColumns(page + twelve + "}"), bandOne + "k@3 l@3 m@3");
}

QTEST_MAIN(TestRtfColumns)
#include "tst_rtfcolumns.moc"
