// Small documents opened through the open image are measured as the word processor
// that wrote them measures them: a line of 8 or 10 pt text is as wide as on the
// producer's page (Qt alone draws it at 11 or 13 whole pixels, 3 % wider or narrower),
// lines break where the producer breaks them, lines are as far apart as the face's
// own line metrics say, and \sl spacing steps as the producer steps it. The producer's
// figures are LibreOffice's, read from its PDF of the same text at 96 dpi.
#include "documentfixture.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextLayout>

namespace {

const QByteArray Sentence = "AVATAR Wave To. officially fluffy minimum The quick brown jumps";

QByteArray document(const QByteArray &paragraphs)
{
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Carlito;}{\\f1\\fnil Liberation Serif;}"
           "{\\f2\\fnil DejaVu Sans;}{\\f3\\fmodern Courier;}{\\f4\\fmodern Liberation Mono;}}\n" +
           paragraphs + "}";
}

} // namespace

class TestProducerMetrics final : public QObject
{
    Q_OBJECT

    DocumentFixture f;

    RichTextBox *editor() const { return f.editor(); }

    void open(const QByteArray &rtf)
    {
        const QString path = f.dir->filePath(QStringLiteral("mesure.rtf"));
        QVERIFY(writeBytes(path, rtf));
        f.answerFileDialog(path);
        f.click("Image6");
        QTRY_VERIFY(editor()->isLaidOut());
    }

    QTextBlock paragraph(int n) const
    {
        QTextBlock b = editor()->document()->begin();
        while (n-- > 0)
            b = b.next();
        return b;
    }

    QRect caretAt(int position) const
    {
        QTextCursor c(editor()->document());
        c.setPosition(position);
        editor()->setTextCursor(c);
        return editor()->cursorRect();
    }

    // From the caret before the paragraph's first character to the caret after its
    // last, on the screen.
    int shownWidth(const QTextBlock &b) const
    {
        return caretAt(b.position() + b.length() - 1).x() - caretAt(b.position()).x();
    }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void lineIsAsWideAsTheProducersAtItsSize_data()
    {
        QTest::addColumn<int>("font");
        QTest::addColumn<int>("halfPoints");
        QTest::addColumn<double>("producer");
        QTest::newRow("Carlito 8 pt") << 0 << 16 << 284.53;
        QTest::newRow("Carlito 10 pt") << 0 << 20 << 355.47;
        QTest::newRow("Carlito 11 pt") << 0 << 22 << 391.04;
        QTest::newRow("Liberation Serif 8 pt") << 1 << 16 << 298.80;
        QTest::newRow("Liberation Serif 10 pt") << 1 << 20 << 373.52;
        QTest::newRow("DejaVu Sans 11 pt") << 2 << 22 << 481.26;
        QTest::newRow("Liberation Serif 12 pt") << 1 << 24 << 448.14;
    }
    void lineIsAsWideAsTheProducersAtItsSize()
    {
        QFETCH(int, font);
        QFETCH(int, halfPoints);
        QFETCH(double, producer);
        open(document("\\pard\\plain\\f" + QByteArray::number(font) + "\\fs" + QByteArray::number(halfPoints) + " " +
                      Sentence + "\\par\n"));
        const QTextBlock b = paragraph(0);
        QCOMPARE(b.text(), QString::fromLatin1(Sentence));
        QVERIFY2(qAbs(shownWidth(b) - producer) <= 1.5, qPrintable(QString::number(shownWidth(b))));
        // The document keeps the size it was given, as the size display shows it.
        QCOMPARE(editor()->selFontSize(), std::optional<double>(halfPoints / 2.0));
        QCOMPARE(b.begin().fragment().charFormat().fontLetterSpacing(), 0.0);
    }

