// List labels the file does not spell out (\listtext): made from the list table as
// LibreOffice shows them, each format's numbers checked on its text export, and
// marked as labels like those the file gives.

#include "model/marks.h"
#include "rtf/rtfreader.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

namespace {

// Each paragraph's label (the text marked as one) and its own text.
struct Paragraph
{
    QString label;
    QString text;
};

QList<Paragraph> paragraphs(const QByteArray &rtf)
{
    QTextDocument doc;
    [&] { QVERIFY(!Rtf::read(rtf, &doc)); }();
    QList<Paragraph> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        Paragraph p;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            (f.charFormat().boolProperty(DocProperty::ListLabel) ? p.label : p.text) += f.text();
        }
        out << p;
    }
    return out;
}

// A list of one level in the format nfc, whose label is the number and a dot.
QByteArray listOf(int nfc, const QByteArray &paragraphs, const QByteArray &levelText = "\\'02\\'00.")
{
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f3\\fcharset2 Symbol;}}{\\*\\listtable{\\list\\listtemplateid1"
           "{\\listlevel\\levelnfc" + QByteArray::number(nfc) + "\\levelnfcn" + QByteArray::number(nfc)
        + "\\leveljc0\\levelfollow0\\levelstartat1{\\leveltext " + levelText + ";}{\\levelnumbers\\'01;}\\fi-360\\li720}"
          "{\\listlevel\\levelnfc4\\levelstartat1{\\leveltext\\'04\\'00.\\'01);}{\\levelnumbers\\'01\\'03;}\\fi-360\\li1440}"
          "\\listid7}}{\\*\\listoverridetable{\\listoverride\\listid7\\listoverridecount0\\ls1}}"
        + paragraphs + "}";
}

} // namespace

class TestRtfLists : public QObject
{
    Q_OBJECT

private slots:
    void numberFormats_data();
    void numberFormats();
    void labelOfTheFileWins();
    void spacesBeforeTheLabelFollowIt();
    void levels();
    void bulletInASymbolFont();
    void emptyItemAndUnknownList();
    void farNumbersStayShort();
    void lastItemWithoutParagraphMark();
};

void TestRtfLists::numberFormats_data()
{
    // Items 1, 2, 3, 10, 11 and 12 of a list in each format (\levelnfc) as LibreOffice
    // shows them: the Japanese, Chinese and Korean counting systems, kana, circled
    // numbers, stems and branches, and the full- and half-width forms it shows as
    // plain digits.
    QTest::addColumn<int>("nfc");
    QTest::addColumn<QString>("labels");
    QTest::newRow("10") << 10 << QStringLiteral("一 二 三 十 十一 十二");
    QTest::newRow("11") << 11 << QStringLiteral("一 二 三 十 十一 十二");
    QTest::newRow("12") << 12 << QStringLiteral("ｱ ｲ ｳ ｺ ｻ ｼ");
    QTest::newRow("13") << 13 << QStringLiteral("ｲ ﾛ ﾊ ﾇ ﾙ ｦ");
    QTest::newRow("14") << 14 << QStringLiteral("1 2 3 10 11 12");
    QTest::newRow("15") << 15 << QStringLiteral("1 2 3 10 11 12");
    QTest::newRow("16") << 16 << QStringLiteral("壱 弐 参 壱零 壱壱 壱弐");
    QTest::newRow("17") << 17 << QStringLiteral("1 2 3 10 11 12");
    QTest::newRow("18") << 18 << QStringLiteral("① ② ③ ⑩ ⑪ ⑫");
    QTest::newRow("19") << 19 << QStringLiteral("1 2 3 10 11 12");
    QTest::newRow("20") << 20 << QStringLiteral("ア イ ウ コ サ シ");
    QTest::newRow("21") << 21 << QStringLiteral("イ ロ ハ ヌ ル ヲ");
    QTest::newRow("22") << 22 << QStringLiteral("01 02 03 10 11 12");
    QTest::newRow("23") << 23 << QStringLiteral("• • • • • •");
    QTest::newRow("24") << 24 << QStringLiteral("가 나 다 차 카 타");
    QTest::newRow("25") << 25 << QStringLiteral("ㄱ ㄴ ㄷ ㅊ ㅋ ㅌ");
    QTest::newRow("26") << 26 << QStringLiteral("1 2 3 10 11 12");
    QTest::newRow("27") << 27 << QStringLiteral("1 2 3 10 11 12");
    QTest::newRow("28") << 28 << QStringLiteral("① ② ③ ⑩ ⑪ ⑫");
    QTest::newRow("29") << 29 << QStringLiteral("① ② ③ ⑩ ⑪ ⑫");
    QTest::newRow("30") << 30 << QStringLiteral("甲 乙 丙 癸 11 12");
    QTest::newRow("31") << 31 << QStringLiteral("子 丑 寅 酉 戌 亥");
    QTest::newRow("32") << 32 << QStringLiteral("1 2 3 10 11 12");
    QTest::newRow("33") << 33 << QStringLiteral("一 二 三 十 十一 十二");
    QTest::newRow("34") << 34 << QStringLiteral("壹 貳 參 壹拾 壹拾壹 壹拾貳");
    QTest::newRow("35") << 35 << QStringLiteral("一 二 三 十 十一 十二");
    QTest::newRow("36") << 36 << QStringLiteral("1 2 3 10 11 12");
    QTest::newRow("37") << 37 << QStringLiteral("一 二 三 十 十一 十二");
    QTest::newRow("38") << 38 << QStringLiteral("壹 贰 叁 壹拾 壹拾壹 壹拾贰");
    QTest::newRow("39") << 39 << QStringLiteral("一 二 三 十 十一 十二");
    QTest::newRow("40") << 40 << QStringLiteral("1 2 3 10 11 12");
    QTest::newRow("41") << 41 << QStringLiteral("일 이 삼 일영 일일 일이");
    QTest::newRow("42") << 42 << QStringLiteral("일 이 삼 십 십일 십이");
    QTest::newRow("43") << 43 << QStringLiteral("하나 둘 셋 열 열하나 열둘");
    QTest::newRow("44") << 44 << QStringLiteral("一 二 三 一零 一一 一二");
    QTest::newRow("45") << 45 << QStringLiteral("א ב ג י יא יב");
    QTest::newRow("46") << 46 << QStringLiteral("أ ب ت ر ز س");
    QTest::newRow("47") << 47 << QStringLiteral("א ב ג י כ ל");
    QTest::newRow("48") << 48 << QStringLiteral("ا ب ج ي ك ل");
}

