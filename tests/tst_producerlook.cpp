// Documents opened in the editor look as the word processor that wrote them showed
// them: tab stops counted from the text column, list bullets in symbol fonts drawn,
// the faces the system substitutes for the fonts named, cell padding and row
// heights, paragraph shading and borders, tab leaders, doubled underlines.
#include "layout/textmetrics.h"
#include "platform/documentloader.h"
#include "platform/richtextbox.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImage>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <memory>
#include <optional>

namespace {

// The RTF corpus's documents.
QStringList corpusDocuments()
{
    const QDir corpus(QStringLiteral(ORVO_RTF_CORPUS));
    QStringList paths;
    for (const QString &name : corpus.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name))
        paths << corpus.filePath(name);
    return paths;
}

// The faces that draw characters [from, from + length) of the block as it is laid
// out, with whether each glyph has ink (glyph 0 draws nothing, or a box).
struct Drawn
{
    QStringList faces;
    bool allInked = true;
};

Drawn drawn(const QTextBlock &block, int from, int length)
{
    Drawn d;
    const QString text = block.text();
    for (const QGlyphRun &run : block.layout()->glyphRuns(from, length)) {
        const QRawFont font = run.rawFont();
        d.faces << font.familyName();
        for (const quint32 glyph : run.glyphIndexes())
            d.allInked = d.allInked && glyph != 0;
    }
    for (int i = from; i < from + length && i < text.size(); ++i) {
        if (text.at(i).isSpace())
            continue;
        bool supported = false;
        for (const QGlyphRun &run : block.layout()->glyphRuns(i, 1))
            supported = supported || run.rawFont().supportsCharacter(text.at(i));
        d.allInked = d.allInked && supported;
    }
    return d;
}

bool dark(QRgb c)
{
    return qGray(c) < 160;
}

// How many separate rules cross the whole span [x0, x1) between rows y0 and y1: runs
// of rows dark all along it.
int rulesAcross(const QImage &image, int x0, int x1, int y0, int y1)
{
    int rules = 0;
    bool inRule = false;
    for (int y = qMax(0, y0); y < qMin(image.height(), y1); ++y) {
        bool full = x1 > x0;
        for (int x = x0; x < x1 && full; ++x)
            full = dark(image.pixel(x, y));
        rules += full && !inRule;
        inRule = full;
    }
    return rules;
}

int inkIn(const QImage &image, const QRect &rect)
{
    int ink = 0;
    for (int y = qMax(0, rect.top()); y <= qMin(image.height() - 1, rect.bottom()); ++y) {
        for (int x = qMax(0, rect.left()); x <= qMin(image.width() - 1, rect.right()); ++x)
            ink += dark(image.pixel(x, y));
    }
    return ink;
}

} // namespace

