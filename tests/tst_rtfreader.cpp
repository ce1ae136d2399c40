// The ways RTF readers usually go wrong, each checked on what a user would see:
// the text and the format at a position.

#include "model/marks.h"
#include "rtf/rtfreader.h"

#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QBuffer>
#include <QImage>
#include <QtTest>

namespace {

// The document's text as the reader's users see it: blocks joined by line ends, line
// separators as line ends, list labels included.
QString textOf(const QTextDocument &doc)
{
    QString s;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b != doc.begin())
            s += QLatin1Char('\n');
        s += b.text();
    }
    s.replace(QChar(0x2028), QLatin1Char('\n'));
    return s;
}

QString read(const QByteArray &rtf, Failure *failure = nullptr)
{
    QTextDocument doc;
    const Failure f = Rtf::read(rtf, &doc);
    if (failure)
        *failure = f;
    return textOf(doc);
}

// The character format in force at the first occurrence of needle.
QTextCharFormat formatAt(const QTextDocument &doc, const QString &needle)
{
    const QTextCursor found = doc.find(needle);
    if (found.isNull())
        return {};
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat();
}

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT

private slots:
    void signature();
    void syntax_data();
    void syntax();
    void encoding_data();
    void encoding();
    void destinationsHidden_data();
    void destinationsHidden();
    void characterFormat();
    void parameterlessWordMeansOn();
    void plainResets();
    void styleSheet();
    void paragraphs();
    void hyperlink();
    void fieldsWithoutResult_data();
    void fieldsWithoutResult();
    void noteMarks_data();
    void noteMarks();
    void tables();
    void listLabelsMarked();
    void symbolFontBullets_data();
    void symbolFontBullets();
    void picture();
    void loadIsNotUndoable();
    void notRtf();
    void truncated();
    void deepNesting();
    void binLongerThanFile();
    void absurdParameters();
    void garbageNeverCrashes();
    void manyDistinctFormats();
};

void TestRtfReader::signature()
{
    QVERIFY(Rtf::hasSignature("{\\rtf1 x}"));
    QVERIFY(Rtf::hasSignature("{\\rtf"));
    QVERIFY(!Rtf::hasSignature(" {\\rtf1}"));
    QVERIFY(!Rtf::hasSignature("foobar"));
    QVERIFY(!Rtf::hasSignature(""));
}

void TestRtfReader::syntax_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain text") << QByteArray("{\\rtf1 Hello}") << QStringLiteral("Hello");
    QTest::newRow("space after word is its delimiter") << QByteArray("{\\rtf1\\b  two}") << QStringLiteral(" two");
    QTest::newRow("letters after a parameter are text") << QByteArray("{\\rtf1foobar}") << QStringLiteral("foobar");
    QTest::newRow("digit delimiter") << QByteArray("{\\rtf1 a\\fs20-b}") << QStringLiteral("a-b");
    QTest::newRow("escaped characters") << QByteArray("{\\rtf1 \\\\ \\{ \\}}") << QStringLiteral("\\ { }");
    QTest::newRow("line ends are not text") << QByteArray("{\\rtf1 one\r\ntwo\nthree\rfour}") << QStringLiteral("onetwothreefour");
    QTest::newRow("backslash line end is a paragraph") << QByteArray("{\\rtf1 one\\\ntwo}") << QStringLiteral("one\ntwo");
    QTest::newRow("special symbols") << QByteArray("{\\rtf1 a\\~b\\-c\\_d}") << QStringLiteral("a\u00A0b\u00ADc\u2011d");
    QTest::newRow("named characters")
        << QByteArray("{\\rtf1 \\lquote x\\rquote \\ldblquote y\\rdblquote \\emdash\\endash\\bullet}")
        << QStringLiteral("\u2018x\u2019\u201Cy\u201D\u2014\u2013\u2022");
    QTest::newRow("tab") << QByteArray("{\\rtf1 a\\tab b}") << QStringLiteral("a\tb");
    QTest::newRow("line break") << QByteArray("{\\rtf1 a\\line b}") << QStringLiteral("a\nb");
    QTest::newRow("unknown word ignored") << QByteArray("{\\rtf1 a\\foo42 b}") << QStringLiteral("ab");
    QTest::newRow("unknown starred destination skipped") << QByteArray("{\\rtf1 a{\\*\\foo hidden {nested} text}b}") << QStringLiteral("ab");
    QTest::newRow("unicode with default fallback") << QByteArray("{\\rtf1 caf\\u233?}") << QStringLiteral("caf\u00E9");
    QTest::newRow("uc0 skips nothing") << QByteArray("{\\rtf1\\uc0 \\u233 x}") << QStringLiteral("\u00E9x");
    QTest::newRow("uc2 skips two") << QByteArray("{\\rtf1\\uc2 \\u233 xyz}") << QStringLiteral("\u00E9z");
    QTest::newRow("uc fallback as hex") << QByteArray("{\\rtf1\\uc2 \\u26085\\'93\\'fay}") << QStringLiteral("\u65E5y");
    QTest::newRow("uc is per group") << QByteArray("{\\rtf1 {\\uc2 \\u233 xy}\\u233 xy}") << QStringLiteral("\u00E9\u00E9y");
    QTest::newRow("fallback ends at group end") << QByteArray("{\\rtf1\\uc3 {\\u233 x}yz}") << QStringLiteral("\u00E9yz");
    QTest::newRow("negative unicode") << QByteArray("{\\rtf1 \\u-3913 ?}") << QStringLiteral("\uF0B7");
    QTest::newRow("surrogate pair") << QByteArray("{\\rtf1 \\u-10179?\\u-9047?}") << QStringLiteral("\U0001F4A9");
    QTest::newRow("lone high surrogate") << QByteArray("{\\rtf1 a\\u-10179?b}") << QStringLiteral("a\uFFFDb");
    QTest::newRow("lone low surrogate") << QByteArray("{\\rtf1 a\\u-9047?b}") << QStringLiteral("a\uFFFDb");
    QTest::newRow("bin skipped by count") << QByteArray("{\\rtf1 a{\\*\\foo\\bin3 }{\\}b}") << QStringLiteral("ab");
    QTest::newRow("bin in text is not text") << QByteArray("{\\rtf1 a\\bin2 xyb}") << QStringLiteral("ab");
    QTest::newRow("last paragraph mark adds no line") << QByteArray("{\\rtf1 one\\par two\\par}") << QStringLiteral("one\ntwo");
    QTest::newRow("empty paragraphs kept") << QByteArray("{\\rtf1 one\\par\\par two}") << QStringLiteral("one\n\ntwo");
    QTest::newRow("trailing garbage ignored") << QByteArray("{\\rtf1 a}junk{\\b x}") << QStringLiteral("a");
    QTest::newRow("section is a paragraph break") << QByteArray("{\\rtf1 a\\sect b}") << QStringLiteral("a\nb");
    QTest::newRow("footnote text left out, mark kept")
        << QByteArray("{\\rtf1 a{\\super\\chftn}{\\footnote{\\super\\chftn} note}b}") << QStringLiteral("a1b");
    QTest::newRow("field result shown")
        << QByteArray("{\\rtf1 a{\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}b}") << QStringLiteral("a7b");
    QTest::newRow("empty SYMBOL field shows its character")
        << QByteArray("{\\rtf1 a{\\field{\\*\\fldinst SYMBOL 74 \\\\f \"Wingdings\"}{\\fldrslt }}b}") << QStringLiteral("aJb");
    QTest::newRow("SYMBOL field with a result shows the result")
        << QByteArray("{\\rtf1 a{\\field{\\*\\fldinst SYMBOL 74}{\\fldrslt x}}b}") << QStringLiteral("axb");
    QTest::newRow("page break adds no line") << QByteArray("{\\rtf1 a\\par\\page b}") << QStringLiteral("a\nb");
    QTest::newRow("upr shows the unicode version")
        << QByteArray("{\\rtf1 {\\upr{ansi}{\\*\\ud{uni}}}}") << QStringLiteral("uni");
}

