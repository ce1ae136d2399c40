// Sections in newspaper columns as the reader builds them: a section of more than
// one column is a frame of the body carrying the columns and the page's body height,
// and the text of the document and of the editor stays what it is without columns.

#include "base/layoutproperties.h"
#include "layout/paragraphlayout.h"
#include "platform/richtextbox.h"
#include "rtf/rtfreader.h"

#include <QAbstractTextDocumentLayout>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextTable>
#include <QtTest>

#include <memory>

namespace {

constexpr qreal PixelsPerTwip = 96.0 / 1440.0;

// The frames of the body that hold sections' columns.
QList<QTextFrame *> columnFrames(const QTextDocument &doc)
{
    QList<QTextFrame *> out;
    for (QTextFrame *child : doc.rootFrame()->childFrames()) {
        if (!qobject_cast<QTextTable *>(child) && child->frameFormat().hasProperty(LayoutProperty::ColumnCount))
            out << child;
    }
    return out;
}

QString frameText(const QTextFrame *frame)
{
    QTextCursor c(const_cast<QTextDocument *>(frame->document()));
    c.setPosition(frame->firstPosition());
    c.setPosition(frame->lastPosition(), QTextCursor::KeepAnchor);
    return c.selection().toPlainText();
}

// The paragraphs a user sees, the structural blocks left out.
QString lines(const QTextDocument &doc)
{
    QString s;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (!ParagraphLayout::isStructural(b))
            s += b.text() + QLatin1Char('|');
    }
    return s;
}

} // namespace

class TestRtfColumns final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<RichTextBox> m_box;

    // The document opened as the open command opens it, in a shown editor laid out whole.
    RichTextBox *open(const QByteArray &rtf)
    {
        const QString path = m_dir.filePath(QStringLiteral("columns.rtf"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(rtf) != rtf.size())
            return nullptr;
        file.close();
        m_box = std::make_unique<RichTextBox>();
        m_box->resize(700, 500);
        m_box->show();
        if (m_box->loadFile(path))
            return nullptr;
        for (int i = 0; i < 400 && !m_box->isLaidOut(); ++i)
            QTest::qWait(5);
        return m_box->isLaidOut() ? m_box.get() : nullptr;
    }

private slots:
    void sectionsAndTheirColumns();
    void hostileValues_data();
    void hostileValues();
    void editorTextAndTyping();
    void corpusPageColumns();
};

void TestRtfColumns::sectionsAndTheirColumns()
{
    // One column, then two with a rule between them on a page of its own height,
    // then (\sectd) one again: only the second section's text is in the frame.
    const QByteArray rtf = "{\\rtf1\\paperw12240\\paperh15840\\margl1440\\margr1440\\margt1080\\margb1440"
                           "\\sectd one\\par\\sect\\cols2\\colsx440\\linebetcol\\pghsxn16000 two\\par "
                           "\\trowd\\cellx2000\\pard\\intbl cell\\cell\\row\\pard three\\par"
                           "\\sect\\sectd four\\par}";
    QTextDocument doc;
    QVERIFY(!Rtf::read(rtf, &doc));
    const QList<QTextFrame *> frames = columnFrames(doc);
    QCOMPARE(frames.size(), 1);
    const QTextFrameFormat f = frames.front()->frameFormat();
    QCOMPARE(f.intProperty(LayoutProperty::ColumnCount), 2);
    QCOMPARE(f.doubleProperty(LayoutProperty::ColumnGap), 440 * PixelsPerTwip);
    QCOMPARE(f.doubleProperty(LayoutProperty::ColumnHeight), (16000 - 1080 - 1440) * PixelsPerTwip);
    QVERIFY(f.boolProperty(LayoutProperty::ColumnRule));
    QCOMPARE(f.margin() + f.border() + f.padding(), 0.0);
    QCOMPARE(frameText(frames.front()), QStringLiteral("two\ncell\nthree"));
    QVERIFY(qobject_cast<QTextTable *>(frames.front()->childFrames().value(0)));
    QCOMPARE(lines(doc), QStringLiteral("one|two|cell|three|four|"));

    // The next section keeps the columns unless \sectd: two frames, one per section.
    QTextDocument kept;
    QVERIFY(!Rtf::read("{\\rtf1\\cols3 a\\par\\sect b\\par\\sect\\sectd c\\par}", &kept));
    const QList<QTextFrame *> two = columnFrames(kept);
    QCOMPARE(two.size(), 2);
    QCOMPARE(frameText(two.at(0)), QStringLiteral("a"));
    QCOMPARE(frameText(two.at(1)), QStringLiteral("b"));
    QCOMPARE(two.at(1)->frameFormat().intProperty(LayoutProperty::ColumnCount), 3);
    // Word's page where the document gives none, the gap \colsx's default.
    QCOMPARE(two.at(1)->frameFormat().doubleProperty(LayoutProperty::ColumnHeight), (15840 - 2 * 1440) * PixelsPerTwip);
    QCOMPARE(two.at(1)->frameFormat().doubleProperty(LayoutProperty::ColumnGap), 720 * PixelsPerTwip);
}

