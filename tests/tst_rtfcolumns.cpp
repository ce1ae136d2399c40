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

QList<QTextFrame *> columnFrames(const QTextDocument &doc)
{
    QList<QTextFrame *> out;
    for (QTextFrame *child : doc.rootFrame()->childFrames()) {
        if (ParagraphLayout::isColumns(child))
            out << child;
    }
    return out;
}

QString frameText(QTextFrame *frame)
{
    QTextCursor c(frame->document());
    c.setPosition(frame->firstPosition());
    c.setPosition(frame->lastPosition(), QTextCursor::KeepAnchor);
    return c.selection().toPlainText();
}

} // namespace

class TestRtfColumns final : public QObject
{
    Q_OBJECT

private slots:
    void sectionsAndTheirColumns();
    void hostileValues();
    void editorTextAndTyping();
};

void TestRtfColumns::sectionsAndTheirColumns()
{
    // One column, two on a page of the section's own height, then one again (\sectd):
    // the frame holds the second section's paragraphs and table, nothing else.
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1\\paperw12240\\paperh15840\\margt1080\\margb1440\\sectd one\\par\\sect"
                       "\\cols2\\colsx440\\linebetcol\\pghsxn16000 two\\par\\trowd\\cellx2000\\pard\\intbl cell\\cell\\row"
                       "\\pard three\\par\\sect\\sectd four\\par}", &doc));
    const QList<QTextFrame *> frames = columnFrames(doc);
    QCOMPARE(frames.size(), 1);
    const QTextFrameFormat f = frames.front()->frameFormat();
    QCOMPARE(f.intProperty(LayoutProperty::ColumnCount), 2);
    QCOMPARE(f.doubleProperty(LayoutProperty::ColumnGap), 440 * PixelsPerTwip);
    QCOMPARE(f.doubleProperty(LayoutProperty::ColumnHeight), (16000 - 1080 - 1440) * PixelsPerTwip);
    QVERIFY(f.boolProperty(LayoutProperty::ColumnRule));
    QCOMPARE(f.margin() + f.border() + f.padding(), 0.0);
    QCOMPARE(frameText(frames.front()), QStringLiteral("two\ncell\nthree"));
    QCOMPARE(doc.toPlainText(), QStringLiteral("one\ntwo\ncell\nthree\nfour"));

    // Without \sectd the next section keeps the columns, in a frame of its own.
    QTextDocument kept;
    QVERIFY(!Rtf::read("{\\rtf1\\cols3 a\\par\\sect b\\par\\sect\\sectd c\\par}", &kept));
    QCOMPARE(columnFrames(kept).size(), 2);
    QCOMPARE(frameText(columnFrames(kept).at(1)), QStringLiteral("b"));
}

void TestRtfColumns::hostileValues()
{
    // Words, then the count (0: no frame), gap and height they give.
    const qreal width = 12240 - 2 * 1800, page = (15840 - 2 * 1440) * PixelsPerTwip;
    const struct { const char *words; int count; qreal gap, height; } cases[] = {
        {"\\cols99999", 20, int(width) / 38 * PixelsPerTwip, page}, // the gaps share half the width
        {"\\cols0\\colsx100", 0, 0, 0},
        {"\\cols2\\margt9000\\margb9000", 2, 48, 0}, // no body: balanced
        {"\\cols2\\colsx-500\\paperh-5\\margb-100", 2, 48, page}, // none given
    };
    for (const auto &c : cases) {
        QTextDocument doc;
        QVERIFY(!Rtf::read(QByteArray("{\\rtf1") + c.words + " text\\par more\\par}", &doc));
        const QList<QTextFrame *> frames = columnFrames(doc);
        QCOMPARE(frames.size(), c.count ? 1 : 0);
        if (!c.count)
            continue;
        const QTextFrameFormat f = frames.front()->frameFormat();
        QCOMPARE(f.intProperty(LayoutProperty::ColumnCount), c.count);
        QCOMPARE(f.doubleProperty(LayoutProperty::ColumnGap), c.gap);
        QCOMPARE(f.doubleProperty(LayoutProperty::ColumnHeight), c.height);
        QCOMPARE(frameText(frames.front()), QStringLiteral("text\nmore"));
    }
}

void TestRtfColumns::editorTextAndTyping()
{
    // Columns from the document's start to its end, opened as the open command does:
    // Qt's blocks before and after the frame are no lines and take no room, and what
    // is typed goes into the columns.
    QTemporaryDir dir;
    RichTextBox boxes[2];
    for (int columns = 0; columns < 2; ++columns) {
        const QString path = dir.filePath(QStringLiteral("c%1.rtf").arg(columns));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("{\\rtf1") + (columns ? "\\cols2" : "") + " first\\par second\\column third\\par}");
        file.close();
        boxes[columns].resize(700, 500);
        boxes[columns].show();
        QVERIFY(!boxes[columns].loadFile(path));
        QTRY_VERIFY(boxes[columns].isLaidOut());
    }
    RichTextBox &box = boxes[1];
    QCOMPARE(columnFrames(*box.document()).size(), 1);
    QCOMPARE(box.text(), QStringLiteral("first\nsecond\nthird"));
    box.selectAll();
    QCOMPARE(box.selText(), box.text());
    QVERIFY(ParagraphLayout::isStructural(box.document()->firstBlock()));
    QVERIFY(ParagraphLayout::isStructural(box.document()->lastBlock()));
    QAbstractTextDocumentLayout *plain = boxes[0].document()->documentLayout();
    QAbstractTextDocumentLayout *layout = box.document()->documentLayout();
    QCOMPARE(layout->blockBoundingRect(box.document()->firstBlock().next()).top(),
             plain->blockBoundingRect(boxes[0].document()->firstBlock()).top());
    QCOMPARE(layout->documentSize().height(), plain->documentSize().height());

    box.setSelStart(9); // first\nsec|ond
    box.setSelLength(0);
    QTest::keyClicks(&box, QStringLiteral("XY"));
    box.moveCursor(QTextCursor::End);
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, QStringLiteral("end"));
    QCOMPARE(box.text(), QStringLiteral("first\nsecXYond\nthird\nend"));
    QCOMPARE(frameText(columnFrames(*box.document()).front()), QStringLiteral("first\nsecXYond\nthird\nend"));
}

QTEST_MAIN(TestRtfColumns)
#include "tst_rtfcolumns.moc"