void TestRtfReader::syntax()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    Failure f;
    QCOMPARE(read(rtf, &f), expected);
    QVERIFY(!f);
}

void TestRtfReader::encoding_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("cp1252 quote, not Latin-1") << QByteArray("{\\rtf1\\ansi it\\'92s}") << QStringLiteral("it\u2019s");
    QTest::newRow("cp1252 euro") << QByteArray("{\\rtf1\\ansi\\ansicpg1252 \\'80}") << QStringLiteral("\u20AC");
    QTest::newRow("cp1251") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}") << QStringLiteral("\u041F\u0440\u0438");
    QTest::newRow("raw 8-bit bytes in cp1250") << QByteArray("{\\rtf1\\ansi\\ansicpg1250 \x9a}") << QStringLiteral("\u0161");
    QTest::newRow("mac roman") << QByteArray("{\\rtf1\\mac \\'8e}") << QStringLiteral("\u00E9");
    QTest::newRow("pc 437") << QByteArray("{\\rtf1\\pc \\'82}") << QStringLiteral("\u00E9");
    QTest::newRow("pca 850") << QByteArray("{\\rtf1\\pca \\'d0}") << QStringLiteral("\u00F0");
    QTest::newRow("font charset wins")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset161 Greek;}}\\f0\\'80\\f1\\'d9}")
        << QStringLiteral("\u20AC\u03A9");
    QTest::newRow("font cpg")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\cpg1251 X;}}\\f0\\'c0}") << QStringLiteral("\u0410");
    QTest::newRow("cp932 double byte as hex")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932 \\'93\\'fa\\'96\\'7b}") << QStringLiteral("\u65E5\u672C");
    QTest::newRow("cp932 trail byte as literal")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 MS;}}\\f0 \\'83A}") << QStringLiteral("\u30A2");
    QTest::newRow("cp932 trail backslash")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932 \\'95\\\\}") << QStringLiteral("\u8868");
    QTest::newRow("cp936 double byte")
        << QByteArray("{\\rtf1\\ansi\\ansicpg936 \\'d6\\'d0\\'ce\\'c4}") << QStringLiteral("\u4E2D\u6587");
    QTest::newRow("cp936 through font charset")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f1\\fcharset134 SimSun;}}\\f1\\'d6\\'d0}") << QStringLiteral("\u4E2D");
    QTest::newRow("cp949") << QByteArray("{\\rtf1\\ansi\\ansicpg949 \\'c7\\'d1}") << QStringLiteral("\uD55C");
    QTest::newRow("cp950") << QByteArray("{\\rtf1\\ansi\\ansicpg950 \\'a4\\'a4}") << QStringLiteral("\u4E2D");
    QTest::newRow("utf-8 code page") << QByteArray("{\\rtf1\\ansi\\ansicpg65001 \\'c3\\'a9}") << QStringLiteral("\u00E9");
    QTest::newRow("Symbol font shows the glyphs it draws")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}{\\f2\\fcharset2 Wingdings;}}{\\f1 ab\\'b7}{\\f2 J}}")
        << QStringLiteral("\u03B1\u03B2\u2022\uF04A");
    // The C library holds each Hebrew and Vietnamese letter back for the marks that
    // may follow it: the last one of a run must still come out.
    QTest::newRow("hebrew, cp1255")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset177 David;}}\\f1 \\'f9\\'ec\\'e5\\'ed\\f0 !}")
        << QStringLiteral("\u05E9\u05DC\u05D5\u05DD!");
    QTest::newRow("hebrew, undefined byte after a letter")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1255 \\'e0\\'ca}") << QStringLiteral("\u05D0\uFFFD");
    QTest::newRow("vietnamese, cp1258, a mark joins its letter")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset163 Times;}}\\f0 Vi\\'ea\\'f2t Nam c\\'e0}")
        << QStringLiteral("Vi\u1EC7t Nam c\u00E0");
    QTest::newRow("vietnamese, letter at the end of each run")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1258 {\\b \\'e2}{\\i \\'f4}}") << QStringLiteral("\u00E2\u00F4");
    QTest::newRow("invalid code page falls back") << QByteArray("{\\rtf1\\ansi\\ansicpg0 \\'e9}") << QStringLiteral("\u00E9");
    QTest::newRow("broken double byte is replaced, not dropped")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932 a\\'81}") << QStringLiteral("a\uFFFD");
    QTest::newRow("hex font name")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset128 \\'82\\'6c\\'82\\'72;}}\\f0 x}") << QStringLiteral("x");
}

