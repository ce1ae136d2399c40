// Hostile RTF that once cost memory or time out of all proportion to its size: the
// work a read does is counted, and must stay in proportion to the input, while the
// document still reads as it should.

#include "model/table.h"
#include "rtf/rtflimits.h"
#include "rtf/rtfreader.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QtTest>

namespace {

// The character format in force at the character at position.
QTextCharFormat formatAt(QTextDocument &doc, int position)
{
    QTextCursor c(&doc);
    c.setPosition(position + 1);
    return c.charFormat();
}

} // namespace

class TestRtfHostile final : public QObject
{
    Q_OBJECT

private slots:
    void repeatedResultsShareOneLink_data();
    void repeatedResultsShareOneLink();
    void instructionCapHoldsForEveryCharacter_data();
    void instructionCapHoldsForEveryCharacter();
    void fontChangesInDeepGroupsCostLinearWork_data();
    void fontChangesInDeepGroupsCostLinearWork();
    void oneConverterPerKnownCodePage();
    void mergedCellsInALongTableCostLinearWork();
    void textBoxesInTextBoxesStopAtTheNestingLimit();
};

void TestRtfHostile::repeatedResultsShareOneLink_data()
{
    QTest::addColumn<QByteArray>("result"); // repeated 2 000 times inside the field
    QTest::newRow("results in groups of their own") << QByteArray("{\\fldrslt a}");
    QTest::newRow("results in the field's group") << QByteArray("\\fldrslt a");
}

void TestRtfHostile::repeatedResultsShareOneLink()
{
    QFETCH(QByteArray, result);
    const int results = 2000;
    const QByteArray target = "https://example.org/" + QByteArray(3000, 'x');
    const QByteArray rtf = "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"" + target + "\"}" + result.repeated(results)
        + "} z{\\field{\\*\\fldinst HYPERLINK \"" + target + "\"}{\\fldrslt b}}}";
    QTextDocument doc;
    Rtf::ReadCounters counters;
    QVERIFY(!Rtf::read(rtf, &doc, &counters));
    QCOMPARE(doc.toPlainText(), QString(results, QLatin1Char('a')) + QStringLiteral(" zb"));
    // One target kept for both fields and all their results, not one per result.
    QCOMPARE(counters.linkTargets, 1);
    for (const int position : {0, results / 2, results - 1, results + 2}) {
        const QTextCharFormat f = formatAt(doc, position);
        QVERIFY(f.isAnchor());
        QCOMPARE(f.anchorHref(), QString::fromLatin1(target));
    }
    QVERIFY(!formatAt(doc, results + 1).isAnchor());
}

void TestRtfHostile::instructionCapHoldsForEveryCharacter_data()
{
    QTest::addColumn<QByteArray>("character"); // repeated 20 000 times in the instruction
    QTest::newRow("text") << QByteArray("x");
    QTest::newRow("hex escapes") << QByteArray("\\'78");
    QTest::newRow("unicode escapes") << QByteArray("\\u120?");
    QTest::newRow("control symbols") << QByteArray("\\_");
    QTest::newRow("control words for characters") << QByteArray("\\bullet ");
}

void TestRtfHostile::instructionCapHoldsForEveryCharacter()
{
    QFETCH(QByteArray, character);
    const QByteArray rtf = "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"x" + character.repeated(20000)
        + "\"}{\\fldrslt lien}} fin}";
    QTextDocument doc;
    QVERIFY(!Rtf::read(rtf, &doc));
    QCOMPARE(doc.toPlainText(), QStringLiteral("lien fin"));
    // The instruction stopped growing at the cap; the link still names what was kept.
    const QTextCharFormat link = formatAt(doc, 0);
    QVERIFY(link.isAnchor());
    QVERIFY2(link.anchorHref().size() <= RtfLimits::MaxFieldInstruction, qPrintable(QString::number(link.anchorHref().size())));
    QVERIFY(link.anchorHref().size() >= RtfLimits::MaxFieldInstruction - 16);
}

void TestRtfHostile::fontChangesInDeepGroupsCostLinearWork_data()
{
    // Each row: a change that once rewrote every open group, repeated inside
    // thousands of groups, then text that shows the change took effect.
    QTest::addColumn<QByteArray>("change");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("family"); // of the text, "" for any
    QTest::newRow("default font") << QByteArray("\\deff1 ") << QByteArray("\\'e9") << QString::fromUtf8("È")
                                  << QStringLiteral("Beta");
    QTest::newRow("document code page") << QByteArray("\\ansicpg1251 ") << QByteArray("\\'e0")
                                        << QString::fromUtf8("а") << QString();
    QTest::newRow("ANSI") << QByteArray("\\ansi ") << QByteArray("\\'e9") << QString::fromUtf8("é") << QString();
    QTest::newRow("font tables") << QByteArray("{\\fonttbl{\\f2\\fcharset204 Gamma;}}") << QByteArray("\\f2\\'e0")
                                 << QString::fromUtf8("а") << QStringLiteral("Gamma");
}