void TestRtfLists::numberFormats()
{
    QFETCH(int, nfc);
    QFETCH(QString, labels);
    QByteArray items;
    for (int i = 1; i <= 12; ++i)
        items += "\\pard\\ls1\\fi-360\\li720 item " + QByteArray::number(i) + "\\par\n";
    const QList<Paragraph> found = paragraphs(listOf(nfc, items));
    QCOMPARE(found.size(), 12);
    QStringList shown;
    for (int i : {1, 2, 3, 10, 11, 12}) {
        const Paragraph &p = found.at(i - 1);
        QCOMPARE(p.text, QStringLiteral("item %1").arg(i)); // the paragraph's own text, label apart
        QVERIFY(p.label.endsWith(QLatin1Char('\t')));
        QString label = p.label.chopped(1);
        if (nfc != 23) {
            QVERIFY2(label.endsWith(QLatin1Char('.')), qPrintable(label));
            label.chop(1);
        }
        shown << label;
    }
    QCOMPARE(shown.join(QLatin1Char(' ')), labels);
}

void TestRtfLists::labelOfTheFileWins()
{
    // Where the file spells the label out, that is the label, and the list's numbers
    // go on past it.
    const QList<Paragraph> found = paragraphs(
        listOf(10, "{\\listtext 1)\\tab}\\pard\\ls1 a\\par\\pard\\ls1 b\\par{\\listtext\\pard\\plain x\\tab}\\pard\\ls1 c\\par"));
    QCOMPARE(found.size(), 3);
    QCOMPARE(found[0].label, QStringLiteral("1)\t"));
    QCOMPARE(found[1].label, QStringLiteral("\u4E8C.\t"));
    QCOMPARE(found[2].label, QStringLiteral("x\t"));
    QCOMPARE(found[1].text, QStringLiteral("b"));
}

void TestRtfLists::spacesBeforeTheLabelFollowIt()
{
    // A list draws its label at the start of the paragraph: spaces written in front
    // of the file's label come after it, as LibreOffice shows them.
    const QByteArray rtf = listOf(0, "\\pard\\ls1   {\\listtext\\pard\\plain 1.\\tab}  a\\par\\pard\\ls1 {\\listtext 2.\\tab}b\\par");
    QTextDocument doc;
    QVERIFY(!Rtf::read(rtf, &doc));
    QCOMPARE(doc.begin().text(), QStringLiteral("1.\t    a"));
    QCOMPARE(doc.begin().next().text(), QStringLiteral("2.\tb"));
    const QList<Paragraph> found = paragraphs(rtf);
    QCOMPARE(found.value(0).label, QStringLiteral("1.\t"));
    QCOMPARE(found.value(0).text, QStringLiteral("    a"));
}