void TestRtfReader::encoding()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(read(rtf), expected);
}

void TestRtfReader::destinationsHidden_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::newRow("info") << QByteArray("{\\rtf1{\\info{\\title LEAK}{\\author LEAK}}ok}");
    QTest::newRow("font table") << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fswiss LEAK;}}ok}");
    QTest::newRow("colour table") << QByteArray("{\\rtf1{\\colortbl;\\red1\\green2\\blue3;}ok}");
    QTest::newRow("style sheet") << QByteArray("{\\rtf1{\\stylesheet{\\s1 LEAK;}{\\*\\cs2 LEAK;}}ok}");
    QTest::newRow("header and footer") << QByteArray("{\\rtf1{\\header LEAK}{\\footerl LEAK}ok}");
    QTest::newRow("annotation") << QByteArray("{\\rtf1{\\*\\atnid LEAK}{\\*\\annotation LEAK}ok}");
    QTest::newRow("object data") << QByteArray("{\\rtf1{\\object{\\*\\objdata 4c45414b}}ok}");
    QTest::newRow("generator and themes") << QByteArray("{\\rtf1{\\*\\generator LEAK;}{\\*\\themedata 4c45}{\\*\\datastore 4c}ok}");
    QTest::newRow("list table") << QByteArray("{\\rtf1{\\*\\listtable{\\list{\\listlevel{\\leveltext LEAK;}}}}ok}");
    QTest::newRow("field instruction") << QByteArray("{\\rtf1{\\field{\\*\\fldinst LEAK}{\\fldrslt ok}}}");
    QTest::newRow("hidden text") << QByteArray("{\\rtf1{\\v LEAK}ok}");
    QTest::newRow("deleted revision") << QByteArray("{\\rtf1{\\deleted LEAK}ok}");
    QTest::newRow("picture data") << QByteArray("{\\rtf1{\\pict\\wmetafile8 4c45414b}ok}");
    QTest::newRow("alternative picture") << QByteArray("{\\rtf1{\\nonshppict{\\pict 4c}}ok}");
    QTest::newRow("bookmarks") << QByteArray("{\\rtf1{\\*\\bkmkstart LEAK}ok{\\*\\bkmkend LEAK}}");
    QTest::newRow("legacy list definition") << QByteArray("{\\rtf1{\\*\\pn\\pnlvlblt{\\pntxtb LEAK}}ok}");
    QTest::newRow("shape result") << QByteArray("{\\rtf1{\\shp{\\*\\shpinst LEAK}{\\shprslt LEAK}}ok}");
    QTest::newRow("nested-table fallback") << QByteArray("{\\rtf1{\\nonesttables LEAK}ok}");
    QTest::newRow("index entry") << QByteArray("{\\rtf1{\\xe LEAK}ok}");
}

void TestRtfReader::destinationsHidden()
{
    QFETCH(QByteArray, rtf);
    // A picture keeps its place (U+FFFC); its data never shows as text.
    QCOMPARE(read(rtf).remove(QChar(0xFFFC)), QStringLiteral("ok"));
}

void TestRtfReader::characterFormat()
{
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}"
                       "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                       "\\f0\\fs24 n {\\b B}{\\i I}{\\ul U}{\\uldb D}{\\ul\\ulnone X}{\\strike S}{\\striked1 T}"
                       "{\\f1 F}{\\fs31 Z}{\\cf1 R}{\\highlight2 H}{\\super P}{\\sub Q}{\\caps C}}",
                       &doc));
    QCOMPARE(textOf(doc), QStringLiteral("n BIUDXSTFZRHPQC"));
    QCOMPARE(formatAt(doc, "n").fontWeight(), int(QFont::Normal));
    QCOMPARE(formatAt(doc, "n").fontFamilies().toStringList().value(0), QStringLiteral("Arial"));
    QCOMPARE(formatAt(doc, "n").fontPointSize(), 12.0);
    QCOMPARE(formatAt(doc, "B").fontWeight(), int(QFont::Bold));
    QVERIFY(formatAt(doc, "I").fontItalic());
    QCOMPARE(formatAt(doc, "U").underlineStyle(), QTextCharFormat::SingleUnderline);
    QVERIFY(formatAt(doc, "D").underlineStyle() != QTextCharFormat::NoUnderline);
    QCOMPARE(formatAt(doc, "X").underlineStyle(), QTextCharFormat::NoUnderline);
    QVERIFY(formatAt(doc, "S").fontStrikeOut());
    QVERIFY(formatAt(doc, "T").fontStrikeOut());
    QCOMPARE(formatAt(doc, "F").fontFamilies().toStringList().value(0), QStringLiteral("Courier New"));
    QCOMPARE(formatAt(doc, "Z").fontPointSize(), 15.5);
    QCOMPARE(formatAt(doc, "R").foreground().color(), QColor(255, 0, 0));
    QVERIFY(!formatAt(doc, "n").hasProperty(QTextFormat::ForegroundBrush)); // automatic colour
    QCOMPARE(formatAt(doc, "H").background().color(), QColor(0, 0, 255));
    QCOMPARE(formatAt(doc, "P").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    QCOMPARE(formatAt(doc, "Q").verticalAlignment(), QTextCharFormat::AlignSubScript);
    QCOMPARE(formatAt(doc, "C").fontCapitalization(), QFont::AllUppercase);
}

