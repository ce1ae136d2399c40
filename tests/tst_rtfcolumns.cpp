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

QTEST_MAIN(TestRtfColumns)
#include "tst_rtfcolumns.moc"