    // Super- and subscripts are 58 % of the text's size, as LibreOffice draws \\super and
    // \\sub (four digits of 12 pt Liberation Sans 20.6 px wide on its page); text raised
    // or lowered by a distance of its own (\\up, \\dn) keeps the whole size.
    void scriptsAreAsWideAsTheProducers()
    {
        open("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Liberation Sans;}}\n\\pard\\plain\\fs24 XX\\sub 2222\\nosupersub XX\\par\n"
             "\\pard\\plain\\fs24 XX\\dn4 2222\\up0 XX\\par\n\\pard\\plain\\fs24 XX2222XX\\par\n}");
        const QTextLine sub = paragraph(0).layout()->lineAt(0);
        const double digits = sub.cursorToX(6) - sub.cursorToX(2);
        QVERIFY2(qAbs(digits - 20.6) <= 0.5, qPrintable(QString::number(digits)));
        const QTextLine lowered = paragraph(1).layout()->lineAt(0);
        const QTextLine plain = paragraph(2).layout()->lineAt(0);
        QVERIFY2(qAbs(lowered.cursorToX(8) - plain.cursorToX(8)) <= 0.5, qPrintable(QString::number(lowered.cursorToX(8))));
    }

    // Ideographs stand one em apart at the size asked for, as LibreOffice sets them in
    // the face it substitutes for a Chinese, Japanese or Korean font it does not have
    // (Droid Sans Fallback, whose ideographs are an em wide), whatever face Qt takes
    // for the font's Latin text, and with no space between them.
    void ideographsStandAnEmApart_data()
    {
        QTest::addColumn<QByteArray>("font");
        QTest::addColumn<int>("halfPoints");
        QTest::addColumn<QByteArray>("style");
        const QByteArray pmingliu = "{\\f0\\fnil\\fcharset136 PMingLiU;}";
        const QByteArray named = "{\\f0\\fswiss\\fcharset136 \\'b7\\'73\\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}";
        const QByteArray simsun = "{\\f0\\fnil\\fcharset134 SimSun;}";
        const QByteArray mincho = "{\\f0\\froman\\fcharset128 MS Mincho;}";
        const QByteArray times = "{\\f0\\froman\\fcharset136 Times New Roman;}";
        for (int halfPoints : {18, 20, 21, 22, 24}) {
            const QByteArray size = " " + QByteArray::number(halfPoints / 2.0) + " pt";
            for (const char *style : {"", "\\b", "\\i"}) {
                const QByteArray s = *style ? QByteArray(" ") + (style + 1) : QByteArray();
                QTest::newRow("PMingLiU" + size + s) << pmingliu << halfPoints << QByteArray(style);
                QTest::newRow("named in Big5" + size + s) << named << halfPoints << QByteArray(style);
                QTest::newRow("SimSun" + size + s) << simsun << halfPoints << QByteArray(style);
                QTest::newRow("MS Mincho" + size + s) << mincho << halfPoints << QByteArray(style);
                QTest::newRow("Times New Roman" + size + s) << times << halfPoints << QByteArray(style);
            }
        }
    }
    void ideographsStandAnEmApart()
    {
        QFETCH(QByteArray, font);
        QFETCH(int, halfPoints);
        QFETCH(QByteArray, style);
        const QByteArray ideographs = "\\u36899?\\u37030?\\u22283?\\u38555?\\u23560?\\u21033?\\u21830?\\u27161?"
                                      "\\u20107?\\u21209?\\u25152?\\u20013?\\u25991?\\u23383?\\u39636?\\u28204?";
        open("{\\rtf1\\ansi\\ansicpg950\\deff0{\\fonttbl" + font + "}\n\\pard\\plain\\f0" + style + "\\fs" +
             QByteArray::number(halfPoints) + " " + ideographs + "\\par\n}");
        const QTextBlock b = paragraph(0);
        QCOMPARE(b.length() - 1, 16);
        const double em = halfPoints / 2.0 * 96 / 72;
        const QTextLine line = b.layout()->lineAt(0);
        const double width = line.cursorToX(16) - line.cursorToX(0);
        QVERIFY2(qAbs(width - 16 * em) <= 1.0, qPrintable(QStringLiteral("%1 px for 16 ideographs of %2 px").arg(width).arg(em)));
    }

