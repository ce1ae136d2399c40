// The Word reader on small packages made here: what a user sees at each place of the
// text (its formatting, the list labels, the tables' shape, the links, the pictures)
// after the document opens through the loader.
#include "zipmaker.h"

#include "platform/documentloader.h"
#include "base/layoutproperties.h"
#include "model/marks.h"

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextTable>
#include <QtTest>

#include <memory>

namespace {

std::unique_ptr<QTextDocument> load(const QByteArray &bytes)
{
    std::unique_ptr<QTextDocument> doc;
    const Failure f = DocumentLoader::fromBytes(bytes, &doc);
    if (f)
        qWarning("load failed: %s", qPrintable(f.description));
    return doc;
}

// The character format of the first character of text in the document.
QTextCharFormat formatOf(const QTextDocument &doc, const QString &text)
{
    const QTextCursor found = doc.find(text);
    if (found.isNull())
        return {};
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat();
}

// Each block's label (the text marked as a list label) and the rest, "label|text".
QStringList labelled(const QTextDocument &doc)
{
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QString label, text;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            (f.charFormat().boolProperty(DocProperty::ListLabel) ? label : text) += f.text();
        }
        lines << label + QLatin1Char('|') + text;
    }
    return lines;
}

QByteArray paragraph(const QByteArray &runs, const QByteArray &props = {})
{
    return "<w:p>" + (props.isEmpty() ? QByteArray() : "<w:pPr>" + props + "</w:pPr>") + runs + "</w:p>";
}

QByteArray run(const QByteArray &text, const QByteArray &props = {})
{
    return "<w:r>" + (props.isEmpty() ? QByteArray() : "<w:rPr>" + props + "</w:rPr>") + "<w:t xml:space=\"preserve\">" + text
        + "</w:t></w:r>";
}

QByteArray png(int w, int h, const char *format = "PNG")
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray drawing(const QByteArray &relId, qint64 cx, qint64 cy)
{
    return "<w:r><w:drawing><wp:inline><wp:extent cx=\"" + QByteArray::number(cx) + "\" cy=\"" + QByteArray::number(cy)
        + "\"/><a:graphic><a:graphicData><pic:pic><pic:blipFill><a:blip r:embed=\"" + relId
        + "\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
}

// The first table in the document's body, if any.
QTextTable *firstTable(const QTextDocument &doc)
{
    for (QTextFrame *frame : doc.rootFrame()->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(frame))
            return table;
    }
    return nullptr;
}

QByteArray relationship(const QByteArray &id, const QByteArray &type, const QByteArray &target, bool external = false)
{
    return "<Relationship Id=\"" + id + "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        + type + "\" Target=\"" + target + "\"" + (external ? " TargetMode=\"External\"" : "") + "/>";
}

} // namespace

class TestDocxReader final : public QObject
{
    Q_OBJECT

private slots:
    void stylesInheritAndDirectFormattingWins()
    {
        const QByteArray styles =
            "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\"/><w:sz w:val=\"22\"/></w:rPr>"
            "</w:rPrDefault></w:docDefaults>"
            "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/></w:style>"
            "<w:style w:type=\"paragraph\" w:styleId=\"Base\"><w:basedOn w:val=\"Normal\"/><w:rPr><w:sz w:val=\"28\"/></w:rPr></w:style>"
            "<w:style w:type=\"paragraph\" w:styleId=\"Titre\"><w:basedOn w:val=\"Base\"/><w:pPr><w:jc w:val=\"center\"/></w:pPr>"
            "<w:rPr><w:b/></w:rPr></w:style>"
            "<w:style w:type=\"character\" w:styleId=\"Accent\"><w:rPr><w:i/><w:color w:val=\"FF0000\"/></w:rPr></w:style>";
        const QByteArray body = paragraph(run("Titre") + run("penche", "<w:rStyle w:val=\"Accent\"/>")
                                              + run("droit", "<w:rStyle w:val=\"Accent\"/><w:i w:val=\"0\"/>"),
                                          "<w:pStyle w:val=\"Titre\"/>")
            + paragraph(run("Normal"));
        const auto doc = load(makeDocx(body, styles));
        QVERIFY(doc);
        const QTextCharFormat title = formatOf(*doc, "Titre");
        QCOMPARE(title.fontWeight(), int(QFont::Bold));
        QCOMPARE(title.fontPointSize(), 14.0);
        QCOMPARE(title.fontFamilies().toStringList().value(0), QStringLiteral("Arial"));
        QCOMPARE(doc->begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        const QTextCharFormat accent = formatOf(*doc, "penche");
        QVERIFY(accent.fontItalic());
        QCOMPARE(accent.foreground().color(), QColor(0xFF, 0, 0));
        QCOMPARE(accent.fontWeight(), int(QFont::Bold));
        QVERIFY(!formatOf(*doc, "droit").fontItalic());
        const QTextCharFormat normal = formatOf(*doc, "Normal");
        QCOMPARE(normal.fontPointSize(), 11.0);
        QVERIFY(normal.fontWeight() < int(QFont::Bold));
    }

    void styleCycleEnds()
    {
        const QByteArray styles = "<w:style w:type=\"paragraph\" w:styleId=\"A\"><w:basedOn w:val=\"B\"/><w:rPr><w:b/></w:rPr></w:style>"
                                  "<w:style w:type=\"paragraph\" w:styleId=\"B\"><w:basedOn w:val=\"A\"/><w:rPr><w:sz w:val=\"40\"/></w:rPr></w:style>";
        const auto doc = load(makeDocx(paragraph(run("boucle"), "<w:pStyle w:val=\"A\"/>"), styles));
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("boucle"));
        QCOMPARE(formatOf(*doc, "boucle").fontWeight(), int(QFont::Bold));
        QCOMPARE(formatOf(*doc, "boucle").fontPointSize(), 20.0);
    }