void TestRtfReader::parameterlessWordMeansOn()
{
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1 \\b on\\b0 off\\i it\\i0 no\\ul u\\ul0 v}", &doc));
    QCOMPARE(formatAt(doc, "on").fontWeight(), int(QFont::Bold));
    QCOMPARE(formatAt(doc, "off").fontWeight(), int(QFont::Normal));
    QVERIFY(formatAt(doc, "it").fontItalic());
    QVERIFY(!formatAt(doc, "no").fontItalic());
    QCOMPARE(formatAt(doc, "u").underlineStyle(), QTextCharFormat::SingleUnderline);
    QCOMPARE(formatAt(doc, "v").underlineStyle(), QTextCharFormat::NoUnderline);
}

void TestRtfReader::plainResets()
{
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Courier;}}\\deff0 \\f1\\b\\i\\fs40 a\\plain b{\\b c}d}", &doc));
    QCOMPARE(formatAt(doc, "a").fontWeight(), int(QFont::Bold));
    const QTextCharFormat b = formatAt(doc, "b");
    QCOMPARE(b.fontWeight(), int(QFont::Normal));
    QVERIFY(!b.fontItalic());
    QCOMPARE(b.fontPointSize(), 12.0);
    QCOMPARE(b.fontFamilies().toStringList().value(0), QStringLiteral("Arial"));
    QCOMPARE(formatAt(doc, "c").fontWeight(), int(QFont::Bold));
    QCOMPARE(formatAt(doc, "d").fontWeight(), int(QFont::Normal)); // group end restores
}

void TestRtfReader::styleSheet()
{
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Georgia;}}"
                       "{\\stylesheet{\\s0 Normal;}{\\s1\\qc\\f1\\b\\fs32 Heading 1;}{\\*\\cs10\\additive\\i Emphasis;}}"
                       "\\pard\\plain\\s1 Title\\par\\pard\\plain body {\\cs10 em}\\par}",
                       &doc));
    const QTextCharFormat title = formatAt(doc, "Title");
    QCOMPARE(title.fontWeight(), int(QFont::Bold));
    QCOMPARE(title.fontPointSize(), 16.0);
    QCOMPARE(title.fontFamilies().toStringList().value(0), QStringLiteral("Georgia"));
    QCOMPARE(doc.begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY(formatAt(doc, "em").fontItalic());
    QCOMPARE(formatAt(doc, "em").fontPointSize(), 12.0);
    QVERIFY(!formatAt(doc, "body").fontItalic());

    // A "heading N" style based on no style listed before it is LibreOffice's own
    // heading: 12 pt above and 6 pt below where the style chain gives no spacing. One
    // based on the Normal style listed before it (as Word writes them) is not.
    QTextDocument headings;
    QVERIFY(!Rtf::read("{\\rtf1{\\stylesheet{\\s1\\b \\sbasedon0 heading 1;}{\\s2\\sb480 Heading 2;}"
                       "{\\s3\\sbasedon1 Note;}{\\s0 Normal;}{\\s4\\sbasedon0 heading 4;}}"
                       "\\pard\\s1 one\\par\\pard\\s2 two\\par\\pard\\s3 three\\par\\pard\\s4 four\\par"
                       "\\pard\\s1\\sb60 five\\par\\pard plain\\par}",
                       &headings));
    const auto spacing = [&](const char *word) {
        const QTextBlockFormat f = headings.find(QLatin1String(word)).block().blockFormat();
        return std::pair<qreal, qreal>{f.topMargin(), f.bottomMargin()};
    };
    QCOMPARE(spacing("one"), (std::pair<qreal, qreal>{16.0, 8.0}));
    QCOMPARE(spacing("two"), (std::pair<qreal, qreal>{0.0, 8.0}));
    QCOMPARE(spacing("three"), (std::pair<qreal, qreal>{16.0, 8.0}));
    QCOMPARE(spacing("four"), (std::pair<qreal, qreal>{0.0, 0.0}));
    QCOMPARE(spacing("five"), (std::pair<qreal, qreal>{4.0, 8.0}));
    QCOMPARE(spacing("plain"), (std::pair<qreal, qreal>{0.0, 0.0}));
}