void TestRtfLists::levels()
{
    // A level's template names the numbers of the levels above it; a deeper level
    // starts again under each item above it.
    const QList<Paragraph> found =
        paragraphs(listOf(0, "\\pard\\ls1 a\\par\\pard\\ls1\\ilvl1 b\\par\\pard\\ls1\\ilvl1 c\\par"
                             "\\pard\\ls1 d\\par\\pard\\ls1\\ilvl1 e\\par\\pard plain\\par"));
    QCOMPARE(found.size(), 6);
    const QStringList expected = {"1.\t", "1.a)\t", "1.b)\t", "2.\t", "2.a)\t", ""};
    for (int i = 0; i < found.size(); ++i)
        QCOMPARE(found[i].label, expected[i]);
    QCOMPARE(found[5].text, QStringLiteral("plain"));
}

void TestRtfLists::bulletInASymbolFont()
{
    // A bullet level's character in the level's font (\f), here Symbol's number for
    // its bullet, given as a private-use code or as the byte.
    const QByteArray symbol = listOf(23, "\\pard\\ls1 a\\par", "\\'01\\u-3913 ?").replace("\\fi-360\\li720}", "\\f3\\fi-360\\li720}");
    QCOMPARE(paragraphs(symbol).value(0).label, QStringLiteral("\u2022\t"));
    const QByteArray byte = listOf(23, "\\pard\\ls1 a\\par", "\\'01\\'b7").replace("\\fi-360\\li720}", "\\f3\\fi-360\\li720}");
    QCOMPARE(paragraphs(byte).value(0).label, QStringLiteral("\u2022\t"));
    QCOMPARE(paragraphs(byte).value(0).text, QStringLiteral("a"));
}

void TestRtfLists::emptyItemAndUnknownList()
{
    // An empty item shows its label; a list the override table does not name shows none.
    const QList<Paragraph> found = paragraphs(listOf(0, "\\pard\\ls1\\par\\pard\\ls1 b\\par\\pard\\ls9 c\\par"));
    QCOMPARE(found.size(), 3);
    QCOMPARE(found[0].label, QStringLiteral("1.\t"));
    QCOMPARE(found[1].label, QStringLiteral("2.\t"));
    QCOMPARE(found[2].label, QString());
    QCOMPARE(found[2].text, QStringLiteral("c"));
    // Nor the label it spells out before it names that list (pandoc's old lists).
    const QList<Paragraph> spelled = paragraphs(
        listOf(0, "\\pard{\\pntext 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec}\\ls9\\fi-360\\li360 d\\par"
                  "{\\pntext 2.\\tab}\\pard{\\*\\pn\\pnlvlbody\\pndec} e\\par"));
    QCOMPARE(spelled.value(0).label, QString());
    QCOMPARE(spelled.value(0).text, QStringLiteral("d"));
    QCOMPARE(spelled.value(1).label, QStringLiteral("2.\t"));
}

void TestRtfLists::farNumbersStayShort()
{
    // Letters repeat past z (aa, bb); a list that starts far on (or a hostile one)
    // does not make labels thousands of letters long.
    QByteArray rtf = listOf(4, "\\pard\\ls1 a\\par\\pard\\ls1 b\\par");
    QCOMPARE(paragraphs(rtf).value(1).label, QStringLiteral("b.\t"));
    rtf.replace("\\levelstartat1{", "\\levelstartat27{");
    QCOMPARE(paragraphs(rtf).value(1).label, QStringLiteral("bb.\t"));
    rtf.replace("\\levelstartat27{", "\\levelstartat32000{");
    QCOMPARE(paragraphs(rtf).value(1).label, QStringLiteral("32001.\t"));
}

void TestRtfLists::lastItemWithoutParagraphMark()
{
    // A file that ends its last item without \\par (TextEdit's) still shows its label,
    // and the item keeps its tab stops.
    const QByteArray rtf = listOf(23, "\\pard\\tx220\\tx720\\li720\\fi-720\\ls1 a", "\\'02\\'05.");
    QCOMPARE(paragraphs(rtf).value(0).label, QStringLiteral("\u2022\t"));
    QTextDocument doc;
    QVERIFY(!Rtf::read(rtf, &doc));
    QCOMPARE(doc.begin().blockFormat().tabPositions().value(0).position, 220 / 15.0);
}

QTEST_GUILESS_MAIN(TestRtfLists)
#include "tst_rtflists.moc"
