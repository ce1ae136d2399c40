// The keyword table: which part of the reader each word goes to, and the rows of the
// format words, whose setters must read a parameter as the reader always has (a
// toggle without its parameter is on, a size of zero is the default, noise is none).

#include "rtf/rtfkeywords.h"

#include <QTextCharFormat>
#include <QtTest>

#include <string_view>

using RtfKeywords::Route;

namespace {

RtfTokenizer::Token word(bool hasParameter, int parameter)
{
    RtfTokenizer::Token t;
    t.type = RtfTokenizer::Type::Word;
    t.hasParameter = hasParameter;
    t.parameter = hasParameter ? parameter : 0;
    return t;
}

// The character format a word leaves on a state that had start.
CharState afterCharWord(const char *name, bool hasParameter, int parameter, CharState start = {})
{
    const RtfKeywords::KwInfo *info = RtfKeywords::find(name);
    if (!info || info->route != Route::Char || !info->setChar)
        return start;
    info->setChar(start, word(hasParameter, parameter));
    return start;
}

ParaState afterParaWord(const char *name, bool hasParameter, int parameter)
{
    ParaState state;
    const RtfKeywords::KwInfo *info = RtfKeywords::find(name);
    if (info && info->route == Route::Para && info->setPara)
        info->setPara(state, word(hasParameter, parameter));
    return state;
}

} // namespace

Q_DECLARE_METATYPE(Route)

class TestRtfKeywords : public QObject
{
    Q_OBJECT

private slots:
    void routes_data();
    void routes();
    void unknownWords();
    void characterWords();
    void underlines_data();
    void underlines();
    void paragraphWords();
};

void TestRtfKeywords::routes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Route>("route");
    const std::pair<const char *, Route> rows[] = {
        {"b", Route::Char},           {"fs", Route::Char},           {"pntext", Route::Char},
        {"qc", Route::Para},          {"sl", Route::Para},           {"nowidctlpar", Route::Para},
        {"fonttbl", Route::FontTable}, {"f", Route::FontTable},      {"af", Route::FontTable},
        {"ansicpg", Route::FontTable}, {"colortbl", Route::ColorTable}, {"blue", Route::ColorTable},
        {"stylesheet", Route::StyleSheet}, {"s", Route::StyleSheet}, {"cs", Route::StyleSheet},
        {"listtable", Route::Lists},  {"listoverridetable", Route::Lists}, {"ls", Route::Lists},
        {"pn", Route::Lists},         {"pnlvlblt", Route::Lists},    {"field", Route::Fields},
        {"fldinst", Route::Fields},   {"fldrslt", Route::Fields},    {"pict", Route::Pictures},
        {"pngblip", Route::Pictures}, {"picwgoal", Route::Pictures}, {"shp", Route::Shapes},
        {"shptxt", Route::Shapes},    {"do", Route::Shapes},         {"sv", Route::Shapes},
        {"trowd", Route::Tables},     {"cellx", Route::Tables},      {"clbrdrt", Route::Tables},
        {"tx", Route::Tables},        {"box", Route::Tables},        {"par", Route::Body},
        {"pard", Route::Body},        {"plain", Route::Body},        {"u", Route::Body},
        {"sectd", Route::Body},       {"footnote", Route::Body},     {"emdash", Route::Body},
        {"info", Route::Body},
    };
    for (const auto &[name, route] : rows)
        QTest::newRow(name) << QString::fromLatin1(name) << route;
}

void TestRtfKeywords::routes()
{
    QFETCH(QString, name);
    QFETCH(Route, route);
    const QByteArray bytes = name.toLatin1();
    const RtfKeywords::KwInfo *info = RtfKeywords::find(std::string_view(bytes.constData(), size_t(bytes.size())));
    QVERIFY(info);
    QCOMPARE(info->route, route);
    QCOMPARE(info->setChar != nullptr, route == Route::Char);
    QCOMPARE(info->setPara != nullptr, route == Route::Para);
}

void TestRtfKeywords::unknownWords()
{
    QVERIFY(!RtfKeywords::find("bogusword"));
    QVERIFY(!RtfKeywords::find(""));
    QVERIFY(!RtfKeywords::find("B")); // control words are case-sensitive
    QVERIFY(!RtfKeywords::find(std::string(40, 'b')));
}