    // Between an ideograph or kana and a Western letter or digit beside it stands a
    // fifth of the larger of their sizes, whatever \aspalpha and \aspnum say; none
    // beside punctuation or a blank. The carets before the characters given, in points
    // from the line's start on LibreOffice's page (Liberation Sans and the face it
    // draws SimSun's ideographs in).
    void asianTextStandsApartFromWesternLetters_data()
    {
        QTest::addColumn<QByteArray>("paragraph");
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<QList<double>>("producer");
        QTest::newRow("letters and digits")
            << QByteArray("\\f0\\fs20 Ab\\u24180?12\\u26376?") << QList<int>{2, 3, 5, 6}
            << QList<double>{14.3, 26.3, 39.4, 49.4};
        QTest::newRow("said not to")
            << QByteArray("\\aspalpha0\\aspnum0\\f0\\fs20 Ab\\u24180?12\\u26376?") << QList<int>{2, 3, 5, 6}
            << QList<double>{14.3, 26.3, 39.4, 49.4};
        QTest::newRow("punctuation and kana")
            << QByteArray("\\f0\\fs20 Ab\\u12354?\\u65306?x\\u12289?y") << QList<int>{2, 3, 4, 5, 6}
            << QList<double>{14.3, 24.3, 34.3, 39.3, 49.3};
        QTest::newRow("the larger size")
            << QByteArray("\\f0\\fs20 Ab {\\f1\\fs40 \\u24180?}cd\\u26376?") << QList<int>{3, 4, 6}
            << QList<double>{15.0, 39.0, 51.6};
    }
    void asianTextStandsApartFromWesternLetters()
    {
        QFETCH(QByteArray, paragraph);
        QFETCH(QList<int>, positions);
        QFETCH(QList<double>, producer);
        open("{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fswiss Liberation Sans;}{\\f1\\fnil\\fcharset134 SimSun;}}\n"
             "\\pard\\plain" + paragraph + "\\par\n}");
        const QTextLine line = this->paragraph(0).layout()->lineAt(0);
        for (qsizetype i = 0; i < positions.size(); ++i) {
            const double x = (line.cursorToX(positions[i]) - line.cursorToX(0)) * 72 / 96;
            QVERIFY2(qAbs(x - producer[i]) <= 0.75,
                     qPrintable(QStringLiteral("%1 pt before %2").arg(x).arg(positions[i])));
        }
    }