void TestRtfReader::paragraphs()
{
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1\\pard\\qr\\li1440\\ri720\\fi-360\\sb240\\sa120 right\\par"
                       "\\pard\\qj just\\par\\pard centre\\qc\\par\\pard left}",
                       &doc));
    QCOMPARE(doc.blockCount(), 4);
    const QTextBlockFormat r = doc.findBlockByNumber(0).blockFormat();
    QCOMPARE(r.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(r.leftMargin(), 96.0);
    QCOMPARE(r.rightMargin(), 48.0);
    QCOMPARE(r.textIndent(), -24.0);
    QCOMPARE(r.topMargin(), 16.0);
    QCOMPARE(r.bottomMargin(), 8.0);
    QCOMPARE(doc.findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    // Paragraph properties belong to the paragraph the mark ends, wherever they stand.
    QCOMPARE(doc.findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(doc.findBlockByNumber(3).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(doc.findBlockByNumber(3).blockFormat().leftMargin(), 0.0);

    QTextDocument spaced;
    QVERIFY(!Rtf::read("{\\rtf1\\pard\\sl360\\slmult1 a\\par\\pard\\sl-300\\slmult0 b\\par\\pard c\\par}", &spaced));
    QCOMPARE(spaced.findBlockByNumber(0).blockFormat().lineHeightType(), int(QTextBlockFormat::ProportionalHeight));
    QCOMPARE(spaced.findBlockByNumber(0).blockFormat().lineHeight(), 150.0);
    QCOMPARE(spaced.findBlockByNumber(1).blockFormat().lineHeightType(), int(QTextBlockFormat::FixedHeight));
    QCOMPARE(spaced.findBlockByNumber(1).blockFormat().lineHeight(), 20.0);
    QCOMPARE(spaced.findBlockByNumber(2).blockFormat().lineHeightType(), int(QTextBlockFormat::SingleHeight));

    // Contextual spacing: none between paragraphs of one style; the space after the
    // last of them comes before the next paragraph of another style.
    QTextDocument contextual;
    QVERIFY(!Rtf::read("{\\rtf1{\\stylesheet{\\s0 Normal;}{\\s5 List;}}\\pard\\s5\\sa200\\contextualspace a\\par"
                       "\\pard\\s5\\sb100\\sa200\\contextualspace b\\par\\pard\\sb100 c\\par}", &contextual));
    QCOMPARE(contextual.findBlockByNumber(0).blockFormat().bottomMargin(), 0.0);
    QCOMPARE(contextual.findBlockByNumber(1).blockFormat().topMargin(), 0.0);
    QCOMPARE(contextual.findBlockByNumber(2).blockFormat().topMargin(), 20.0);

    // An empty paragraph is as high as the font at its mark, not the text before it,
    // also the one after a table.
    QTextDocument empty;
    QVERIFY(!Rtf::read("{\\rtf1\\fs20 a\\par\\fs48\\par\\fs20 b\\par"
                       "\\trowd\\cellx1000\\pard\\intbl c\\cell\\row\\pard\\fs36\\par\\fs20 d\\par}", &empty));
    QCOMPARE(empty.findBlockByNumber(1).charFormat().fontPointSize(), 24.0);
    QCOMPARE(empty.find(QStringLiteral("d")).block().previous().charFormat().fontPointSize(), 18.0);
}

void TestRtfReader::hyperlink()
{
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1 see {\\field{\\*\\fldinst{HYPERLINK \"https://example.org/a\"}}"
                       "{\\fldrslt{\\ul the site}}} and {\\field{\\*\\fldinst HYPERLINK \\\\l \"part2\"}{\\fldrslt here}}.}",
                       &doc));
    QCOMPARE(textOf(doc), QStringLiteral("see the site and here."));
    const QTextCharFormat link = formatAt(doc, "the site");
    QVERIFY(link.isAnchor());
    QCOMPARE(link.anchorHref(), QStringLiteral("https://example.org/a"));
    QCOMPARE(formatAt(doc, "here").anchorHref(), QStringLiteral("#part2"));
    QVERIFY(!formatAt(doc, "and").isAnchor());
}

void TestRtfReader::fieldsWithoutResult_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    const QByteArray fonts = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}{\\f2\\fcharset161 Hellas;}"
                             "{\\f3\\fcharset2 Wingdings;}}\\f0 ";
    auto field = [](const QByteArray &inst, const QByteArray &result = {}) {
        return "{\\field{\\*\\fldinst " + inst + "}{\\fldrslt" + result + "}}";
    };
    QTest::newRow("symbol in the Symbol font") << fonts + field("SYMBOL 97 \\\\f \"Symbol\" \\\\s 10") + "}"
                                               << QStringLiteral("\u03B1");
    QTest::newRow("symbol, hexadecimal code") << fonts + field("SYMBOL 0xB7 \\\\f \"Symbol\"") + "}"
                                              << QStringLiteral("\u2022");
    QTest::newRow("symbol in a Greek font, not the document's code page")
        << fonts + field("SYMBOL 225 \\\\f \"Hellas\"") + "}" << QStringLiteral("\u03B1");
    QTest::newRow("symbol in the result's font") << fonts + field("SYMBOL 225", "\\f2") + "}" << QStringLiteral("\u03B1");
    QTest::newRow("symbol in another symbol font keeps its code")
        << fonts + field("SYMBOL 74 \\\\f \"Wingdings\"") + "}" << QStringLiteral("J");
    QTest::newRow("symbol as unicode") << fonts + field("SYMBOL 8364 \\\\u") + "}" << QStringLiteral("\u20AC");
    QTest::newRow("a stored result wins") << fonts + field("SYMBOL 97 \\\\f \"Symbol\"", " x") + "}" << QStringLiteral("x");
    QTest::newRow("ruby shows its base text")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 Mincho;}}\\f0 ")
            + field("EQ \\\\* jc2 \\\\* \"Font:Mincho\" \\\\* hps10 \\\\o\\\\ad(\\\\s\\\\up 9(\\'82\\'a9\\'82\\'f1),\\'8a\\'bf)")
            + "\\'8e\\'9a}"
        << QStringLiteral("\u6F22\u5B57");
    QTest::newRow("ruby in unicode")
        << "{\\rtf1 " + field("EQ \\\\o\\\\ac(\\\\s\\\\up 8(\\u12363?\\u12435?),\\u28450?)") + "}" << QStringLiteral("\u6F22");
    QTest::newRow("other equations show nothing") << "{\\rtf1 a" + field("EQ \\\\f(1,2)") + "b}" << QStringLiteral("ab");
    QTest::newRow("macro button") << "{\\rtf1 " + field("MACROBUTTON NoMacro [Click here and type]") + "}"
                                  << QStringLiteral("[Click here and type]");
    QTest::newRow("instruction in the font's code page")
        << "{\\rtf1{\\fonttbl{\\f0\\fcharset204 Cyr;}}\\f0 " + field("MACROBUTTON M \\'cf\\'f0\\'e8") + "}"
        << QStringLiteral("\u041F\u0440\u0438");
    // A table of contents whose page numbers are buttons holding PAGEREF fields, with
    // no result of their own and marked dirty (Word for Mac); LibreOffice reads the
    // tab and the number of each entry.
    QTest::newRow("contents with dirty buttons")
        << QByteArray("{\\rtf1{\\field{\\*\\fldinst TOC \\\\o \"1-3\"}{\\fldrslt {toc1\\tab }{\\field\\flddirty{\\*\\fldinst "
                      "GOTOBUTTON _Toc1 {\\field{\\*\\fldinst PAGEREF _Toc1}{\\fldrslt 3}}}}{\\par toc2\\tab }{\\field\\flddirty"
                      "{\\*\\fldinst GOTOBUTTON _Toc2 {\\field{\\*\\fldinst PAGEREF _Toc2}{\\fldrslt 8}}}}}}\\par after\\par}")
        << QStringLiteral("toc1\t3\ntoc2\t8\nafter");
    QTest::newRow("contents, instructions in groups")
        << QByteArray("{\\rtf1{\\field\\fldedit{\\*\\fldinst {TOC \\\\o \"1-3\"}}{\\fldrslt {\\lang1024 toc1}{\\lang1024 \\tab }"
                      "{\\field\\flddirty{\\*\\fldinst {\\lang1024  GOTOBUTTON _Toc1  }{\\field{\\*\\fldinst {\\lang1024  PAGEREF _Toc1 }}"
                      "{\\fldrslt {\\lang1024 3}}}}}{\\lang1024 \\par }}}after\\par}")
        << QStringLiteral("toc1\t3\nafter");
    // A computed field shows the result the file stores, not one of its own.
    QTest::newRow("table formula's stored result")
        << QByteArray("{\\rtf1 a{\\field{\\*\\fldinst {= SUM(ABOVE) \\\\# \"0\"}}{\\fldrslt {\\lang1024 1}}}b}") << QStringLiteral("a1b");
    QTest::newRow("formula over a field's result")
        << QByteArray("{\\rtf1 a{\\field{\\*\\fldinst = {\\field{\\*\\fldinst PAGE}{\\fldrslt 0}} + 1}{\\fldrslt 1}}b}")
        << QStringLiteral("a1b");
}