class TestProducerLook final : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    std::unique_ptr<RichTextBox> m_box;

    // Opens the document in an editor as the open command does, laid out whole.
    RichTextBox *open(const QByteArray &rtf)
    {
        const QString path = m_dir->filePath(QStringLiteral("doc.rtf"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(rtf) != rtf.size())
            return nullptr;
        file.close();
        m_box = std::make_unique<RichTextBox>();
        m_box->setFrameShape(QFrame::NoFrame);
        m_box->resize(700, 500);
        m_box->show();
        if (m_box->loadFile(path))
            return nullptr;
        for (int i = 0; i < 200 && !m_box->isLaidOut(); ++i)
            QTest::qWait(5);
        return m_box->isLaidOut() ? m_box.get() : nullptr;
    }

    QTextBlock blockWith(const QString &text) const
    {
        for (QTextBlock b = m_box->document()->begin(); b.isValid(); b = b.next()) {
            if (b.text().contains(text))
                return b;
        }
        return {};
    }

    // Where the character at the start of text stands, from the text column's left edge.
    qreal xOf(const QString &text) const
    {
        const QTextBlock block = blockWith(text);
        QTextCursor c(block);
        c.setPosition(block.position() + int(block.text().indexOf(text)));
        m_box->setTextCursor(c);
        return m_box->cursorRect().x() - columnLeft();
    }

    // The metrics the paragraph's first character is laid out with.
    static QFontMetricsF laidOutMetrics(const QTextBlock &block)
    {
        QTextCursor inText(block);
        inText.setPosition(block.position() + 1);
        return QFontMetricsF(TextMetrics::laidOutFont(inText.charFormat().font()));
    }

    // Where the text column starts in the editor.
    qreal columnLeft() const { return m_box->document()->rootFrame()->frameFormat().leftMargin(); }
    // How wide the text column is in the editor.
    qreal columnWidth() const
    {
        const QTextFrameFormat f = m_box->document()->rootFrame()->frameFormat();
        return m_box->document()->textWidth() - f.leftMargin() - f.rightMargin() - 2 * (f.border() + f.padding());
    }

private slots:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
    }
    void cleanup()
    {
        m_box.reset();
        m_dir.reset();
    }

    // Tab stops count from the text column's left edge, a hanging indent is a stop of
    // its own (also where the first line starts at the edge), default stops stand
    // every \deftab from the edge, and a tab in front of a list's label is not shown.
    void tabStopsFromTheColumnEdge_data()
    {
        QTest::addColumn<QByteArray>("paragraph");
        QTest::addColumn<qreal>("x"); // of the text after the tab, pixels from the column's edge
        QTest::newRow("list label, stop at the indent") << QByteArray("\\li709\\fi-283\\tx709 {\\listtext 1.\\tab}Item") << 709 / 15.0;
        QTest::newRow("second level") << QByteArray("\\li1418\\fi-283\\tx1418 {\\listtext a.\\tab}Item") << 1418 / 15.0;
        QTest::newRow("hanging indent, no stop set") << QByteArray("\\li720\\fi-360 {\\listtext -\\tab}Item") << 48.0;
        QTest::newRow("a stop before the hanging indent wins") << QByteArray("\\li1440\\fi-1080\\tx900 A\\tab Item") << 60.0;
        QTest::newRow("default stop from the edge") << QByteArray("\\li100 A\\tab Item") << 48.0;
        QTest::newRow("no indent") << QByteArray("\\tx2000 A\\tab Item") << 2000 / 15.0;
        QTest::newRow("hanging from the column's edge") << QByteArray("\\li283\\fi-283 {\\pntext 1\\tab}Item") << 283 / 15.0;
        QTest::newRow("a tab leading the label") << QByteArray("\\li360\\fi-360\\ls1\\tx360 {\\listtext\\tab \\u8226 ?\\tab}Item") << 24.0;
        QTest::newRow("label hanging into the margin") << QByteArray("\\li0\\fi-360 {\\listtext 1.\\tab}Item") << 0.0;
        QTest::newRow("default stop past a hanging label") << QByteArray("\\li0\\fi-360 A\\tab B\\tab Item") << 48.0;
    }
    void tabStopsFromTheColumnEdge()
    {
        QFETCH(QByteArray, paragraph);
        QFETCH(qreal, x);
        QVERIFY(open("{\\rtf1\\ansi\\deftab720{\\fonttbl{\\f0 Times New Roman;}}\\pard\\f0\\fs24 " + paragraph + "\\par}"));
        QVERIFY(qAbs(xOf(QStringLiteral("Item")) - x) <= 1);
    }

    // A paragraph naming a style after \pard keeps its own indents and the space
    // around it, none unless it gives them again; the style's alignment it takes.
    void paragraphOfAStyleKeepsItsOwnIndents_data()
    {
        QTest::addColumn<QByteArray>("paragraph");
        QTest::addColumn<qreal>("x"); // of the word, pixels from the column's edge; < 0 for centred
        QTest::newRow("style's indents not taken") << QByteArray("\\pard\\plain\\s18\\f0\\fs24 Item") << 0.0;
        QTest::newRow("after its own left indent") << QByteArray("\\pard\\plain\\s18\\li0\\ri0\\f0\\fs24 Item") << 0.0;
        QTest::newRow("its own indents") << QByteArray("\\pard\\plain\\s18\\li360\\fi360\\f0\\fs24 Item") << 48.0;
        QTest::newRow("the style's alignment") << QByteArray("\\pard\\plain\\s19\\f0\\fs24 Item") << -1.0;
    }
    void paragraphOfAStyleKeepsItsOwnIndents()
    {
        QFETCH(QByteArray, paragraph);
        QFETCH(qreal, x);
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}{\\stylesheet{\\s0 Normal;}"
                     "{\\s18\\fi851\\li720\\ri300\\sb480\\f0\\fs24 Indented;}{\\s19\\qc\\li720\\f0\\fs24 Centred;}}"
                     "\\pard\\f0\\fs24 Before\\par " + paragraph + "\\par}"));
        const qreal at = xOf(QStringLiteral("Item"));
        if (x >= 0) {
            QVERIFY2(qAbs(at - x) <= 1, qPrintable(QString::number(at)));
        } else {
            const qreal word = QFontMetricsF(blockWith(QStringLiteral("Item")).charFormat().font()).horizontalAdvance(QStringLiteral("Item"));
            QVERIFY2(qAbs(at - (columnWidth() - word) / 2) <= 2, qPrintable(QString::number(at)));
        }
        // No room above it but the line's own.
        const qreal before = m_box->document()->documentLayout()->blockBoundingRect(blockWith(QStringLiteral("Before"))).bottom();
        const qreal item = m_box->document()->documentLayout()->blockBoundingRect(blockWith(QStringLiteral("Item"))).top();
        QVERIFY2(item - before <= 1, qPrintable(QString::number(item - before)));
    }

    // A paragraph is formatted as its text was: formatting given in a group that
    // closes before the paragraph ends holds for that paragraph and not for the next
    // (HTML turned into RTF justifies its paragraphs so); indents given after the
    // text do not count, an alignment does.
    void formattingOfAGroupClosedInTheParagraph_data()
    {
        QTest::addColumn<QByteArray>("paragraphs");
        // Of the word, pixels from the column's edge; -1 for a centred line, -2 for one
        // aligned right.
        QTest::addColumn<qreal>("x");
        QTest::newRow("indent") << QByteArray("{\\li720 Item}\\par") << 48.0;
        QTest::newRow("centred, deep in groups") << QByteArray("{{{\\qc {Item}}}}\\par") << -1.0;
        QTest::newRow("the last group's") << QByteArray("{\\qc A}{\\qr Item}\\par") << -2.0;
        QTest::newRow("not the next paragraph") << QByteArray("{\\li720 A}\\par Item\\par") << 0.0;
        QTest::newRow("not after its own end") << QByteArray("{\\pard\\li720 A\\par}Item\\par") << 0.0;
        QTest::newRow("the paragraph's own after it") << QByteArray("{\\qc Item}\\qr A\\par") << -2.0;
        QTest::newRow("indent after the text") << QByteArray("{\\pard Item\\li720\\par}") << 0.0;
        QTest::newRow("alignment after the text") << QByteArray("{\\pard Item\\qc\\par}") << -1.0;
    }
    void formattingOfAGroupClosedInTheParagraph()
    {
        QFETCH(QByteArray, paragraphs);
        QFETCH(qreal, x);
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\pard\\f0\\fs24 Before\\par " + paragraphs + "}"));
        const QTextBlock block = blockWith(QStringLiteral("Item"));
        const qreal at = xOf(block.text());
        const qreal line = QFontMetricsF(block.charFormat().font()).horizontalAdvance(block.text());
        const qreal wanted = x >= 0 ? x : x == -1 ? (columnWidth() - line) / 2 : columnWidth() - line;
        QVERIFY2(qAbs(at - wanted) <= 2, qPrintable(QStringLiteral("%1, not %2").arg(at).arg(wanted)));
    }

    // Space given after a paragraph's text (pandoc's "\sa180\par" closing a list)
    // is not the paragraph's: the next paragraph stands right below it.
    void spaceGivenAfterTheTextIsNotTheParagraphs_data()
    {
        QTest::addColumn<QByteArray>("paragraphs");
        QTest::addColumn<qreal>("gap"); // between the two paragraphs, pixels
        QTest::newRow("after, given late") << QByteArray("{\\pard\\sa0 One\\sa600\\par}{\\pard\\sa0 Item\\par}") << 0.0;
        QTest::newRow("before, given late") << QByteArray("{\\pard\\sa0 One\\par}{\\pard\\sa0 Item\\sb600\\par}") << 0.0;
        QTest::newRow("after, given first") << QByteArray("{\\pard\\sa600 One\\par}{\\pard\\sa0 Item\\par}") << 40.0;
    }
    void spaceGivenAfterTheTextIsNotTheParagraphs()
    {
        QFETCH(QByteArray, paragraphs);
        QFETCH(qreal, gap);
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24 " + paragraphs + "}"));
        QAbstractTextDocumentLayout *layout = m_box->document()->documentLayout();
        const qreal one = layout->blockBoundingRect(blockWith(QStringLiteral("One"))).top();
        const qreal item = layout->blockBoundingRect(blockWith(QStringLiteral("Item"))).top();
        const qreal line = blockWith(QStringLiteral("One")).layout()->lineAt(0).height();
        QVERIFY2(qAbs(item - one - line - gap) <= 1.5, qPrintable(QString::number(item - one - line)));
    }

    // In a justified paragraph, a line that a manual break ends (\line) is justified
    // as word processors do; the paragraph's last line is not.
    void manualBreakInAJustifiedParagraph()
    {
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24\\pard\\qj "
                     "First words End\\line Short Last\\par}"));
        const QTextBlock block = blockWith(QStringLiteral("First"));
        QCOMPARE(block.layout()->lineCount(), 2);
        const QFontMetricsF metrics = laidOutMetrics(block);
        const qreal end = xOf(QStringLiteral("End")) + metrics.horizontalAdvance(QStringLiteral("End"));
        // To the edge, less the break's own room (Qt gives it a space's width).
        const qreal space = metrics.horizontalAdvance(QLatin1Char(' '));
        QVERIFY2(end <= columnWidth() + 1 && end >= columnWidth() - space - 1,
                 qPrintable(QStringLiteral("%1 of %2").arg(end).arg(columnWidth())));
        const qreal last = xOf(QStringLiteral("Last"));
        QVERIFY2(qAbs(last - metrics.horizontalAdvance(QStringLiteral("Short "))) <= 1, qPrintable(QString::number(last)));
    }

    // A blank before the manual break is widened with the line's other blanks, as
    // LibreOffice lays it out: the three blanks between the words and the one at the
    // end share the room, and "four" ends short of the edge by one share (188.5 pt of
    // 225 on its page).
    void blankBeforeAManualBreakIsWidenedToo()
    {
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24\\pard\\qj "
                     "one two three four \\line five\\par}"));
        const QTextBlock block = blockWith(QStringLiteral("four"));
        QCOMPARE(block.layout()->lineCount(), 2);
        const QFontMetricsF metrics = laidOutMetrics(block);
        const qreal text = metrics.horizontalAdvance(QStringLiteral("one two three four"));
        const qreal share = (columnWidth() - text - metrics.horizontalAdvance(QLatin1Char(' '))) / 4;
        const qreal end = xOf(QStringLiteral("four")) + metrics.horizontalAdvance(QStringLiteral("four"));
        QVERIFY2(qAbs(end - (text + 3 * share)) <= 1, qPrintable(QStringLiteral("%1 of %2").arg(end).arg(columnWidth())));
    }

    // A word whose advance ends half a pixel inside the column's edge stays on its
    // line, as word processors set it, though its last glyph's ink (the "t" of
    // Liberation Serif, its box rounded out to whole pixels) reaches past the edge.
    // At 10 pt the face's own advances end 0.6 px past Qt's there, and LibreOffice
    // takes "Credit" to the next line with the edge 0.5 px past Qt's end (313.1 px),
    // not with it 0.8 px past (313.4 px).
    void wordWhoseAdvanceFitsStaysOnTheLine_data()
    {
        QTest::addColumn<QByteArray>("size");
        QTest::addColumn<qreal>("beyond"); // the edge, past Qt's end of "Credit"
        QTest::newRow("11 pt") << QByteArray("22") << 0.5;
        QTest::newRow("10 pt") << QByteArray("20") << 0.8;
        QTest::newRow("12 pt") << QByteArray("24") << 0.5;
    }
    void wordWhoseAdvanceFitsStaysOnTheLine()
    {
        QFETCH(QByteArray, size);
        QFETCH(qreal, beyond);
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs" + size +
                     "\\pard Line of Credit or new obligations under this Line of Credit will be paid\\par}"));
        const QTextBlock block = blockWith(QStringLiteral("Credit will"));
        QCOMPARE(block.layout()->lineCount(), 1);
        const int at = int(block.text().indexOf(QStringLiteral("Credit will")));
        const QTextLine line = block.layout()->lineAt(0);
        const qreal end = line.cursorToX(at + 6) - line.x();
        QTextBlockFormat narrower;
        narrower.setRightMargin(columnWidth() - end - beyond);
        QTextCursor(block).mergeBlockFormat(narrower);
        QTRY_VERIFY(m_box->isLaidOut());
        QCOMPARE(block.layout()->lineCount(), 2);
        const QTextLine first = block.layout()->lineAt(0);
        QCOMPARE(first.textStart() + first.textLength(), at + 7); // "Credit " ends it
    }

    // A label outdented past the column's edge hangs into the margin, in view, and the
    // item's text and its wrapped lines stand at the edge.
    void labelHangsIntoTheMargin()
    {
        const QByteArray words = QByteArray("word ").repeated(60);
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\pard\\li0\\fi-360\\f0 {\\listtext 7.\\tab}First "
                     + words + "\\par\\pard Plain\\par}"));
        // The label's ink stands in the margin, left of the column's edge, on the first line.
        const QRect line = [&] {
            m_box->setTextCursor(QTextCursor(blockWith(QStringLiteral("First"))));
            return m_box->cursorRect();
        }();
        const QImage shot = m_box->viewport()->grab().toImage();
        int ink = 0;
        for (int y = line.top(); y <= line.bottom(); ++y) {
            for (int x = qMax(0, int(columnLeft()) - 24); x < int(columnLeft()) - 2; ++x)
                ink += qGray(shot.pixel(x, y)) < 128;
        }
        QVERIFY(ink > 10);
        QVERIFY(qAbs(xOf(QStringLiteral("First"))) <= 1);
        QVERIFY(qAbs(xOf(QStringLiteral("Plain"))) <= 1);
        const QTextBlock item = blockWith(QStringLiteral("First"));
        QVERIFY(item.layout()->lineCount() > 1);
        QTextCursor second(item);
        second.setPosition(item.position() + item.layout()->lineAt(1).textStart());
        m_box->setTextCursor(second);
        QVERIFY(qAbs(m_box->cursorRect().x() - columnLeft()) <= 1);
    }

    // A list level justified right (\leveljc2) ends its labels at the first line's
    // indent, "i." and "iii." on the same point, the text after the tab at the hanging
    // indent; the same labels of a level justified left start at the indent. The
    // level is found through the list override the paragraph names (\ls2 is list 7).
    void labelsOfALevelJustifiedRight_data()
    {
        QTest::addColumn<int>("justification");
        QTest::newRow("right") << 2;
        QTest::newRow("left") << 0;
    }
    void labelsOfALevelJustifiedRight()
    {
        QFETCH(int, justification);
        const QByteArray jc = QByteArray::number(justification);
        const QByteArray level = "{\\listlevel\\levelnfc0\\leveljc0\\leveljcn0\\levelstartat1{\\leveltext\\'02\\'00.;}"
                                 "{\\levelnumbers\\'01;}\\fi-360\\li720}";
        const QByteArray second = "{\\listlevel\\levelnfc2\\leveljc" + jc + "\\leveljcn" + jc +
                                  "\\levelstartat1{\\leveltext\\'02\\'01.;}{\\levelnumbers\\'01;}\\fi-180\\li1440}";
        const QByteArray para = "\\pard\\fi-180\\li1440\\ls2\\ilvl1\\f0\\fs24 ";
        QVERIFY(open("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}"
                     "{\\*\\listtable{\\list\\listtemplateid5" + level + second + "\\listid7}"
                     "{\\list\\listtemplateid6" + level + level + "\\listid8}}"
                     "{\\*\\listoverridetable{\\listoverride\\listid8\\listoverridecount0\\ls1}"
                     "{\\listoverride\\listid7\\listoverridecount0\\ls2}}\n" +
                     para + "{\\listtext i.\\tab}First\\par\n" + para + "{\\listtext ii.\\tab}Second\\par\n" +
                     para + "{\\listtext iii.\\tab}Third\\par\n"
                     "\\pard\\fi-180\\li1440\\ls1\\ilvl1 {\\listtext iv.\\tab}Fourth\\par}"));
        const qreal indent = (1440 - 180) / 15.0;
        for (const char *label : {"i.", "ii.", "iii."}) {
            const QTextBlock b = blockWith(QLatin1String(label) + QLatin1Char('\t'));
            QVERIFY(b.isValid());
            QTextCursor c(b);
            c.setPosition(b.position() + int(strlen(label)));
            m_box->setTextCursor(c);
            const qreal end = m_box->cursorRect().x() - columnLeft();
            const qreal start = xOf(QLatin1String(label) + QLatin1Char('\t'));
            if (justification == 2)
                QVERIFY2(qAbs(end - indent) <= 1, qPrintable(QStringLiteral("%1 ends at %2").arg(label).arg(end)));
            else
                QVERIFY2(qAbs(start - indent) <= 1, qPrintable(QStringLiteral("%1 starts at %2").arg(label).arg(start)));
        }
        // Left-aligned, "ii." and "iii." reach past the indent: their text goes on at
        // the next default stop.
        for (const char *text : {"First", "Second", "Third"}) {
            if (justification == 2 || text == std::string_view("First"))
                QVERIFY2(qAbs(xOf(QLatin1String(text)) - 1440 / 15.0) <= 1,
                         qPrintable(QStringLiteral("%1 at %2").arg(QLatin1String(text)).arg(xOf(QLatin1String(text)))));
        }
        // The other list's level is justified left.
        QVERIFY(qAbs(xOf(QStringLiteral("iv.")) - indent) <= 1);
    }

    // The lines of a list item that wraps stand under its text, and the page numbers
    // of a table of contents line up whatever the entry's indent.
    void wrappedLinesAndRightStops()
    {
        const QByteArray words = QByteArray("word ").repeated(60);
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\pard\\li709\\fi-283\\tx709\\f0 {\\listtext 1.\\tab}"
                     "First " + words + "\\par"
                     "\\pard\\tqr\\tx8000 Entry one\\tab 17\\par\\pard\\li480\\tqr\\tx8000 Entry two\\tab 18\\par"
                     "\\pard\\li960\\tqr\\tx8000 Entry three\\tab 19\\par}"));
        const QTextBlock item = blockWith(QStringLiteral("First"));
        QVERIFY(item.layout()->lineCount() > 1);
        const qreal text = xOf(QStringLiteral("First"));
        QVERIFY(qAbs(text - 709 / 15.0) <= 1);
        const qreal margin = columnLeft();
        QTextCursor second(item);
        second.setPosition(item.position() + item.layout()->lineAt(1).textStart());
        m_box->setTextCursor(second);
        QVERIFY(qAbs(m_box->cursorRect().x() - margin - text) <= 1);
        // The right ends of the three page numbers.
        QList<qreal> ends;
        for (const char *entry : {"17", "18", "19"}) {
            const QTextBlock b = blockWith(QLatin1String(entry));
            QTextCursor end(b);
            end.movePosition(QTextCursor::EndOfBlock);
            m_box->setTextCursor(end);
            ends << m_box->cursorRect().x() - margin;
        }
        QVERIFY2(qAbs(ends[0] - 8000 / 15.0) <= 1.5, qPrintable(QString::number(ends[0])));
        QCOMPARE(ends[1], ends[0]);
        QCOMPARE(ends[2], ends[0]);
    }

    // The faces the system substitutes for fonts it lacks draw the text, not the East
    // Asian font named beside them, and a name with a script suffix finds its face.
    void facesTheSystemSubstitutes_data()
    {
        QTest::addColumn<QByteArray>("font");
        QTest::addColumn<QString>("face");
        QTest::newRow("Calibri with an East Asian font") << QByteArray("Calibri") << QStringLiteral("Carlito");
        QTest::newRow("Cambria") << QByteArray("Cambria") << QStringLiteral("Caladea");
        QTest::newRow("Times New Roman") << QByteArray("Times New Roman") << QStringLiteral("Liberation Serif");
        QTest::newRow("Arial") << QByteArray("Arial") << QStringLiteral("Liberation Sans");
        QTest::newRow("Courier New") << QByteArray("Courier New") << QStringLiteral("Liberation Mono");
        QTest::newRow("script suffix in capitals") << QByteArray("Times New Roman CYR") << QStringLiteral("Liberation Serif");
        // The PostScript faces are the URW ones the system gives, as LibreOffice draws them.
        QTest::newRow("Times") << QByteArray("Times") << QStringLiteral("Nimbus Roman");
    }
    void facesTheSystemSubstitutes()
    {
        QFETCH(QByteArray, font);
        QFETCH(QString, face);
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 " + font + ";}{\\f1\\fcharset128 MS Mincho;}{\\f2 DejaVu Sans;}}"
                     "\\pard\\f0\\dbch\\af1\\loch\\f0 Latin text\\par}"));
        const QTextBlock block = blockWith(QStringLiteral("Latin"));
        const Drawn d = drawn(block, 0, 5);
        QVERIFY2(d.faces.contains(face), qPrintable(d.faces.join(QLatin1Char(','))));
        QVERIFY(d.allInked);
        // What the font display shows is still the font the document names.
        QTextCursor c(block);
        c.setPosition(block.position() + 1);
        QCOMPARE(c.charFormat().fontFamilies().toStringList().value(0), QString::fromLatin1(font));
    }

    // Text in no font the document names is in Times New Roman's face, as word
    // processors show RTF without a font table.
    void noFontTableIsTimesNewRoman()
    {
        QVERIFY(open("{\\rtf1\\ansi Plain words\\par}"));
        QVERIFY(drawn(blockWith(QStringLiteral("Plain")), 0, 5).faces.contains(QStringLiteral("Liberation Serif")));
    }

    // Where a list's bullet stands there is a glyph with ink, in a face that has it.
    void bulletsInSymbolFontsHaveInk_data()
    {
        QTest::addColumn<QByteArray>("label");
        QTest::newRow("Symbol, byte") << QByteArray("{\\f1 \\'b7\\tab}");
        QTest::newRow("Symbol, private-use code") << QByteArray("{\\f1 \\u-3913 ?\\tab}");
        QTest::newRow("Wingdings square") << QByteArray("{\\f2 \\'a7\\tab}");
        QTest::newRow("Wingdings arrowhead") << QByteArray("{\\f2 \\'d8\\tab}");
        QTest::newRow("Wingdings glyph without a look-alike") << QByteArray("{\\f2 \\'30\\tab}");
    }
    void bulletsInSymbolFontsHaveInk()
    {
        QFETCH(QByteArray, label);
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}{\\f1\\fcharset2 Symbol;}{\\f2\\fcharset2 Wingdings;}}"
                     "\\pard\\li720\\fi-360\\f0 {\\listtext " + label + "}Item\\par}"));
        const QTextBlock block = blockWith(QStringLiteral("Item"));
        const Drawn d = drawn(block, 0, 1);
        QVERIFY2(!d.faces.isEmpty() && d.allInked, qPrintable(block.text() + QLatin1Char(' ') + d.faces.join(QLatin1Char(','))));
    }

    // Cells keep the padding, the heights and the paragraph spacing the producer gave
    // them, and a table may reach left of the text's edge.
    void cellsAsTheProducerMadeThem_data()
    {
        QTest::addColumn<QByteArray>("row");  // the first row's definition and paragraph words
        QTest::addColumn<qreal>("height");    // the first row's height in pixels, or 0: a plain row's and
        QTest::addColumn<qreal>("more");      // this much more
        QTest::addColumn<qreal>("top");       // its text's top below the row's
        QTest::addColumn<qreal>("x");         // its text's x from the text column's edge
        const QByteArray text = "\\pard\\intbl ";
        QTest::newRow("at least \\trrh") << QByteArray("\\trowd\\trrh900\\cellx3000" + text) << 60.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("exactly \\trrh") << QByteArray("\\trowd\\trrh-150\\cellx3000" + text) << 10.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("TextEdit's \\clheight") << QByteArray("\\trowd\\clheight600\\cellx3000" + text) << 40.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("left padding is \\clpadt") << QByteArray("\\trowd\\clpadt300\\clpadft3\\cellx3000" + text) << 0.0 << 0.0 << 0.0 << 20.0;
        QTest::newRow("top padding is \\clpadl") << QByteArray("\\trowd\\clpadl300\\clpadfl3\\cellx3000" + text) << 0.0 << 20.0 << 20.0 << 0.0;
        QTest::newRow("row padding, cell padding wins") << QByteArray("\\trowd\\trpaddl60\\trpaddfl3\\clpadt150\\clpadft3\\cellx3000" + text) << 0.0 << 0.0 << 0.0 << (150 - 60) / 15.0;
        QTest::newRow("space before and after") << QByteArray("\\trowd\\cellx3000" + text + "\\sb150\\sa300 ") << 0.0 << 30.0 << 10.0 << 0.0;
        // Out of the text by its gap, and the column makes room for its border.
        QTest::newRow("left of the text's edge") << QByteArray("\\trowd\\trgaph108\\trleft-108\\cellx3000" + text) << 0.0 << 0.0 << 0.0 << -108 / 15.0;
        QTest::newRow("row padding left of \\trleft") << QByteArray("\\trowd\\trgaph108\\trpaddl300\\trpaddfl3\\cellx3000" + text) << 0.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("cell padding over the row's") << QByteArray("\\trowd\\trgaph108\\clpadt300\\clpadft3\\cellx3000" + text) << 0.0 << 0.0 << 0.0 << 192 / 15.0;
    }
    void cellsAsTheProducerMadeThem()
    {
        QFETCH(QByteArray, row);
        QFETCH(qreal, height);
        QFETCH(qreal, more);
        QFETCH(qreal, top);
        QFETCH(qreal, x);
        // The same text in plain rows below measures the first one, as the paragraph
        // above it does where its row starts.
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24 Before\\par " + row +
                     "First\\cell\\row\\trowd\\cellx3000\\pard\\intbl Second\\cell\\row\\trowd\\cellx3000\\pard\\intbl Third\\cell\\row\\pard After\\par}"));
        auto y = [this](const char *word) {
            m_box->setTextCursor(QTextCursor(blockWith(QLatin1String(word))));
            return qreal(m_box->cursorRect().top());
        };
        const qreal plain = y("Third") - y("Second");
        const qreal rowTop = y("Before") + plain;
        const qreal first = y("Second") - rowTop;
        const QString seen = QStringLiteral("height %1, plain %2, top %3").arg(first).arg(plain).arg(y("First") - rowTop);
        QVERIFY2(qAbs(first - (height > 0 ? height : plain + more)) <= 1, qPrintable(seen));
        QVERIFY2(qAbs(y("First") - rowTop - top) <= 1, qPrintable(seen));
        QVERIFY2(qAbs(xOf(QStringLiteral("First")) - x) <= 1, qPrintable(QString::number(xOf(QStringLiteral("First")))));
    }

    // An empty paragraph in a cell is as high as its mark's font, as one outside
    // tables is (LibreOffice puts the text below a last row of empty cells with
    // 24-point marks 34 px lower than below one with 2-point marks), and the cell
    // keeps its padding (the top one, which Word's files name \\clpadl).
    void emptyCellAsHighAsItsMark()
    {
        auto after = [this](const QByteArray &row) {
            if (!open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs22 Before\\par"
                      "\\trowd\\cellx3000\\cellx6000\\pard\\intbl Alpha\\cell Beta\\cell\\row"
                      + row + "\\pard\\plain\\f0\\fs22 After\\par}"))
                return qreal(-1000);
            m_box->setTextCursor(QTextCursor(blockWith(QStringLiteral("After"))));
            return qreal(m_box->cursorRect().top());
        };
        const qreal big = after("\\trowd\\cellx3000\\cellx6000\\pard\\intbl{\\fs48\\cell\\cell}\\row");
        const qreal small = after("\\trowd\\cellx3000\\cellx6000\\pard\\intbl{\\fs4\\cell\\cell}\\row");
        const qreal padded = after("\\trowd\\clpadl300\\clpadfl3\\cellx3000\\cellx6000\\pard\\intbl{\\fs4\\cell\\cell}\\row");
        const QString seen = QStringLiteral("24 pt %1, 2 pt %2, padded %3").arg(big).arg(small).arg(padded);
        QVERIFY2(qAbs(big - small - 34) <= 1, qPrintable(seen));
        QVERIFY2(qAbs(padded - small - 20) <= 1, qPrintable(seen));
    }

    // Columns stand where \cellx puts them whatever their cells hold: a word too
    // long for its cell breaks in it, the sliver between two rows' boundaries stays a
    // sliver, and a centred table wider than the text column reaches out of it on
    // both sides. (LibreOffice puts the words of this document at these x.)
    void columnsWhereTheProducerPutThem()
    {
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24 Before\\par"
                     "\\trowd\\cellx1500\\cellx3000\\cellx6000\\pard\\intbl Head\\cell Side\\cell Extraordinarily\\cell\\row"
                     "\\trowd\\cellx1500\\cellx3006\\cellx4500\\cellx6000\\pard\\intbl One\\cell Two\\cell Three\\cell Four\\cell\\row"
                     "\\pard Mid\\par\\trowd\\trqc\\trleft-5\\cellx3000\\cellx6000\\cellx13500\\pard\\intbl Alpha\\cell Beta\\cell Gamma\\cell\\row"
                     "\\pard Next\\par\\trowd\\trgaph108\\trleft-108\\cellx600\\cellx3000\\pard\\intbl Supercalifragilistic\\cell Delta\\cell\\row"
                     "\\pard After\\par}"));
        auto at = [this](const char *word, qreal x) {
            const qreal seen = xOf(QLatin1String(word));
            if (qAbs(seen - x) > 1)
                qWarning("%s at %.1f, not %.1f", word, seen, x);
            return qAbs(seen - x) <= 1;
        };
        QVERIFY(at("Extraordinarily", 200) && at("Three", 200.4) && at("Four", 300) && at("Delta", 40));
        const qreal out = (columnWidth() - 13505 / 15.0) / 2;
        QVERIFY(out < 0);
        QVERIFY(at("Alpha", out) && at("Beta", out + 200));
        const QTextBlock broken = blockWith(QStringLiteral("Supercalifragilistic"));
        QVERIFY(broken.layout()->lineCount() > 1);
        QVERIFY(broken.layout()->lineAt(0).naturalTextWidth() <= 600 / 15.0 + 1);
    }

    // Shading fills the paragraph from margin to margin; a box's borders stand at the
    // margins with the text inside them by their width and distance; a double border
    // is two rules.
    void shadingAndBordersAroundTheParagraph()
    {
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                     "\\f0\\fs24\\pard Before\\par\\pard\\cbpat2 Shaded\\par\\pard Mid\\par"
                     "\\pard\\box\\brdrs\\brdrw30\\brsp150\\brdrcf1 Boxed\\par"
                     "\\pard\\li720\\brdrb\\brdrdb\\brdrw15\\brsp20 Ruled\\par\\pard After\\par}"));
        auto rectOf = [this](const char *word) {
            m_box->setTextCursor(QTextCursor(blockWith(QLatin1String(word))));
            return m_box->cursorRect();
        };
        const QRect shaded = rectOf("Shaded"), mid = rectOf("Mid"), boxed = rectOf("Boxed"), ruled = rectOf("Ruled"),
                    after = rectOf("After");
        m_box->setTextCursor(QTextCursor(blockWith(QStringLiteral("After"))));
        const QImage image = m_box->viewport()->grab().toImage();
        const int left = int(columnLeft());
        const int right = int(m_box->document()->textWidth() - m_box->document()->rootFrame()->frameFormat().rightMargin());
        const QRgb blue = qRgb(0, 0, 255), red = qRgb(255, 0, 0);
        const int y = shaded.center().y();
        QCOMPARE(image.pixel(left + 1, y), blue);
        QCOMPARE(image.pixel(right - 2, y), blue);
        QVERIFY(image.pixel(left + 1, mid.center().y()) != blue);
        // The box: 2 px of border, 10 px from the text on every side.
        QVERIFY2(qAbs(xOf(QStringLiteral("Boxed")) - 12) <= 1, qPrintable(QString::number(xOf(QStringLiteral("Boxed")))));
        QVERIFY2(qAbs(boxed.top() - mid.top() - mid.height() - 12) <= 1, qPrintable(QString::number(boxed.top() - mid.top())));
        QCOMPARE(image.pixel(left, boxed.center().y()), red);
        QCOMPARE(image.pixel(right - 1, boxed.center().y()), red);
        // The top rule over the line's box, which with the faces' own line heights
        // starts a pixel or two above the caret.
        QVERIFY(image.pixel(left + 100, boxed.top() - 11) == red || image.pixel(left + 100, boxed.top() - 12) == red ||
                image.pixel(left + 100, boxed.top() - 13) == red);
        QCOMPARE(image.pixel(left + 100, boxed.bottom() + 11), red);
        QVERIFY(image.pixel(left + 100, boxed.top() - 5) != red);
        // The double rule under the indented paragraph, right of its text.
        QCOMPARE(rulesAcross(image, left + 150, left + 400, ruled.center().y(), after.top()), 2);
        QCOMPARE(rulesAcross(image, left + 10, left + 40, ruled.center().y(), after.top()), 0);
    }

    // A tab that ends at a stop with a leader is crossed by it, and a doubled
    // underline is two lines.
    void leadersAndDoubleUnderlines_data()
    {
        QTest::addColumn<QByteArray>("leader");
        QTest::addColumn<bool>("ink");
        QTest::newRow("dots") << QByteArray("\\tldot") << true;
        QTest::newRow("hyphens") << QByteArray("\\tlhyph") << true;
        QTest::newRow("underline") << QByteArray("\\tlul") << true;
        QTest::newRow("thick line") << QByteArray("\\tlth") << true;
        QTest::newRow("double line") << QByteArray("\\tleq") << true;
        QTest::newRow("none") << QByteArray() << false;
    }
    void leadersAndDoubleUnderlines()
    {
        QFETCH(QByteArray, leader);
        QFETCH(bool, ink);
        QVERIFY(open("{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24\\pard\\tqr" + leader +
                     "\\tx8000 Chapter\\tab 12\\par\\pard {\\uldb Doubled} {\\ul Single}\\par\\pard After\\par}"));
        const qreal tab = xOf(QStringLiteral("\t")), number = xOf(QStringLiteral("12"));
        const QRect line = m_box->cursorRect();
        const int left = int(columnLeft());
        const QImage image = m_box->viewport()->grab().toImage();
        const int dots = inkIn(image, QRect(left + int(tab) + 4, line.top(), int(number - tab) - 8, line.height()));
        QVERIFY2((dots > 0) == ink, qPrintable(QString::number(dots)));
        const QRect doubled = (m_box->setTextCursor(QTextCursor(blockWith(QStringLiteral("Doubled")))), m_box->cursorRect());
        const QRect below = (m_box->setTextCursor(QTextCursor(blockWith(QStringLiteral("After")))), m_box->cursorRect());
        auto rulesUnder = [&](const char *word, int length) {
            const int x = left + int(xOf(QLatin1String(word)));
            return rulesAcross(image, x + 1, x + length - 1, doubled.top(), below.top());
        };
        QCOMPARE(rulesUnder("Doubled", 40), 2);
        QCOMPARE(rulesUnder("Single", 30), 1);
    }

    // No list label of the corpus is drawn without ink.
    void noInvisibleBulletInTheCorpus()
    {
        int labels = 0;
        QStringList invisible;
        for (const QString &path : corpusDocuments()) {
            std::unique_ptr<QTextDocument> doc;
            if (DocumentLoader::load(path, &doc))
                continue;
            for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
                QTextLayout *layout = nullptr;
                for (const QTextLayout::FormatRange &r : b.textFormats()) {
                    if (!r.format.hasProperty(QTextFormat::UserProperty + 0x5254))
                        continue;
                    if (!layout) {
                        layout = b.layout();
                        layout->setFont(doc->defaultFont());
                        layout->setFormats(b.textFormats());
                        layout->beginLayout();
                        layout->createLine();
                        layout->endLayout();
                    }
                    for (int i = r.start; i < r.start + r.length; ++i) {
                        if (b.text().at(i).isSpace())
                            continue;
                        ++labels;
                        if (!drawn(b, i, 1).allInked) {
                            invisible << QStringLiteral("%1: U+%2").arg(QFileInfo(path).baseName())
                                             .arg(b.text().at(i).unicode(), 4, 16, QLatin1Char('0'));
                        }
                    }
                }
            }
        }
        qInfo("%d label characters, %lld without ink", labels, qlonglong(invisible.size()));
        QVERIFY(labels > 100);
        QVERIFY2(invisible.isEmpty(), qPrintable(invisible.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestProducerLook)
#include "tst_producerlook.moc"