void TestRtfColumns::hostileValues_data()
{
    QTest::addColumn<QByteArray>("words");
    QTest::addColumn<int>("count"); // 0: no frame
    QTest::addColumn<qreal>("gap");
    QTest::addColumn<qreal>("height");
    const qreal page = (15840 - 2 * 1440) * PixelsPerTwip;
    // Nineteen gaps of the default would leave the columns no room: they share half the width.
    QTest::newRow("huge count") << QByteArray("\\cols99999") << 20 << (12240 - 2 * 1800) / 38 * PixelsPerTwip << page;
    QTest::newRow("huge gap") << QByteArray("\\cols2\\colsx999999") << 2 << (12240 - 2 * 1800) / 2 * PixelsPerTwip << page;
    QTest::newRow("no columns") << QByteArray("\\cols0\\colsx100") << 0 << 0.0 << 0.0;
    QTest::newRow("negative count") << QByteArray("\\cols-3") << 0 << 0.0 << 0.0;
    QTest::newRow("negative gap") << QByteArray("\\cols2\\colsx-500") << 2 << 48.0 << page;
    QTest::newRow("margins over the page") << QByteArray("\\cols2\\margt9000\\margb9000") << 2 << 48.0 << 0.0;
    QTest::newRow("negative page") << QByteArray("\\cols2\\paperh-5\\margb-100") << 2 << 48.0 << page;
}

void TestRtfColumns::hostileValues()
{
    QFETCH(QByteArray, words);
    QFETCH(int, count);
    QFETCH(qreal, gap);
    QFETCH(qreal, height);
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1" + words + " text\\par more\\par}", &doc));
    QCOMPARE(lines(doc), QStringLiteral("text|more|"));
    const QList<QTextFrame *> frames = columnFrames(doc);
    QCOMPARE(frames.size(), count ? 1 : 0);
    if (!count)
        return;
    const QTextFrameFormat f = frames.front()->frameFormat();
    QCOMPARE(f.intProperty(LayoutProperty::ColumnCount), count);
    QCOMPARE(f.doubleProperty(LayoutProperty::ColumnGap), gap);
    QCOMPARE(f.doubleProperty(LayoutProperty::ColumnHeight), height);
}

void TestRtfColumns::editorTextAndTyping()
{
    // Columns from the document's start to its end: Qt's blocks in front of the frame
    // and after it are no lines of the text, take no height, and the text typed
    // into the columns is the document's.
    const QByteArray body = " first\\par second\\column third\\par}";
    RichTextBox *plain = open("{\\rtf1" + body);
    QVERIFY(plain);
    const qreal firstTop = plain->document()->documentLayout()->blockBoundingRect(plain->document()->begin()).top();
    const qreal height = plain->document()->documentLayout()->documentSize().height();
    RichTextBox *box = open("{\\rtf1\\cols2" + body);
    QVERIFY(box);
    QCOMPARE(columnFrames(*box->document()).size(), 1);
    QCOMPARE(box->text(), QStringLiteral("first\nsecond\nthird"));
    box->selectAll();
    QCOMPARE(box->selText(), box->text());
    const QTextBlock lead = box->document()->begin();
    QVERIFY(ParagraphLayout::isStructural(lead) && ParagraphLayout::isStructural(box->document()->lastBlock()));
    QCOMPARE(box->document()->documentLayout()->blockBoundingRect(lead.next()).top(), firstTop);
    QCOMPARE(box->document()->documentLayout()->documentSize().height(), height);

    box->setSelStart(int(QStringLiteral("first\nsec").size()));
    box->setSelLength(0);
    QTest::keyClicks(box, QStringLiteral("XY"));
    QCOMPARE(box->text(), QStringLiteral("first\nsecXYond\nthird"));
    QVERIFY(frameText(columnFrames(*box->document()).front()).contains(QStringLiteral("secXYond")));
    box->moveCursor(QTextCursor::End);
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, QStringLiteral("end"));
    QCOMPARE(box->text(), QStringLiteral("first\nsecXYond\nthird\nend"));
}

void TestRtfColumns::corpusPageColumns()
{
    // A producer's two-column section: its text stays as the body's (the corpus test
    // compares it), in one frame of the page's body height.
    QFile file(QStringLiteral(ORVO_RTF_CORPUS "/tika-tika2899-lists-tables.rtf"));
    if (!file.open(QIODevice::ReadOnly))
        QSKIP("RTF corpus not found");
    QTextDocument doc;
    QVERIFY(!Rtf::read(file.readAll(), &doc));
    const QList<QTextFrame *> frames = columnFrames(doc);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.front()->frameFormat().doubleProperty(LayoutProperty::ColumnGap), 440 * PixelsPerTwip);
    QCOMPARE(frames.front()->frameFormat().doubleProperty(LayoutProperty::ColumnHeight), (15840 - 720 - 1814) * PixelsPerTwip);
    QVERIFY(frameText(frames.front()).startsWith(QStringLiteral("Premier Line of Credit")));

    // Sections of one column around one of two, each starting on the page's run.
    QFile various(QStringLiteral(ORVO_RTF_CORPUS "/tika-various.rtf"));
    QVERIFY(various.open(QIODevice::ReadOnly));
    QTextDocument mixed;
    QVERIFY(!Rtf::read(various.readAll(), &mixed));
    const QList<QTextFrame *> one = columnFrames(mixed);
    QCOMPARE(one.size(), 1);
    QCOMPARE(frameText(one.front()), QStringLiteral("Row 1 column 1\nRow 2 column 1\nRow 1 column 2\nRow 2 column 2"));
    QCOMPARE(one.front()->frameFormat().doubleProperty(LayoutProperty::ColumnHeight), (15840 - 2 * 1440) * PixelsPerTwip);
}

QTEST_MAIN(TestRtfColumns)
#include "tst_rtfcolumns.moc"