void TestRtfReader::fieldsWithoutResult()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QTextDocument doc;
    QVERIFY(!Rtf::read(rtf, &doc));
    QCOMPARE(textOf(doc), expected);
    if (QByteArray(QTest::currentDataTag()) == "symbol in the Symbol font") {
        QCOMPARE(formatAt(doc, expected).fontPointSize(), 10.0);
        QCOMPARE(formatAt(doc, expected).fontFamilies().toStringList().value(0), QStringLiteral("Symbol"));
    }
}

void TestRtfReader::noteMarks_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    const QByteArray endnote = "{\\super\\chftn}{\\footnote\\ftnalt\\pard\\plain {\\super\\chftn} an endnote}";
    const QByteArray footnote = "{\\super\\chftn}{\\footnote\\pard\\plain {\\super\\chftn} a footnote}";
    QTest::newRow("endnotes count apart, in lower roman")
        << "{\\rtf1\\aftnnrlc a" + endnote + "b" + footnote + "c" + endnote + "d" + endnote + footnote + "}"
        << QStringLiteral("aib1ciidiii2");
    QTest::newRow("lower roman by default") << "{\\rtf1 a" + endnote + footnote + "}" << QStringLiteral("ai1");
    QTest::newRow("letters and chicago symbols")
        << "{\\rtf1\\ftnnauc\\aftnnchi " + footnote + footnote + endnote + endnote + "}" << QStringLiteral("AB*\u2020");
    QTest::newRow("first numbers") << "{\\rtf1\\ftnstart3\\aftnstart5\\aftnnar " + footnote + endnote + "}"
                                   << QStringLiteral("35");
    QTest::newRow("a mark without a note") << QByteArray("{\\rtf1 x{\\chftn} text}") << QStringLiteral("x1 text");
}

void TestRtfReader::noteMarks()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(read(rtf), expected);
}

void TestRtfReader::tables()
{
    // Each cell paragraph on its own line, row by row; a horizontally covered cell
    // gives nothing, a vertically covered one no block either (the cell above spans
    // it); nested cells in place. A table that opens a cell or the document has an
    // empty block in front of it, which the layout hides (tst_rtftables has more).
    const QByteArray rtf = "{\\rtf1 before\\par"
                           "\\trowd\\cellx1000\\clmgf\\cellx2000\\clmrg\\cellx3000"
                           "\\pard\\intbl a1\\cell wide\\cell\\cell\\row"
                           "\\trowd\\clvmgf\\cellx1000\\cellx2000\\cellx3000"
                           "\\pard\\intbl b1\\cell b2\\par b2bis\\cell"
                           "\\pard\\intbl\\itap2 n1\\nestcell n2\\nestcell{\\*\\nesttableprops\\trowd\\cellx500\\nestrow}"
                           "\\pard\\intbl\\itap1 b3\\cell\\row"
                           "\\trowd\\clvmrg\\cellx1000\\cellx2000\\cellx3000\\pard\\intbl\\cell c2\\cell c3\\cell\\row"
                           "\\pard after\\par}";
    QCOMPARE(read(rtf), QStringLiteral("before\na1\nwide\nb1\nb2\nb2bis\n\nn1\nn2\nb3\nc2\nc3\nafter"));
    // A table at the very end keeps an empty paragraph after it.
    QCOMPARE(read("{\\rtf1\\trowd\\cellx1000\\pard\\intbl x\\cell\\row}"), QStringLiteral("\nx\n"));
}