    void characterFormatting_data()
    {
        QTest::addColumn<QByteArray>("props");
        QTest::addColumn<int>("property");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("italic") << QByteArray("<w:i/>") << int(QTextFormat::FontItalic) << QVariant(true);
        QTest::newRow("strike") << QByteArray("<w:strike/>") << int(QTextFormat::FontStrikeOut) << QVariant(true);
        QTest::newRow("double strike") << QByteArray("<w:dstrike/>") << int(QTextFormat::FontStrikeOut) << QVariant(true);
        QTest::newRow("underline") << QByteArray("<w:u w:val=\"single\"/>") << int(QTextFormat::TextUnderlineStyle)
                                   << QVariant(int(QTextCharFormat::SingleUnderline));
        QTest::newRow("dotted underline") << QByteArray("<w:u w:val=\"dotted\"/>") << int(QTextFormat::TextUnderlineStyle)
                                          << QVariant(int(QTextCharFormat::DotLine));
        QTest::newRow("size") << QByteArray("<w:sz w:val=\"36\"/>") << int(QTextFormat::FontPointSize) << QVariant(18.0);
        QTest::newRow("superscript") << QByteArray("<w:vertAlign w:val=\"superscript\"/>")
                                     << int(QTextFormat::TextVerticalAlignment) << QVariant(int(QTextCharFormat::AlignSuperScript));
        QTest::newRow("all caps") << QByteArray("<w:caps/>") << int(QTextFormat::FontCapitalization)
                                  << QVariant(int(QFont::AllUppercase));
        QTest::newRow("small caps") << QByteArray("<w:smallCaps/>") << int(QTextFormat::FontCapitalization)
                                    << QVariant(int(QFont::SmallCaps));
        QTest::newRow("highlight") << QByteArray("<w:highlight w:val=\"yellow\"/>") << int(QTextFormat::BackgroundBrush)
                                   << QVariant(QBrush(QColor(0xFF, 0xFF, 0)));
        QTest::newRow("shading") << QByteArray("<w:shd w:val=\"clear\" w:fill=\"00FF00\"/>") << int(QTextFormat::BackgroundBrush)
                                 << QVariant(QBrush(QColor(0, 0xFF, 0)));
        // A pattern's colour laid over the fill, automatic ones black over white.
        QTest::newRow("pattern shading") << QByteArray("<w:shd w:val=\"pct20\" w:color=\"auto\" w:fill=\"auto\"/>")
                                         << int(QTextFormat::BackgroundBrush) << QVariant(QBrush(QColor(204, 204, 204)));
        QTest::newRow("eighth shading") << QByteArray("<w:shd w:val=\"pct12\" w:color=\"auto\" w:fill=\"auto\"/>")
                                        << int(QTextFormat::BackgroundBrush) << QVariant(QBrush(QColor(223, 223, 223)));
        QTest::newRow("striped shading") << QByteArray("<w:shd w:val=\"horzStripe\" w:color=\"FF0000\" w:fill=\"auto\"/>")
                                         << int(QTextFormat::BackgroundBrush) << QVariant(QBrush(QColor(255, 170, 170)));
        QTest::newRow("colour") << QByteArray("<w:color w:val=\"0000FF\"/>") << int(QTextFormat::ForegroundBrush)
                                << QVariant(QBrush(QColor(0, 0, 0xFF)));
    }
    void characterFormatting()
    {
        QFETCH(QByteArray, props);
        QFETCH(int, property);
        QFETCH(QVariant, value);
        const auto doc = load(makeDocx(paragraph(run("avant ") + run("cible", props) + run(" apres"))));
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("avant cible apres"));
        QCOMPARE(formatOf(*doc, "cible").property(property), value);
        QVERIFY(!formatOf(*doc, "apres").hasProperty(property) || formatOf(*doc, "apres").property(property) != value);
    }

    void hiddenTextAndFieldCodesAreNotShown()
    {
        const QByteArray body = paragraph(run("vu ") + run("cache ", "<w:vanish/>")
                                          + "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE </w:instrText></w:r>"
                                            "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>"
                                          + run("7") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>");
        const auto doc = load(makeDocx(body));
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("vu 7"));
    }

    // A table of contents' entries are links in the link style, which Word does not
    // show there; the same style elsewhere shows.
    void linkStyleNotShownInATableOfContents()
    {
        const QByteArray styles = "<w:style w:type=\"character\" w:styleId=\"LienHypertexte\"><w:name w:val=\"Hyperlink\"/>"
                                  "<w:rPr><w:color w:val=\"0000FF\"/><w:u w:val=\"single\"/></w:rPr></w:style>";
        const QByteArray link = "<w:r><w:rPr><w:rStyle w:val=\"LienHypertexte\"/></w:rPr><w:t>";
        const QByteArray body
            = paragraph("<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> TOC \\o \"1-3\" \\h </w:instrText></w:r>"
                        "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:hyperlink w:anchor=\"_Toc1\">" + link
                        + "entree</w:t></w:r></w:hyperlink>")
            + paragraph("<w:hyperlink w:anchor=\"_Toc2\">" + link + "suite</w:t></w:r></w:hyperlink>"
                        "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>")
            + paragraph("<w:hyperlink w:anchor=\"_Toc1\">" + link + "ailleurs</w:t></w:r></w:hyperlink>");
        const auto doc = load(makeDocx(body, styles));
        QVERIFY(doc);
        QVERIFY(!formatOf(*doc, "entree").fontUnderline());
        QVERIFY(!formatOf(*doc, "suite").fontUnderline());
        QVERIFY(formatOf(*doc, "ailleurs").fontUnderline());
        QCOMPARE(formatOf(*doc, "ailleurs").foreground().color(), QColor(0, 0, 255));
    }

    void linksKeepTheirTargets()
    {
        const QByteArray body = paragraph("<w:hyperlink r:id=\"rIdL\">" + run("site") + "</w:hyperlink>" + run(" et ")
                                          + "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText xml:space=\"preserve\">"
                                            " HYPERLINK \"https://exemple.fr/champ\" </w:instrText></w:r><w:r><w:fldChar "
                                            "w:fldCharType=\"separate\"/></w:r>"
                                          + run("champ") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>"
                                          + "<w:hyperlink w:anchor=\"signet\">" + run(" ici") + "</w:hyperlink>");
        const auto doc = load(makeDocx(body, {}, {}, {}, relationship("rIdL", "hyperlink", "https://exemple.fr/", true)));
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("site et champ ici"));
        QCOMPARE(formatOf(*doc, "site").anchorHref(), QStringLiteral("https://exemple.fr/"));
        QCOMPARE(formatOf(*doc, "champ").anchorHref(), QStringLiteral("https://exemple.fr/champ"));
        QCOMPARE(formatOf(*doc, "ici").anchorHref(), QStringLiteral("#signet"));
        QVERIFY(!formatOf(*doc, "et").isAnchor());
    }

    void listLabelsCountAsWordDraws()
    {
        const QByteArray numbering =
            "<w:abstractNum w:abstractNumId=\"0\">"
            "<w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/><w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"%1.\"/>"
            "<w:pPr><w:ind w:left=\"720\" w:hanging=\"360\"/></w:pPr></w:lvl>"
            "<w:lvl w:ilvl=\"1\"><w:start w:val=\"1\"/><w:numFmt w:val=\"lowerLetter\"/><w:lvlText w:val=\"%1.%2)\"/></w:lvl>"
            "</w:abstractNum>"
            "<w:abstractNum w:abstractNumId=\"1\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"bullet\"/><w:lvlText w:val=\"\xEF\x82\xB7\"/>"
            "<w:rPr><w:rFonts w:ascii=\"Symbol\" w:hAnsi=\"Symbol\"/></w:rPr></w:lvl></w:abstractNum>"
            "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
            "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"1\"/></w:num>"
            "<w:num w:numId=\"3\"><w:abstractNumId w:val=\"0\"/><w:lvlOverride w:ilvl=\"0\"><w:startOverride w:val=\"5\"/></w:lvlOverride></w:num>";
        const auto item = [](const QByteArray &text, int num, int level) {
            return paragraph(run(text), "<w:numPr><w:ilvl w:val=\"" + QByteArray::number(level) + "\"/><w:numId w:val=\""
                                            + QByteArray::number(num) + "\"/></w:numPr>");
        };
        const QByteArray body = item("un", 1, 0) + item("sous", 1, 1) + item("sous deux", 1, 1) + item("deux", 1, 0)
            + item("sous encore", 1, 1) + item("puce", 2, 0) + item("cinq", 3, 0) + paragraph(run("fin"));
        const auto doc = load(makeDocx(body, {}, numbering));
        QVERIFY(doc);
        QCOMPARE(labelled(*doc), QStringList({"1.\t|un", "1.a)\t|sous", "1.b)\t|sous deux", "2.\t|deux", "2.a)\t|sous encore",
                                              "\u2022\t|puce", "5.\t|cinq", "|fin"}));
        const QTextBlockFormat first = doc->begin().blockFormat();
        QCOMPARE(first.leftMargin(), 48.0);  // 720 twips
        QCOMPARE(first.textIndent(), -24.0); // hanging 360
    }

    void tablesKeepTheirGridAndSpans()
    {
        const QByteArray cell = "<w:tc><w:p><w:r><w:t>c</w:t></w:r></w:p></w:tc>";
        const QByteArray body =
            "<w:tbl><w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"2000\"/></w:tblGrid>"
            "<w:tr>" + cell + cell + cell + "</w:tr>"
            "<w:tr><w:tc><w:tcPr><w:gridSpan w:val=\"2\"/></w:tcPr><w:p><w:r><w:t>large</w:t></w:r></w:p></w:tc>"
            "<w:tc><w:tcPr><w:vMerge w:val=\"restart\"/></w:tcPr><w:p><w:r><w:t>haut</w:t></w:r></w:p></w:tc></w:tr>"
            "<w:tr>" + cell + cell + "<w:tc><w:tcPr><w:vMerge/></w:tcPr><w:p/></w:tc></w:tr>"
            "</w:tbl>" + paragraph(run("apres"));
        const auto doc = load(makeDocx(body));
        QVERIFY(doc);
        QTextTable *table = firstTable(*doc);
        QVERIFY(table);
        QCOMPARE(table->rows(), 3);
        QCOMPARE(table->columns(), 3);
        QCOMPARE(table->cellAt(1, 0).columnSpan(), 2);
        QCOMPARE(table->cellAt(1, 2).rowSpan(), 2);
        QTextCursor large = table->cellAt(1, 0).firstCursorPosition();
        large.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QCOMPARE(large.selectedText(), QStringLiteral("large"));
        QVERIFY(doc->toPlainText().endsWith(QLatin1String("apres")));
    }

    // A cell's own margins (w:tcMar) stand over the table's; the other cells keep the table's.
    void cellMarginsOverTheTables()
    {
        const QByteArray plain = "<w:tc><w:p><w:r><w:t>a</w:t></w:r></w:p></w:tc>";
        const QByteArray own = "<w:tc><w:tcPr><w:tcMar><w:top w:w=\"150\" w:type=\"dxa\"/><w:left w:w=\"300\" w:type=\"dxa\"/>"
                               "<w:end w:w=\"60\" w:type=\"dxa\"/></w:tcMar></w:tcPr><w:p><w:r><w:t>b</w:t></w:r></w:p></w:tc>";
        const QByteArray body = "<w:tbl><w:tblPr><w:tblCellMar><w:left w:w=\"0\" w:type=\"dxa\"/><w:right w:w=\"0\" "
                                "w:type=\"dxa\"/></w:tblCellMar></w:tblPr><w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol "
                                "w:w=\"2000\"/></w:tblGrid><w:tr>" + plain + own + "</w:tr></w:tbl>" + paragraph(run("apres"));
        const auto doc = load(makeDocx(body));
        QVERIFY(doc);
        QTextTable *table = firstTable(*doc);
        QVERIFY(table);
        const QTextTableCellFormat a = table->cellAt(0, 0).format().toTableCellFormat();
        const QTextTableCellFormat b = table->cellAt(0, 1).format().toTableCellFormat();
        QCOMPARE(a.leftPadding(), 0.0);
        QCOMPARE(a.topPadding(), 0.0);
        QCOMPARE(b.leftPadding(), 300 / 15.0);
        QCOMPARE(b.rightPadding(), 60 / 15.0);
        QCOMPARE(b.topPadding(), 150 / 15.0);
    }

    // A table style's first row centres its paragraphs where the table shows that row;
    // the other rows keep the style's own alignment.
    void firstRowParagraphsOfTheTableStyle()
    {
        const QByteArray styles =
            "<w:style w:type=\"table\" w:styleId=\"Grille\"><w:name w:val=\"Grille\"/><w:tblStylePr w:type=\"firstRow\"><w:pPr><w:jc w:val=\"center\"/>"
            "</w:pPr><w:rPr><w:b/></w:rPr></w:tblStylePr></w:style>";
        const auto table = [](const QByteArray &look, const char *head, const char *body) {
            return "<w:tbl><w:tblPr><w:tblStyle w:val=\"Grille\"/>" + look
                + "</w:tblPr><w:tblGrid><w:gridCol w:w=\"3000\"/></w:tblGrid><w:tr><w:tc>" + paragraph(run(head))
                + "</w:tc></w:tr><w:tr><w:tc>" + paragraph(run(body)) + "</w:tc></w:tr></w:tbl>" + paragraph(run("entre"));
        };
        const auto doc = load(makeDocx(table({}, "titre", "corps")
                                           + table("<w:tblLook w:firstRow=\"0\"/>", "sanstitre", "rien"),
                                       styles));
        QVERIFY(doc);
        const auto align = [&](const char *text) { return doc->find(QString::fromLatin1(text)).block().blockFormat().alignment(); };
        QCOMPARE(align("titre"), Qt::AlignHCenter);
        QCOMPARE(align("corps"), Qt::AlignLeft);
        QCOMPARE(align("sanstitre"), Qt::AlignLeft);
    }

    // Paragraphs of one style that ask for contextual spacing stand without space
    // between them; the space after the last shows before a paragraph of another style.
    void contextualSpacingBetweenParagraphsOfOneStyle()
    {
        const QByteArray styles =
            "<w:docDefaults><w:pPrDefault><w:pPr><w:spacing w:after=\"300\"/></w:pPr></w:pPrDefault></w:docDefaults>"
            "<w:style w:type=\"paragraph\" w:styleId=\"Liste\"><w:pPr><w:contextualSpacing/></w:pPr></w:style>";
        const QByteArray item = "<w:pStyle w:val=\"Liste\"/>";
        const auto doc = load(makeDocx(paragraph(run("avant")) + paragraph(run("un"), item) + paragraph(run("deux"), item)
                                           + paragraph(run("trois"), item) + paragraph(run("apres")),
                                       styles));
        QVERIFY(doc);
        const auto block = [&](const char *text) { return doc->find(QString::fromLatin1(text)).block().blockFormat(); };
        const qreal space = 300 / 15.0; // twips to pixels at 96 dpi
        // Between "avant" (another style) and the list: the space after "avant".
        QCOMPARE(block("avant").bottomMargin() + block("un").topMargin(), space);
        QCOMPARE(block("un").bottomMargin() + block("deux").topMargin(), 0.0);
        QCOMPARE(block("deux").bottomMargin() + block("trois").topMargin(), 0.0);
        QCOMPARE(block("trois").bottomMargin() + block("apres").topMargin(), space);
    }

    // Word sets a bordered paragraph's text at its indents, the side borders and their
    // distance from the text outside them.
    void sideBordersStandOutsideTheIndents()
    {
        const QByteArray borders = "<w:pBdr><w:left w:val=\"single\" w:sz=\"4\" w:space=\"4\" w:color=\"auto\"/>"
                                   "<w:right w:val=\"single\" w:sz=\"4\" w:space=\"4\" w:color=\"auto\"/></w:pBdr>";
        const QByteArray top = "<w:pBdr><w:top w:val=\"single\" w:sz=\"4\" w:space=\"1\" w:color=\"auto\"/></w:pBdr>";
        const auto doc = load(makeDocx(paragraph(run("cadre"), borders) + paragraph(run("retrait"), borders + "<w:ind w:left=\"720\"/>")
                                       + paragraph(run("dessus"), top) + paragraph(run("nu"))));
        QVERIFY(doc);
        const auto block = [&](const char *text) { return doc->find(QString::fromLatin1(text)).block().blockFormat(); };
        QVERIFY(block("cadre").boolProperty(LayoutProperty::BordersOutside));
        QCOMPARE(block("cadre").leftMargin(), 0.0);
        QVERIFY(block("retrait").boolProperty(LayoutProperty::BordersOutside));
        QCOMPARE(block("retrait").leftMargin(), 720 / 15.0);
        // Without side borders there is nothing to place outside.
        QVERIFY(!block("dessus").hasProperty(LayoutProperty::BordersOutside));
        QVERIFY(!block("nu").hasProperty(LayoutProperty::BordersOutside));
    }

    // A table as wide as a share of the text has its grid stretched or narrowed to
    // that width, the text's width from the last section's page and margins.
    void tableWidthAsAShareOfTheText_data()
    {
        QTest::addColumn<QByteArray>("width");
        QTest::addColumn<qreal>("pixels"); // the columns together
        QTest::addColumn<int>("before");   // paragraphs before the table
        const qreal text = (12240 - 2 * 1440) / 15.0;
        QTest::newRow("100 %") << QByteArray("<w:tblW w:w=\"5000\" w:type=\"pct\"/>") << text << 0;
        QTest::newRow("50 %, as a percentage") << QByteArray("<w:tblW w:w=\"50%\" w:type=\"pct\"/>") << text / 2 << 0;
        QTest::newRow("in twips: the grid's") << QByteArray("<w:tblW w:w=\"3000\" w:type=\"dxa\"/>") << 12000 / 15.0 << 0;
        // The text's width comes at the end of a part still inflating when the table
        // is read.
        QTest::newRow("100 %, a large document") << QByteArray("<w:tblW w:w=\"5000\" w:type=\"pct\"/>") << text << 40000;
    }
    void tableWidthAsAShareOfTheText()
    {
        QFETCH(QByteArray, width);
        QFETCH(qreal, pixels);
        QFETCH(int, before);
        const QByteArray cell = "<w:tc><w:p><w:r><w:t>c</w:t></w:r></w:p></w:tc>";
        QByteArray filler;
        for (int i = 0; i < before; ++i)
            filler += paragraph(run("ligne " + QByteArray::number(i * 7919 % 100003)));
        const QByteArray body = filler + "<w:tbl><w:tblPr>" + width + "</w:tblPr><w:tblGrid><w:gridCol w:w=\"6000\"/>"
                                "<w:gridCol w:w=\"6000\"/></w:tblGrid><w:tr>" + cell + cell + "</w:tr></w:tbl>"
                                + paragraph(run("fin"))
                                + "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" "
                                  "w:bottom=\"1440\" w:left=\"1440\"/></w:sectPr>";
        const auto doc = load(makeDocx(body));
        QVERIFY(doc);
        QTextTable *table = firstTable(*doc);
        QVERIFY(table);
        qreal sum = 0;
        for (const QTextLength &l : table->format().columnWidthConstraints())
            sum += l.rawValue();
        QVERIFY2(qAbs(sum - pixels) < 2, qPrintable(QString::number(sum)));
    }

    // Where a table's indent puts it: Word 2013's layout (compatibility mode 15) puts
    // the first cell's edge there, the layouts before it that cell's text, the cell's
    // left margin further left.
    void tableIndentByCompatibilityMode_data()
    {
        QTest::addColumn<QByteArray>("mode"); // empty: no settings part
        QTest::addColumn<QByteArray>("margin");
        QTest::addColumn<qreal>("left"); // the table's frame from the column's edge, pixels
        QTest::newRow("no settings") << QByteArray() << QByteArray() << (720 - 108) / 15.0;
        QTest::newRow("Word 2010") << QByteArray("14") << QByteArray() << (720 - 108) / 15.0;
        QTest::newRow("Word 2013") << QByteArray("15") << QByteArray() << 720 / 15.0;
        QTest::newRow("Word 2013, a margin of its own")
            << QByteArray("15") << QByteArray("<w:tblCellMar><w:left w:w=\"300\" w:type=\"dxa\"/></w:tblCellMar>") << 720 / 15.0;
        QTest::newRow("Word 2010, a margin of its own")
            << QByteArray("14") << QByteArray("<w:tblCellMar><w:left w:w=\"300\" w:type=\"dxa\"/></w:tblCellMar>") << 420 / 15.0;
    }
    void tableIndentByCompatibilityMode()
    {
        QFETCH(QByteArray, mode);
        QFETCH(QByteArray, margin);
        QFETCH(qreal, left);
        const QByteArray cell = "<w:tc><w:p><w:r><w:t>c</w:t></w:r></w:p></w:tc>";
        const QByteArray body = "<w:tbl><w:tblPr><w:tblInd w:w=\"720\" w:type=\"dxa\"/>" + margin
            + "</w:tblPr><w:tblGrid><w:gridCol w:w=\"3000\"/></w:tblGrid><w:tr>" + cell + "</w:tr></w:tbl>" + paragraph(run("fin"));
        QList<ZipEntry> more;
        QByteArray rels;
        if (!mode.isEmpty()) {
            more << ZipEntry{"word/settings.xml",
                             "<?xml version=\"1.0\"?><w:settings xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/"
                             "2006/main\"><w:compat><w:compatSetting w:name=\"compatibilityMode\" "
                             "w:uri=\"http://schemas.microsoft.com/office/word\" w:val=\"" + mode + "\"/></w:compat></w:settings>"};
            rels = relationship("rIdT", "settings", "settings.xml");
        }
        const auto doc = load(makeDocx(body, {}, {}, more, rels));
        QVERIFY(doc);
        QTextTable *table = firstTable(*doc);
        QVERIFY(table);
        QVERIFY2(qAbs(table->format().leftMargin() - left) < 0.5, qPrintable(QString::number(table->format().leftMargin())));
    }

    // Word's spacing between paragraphs is the larger of the space after one and the
    // space before the next, unless its settings turn HTML's spacing off; a package
    // without settings adds them, as LibreOffice shows it.
    void spacingBetweenParagraphsBySettings_data()
    {
        QTest::addColumn<QByteArray>("settings"); // empty: no settings part
        QTest::addColumn<int>("after");            // the first paragraph's, twips
        QTest::addColumn<qreal>("gap");            // pixels between the two
        QTest::newRow("settings: the larger") << QByteArray("<w:zoom w:percent=\"100\"/>") << 200 << 32.0;
        QTest::newRow("settings: the larger, after") << QByteArray("<w:zoom w:percent=\"100\"/>") << 600 << 40.0;
        QTest::newRow("HTML's spacing off: the sum")
            << QByteArray("<w:compat><w:doNotUseHTMLParagraphAutoSpacing/></w:compat>") << 200 << 32 + 200 / 15.0;
        QTest::newRow("no settings: the sum") << QByteArray() << 200 << 32 + 200 / 15.0;
    }
    void spacingBetweenParagraphsBySettings()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, after);
        QFETCH(qreal, gap);
        const QByteArray body = paragraph(run("un"), "<w:spacing w:after=\"" + QByteArray::number(after) + "\"/>")
            + paragraph(run("deux"), "<w:spacing w:before=\"480\"/>");
        QList<ZipEntry> more;
        QByteArray rels;
        if (!settings.isEmpty()) {
            more << ZipEntry{"word/settings.xml", "<?xml version=\"1.0\"?><w:settings xmlns:w=\"http://schemas.openxmlformats.org/"
                                                  "wordprocessingml/2006/main\">" + settings + "</w:settings>"};
            rels = relationship("rIdT", "settings", "settings.xml");
        }
        const auto doc = load(makeDocx(body, {}, {}, more, rels));
        QVERIFY(doc);
        const QTextBlock first = doc->find(QStringLiteral("un")).block();
        const QTextBlock second = doc->find(QStringLiteral("deux")).block();
        const qreal between = first.blockFormat().bottomMargin() + second.blockFormat().topMargin();
        QVERIFY2(qAbs(between - gap) < 0.1, qPrintable(QString::number(between)));
    }

    // An empty paragraph is as high as its mark's font: the defaults, the paragraph's
    // style and the mark's own properties.
    void emptyParagraphsTakeTheirMarksFont()
    {
        const QByteArray styles = "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"28\"/></w:rPr></w:rPrDefault></w:docDefaults>"
                                  "<w:style w:type=\"paragraph\" w:styleId=\"Grand\"><w:rPr><w:sz w:val=\"40\"/></w:rPr></w:style>";
        const QByteArray body = paragraph(run("debut")) + paragraph({}) + paragraph({}, "<w:pStyle w:val=\"Grand\"/>")
            + paragraph({}, "<w:pStyle w:val=\"Grand\"/><w:rPr><w:sz w:val=\"16\"/></w:rPr>") + paragraph(run("fin"));
        const auto doc = load(makeDocx(body, styles));
        QVERIFY(doc);
        QList<qreal> sizes;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            if (b.length() == 1)
                sizes << b.charFormat().fontPointSize();
        }
        QCOMPARE(sizes, (QList<qreal>{14, 20, 8}));
    }

    // HTML's spacing before and after (Normal (Web)) is 14 pt whatever the value
    // said, once between two paragraphs that have it.
    void autoSpacingIsFourteenPoints()
    {
        const QByteArray styles = "<w:style w:type=\"paragraph\" w:styleId=\"Web\"><w:pPr><w:spacing w:before=\"100\" "
                                  "w:beforeAutospacing=\"1\" w:after=\"100\" w:afterAutospacing=\"1\"/></w:pPr></w:style>";
        const QByteArray web = "<w:pStyle w:val=\"Web\"/>";
        const auto doc = load(makeDocx(paragraph(run("avant")) + paragraph(run("un"), web) + paragraph(run("deux"), web)
                                           + paragraph(run("apres")),
                                       styles));
        QVERIFY(doc);
        const auto block = [&](const char *text) { return doc->find(QString::fromLatin1(text)).block().blockFormat(); };
        const qreal space = 280 / 15.0;
        QCOMPARE(block("avant").bottomMargin() + block("un").topMargin(), space);
        QCOMPARE(block("un").bottomMargin() + block("deux").topMargin(), space);
        QCOMPARE(block("deux").bottomMargin() + block("apres").topMargin(), space);
    }

    // A table style's borders reach the cells (the table's own "nil" removes one), its
    // paragraph spacing comes before the document defaults' in its cells, and a
    // cell's shading pattern is laid over its fill.
    void tableStyleBordersSpacingAndShading()
    {
        const QByteArray styles =
            "<w:docDefaults><w:pPrDefault><w:pPr><w:spacing w:after=\"200\" w:line=\"276\" w:lineRule=\"auto\"/>"
            "</w:pPr></w:pPrDefault></w:docDefaults>"
            "<w:style w:type=\"table\" w:styleId=\"Grille\"><w:pPr><w:spacing w:after=\"0\" w:line=\"240\" "
            "w:lineRule=\"auto\"/></w:pPr><w:tblPr><w:tblBorders><w:top w:val=\"single\" w:sz=\"8\"/>"
            "<w:left w:val=\"single\" w:sz=\"8\"/><w:bottom w:val=\"single\" w:sz=\"8\"/><w:right w:val=\"single\" "
            "w:sz=\"8\"/><w:insideH w:val=\"single\" w:sz=\"8\"/><w:insideV w:val=\"single\" w:sz=\"8\"/>"
            "</w:tblBorders></w:tblPr></w:style>";
        const QByteArray cell = "<w:tc><w:p><w:r><w:t>c</w:t></w:r></w:p></w:tc>";
        const auto table = [&](const QByteArray &own) {
            return "<w:tbl><w:tblPr><w:tblStyle w:val=\"Grille\"/>" + own + "</w:tblPr><w:tblGrid><w:gridCol w:w=\"2000\"/>"
                   "<w:gridCol w:w=\"2000\"/></w:tblGrid><w:tr><w:tc><w:tcPr><w:shd w:val=\"pct25\" w:color=\"auto\" "
                   "w:fill=\"auto\"/><w:vAlign w:val=\"bottom\"/></w:tcPr><w:p><w:r><w:t>ombre</w:t></w:r></w:p></w:tc>"
                   + cell + "</w:tr><w:tr>" + cell + cell + "</w:tr></w:tbl>" + paragraph(run("hors"));
        };
        const auto doc = load(makeDocx(table({}), styles));
        QVERIFY(doc);
        QTextTable *t = firstTable(*doc);
        QVERIFY(t);
        const QTextTableCellFormat corner = t->cellAt(0, 0).format().toTableCellFormat();
        QVERIFY(corner.topBorder() > 0);
        QVERIFY(corner.leftBorder() > 0);
        QVERIFY(corner.bottomBorder() > 0 || t->cellAt(1, 0).format().toTableCellFormat().topBorder() > 0);
        // 25 % black over white.
        QCOMPARE(corner.background().color(), QColor::fromRgbF(0.75, 0.75, 0.75));
        QCOMPARE(corner.verticalAlignment(), QTextCharFormat::AlignBottom);
        // Single lines without space after in the cells, the defaults outside.
        const QTextBlockFormat inCell = t->cellAt(0, 0).firstCursorPosition().blockFormat();
        QCOMPARE(inCell.bottomMargin(), 0.0);
        QVERIFY(inCell.lineHeightType() != QTextBlockFormat::ProportionalHeight);
        const QTextBlockFormat outside = doc->find(QStringLiteral("hors")).blockFormat();
        QVERIFY(outside.bottomMargin() > 10);
        QCOMPARE(outside.lineHeightType(), int(QTextBlockFormat::ProportionalHeight));
        QCOMPARE(outside.lineHeight(), 115.0);

        const auto bare = load(makeDocx(table("<w:tblBorders><w:insideH w:val=\"nil\"/><w:insideV w:val=\"nil\"/>"
                                              "<w:top w:val=\"nil\"/></w:tblBorders>"),
                                        styles));
        QVERIFY(bare);
        QTextTable *b = firstTable(*bare);
        QVERIFY(b);
        QCOMPARE(b->cellAt(0, 0).format().toTableCellFormat().topBorder(), 0.0);
        QVERIFY(b->cellAt(0, 0).format().toTableCellFormat().leftBorder() > 0);
        QCOMPARE(b->cellAt(0, 0).format().toTableCellFormat().rightBorder(), 0.0);

        // A table style based on that one takes its borders, but its cells keep the
        // document's spacing, as LibreOffice shows them.
        QByteArray derived = table({});
        derived.replace("w:val=\"Grille\"", "w:val=\"Derivee\"");
        const auto based = load(makeDocx(derived, styles + "<w:style w:type=\"table\" w:styleId=\"Derivee\">"
                                                           "<w:basedOn w:val=\"Grille\"/></w:style>"));
        QVERIFY(based);
        QTextTable *d = firstTable(*based);
        QVERIFY(d);
        QVERIFY(d->cellAt(0, 0).format().toTableCellFormat().topBorder() > 0);
        QVERIFY(d->cellAt(0, 0).firstCursorPosition().blockFormat().bottomMargin() > 10);
    }

    // A table style's run properties, and those of its first row where the table
    // looks at its first row, come between the defaults and the paragraph's style.
    void tableStyleFormatsItsCells()
    {
        const QByteArray styles = "<w:style w:type=\"table\" w:styleId=\"Grille\"><w:rPr><w:i/></w:rPr>"
                                  "<w:tblStylePr w:type=\"firstRow\"><w:rPr><w:b/></w:rPr></w:tblStylePr></w:style>";
        const auto table = [](const QByteArray &look) {
            return "<w:tbl><w:tblPr><w:tblStyle w:val=\"Grille\"/>" + look + "</w:tblPr><w:tblGrid><w:gridCol w:w=\"2000\"/></w:tblGrid>"
                   "<w:tr><w:tc><w:p><w:r><w:t>tete</w:t></w:r></w:p></w:tc></w:tr>"
                   "<w:tr><w:tc><w:p><w:r><w:t>corps</w:t></w:r></w:p></w:tc></w:tr></w:tbl>";
        };
        const auto doc = load(makeDocx(table("<w:tblLook w:firstRow=\"1\"/>") + paragraph(run("hors")), styles));
        QVERIFY(doc);
        QCOMPARE(formatOf(*doc, "tete").fontWeight(), int(QFont::Bold));
        QVERIFY(formatOf(*doc, "tete").fontItalic());
        QVERIFY(formatOf(*doc, "corps").fontWeight() < int(QFont::Bold));
        QVERIFY(formatOf(*doc, "corps").fontItalic());
        QVERIFY(!formatOf(*doc, "hors").fontItalic());
        const auto plain = load(makeDocx(table("<w:tblLook w:val=\"0400\"/>"), styles));
        QVERIFY(plain);
        QVERIFY(formatOf(*plain, "tete").fontWeight() < int(QFont::Bold));
    }

    void trackedChangesShowAsMarked()
    {
        const QByteArray body = paragraph(run("garde ") + "<w:ins w:author=\"A\">" + run("ajout") + "</w:ins>"
                                          + "<w:del w:author=\"B\"><w:r><w:delText xml:space=\"preserve\"> retire</w:delText></w:r></w:del>");
        const auto doc = load(makeDocx(body));
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("garde ajout retire"));
        QVERIFY(formatOf(*doc, "ajout").underlineStyle() != QTextCharFormat::NoUnderline);
        QVERIFY(!formatOf(*doc, "ajout").fontStrikeOut());
        QVERIFY(formatOf(*doc, "retire").fontStrikeOut());
        QVERIFY(!formatOf(*doc, "garde").fontStrikeOut());
        // Each author in a colour of their own; the text outside the changes keeps its own.
        const QColor a = formatOf(*doc, "ajout").foreground().color();
        const QColor b = formatOf(*doc, "retire").foreground().color();
        QVERIFY(formatOf(*doc, "ajout").hasProperty(QTextFormat::ForegroundBrush));
        QVERIFY(a != b);
        QVERIFY(!formatOf(*doc, "garde").hasProperty(QTextFormat::ForegroundBrush));
    }

    void wrappedContentShowsOnce()
    {
        const QByteArray body =
            "<w:sdt><w:sdtPr><w:alias w:val=\"x\"/></w:sdtPr><w:sdtContent>" + paragraph(run("controle")) + "</w:sdtContent></w:sdt>"
            + paragraph("<w:smartTag w:element=\"place\">" + run("ville") + "</w:smartTag>"
                        "<w:commentRangeStart w:id=\"0\"/>" + run(" note") + "<w:commentRangeEnd w:id=\"0\"/>"
                        "<w:r><w:commentReference w:id=\"0\"/></w:r>"
                        "<mc:AlternateContent xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\">"
                        "<mc:Choice Requires=\"wps\">" + run(" choix") + "</mc:Choice><mc:Fallback>" + run(" repli")
                        + "</mc:Fallback></mc:AlternateContent>");
        const auto doc = load(makeDocx(body));
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("controle\nville note repli"));
    }

    // A text box is shown in place, framed as the RTF reader frames one, once
    // whether Word wrote it as a drawing with a fallback or as VML alone.
    void textBoxesShowInPlace_data()
    {
        QTest::addColumn<QByteArray>("box");
        const QByteArray content = "<w:txbxContent><w:p><w:r><w:t>dans la boite</w:t></w:r></w:p>"
                                   "<w:p><w:r><w:t>seconde</w:t></w:r></w:p></w:txbxContent>";
        const QByteArray vml = "<w:pict><v:shape xmlns:v=\"urn:schemas-microsoft-com:vml\" style=\"width:144pt;height:40pt\">"
                               "<v:textbox>" + content + "</v:textbox></v:shape></w:pict>";
        QTest::newRow("VML") << vml;
        QTest::newRow("drawing with a fallback")
            << "<mc:AlternateContent xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"><mc:Choice Requires=\"wps\">"
               "<w:drawing><wp:anchor><wp:extent cx=\"1828800\" cy=\"508000\"/><a:graphic><a:graphicData><wps:wsp "
               "xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:txbx>" + content
               + "</wps:txbx></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></mc:Choice><mc:Fallback>" + vml
               + "</mc:Fallback></mc:AlternateContent>";
    }
    void textBoxesShowInPlace()
    {
        QFETCH(QByteArray, box);
        const auto doc = load(makeDocx(paragraph(run("avant ") + "<w:r>" + box + "</w:r>" + run("apres")) + paragraph(run("fin"))));
        QVERIFY(doc);
        QList<QTextTable *> boxes;
        for (QTextFrame *frame : doc->rootFrame()->childFrames()) {
            if (auto *table = qobject_cast<QTextTable *>(frame); table && table->format().boolProperty(DocProperty::TextBox))
                boxes << table;
        }
        QCOMPARE(boxes.size(), 1);
        QTextCursor inside = boxes.first()->cellAt(0, 0).firstCursorPosition();
        inside.setPosition(boxes.first()->cellAt(0, 0).lastCursorPosition().position(), QTextCursor::KeepAnchor);
        QCOMPARE(inside.selectedText(), QStringLiteral("dans la boite\u2029seconde"));
        QCOMPARE(boxes.first()->format().columnWidthConstraints().value(0).rawValue(), 192.0); // 144 pt
        QVERIFY(doc->toPlainText().contains(QLatin1String("avant apres\nfin")));
        QCOMPARE(doc->toPlainText().count(QLatin1String("dans la boite")), 1);
    }

    // A floating text box stands across the column where the drawing puts it: centred,
    // to the right, or at an offset from the column's edge.
    void textBoxesWhereTheDrawingPutsThem_data()
    {
        QTest::addColumn<QByteArray>("position");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<qreal>("left"); // pixels from the column's edge to the box's frame
        QTest::newRow("centred") << QByteArray("<wp:align>center</wp:align>") << int(Qt::AlignHCenter) << 0.0;
        QTest::newRow("right") << QByteArray("<wp:align>right</wp:align>") << int(Qt::AlignRight) << 0.0;
        QTest::newRow("an inch in") << QByteArray("<wp:posOffset>914400</wp:posOffset>") << int(Qt::AlignLeft) << 96.0;
        QTest::newRow("VML, centred") << QByteArray("mso-position-horizontal:center") << int(Qt::AlignHCenter) << 0.0;
        QTest::newRow("VML, an inch in") << QByteArray("margin-left:72pt") << int(Qt::AlignLeft) << 96.0;
    }
    void textBoxesWhereTheDrawingPutsThem()
    {
        QFETCH(QByteArray, position);
        QFETCH(int, alignment);
        QFETCH(qreal, left);
        const QByteArray box = !position.startsWith('<')
            ? "<w:pict><v:shape xmlns:v=\"urn:schemas-microsoft-com:vml\" style=\"position:absolute;" + position
                + ";width:144pt;height:40pt\"><v:textbox><w:txbxContent><w:p><w:r><w:t>boite</w:t></w:r></w:p>"
                  "</w:txbxContent></v:textbox></v:shape></w:pict>"
            : "<w:drawing><wp:anchor><wp:positionH relativeFrom=\"column\">" + position
            + "</wp:positionH><wp:extent cx=\"1828800\" cy=\"508000\"/><a:graphic><a:graphicData><wps:wsp "
              "xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:txbx><w:txbxContent>"
              "<w:p><w:r><w:t>boite</w:t></w:r></w:p></w:txbxContent></wps:txbx></wps:wsp></a:graphicData></a:graphic>"
              "</wp:anchor></w:drawing>";
        const auto doc = load(makeDocx(paragraph("<w:r>" + box + "</w:r>" + run("texte"))));
        QVERIFY(doc);
        QTextTable *found = nullptr;
        for (QTextFrame *frame : doc->rootFrame()->childFrames()) {
            if (auto *table = qobject_cast<QTextTable *>(frame); table && table->format().boolProperty(DocProperty::TextBox))
                found = table;
        }
        QVERIFY(found);
        QCOMPARE(int(found->format().alignment() & Qt::AlignHorizontal_Mask), alignment);
        QVERIFY2(qAbs(found->format().leftMargin() - left) < 1, qPrintable(QString::number(found->format().leftMargin())));
        QCOMPARE(found->format().columnWidthConstraints().value(0).rawValue(), 192.0); // its width still
    }

    // A floating picture with text only above and below it stands on its own in front
    // of its paragraph, where the drawing puts it and without a frame; one that text
    // flows around stays in the line. A text box whose shape draws no outline has none.
    void picturesWithTextAboveAndBelowStandAlone()
    {
        const auto anchored = [](const QByteArray &wrap) {
            return "<w:r><w:drawing><wp:anchor><wp:positionH relativeFrom=\"column\"><wp:align>center</wp:align>"
                   "</wp:positionH><wp:extent cx=\"914400\" cy=\"457200\"/>" + wrap + "<a:graphic><a:graphicData><pic:pic>"
                   "<pic:blipFill><a:blip r:embed=\"rIdP\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:anchor>"
                   "</w:drawing></w:r>";
        };
        const QByteArray bare = "<w:r><w:pict><v:shape xmlns:v=\"urn:schemas-microsoft-com:vml\" stroked=\"f\" "
                                "style=\"width:144pt;height:40pt\"><v:textbox><w:txbxContent><w:p><w:r><w:t>legende</w:t>"
                                "</w:r></w:p></w:txbxContent></v:textbox></v:shape></w:pict></w:r>";
        const QByteArray body = paragraph(anchored("<wp:wrapTopAndBottom/>") + bare + run("dessous"))
            + paragraph(anchored("<wp:wrapSquare wrapText=\"bothSides\"/>") + run("a cote"));
        const auto doc = load(makeDocx(body, {}, {}, {{"word/media/image1.png", png(40, 20)}},
                                       relationship("rIdP", "image", "media/image1.png")));
        QVERIFY(doc);
        // The picture, then the caption, each in its box, before the paragraph.
        const QString text = doc->toPlainText();
        QVERIFY(text.indexOf(QChar(0xFFFC)) < text.indexOf(QLatin1String("legende")));
        QVERIFY(text.endsWith(QStringLiteral("legende\ndessous\n\uFFFCa cote")));
        QList<QTextTable *> boxes;
        for (QTextFrame *frame : doc->rootFrame()->childFrames()) {
            if (auto *table = qobject_cast<QTextTable *>(frame); table && table->format().boolProperty(DocProperty::TextBox))
                boxes << table;
        }
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(int(boxes[0]->format().alignment() & Qt::AlignHorizontal_Mask), int(Qt::AlignHCenter));
        QCOMPARE(boxes[0]->format().columnWidthConstraints().value(0).rawValue(), 96.0);
        for (QTextTable *box : boxes) {
            QCOMPARE(box->cellAt(0, 0).format().toTableCellFormat().topBorder(), 0.0);
            QCOMPARE(box->cellAt(0, 0).format().toTableCellFormat().leftPadding(), 0.0);
        }
    }

    // A section in newspaper columns is a frame of its own with its count and gap,
    // as the RTF reader makes it; the sections in one column stay in the body.
    void sectionsInColumns()
    {
        const QByteArray sect = "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" "
                                "w:bottom=\"1440\" w:left=\"1440\"/>";
        const QByteArray body = paragraph(run("une colonne"), sect + "</w:sectPr>")
            + paragraph(run("deux colonnes")) + paragraph(run("encore"))
            + paragraph({}, sect + "<w:type w:val=\"continuous\"/><w:cols w:num=\"2\" w:space=\"360\" w:sep=\"1\"/></w:sectPr>")
            + paragraph(run("fin")) + sect + "<w:type w:val=\"continuous\"/></w:sectPr>";
        const auto doc = load(makeDocx(body));
        QVERIFY(doc);
        QList<QTextFrame *> columns;
        for (QTextFrame *frame : doc->rootFrame()->childFrames()) {
            if (frame->frameFormat().intProperty(LayoutProperty::ColumnCount) > 1)
                columns << frame;
        }
        QCOMPARE(columns.size(), 1);
        const QTextFrameFormat f = columns.first()->frameFormat();
        QCOMPARE(f.intProperty(LayoutProperty::ColumnCount), 2);
        QCOMPARE(f.doubleProperty(LayoutProperty::ColumnGap), 24.0); // 360 twips
        QVERIFY(f.boolProperty(LayoutProperty::ColumnRule));
        QTextCursor inside = columns.first()->firstCursorPosition();
        inside.setPosition(columns.first()->lastPosition(), QTextCursor::KeepAnchor);
        QCOMPARE(inside.selectedText(), QStringLiteral("deux colonnes\u2029encore"));
        QVERIFY(doc->toPlainText().startsWith(QLatin1String("une colonne")));
        QVERIFY(doc->toPlainText().endsWith(QLatin1String("fin")));
    }

    // A large document is read while it inflates, before the whole of it tells of
    // its columns (in its sections' properties, the last at its very end): it is
    // laid in columns all the same, its text whole and once.
    void largeDocumentInColumns()
    {
        QByteArray filler;
        for (int i = 0; i < 40000; ++i)
            filler += paragraph(run("ligne " + QByteArray::number(i * 7919 % 100003)));
        const QByteArray sect = "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" "
                                "w:bottom=\"1440\" w:left=\"1440\"/>";
        const QByteArray body = filler + paragraph(run("deux colonnes")) + paragraph(run("fin"))
            + sect + "<w:cols w:num=\"2\" w:space=\"360\"/></w:sectPr>";
        const auto doc = load(makeDocx(body));
        QVERIFY(doc);
        int columnFrames = 0;
        for (QTextFrame *frame : doc->rootFrame()->childFrames())
            columnFrames += frame->frameFormat().intProperty(LayoutProperty::ColumnCount) == 2;
        QCOMPARE(columnFrames, 1);
        const QString text = doc->toPlainText();
        QCOMPARE(text.count(QLatin1String("ligne ")), 40000);
        QVERIFY(text.trimmed().startsWith(QLatin1String("ligne 0\nligne 7919\n")));
        QVERIFY(text.trimmed().endsWith(QLatin1String("ligne 42580\ndeux colonnes\nfin")));
    }

    void picturesShowAtTheirSize_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QSize>("natural");
        QTest::newRow("PNG") << png(40, 20) << QSize(40, 20);
        QTest::newRow("TIFF") << png(40, 20, "TIFF") << QSize(40, 20);
        // Qt writes no GIF: one blue pixel, by hand.
        QTest::newRow("GIF") << QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\xff\x00\x00\x00"
                                           "\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
                                           35)
                             << QSize(1, 1);
    }
    void picturesShowAtTheirSize()
    {
        QFETCH(QByteArray, file);
        QFETCH(QSize, natural);
        const QByteArray body = paragraph(run("image ") + drawing("rIdP", 914400, 457200));
        // Named as PNG whatever it holds: the data tell the format.
        const auto doc = load(makeDocx(body, {}, {}, {{"word/media/image1.png", file}},
                                       relationship("rIdP", "image", "media/image1.png")));
        QVERIFY(doc);
        const QTextCharFormat f = formatOf(*doc, QString(QChar(0xFFFC)));
        QTextCursor c(doc.get());
        c.setPosition(7);
        const QTextImageFormat image = c.charFormat().toImageFormat();
        QVERIFY(image.isValid());
        QCOMPARE(image.width(), 96.0); // an inch
        QCOMPARE(image.height(), 48.0);
        const QImage shown = doc->resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
        QCOMPARE(shown.size(), natural);
        QCOMPARE(shown.pixelColor(0, 0), QColor(Qt::blue));
        Q_UNUSED(f);
    }

    // An embedded object (a drawing of another program) shows the picture its VML
    // shape previews it with, at the shape's size.
    void embeddedObjectsShowTheirPreview()
    {
        const QByteArray object = "<w:r><w:object w:dxaOrig=\"2880\" w:dyaOrig=\"1440\">"
                                  "<v:shape xmlns:v=\"urn:schemas-microsoft-com:vml\" style=\"width:72pt;height:36pt\">"
                                  "<v:imagedata r:id=\"rIdP\"/></v:shape>"
                                  "<o:OLEObject xmlns:o=\"urn:schemas-microsoft-com:office:office\" Type=\"Embed\" "
                                  "ProgID=\"Visio.Drawing.11\" r:id=\"rIdO\"/></w:object></w:r>";
        const auto doc = load(makeDocx(paragraph(run("avant ") + object + run(" après")), {}, {},
                                       {{"word/media/image1.png", png(30, 15)}, {"word/embeddings/o.bin", "objet"}},
                                       relationship("rIdP", "image", "media/image1.png")
                                           + relationship("rIdO", "oleObject", "embeddings/o.bin")));
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("avant ") + QChar(0xFFFC) + QStringLiteral(" après"));
        QTextCursor c(doc.get());
        c.setPosition(7);
        const QTextImageFormat image = c.charFormat().toImageFormat();
        QVERIFY(image.isValid());
        QCOMPARE(image.width(), 96.0); // 72 pt, an inch
        QCOMPARE(image.height(), 48.0);
        const QImage shown = doc->resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
        QCOMPARE(shown.size(), QSize(30, 15));
    }

    // Relationships to outside the package are never followed.
    void outsideTargetsAreNotRead_data()
    {
        QTest::addColumn<QByteArray>("rels");
        QTest::newRow("external") << relationship("rIdP", "image", "file:///etc/passwd", true);
        QTest::newRow("climbing out") << relationship("rIdP", "image", "../../../etc/passwd");
        QTest::newRow("missing part") << relationship("rIdP", "image", "media/absent.png");
    }
    void outsideTargetsAreNotRead()
    {
        QFETCH(QByteArray, rels);
        const auto doc = load(makeDocx(paragraph(run("texte") + drawing("rIdP", 914400, 914400)), {}, {}, {}, rels));
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("texte"));
    }
};

QTEST_MAIN(TestDocxReader)
#include "tst_docxreader.moc"