void TestRtfKeywords::characterWords()
{
    QVERIFY(afterCharWord("b", false, 0).bold);
    QVERIFY(!afterCharWord("b", true, 0, afterCharWord("b", false, 0)).bold);
    QVERIFY(afterCharWord("i", true, 1).italic);
    QVERIFY(afterCharWord("striked", false, 0).strike);
    QVERIFY(afterCharWord("v", false, 0).hidden);
    QVERIFY(afterCharWord("deleted", false, 0).deleted);
    QVERIFY(afterCharWord("listtext", false, 0).label);

    QCOMPARE(afterCharWord("fs", true, 36).size, 36);
    QCOMPARE(afterCharWord("fs", true, 0).size, 24);
    QCOMPARE(afterCharWord("fs", false, 0).size, 24);
    QCOMPARE(afterCharWord("fs", true, 1).size, 2);
    QCOMPARE(afterCharWord("fs", true, 100000).size, 3276);

    QCOMPARE(afterCharWord("cf", true, 3).color, 3);
    QCOMPARE(afterCharWord("cf", true, -3).color, 0);
    QCOMPARE(afterCharWord("highlight", true, 7).background, 7);
    QCOMPARE(afterCharWord("chcbpat", false, 0).background, 0);

    QCOMPARE(afterCharWord("super", false, 0).vertical, 1);
    QCOMPARE(afterCharWord("sub", false, 0).vertical, 2);
    QCOMPARE(afterCharWord("sub", true, 0, afterCharWord("sub", false, 0)).vertical, 0);
    QCOMPARE(afterCharWord("nosupersub", false, 0, afterCharWord("super", false, 0)).vertical, 0);
    QCOMPARE(afterCharWord("up", true, 6).vertical, 3);
    QCOMPARE(afterCharWord("dn", false, 0).vertical, 4);
    QCOMPARE(afterCharWord("dn", true, 0).vertical, 0);

    // Word writes small capitals as \scaps\caps0: the one does not undo the other.
    const CharState smallCaps = afterCharWord("caps", true, 0, afterCharWord("scaps", false, 0));
    QCOMPARE(smallCaps.caps, 2);
    QCOMPARE(afterCharWord("caps", false, 0, smallCaps).caps, 3);

    QCOMPARE(afterCharWord("dbch", false, 0).charClass, 2);
    QCOMPARE(afterCharWord("loch", false, 0, afterCharWord("rtlch", false, 0)).charClass, 0);
}

void TestRtfKeywords::underlines_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("style");
    QTest::newRow("ul") << "ul" << int(QTextCharFormat::SingleUnderline);
    QTest::newRow("ulw") << "ulw" << int(QTextCharFormat::SingleUnderline);
    QTest::newRow("uldb") << "uldb" << int(CharState::DoubleUnderline);
    QTest::newRow("uld") << "uld" << int(QTextCharFormat::DotLine);
    QTest::newRow("ulthldash") << "ulthldash" << int(QTextCharFormat::DashUnderline);
    QTest::newRow("uldashd") << "uldashd" << int(QTextCharFormat::DashDotLine);
    QTest::newRow("ulthdashdd") << "ulthdashdd" << int(QTextCharFormat::DashDotDotLine);
    QTest::newRow("ululdbwave") << "ululdbwave" << int(QTextCharFormat::WaveUnderline);
}

void TestRtfKeywords::underlines()
{
    QFETCH(QString, name);
    QFETCH(int, style);
    const QByteArray bytes = name.toLatin1();
    const CharState on = afterCharWord(bytes.constData(), false, 0);
    QCOMPARE(int(on.underline), style);
    QCOMPARE(int(afterCharWord(bytes.constData(), true, 0, on).underline), int(QTextCharFormat::NoUnderline));
    QCOMPARE(int(afterCharWord("ulnone", false, 0, on).underline), int(QTextCharFormat::NoUnderline));
}

void TestRtfKeywords::paragraphWords()
{
    QCOMPARE(afterParaWord("qc", false, 0).alignment, 1);
    QCOMPARE(afterParaWord("qr", false, 0).alignment, 2);
    QCOMPARE(afterParaWord("qd", false, 0).alignment, 3);
    QCOMPARE(afterParaWord("li", true, 720).leftIndent, 720);
    QCOMPARE(afterParaWord("lin", true, -360).leftIndent, -360);
    QCOMPARE(afterParaWord("rin", true, 100).rightIndent, 100);
    QCOMPARE(afterParaWord("fi", true, -283).firstIndent, -283);
    QVERIFY(afterParaWord("li", true, 2000000000).leftIndent < 2000000000); // bounded
    QCOMPARE(afterParaWord("sb", true, 240).spaceBefore, 240);
    QCOMPARE(afterParaWord("sa", true, -240).spaceAfter, 0); // no negative space
    QCOMPARE(afterParaWord("sl", true, 360).lineSpacing, 360);
    QCOMPARE(afterParaWord("sl", true, -300).lineSpacing, -300);
    QCOMPARE(afterParaWord("sl", true, 5000).lineSpacing, 0); // beyond ten lines: noise
    QCOMPARE(afterParaWord("sl", true, 10).lineSpacing, 0);
    QVERIFY(afterParaWord("slmult", true, 1).lineMultiple);
    QVERIFY(!afterParaWord("slmult", true, 0).lineMultiple);
    QVERIFY(afterParaWord("keepn", false, 0).keepNext);
    QVERIFY(afterParaWord("pagebb", false, 0).pageBreakBefore);
    QCOMPARE(int(afterParaWord("widctlpar", false, 0).widows), 1);
    QCOMPARE(int(afterParaWord("nowidctlpar", false, 0).widows), 0);
}

QTEST_GUILESS_MAIN(TestRtfKeywords)
#include "tst_rtfkeywords.moc"