void TestRtfReader::listLabelsMarked()
{
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1{\\listtext 1.\\tab}First\\par{\\*\\pn\\pnlvlblt}{\\pntext\\'b7\\tab}Second\\par}", &doc));
    QCOMPARE(textOf(doc), QStringLiteral("1.\tFirst\n\u00B7\tSecond"));
    QVERIFY(formatAt(doc, "1.").boolProperty(DocProperty::ListLabel));
    QVERIFY(!formatAt(doc, "First").boolProperty(DocProperty::ListLabel));
}

void TestRtfReader::symbolFontBullets_data()
{
    // A bullet in a symbol font is a glyph number, whichever font table entry,
    // label (\listtext, \pntext) or list (\pnf) names the font: it never shows as the
    // digit or letter of that number (LibreOffice shows a bullet for each of these).
    QTest::addColumn<QByteArray>("paragraph");
    QTest::addColumn<QString>("label");
    QTest::newRow("Zapf Dingbats check mark") << QByteArray("{\\listtext\\pard\\plain\\f12 4\\tab}") << QStringLiteral("\u2022\t");
    QTest::newRow("Wingdings without its character set")
        << QByteArray("{\\listtext\\pard\\plain\\f11 \\'a7\\tab}") << QStringLiteral("\u25AA\t");
    QTest::newRow("Wingdings number in a font of text")
        << QByteArray("{\\listtext\\pard\\plain\\f13 \\u-3844 ?\\tab}") << QStringLiteral("\u2714\t");
    QTest::newRow("dingbat number in a font of text")
        << QByteArray("{\\listtext\\pard\\plain\\f0 \\u-4044 ?\\tab}") << QStringLiteral("\u2022\t");
    QTest::newRow("font in \\pnf only")
        << QByteArray("{\\pntext 4\\tab}{\\*\\pn\\pnlvlblt\\pnf12\\pnindent360{\\pntxtb 4}}") << QStringLiteral("\u2022\t");
    QTest::newRow("Symbol bullet told by \\pnf")
        << QByteArray("{\\pntext\\f3 4\\tab}{\\*\\pn\\pnlvlblt\\pnf3\\pnindent360{\\pntxtb 4}}") << QStringLiteral("\u2022\t");
    QTest::newRow("Symbol without its character set")
        << QByteArray("{\\pntext\\f14 \\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf14{\\pntxtb \\'b7}}") << QStringLiteral("\u2022\t");
    QTest::newRow("bullet of \\pntxtb alone")
        << QByteArray("{\\*\\pn\\pnlvlblt\\pnf12\\pnindent360{\\pntxtb 4}}") << QStringLiteral("\u2022\t");
    QTest::newRow("Wingdings bullet of \\pntxtb alone")
        << QByteArray("{\\*\\pn\\pnlvlblt\\pnf11{\\pntxtb \\'a7}}") << QStringLiteral("\u25AA\t");
    QTest::newRow("numbers in Symbol stay numbers")
        << QByteArray("{\\pntext\\f14 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnf14{\\pntxta .}}") << QStringLiteral("1.\t");
}

void TestRtfReader::symbolFontBullets()
{
    QFETCH(QByteArray, paragraph);
    QFETCH(QString, label);
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f3\\fcharset2 Symbol;}{\\f11\\fcharset0 Wingdings;}"
                       "{\\f12\\fcharset2 Zapf Dingbats;}{\\f13\\fcharset0 Arial;}{\\f14 Symbol;}}\\pard\\fi-360\\li720 "
                           + paragraph + "item\\par}",
                       &doc));
    QCOMPARE(textOf(doc), label + QStringLiteral("item"));
    QVERIFY(formatAt(doc, label.left(1)).boolProperty(DocProperty::ListLabel));
    QVERIFY(!formatAt(doc, "item").boolProperty(DocProperty::ListLabel));
}

void TestRtfReader::picture()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");

    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1 a{\\*\\shppict{\\pict\\pngblip\\picwgoal1440\\pichgoal720 " + png.toHex()
                           + "}}{\\nonshppict{\\pict\\wmetafile8 0102}}b{\\pict\\pngblip\\bin" + QByteArray::number(png.size())
                           + " " + png + "}c{\\pict\\jpegblip 00ff}d}",
                       &doc));
    QString text = textOf(doc);
    QCOMPARE(text.count(QChar(0xFFFC)), 3); // the broken JPEG keeps its place as a placeholder
    QCOMPARE(text.remove(QChar(0xFFFC)), QStringLiteral("abcd"));
    QTextCursor c(&doc);
    c.setPosition(2);
    const QTextImageFormat f = c.charFormat().toImageFormat();
    QVERIFY(f.isValid());
    QCOMPARE(f.width(), 96.0);
    QCOMPARE(f.height(), 48.0);
    const QImage stored = doc.resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
    QCOMPARE(stored.size(), QSize(4, 3));
}

void TestRtfReader::loadIsNotUndoable()
{
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1 one\\par {\\b two}}", &doc));
    QVERIFY(doc.isUndoRedoEnabled());
    QVERIFY(!doc.isUndoAvailable());
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("x"));
    QVERIFY(doc.isUndoAvailable()); // later edits are recorded as usual
}

void TestRtfReader::notRtf()
{
    for (const QByteArray &data : {QByteArray("foobar"), QByteArray(), QByteArray("{\\rt"), QByteArray("{rtf1}")}) {
        QTextDocument doc;
        const Failure f = Rtf::read(data, &doc);
        QCOMPARE(f.number, FailureNumber::InvalidFormat);
        QVERIFY(!f.description.isEmpty());
    }
}