void TestRtfHostile::fontChangesInDeepGroupsCostLinearWork()
{
    QFETCH(QByteArray, change);
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    QFETCH(QString, family);
    const int depth = 3000;
    const int changes = 3000;
    const QByteArray rtf = "{\\rtf1\\mac{\\fonttbl{\\f0 Alpha;}{\\f1 Beta;}}" + QByteArray(depth, '{')
        + change.repeated(changes) + text + QByteArray(depth, '}') + "}";
    QTextDocument doc;
    Rtf::ReadCounters counters;
    QVERIFY(!Rtf::read(rtf, &doc, &counters));
    QCOMPARE(doc.toPlainText(), expected);
    if (!family.isEmpty())
        QCOMPARE(formatAt(doc, 0).fontFamilies().toStringList().value(0), family);
    // Rewriting every open group at every change would be depth x changes = 9 000 000.
    QVERIFY2(counters.stateUpdates <= rtf.size(), qPrintable(QString::number(counters.stateUpdates)));
}

void TestRtfHostile::oneConverterPerKnownCodePage()
{
    // A font for every code page number up to 5 000, most of them unknown, and text
    // going through each font in turn, twice.
    const int fonts = 5000;
    QByteArray rtf = "{\\rtf1{\\fonttbl";
    for (int i = 1; i <= fonts; ++i)
        rtf += "{\\f" + QByteArray::number(i) + "\\cpg" + QByteArray::number(i) + " F;}";
    rtf += "}";
    for (int round = 0; round < 2; ++round) {
        for (int i = 1; i <= fonts; ++i)
            rtf += "{\\f" + QByteArray::number(i) + " \\'e0}";
    }
    rtf += "}";
    QTextDocument doc;
    Rtf::ReadCounters counters;
    QVERIFY(!Rtf::read(rtf, &doc, &counters));
    const QString text = doc.toPlainText();
    QCOMPARE(text.size(), 2 * fonts);
    QCOMPARE(text.at(1250), QChar(0x0430)); // \cpg1251: Cyrillic
    QCOMPARE(text.at(1252), QChar(0x03B0)); // \cpg1253: Greek
    QCOMPARE(text.at(1251), QChar(0x00E0)); // \cpg1252
    QCOMPARE(text.at(3332), QChar(0x00E0)); // \cpg3333 is no code page: Windows Western
    QCOMPARE(text.at(fonts + 1250), QChar(0x0430));
    // The C library knows fewer than 200 of these numbers; the rest share the
    // stand-in instead of opening one each.
    QVERIFY2(counters.converters < 200, qPrintable(QString::number(counters.converters)));
    // The second round finds the formats of the first, though the paragraph is open.
    QVERIFY2(counters.formats <= fonts + 1, qPrintable(QString::number(counters.formats)));
}

void TestRtfHostile::mergedCellsInALongTableCostLinearWork()
{
    // Rows whose cells end at different places: on the grid they make together every
    // row has a cell spanning two columns. Merging moves each cell after the merged
    // one, so one table of them all would cost rows squared; the table goes on in a
    // table of its own before its merges pass the budget.
    const int rows = 12000;
    const QByteArray pair = "\\trowd\\cellx1000\\cellx3000\\pard\\intbl a\\cell b\\cell\\row\n"
                            "\\trowd\\cellx2000\\cellx3000\\pard\\intbl c\\cell d\\cell\\row\n";
    const QByteArray rtf = "{\\rtf1 " + pair.repeated(rows / 2) + "\\pard fin\\par}";
    QTextDocument doc;
    Rtf::ReadCounters counters;
    QVERIFY(!Rtf::read(rtf, &doc, &counters));
    int tables = 0, total = 0;
    for (QTextFrame *frame : doc.rootFrame()->childFrames()) {
        auto *table = qobject_cast<QTextTable *>(frame);
        QVERIFY(table);
        ++tables;
        total += table->rows();
        QCOMPARE(table->columns(), 3);
        QCOMPARE(table->cellAt(0, 1).columnSpan(), 2);
    }
    QVERIFY(tables >= 2);
    QCOMPARE(total, rows);
    QVERIFY(doc.toPlainText().endsWith(QStringLiteral("c\nd\nfin")));
    QVERIFY2(counters.cellsMoved <= tables * TableLimits::MergeBudget, qPrintable(QString::number(counters.cellsMoved)));
}

namespace {

// How deep frames stand in frames below the root frame.
int frameDepth(const QTextFrame *frame)
{
    int deepest = 0;
    for (const QTextFrame *child : frame->childFrames())
        deepest = qMax(deepest, 1 + frameDepth(child));
    return deepest;
}

} // namespace

void TestRtfHostile::textBoxesInTextBoxesStopAtTheNestingLimit()
{
    // 300 text boxes, each in the one before: each box is a table of its own, and
    // tables nest no deeper than the limit; the text of every box is kept.
    const int boxes = 300;
    QByteArray body = "x";
    for (int i = 0; i < boxes; ++i)
        body = "{\\shp{\\*\\shpinst{\\shptxt " + body + "\\par}}}z\\par\n";
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1\\ansi " + body + "\\pard fin\\par}", &doc));
    const QString text = doc.toPlainText();
    QVERIFY(text.contains(QLatin1Char('x')));
    QCOMPARE(text.count(QLatin1Char('z')), boxes);
    QVERIFY(text.endsWith(QStringLiteral("fin")));
    const int depth = frameDepth(doc.rootFrame());
    QCOMPARE(depth, int(TableLimits::MaxNesting));
}

QTEST_MAIN(TestRtfHostile)
#include "tst_rtfhostile.moc"