    // A run of spaces is wider than its spaces one by one: each space of it a sixth of
    // its size wider than the face's, in every paragraph, unless the document says
    // \dntblnsbdb or names its East Asian default font (but for a theme font), or the
    // run is in Courier. From the caret before the paragraph's first character to the
    // one before the character at "to", in points on LibreOffice's page.
    void spaceRunsAreWiderThanTheirSpaces_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QByteArray>("paragraph");
        QTest::addColumn<int>("to");
        QTest::addColumn<double>("producer");
        QTest::newRow("one space") << QByteArray() << QByteArray("\\f1\\fs24 a b") << 2 << 8.30;
        QTest::newRow("two spaces") << QByteArray() << QByteArray("\\f1\\fs24 a  b") << 3 << 15.29;
        QTest::newRow("three spaces") << QByteArray() << QByteArray("\\f1\\fs24 a   b") << 4 << 20.28;
        QTest::newRow("not balanced") << QByteArray("\\dntblnsbdb") << QByteArray("\\f1\\fs24 a  b") << 3 << 11.30;
        QTest::newRow("East Asian default font") << QByteArray("\\stshfdbch1") << QByteArray("\\f1\\fs24 a  b") << 3 << 11.30;
        QTest::newRow("a theme font for East Asian default")
            << QByteArray("\\stshfdbch31505") << QByteArray("\\f1\\fs24 a  b") << 3 << 15.29;
        QTest::newRow("leading a centred line") << QByteArray() << QByteArray("\\qc\\f1\\fs24   c d") << 2 << 10.0;
        QTest::newRow("DejaVu Sans 14 pt, 19 spaces")
            << QByteArray() << QByteArray("\\f2\\fs28 e" + QByteArray(19, ' ') + "f") << 20 << 137.17;
        QTest::newRow("Courier") << QByteArray() << QByteArray("\\f3\\fs24 a  b") << 3 << 21.60;
        QTest::newRow("Liberation Mono") << QByteArray() << QByteArray("\\f4\\fs24 a  b") << 3 << 25.60;
    }
    void spaceRunsAreWiderThanTheirSpaces()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, paragraph);
        QFETCH(int, to);
        QFETCH(double, producer);
        QByteArray rtf = document("\\pard\\plain" + paragraph + "\\par\n");
        rtf.insert(rtf.indexOf('\n'), settings);
        open(rtf);
        const QTextLine line = this->paragraph(0).layout()->lineAt(0);
        const double width = line.cursorToX(to) - line.cursorToX(0);
        QVERIFY2(qAbs(width - producer * 96 / 72) <= 1.0, qPrintable(QString::number(width * 72 / 96)));
    }

    // Pairs are kerned ("AVATAR", "P.W.") but after \kerning0, at any size \kerningN
    // names. To the caret before "x", in points.
    void pairsAreKernedButAfterKerningZero_data()
    {
        QTest::addColumn<QByteArray>("words");
        QTest::addColumn<double>("producer");
        QTest::newRow("kerned") << QByteArray() << 108.20;
        QTest::newRow("kerning 0") << QByteArray("\\kerning0") << 118.93;
        QTest::newRow("kerning from 14 pt, at 12") << QByteArray("\\kerning28") << 108.20;
        QTest::newRow("plain after kerning 0") << QByteArray("\\kerning0\\plain\\f1\\fs24") << 108.20;
    }
    void pairsAreKernedButAfterKerningZero()
    {
        QFETCH(QByteArray, words);
        QFETCH(double, producer);
        open(document("\\pard\\plain\\f1\\fs24" + words + " P.W., AVATAR To Wa x\\par\n"));
        const QTextLine line = paragraph(0).layout()->lineAt(0);
        const double width = line.cursorToX(19) - line.cursorToX(0);
        QVERIFY2(qAbs(width - producer * 96 / 72) <= 1.0, qPrintable(QString::number(width * 72 / 96)));
    }

    // Small capitals are the capitals at four fifths of the size (Qt's own, seven
    // tenths); a capital stays whole. To the caret before "x", in points.
    void smallCapitalsAreFourFifthsOfTheSize_data()
    {
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<double>("producer");
        QTest::newRow("lower case") << QByteArray("hormones") << 56.90;
        QTest::newRow("a capital first") << QByteArray("Reproductive") << 77.70;
    }
    void smallCapitalsAreFourFifthsOfTheSize()
    {
        QFETCH(QByteArray, word);
        QFETCH(double, producer);
        open(document("\\pard\\plain\\f1\\fs24 {\\scaps " + word + "} x\\par\n"));
        const QTextLine line = paragraph(0).layout()->lineAt(0);
        const double width = line.cursorToX(int(word.size()) + 1) - line.cursorToX(0);
        QVERIFY2(qAbs(width - producer * 96 / 72) <= 1.0, qPrintable(QString::number(width * 72 / 96)));
    }

    // A line as full of ideographs as its room holds takes an ideographic comma or
    // full stop after them past its end; a closing bracket goes to the next line
    // with the ideograph before it.
    void ideographicCommaHangsPastTheLineEnd_data()
    {
        QTest::addColumn<QByteArray>("mark");
        QTest::addColumn<int>("more");
        QTest::newRow("comma") << QByteArray("\\u12289?") << 1;
        QTest::newRow("full stop") << QByteArray("\\u12290?") << 1;
        QTest::newRow("fullwidth comma") << QByteArray("\\u65292?") << 1;
        QTest::newRow("closing bracket") << QByteArray("\\u65289?") << -1;
    }
    void ideographicCommaHangsPastTheLineEnd()
    {
        QFETCH(QByteArray, mark);
        QFETCH(int, more);
        const QByteArray head = "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\froman\\fcharset128 MS Mincho;}}\n"
                                "\\pard\\plain\\f0\\fs24 ";
        open(head + "\\u26085?\\par\n}");
        const int fit = int(paragraph(0).layout()->lineAt(0).width() / 16);
        open(head + QByteArray("\\u26085?").repeated(fit) + mark + "\\u26376?\\u26376?\\par\n}");
        QCOMPARE(paragraph(0).layout()->lineAt(0).textLength(), fit + more);
    }

    // A line breaks before a small kana or the prolonged sound mark as before any kana
    // ("オ" ends the line, "ープン" begins the next), where Qt takes the kana before
    // it to the next line with it.
    void lineBreaksBeforeAProlongedSoundMark_data()
    {
        QTest::addColumn<QByteArray>("mark");
        QTest::newRow("prolonged sound mark") << QByteArray("\\u12540?");
        QTest::newRow("small tsu") << QByteArray("\\u12483?");
    }
    void lineBreaksBeforeAProlongedSoundMark()
    {
        QFETCH(QByteArray, mark);
        const QByteArray head = "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\froman\\fcharset128 MS Mincho;}}\n"
                                "\\pard\\plain\\f0\\fs24 ";
        open(head + "\\u26085?\\par\n}");
        const int fit = int(paragraph(0).layout()->lineAt(0).width() / 16);
        open(head + QByteArray("\\u26085?").repeated(fit - 1) + "\\u12458?" + mark + "\\u12503?\\u12531?\\par\n}");
        QCOMPARE(paragraph(0).layout()->lineAt(0).textLength(), fit);
    }

    // Words joined by slashes go to the next line whole ("SIT/CAT/PROD"), in a
    // justified paragraph as in any other, where Qt breaks after a slash.
    void noLineBreaksAfterASlashInAWord_data()
    {
        QTest::addColumn<QByteArray>("alignment");
        QTest::newRow("left") << QByteArray("\\ql");
        QTest::newRow("justified") << QByteArray("\\qj");
    }
    void noLineBreaksAfterASlashInAWord()
    {
        QFETCH(QByteArray, alignment);
        QByteArray text;
        for (int i = 1; i <= 40; ++i)
            text += QByteArray(i % 7 + 1, 'x') + " SIT/CAT/PROD ";
        open(document("\\pard\\plain" + alignment + "\\f1\\fs24 " + text + "\\par\n"));
        const QTextBlock b = paragraph(0);
        QVERIFY(b.layout()->lineCount() > 3);
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            const QString shown = b.text().mid(line.textStart(), line.textLength()).trimmed();
            QVERIFY2(!shown.endsWith(QLatin1Char('/')), qPrintable(shown));
        }
    }

    // A line of 10 pt text that Qt's advances, cut to 64ths of a pixel, fit into its
    // room by less than a pixel, but the face's own do not: its last word goes to the
    // next line, as on the producer's page, left-aligned or justified.
    void lastWordBeyondTheRoomGoesToTheNextLine_data()
    {
        QTest::addColumn<QByteArray>("alignment");
        QTest::newRow("left") << QByteArray("\\ql");
        QTest::newRow("justified") << QByteArray("\\qj");
    }
    void lastWordBeyondTheRoomGoesToTheNextLine()
    {
        QFETCH(QByteArray, alignment);
        // Laid out by the face's advances at 10 pt (13.33 px), kerned, the line up to
        // "inform" is 578.9 px wide; by Qt's, 577.8.
        open(document("\\pard\\plain\\f1\\fs20 x\\par\n"));
        const int rightIndent = int((paragraph(0).layout()->lineAt(0).width() - 578.4) * 15);
        open(document("\\pard\\plain" + alignment + "\\ri" + QByteArray::number(rightIndent) +
                      "\\f1\\fs20 do not send any reminder regarding to the subsequent maintenance fees. "
                      "However, please continue to inform us of any notice\\par\n"));
        const QTextBlock b = paragraph(0);
        const QTextLine first = b.layout()->lineAt(0);
        QCOMPARE(b.text().mid(first.textStart(), first.textLength()).trimmed().section(QLatin1Char(' '), -1),
                 QStringLiteral("to"));
    }

    // A column just wider than the producer's line: the line stays whole, as on the
    // producer's page, where Qt's wider 8 pt would wrap its last word. Its last word
    // typed again takes the same measure.
    void lineBreaksWhereTheProducerBreaks()
    {
        open(document("\\pard\\plain\\f0\\fs16 x\\par\n"));
        const qreal room = paragraph(0).layout()->lineAt(0).width();
        const int rightIndent = int((room - 287) * 15);
        QVERIFY(rightIndent > 0);
        open(document("\\pard\\plain\\ri" + QByteArray::number(rightIndent) + "\\f0\\fs16 " + Sentence + "\\par\n"));
        QTextBlock b = paragraph(0);
        QVERIFY(QFontMetricsF(b.begin().fragment().charFormat().font()).horizontalAdvance(QString::fromLatin1(Sentence)) >
                290);
        QCOMPARE(b.layout()->lineCount(), 1);
        const int width = shownWidth(b);

        QTextCursor end(b);
        end.movePosition(QTextCursor::EndOfBlock);
        editor()->setTextCursor(end);
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(editor(), Qt::Key_Backspace);
        f.type(QStringLiteral("jumps"));
        QTRY_VERIFY(editor()->isLaidOut());
        b = paragraph(0);
        QCOMPARE(b.text(), QString::fromLatin1(Sentence));
        QCOMPARE(b.layout()->lineCount(), 1);
        QCOMPARE(shownWidth(b), width);
        f.type(QStringLiteral(" VIEW"));
        QTRY_COMPARE(paragraph(0).layout()->lineCount(), 2);
        QCOMPARE(editor()->selFontSize(), std::optional<double>(8));
    }

    // From the top of the first line to that of the fifth, on the screen.
    void linesAreAsFarApartAsTheProducersLines_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<double>("pitch");
        QTest::newRow("Carlito 8 pt") << QByteArray("\\f0\\fs16") << 13.0;
        QTest::newRow("Carlito 10 pt") << QByteArray("\\f0\\fs20") << 16.27;
        QTest::newRow("Liberation Serif 11 pt") << QByteArray("\\f1\\fs22") << 16.87;
        QTest::newRow("DejaVu Sans 12 pt") << QByteArray("\\f2\\fs24") << 18.67;
        QTest::newRow("proportional x1.15") << QByteArray("\\sl276\\slmult1\\f0\\fs16") << 14.93;
        QTest::newRow("proportional x2") << QByteArray("\\sl480\\slmult1\\f0\\fs16") << 26.0;
        QTest::newRow("at least 15 pt") << QByteArray("\\sl300\\f0\\fs16") << 20.0;
        QTest::newRow("at least, less than the text") << QByteArray("\\sl100\\f0\\fs16") << 13.0;
        QTest::newRow("exactly 15 pt") << QByteArray("\\sl-300\\f0\\fs16") << 20.0;
    }
    void linesAreAsFarApartAsTheProducersLines()
    {
        QFETCH(QByteArray, format);
        QFETCH(double, pitch);
        const QByteArray text = (Sentence + ' ').repeated(12);
        open(document("\\pard\\plain" + format + " " + text + "\\par\n"));
        const QTextBlock b = paragraph(0);
        QTextLayout *layout = b.layout();
        QVERIFY(layout->lineCount() >= 5);
        const int first = caretAt(b.position() + layout->lineAt(0).textStart()).y();
        const int fifth = caretAt(b.position() + layout->lineAt(4).textStart()).y();
        QVERIFY2(qAbs(fifth - first - 4 * pitch) <= 1, qPrintable(QString::number(fifth - first)));
    }

    // A line with a larger word in it reaches as high as the larger face and as low:
    // from the baseline of the line above to that of the line below, the producer
    // steps one 8 pt line and one of the 16 pt word's height.
    void largerWordMakesItsLineAsHighAsTheProducers()
    {
        open(document("\\pard\\plain\\f0\\fs16 one\\par\n\\pard\\plain\\f0\\fs16 two {\\fs32 Big} two\\par\n"
                      "\\pard\\plain\\f0\\fs16 three\\par\n"));
        QAbstractTextDocumentLayout *layout = editor()->document()->documentLayout();
        const auto baseline = [&](const QTextBlock &b) {
            const QTextLine line = b.layout()->lineAt(0);
            return layout->blockBoundingRect(b).top() + line.y() + line.ascent();
        };
        const qreal step = baseline(paragraph(2)) - baseline(paragraph(0));
        QVERIFY2(qAbs(step - (13.0 + 26.03)) <= 0.5, qPrintable(QString::number(step)));
    }

    // Ideographs that the face lacks, drawn in a fallback face (Droid Sans Fallback,
    // whose lines are a ninth higher), leave the line as high as the face's own: on
    // LibreOffice's page lines of Liberation Sans at 18 points step 20.7 points with
    // or without them. Said to be Japanese (\langfe1041), they are drawn in a face of
    // that language, whose line is 23.6 points high.
    void fallbackFaceLeavesTheLineAsHigh()
    {
        open("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Liberation Sans;}}\n"
             "\\pard\\plain\\fs36 Alpha\\par\n\\pard\\plain\\fs36 \\u24180?\\u26376?\\par\n"
             "\\pard\\plain\\fs36 \\u24180?\\u26376?\\par\n\\pard\\plain\\fs36 Beta\\par\n"
             "\\pard\\plain\\fs36\\langfe1041 \\u24180?\\u26376?\\par\n\\pard\\plain\\fs36 Beta\\par\n}");
        QAbstractTextDocumentLayout *layout = editor()->document()->documentLayout();
        const auto baseline = [&](const QTextBlock &b) {
            const QTextLine line = b.layout()->lineAt(0);
            return layout->blockBoundingRect(b).top() + line.y() + line.ascent();
        };
        const qreal step = baseline(paragraph(3)) - baseline(paragraph(0));
        QVERIFY2(qAbs(step - 3 * 20.7 * 96 / 72) <= 1.0, qPrintable(QString::number(step)));
        const qreal japanese = baseline(paragraph(5)) - baseline(paragraph(3));
        QVERIFY2(qAbs(japanese - (20.7 + 23.6) * 96 / 72) <= 1.0, qPrintable(QString::number(japanese)));
    }

    // A paragraph laid out while an edit block is still open takes its measure then;
    // what the block changed is laid out all the same once it ends.
    void editBlockLaysOutWhatItChanged()
    {
        open(document("\\pard\\plain\\f0\\fs16 " + Sentence + "\\par\n\\pard\\plain\\f0\\fs16 two\\par\n"));
        QAbstractTextDocumentLayout *layout = editor()->document()->documentLayout();
        const qreal height = layout->documentSize().height();
        QTextCursor c(paragraph(1));
        c.beginEditBlock();
        c.insertText(QString::fromLatin1((Sentence + ' ').repeated(6)));
        layout->blockBoundingRect(paragraph(0));
        c.movePosition(QTextCursor::Start);
        c.insertText(QStringLiteral("Un "));
        c.endEditBlock();
        QTRY_VERIFY(editor()->isLaidOut());
        const QTextBlock two = paragraph(1);
        QVERIFY(two.layout()->lineCount() >= 2);
        const QTextLine last = two.layout()->lineAt(two.layout()->lineCount() - 1);
        QCOMPARE(last.textStart() + last.textLength(), two.length() - 1);
        QVERIFY(layout->documentSize().height() >= height + 13);
        QCOMPARE(paragraph(0).text(), QStringLiteral("Un ") + QString::fromLatin1(Sentence));
        QFont carlito(QStringLiteral("Carlito"));
        carlito.setPixelSize(1067);
        const qreal added = QFontMetricsF(carlito).horizontalAdvance(QStringLiteral("Un ")) / 100;
        QVERIFY2(qAbs(shownWidth(paragraph(0)) - (284.53 + added)) <= 1.5, qPrintable(QString::number(shownWidth(paragraph(0)))));
    }
};

QTEST_MAIN(TestProducerMetrics)
#include "tst_producermetrics.moc"