void TestRtfReader::truncated()
{
    Failure f;
    QCOMPARE(read("{\\rtf1{\\fonttbl{\\f0 Times;}}{\\b Hello} world", &f), QStringLiteral("Hello world"));
    QVERIFY(!f);
    QCOMPARE(read("{\\rtf1 abc\\'4", &f), QStringLiteral("abc\u0004"));
    QCOMPARE(read("{\\rtf1 abc\\", &f), QStringLiteral("abc"));
    QCOMPARE(read("{\\rtf1 abc\\u", &f), QStringLiteral("abc"));
    QCOMPARE(read("{\\rtf1 abc{\\*\\foo", &f), QStringLiteral("abc"));
    QCOMPARE(read("{\\rtf1 abc\\u-10179", &f), QStringLiteral("abc\uFFFD"));
}

void TestRtfReader::deepNesting()
{
    const int depth = 100000;
    QByteArray rtf = "{\\rtf1 a";
    rtf += QByteArray(depth, '{');
    rtf += "\\b deep";
    rtf += QByteArray(depth, '}');
    rtf += "z}";
    QElapsedTimer t;
    t.start();
    QTextDocument doc;
    QVERIFY(!Rtf::read(rtf, &doc));
    QCOMPARE(textOf(doc), QStringLiteral("adeepz"));
    QCOMPARE(formatAt(doc, "deep").fontWeight(), int(QFont::Bold));
    QVERIFY(t.elapsed() < 5000);

    // Destinations skipped beyond the depth limit must not unbalance the groups below.
    QByteArray skipped = "{\\rtf1 a{\\b " + QByteArray(depth, '{');
    for (int i = 0; i < 3; ++i)
        skipped += "{\\*\\foo x}{\\info y}";
    skipped += "c" + QByteArray(depth, '}') + "d}e";
    QTextDocument skippedDoc;
    QVERIFY(!Rtf::read(skipped, &skippedDoc));
    QCOMPARE(textOf(skippedDoc), QStringLiteral("acde"));
    QCOMPARE(formatAt(skippedDoc, "d").fontWeight(), int(QFont::Bold));
    QCOMPARE(formatAt(skippedDoc, "e").fontWeight(), int(QFont::Normal));

    // Unbalanced the other way: only openings.
    QByteArray open = "{\\rtf1 x" + QByteArray(depth, '{') + "y";
    QCOMPARE(read(open), QStringLiteral("xy"));
}

void TestRtfReader::binLongerThanFile()
{
    Failure f;
    QCOMPARE(read("{\\rtf1 a\\bin999999999 bc}", &f), QStringLiteral("a"));
    QVERIFY(!f);
    QCOMPARE(read("{\\rtf1 a{\\pict\\pngblip\\bin2147483647 xx", &f), QStringLiteral("a"));
    QCOMPARE(read("{\\rtf1 a\\bin-5 bc}", &f), QStringLiteral("abc"));
}

void TestRtfReader::absurdParameters()
{
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1\\fs99999999999999999999 a\\fs-4 b\\cf2147483647 c\\f-99 d{\\uc99999 \\u66 e}"
                       "\\li-2147483647 f\\u99999999 g\\'zz h\\picwgoal999999999}",
                       &doc));
    QCOMPARE(textOf(doc), QStringLiteral("abcdBfzz h"));
    QVERIFY(formatAt(doc, "a").fontPointSize() <= 1638);
    QCOMPARE(formatAt(doc, "b").fontPointSize(), 12.0);
}

void TestRtfReader::garbageNeverCrashes()
{
    // Byte patterns around every construct; the reader must come back each time.
    const QByteArray pieces[] = {"{", "}", "\\", "\\'", "\\'f", "\\u", "\\u-", "\\bin", "\\bin5 ", "\\*",
                                 "\\pict", "\\fonttbl", "\\colortbl", "\\stylesheet", "\\field", "\\fldinst",
                                 "\\fldrslt", "\\upr", "\\ud", "\\uc2", "\\ansicpg932", "\\'81", "\\cell", "\\row",
                                 "\\par", "\\f1", ";", "x", "\xff", "\\listtext", "\\footnote", "\\trowd", "\\clmrg", "\\cellx9"};
    const int count = int(sizeof pieces / sizeof pieces[0]);
    quint32 seed = 12345;
    for (int round = 0; round < 400; ++round) {
        QByteArray rtf = "{\\rtf1 ";
        for (int k = 0; k < 60; ++k) {
            seed = seed * 1664525u + 1013904223u;
            rtf += pieces[(seed >> 16) % count];
        }
        // Each read comes back with the document read, its text no longer than the
        // bytes it came from (nothing here may multiply them), and the same document
        // every time: a reader that kept state from one read to the next, or read
        // past what it was given, would show it here.
        QTextDocument doc;
        QVERIFY2(!Rtf::read(rtf, &doc), rtf.constData());
        QVERIFY2(doc.characterCount() <= rtf.size(), rtf.constData());
        QTextDocument again;
        QVERIFY(!Rtf::read(rtf, &again));
        QCOMPARE(again.toPlainText(), doc.toPlainText());
    }
}

void TestRtfReader::manyDistinctFormats()
{
    // Every run in a format of its own must stay linear, not search all earlier ones.
    QByteArray rtf = "{\\rtf1{\\colortbl;";
    for (int c = 0; c < 64; ++c)
        rtf += "\\red" + QByteArray::number(c * 4) + "\\green0\\blue0;";
    rtf += "}";
    const int runs = 60000;
    for (int i = 0; i < runs; ++i)
        rtf += "\\fs" + QByteArray::number(2 + i % 3000) + "\\cf" + QByteArray::number(i % 64) + (i % 2 ? "\\b " : "\\b0 ") + "x";
    rtf += "}";
    QElapsedTimer t;
    t.start();
    QTextDocument doc;
    QVERIFY(!Rtf::read(rtf, &doc));
    QCOMPARE(doc.characterCount(), runs + 1);
    QVERIFY2(t.elapsed() < 10000, qPrintable(QString::number(t.elapsed())));
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
