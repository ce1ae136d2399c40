// The OpenDocument reader on small packages and flat files made here: formatting at
// each place of the text, white space as the format collapses it, list labels,
// tables' spans.
#include "zipmaker.h"

#include "platform/documentloader.h"
#include "base/layoutproperties.h"
#include "layout/textmetrics.h"
#include "model/marks.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QImage>
#include <QRawFont>
#include <QTextBlock>
#include <QTextLayout>
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

QTextCharFormat formatOf(const QTextDocument &doc, const QString &text)
{
    const QTextCursor found = doc.find(text);
    if (found.isNull())
        return {};
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat();
}

QTextTable *firstTable(const QTextDocument &doc)
{
    for (QTextFrame *frame : doc.rootFrame()->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(frame))
            return table;
    }
    return nullptr;
}

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

// Labels placed as LibreOffice writes them, each followed by a tab.
const QByteArray aligned = "<style:list-level-properties text:list-level-position-and-space-mode=\"label-alignment\">"
                           "<style:list-level-label-alignment text:label-followed-by=\"listtab\"/></style:list-level-properties>";
const QByteArray numbered = "<text:list-style style:name=\"L1\">"
                            "<text:list-level-style-number text:level=\"1\" style:num-suffix=\".\" style:num-format=\"1\">" + aligned
                            + "</text:list-level-style-number><text:list-level-style-number text:level=\"2\" style:num-suffix=\")\" "
                              "style:num-format=\"a\" text:display-levels=\"2\">" + aligned + "</text:list-level-style-number></text:list-style>";

} // namespace

class TestOdtReader final : public QObject
{
    Q_OBJECT

private slots:
    void stylesInheritAndSpansWin()
    {
        const QByteArray styles = "<style:default-style style:family=\"paragraph\"><style:text-properties fo:font-size=\"11pt\" "
                                  "style:font-name=\"Sans\"/></style:default-style>"
                                  "<style:style style:name=\"Heading\" style:family=\"paragraph\"><style:paragraph-properties "
                                  "fo:text-align=\"center\"/><style:text-properties fo:font-weight=\"bold\" fo:font-size=\"150%\"/></style:style>";
        const QByteArray automatic = "<style:style style:name=\"P1\" style:family=\"paragraph\" style:parent-style-name=\"Heading\">"
                                     "<style:text-properties fo:color=\"#ff0000\"/></style:style>"
                                     "<style:style style:name=\"T1\" style:family=\"text\"><style:text-properties fo:font-style=\"italic\" "
                                     "style:text-underline-style=\"solid\" fo:font-weight=\"normal\"/></style:style>";
        const auto doc = load(makeOdt("<text:p text:style-name=\"P1\">Titre <text:span text:style-name=\"T1\">penche</text:span></text:p>"
                                      "<text:p>Corps</text:p>",
                                      automatic, styles));
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("Titre penche\nCorps"));
        const QTextCharFormat title = formatOf(*doc, "Titre");
        QCOMPARE(title.fontWeight(), int(QFont::Bold));
        QCOMPARE(title.fontPointSize(), 16.5);
        QCOMPARE(title.foreground().color(), QColor(0xFF, 0, 0));
        QCOMPARE(doc->begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        const QTextCharFormat span = formatOf(*doc, "penche");
        QVERIFY(span.fontItalic());
        QVERIFY(span.fontWeight() < int(QFont::Bold));
        QCOMPARE(span.underlineStyle(), QTextCharFormat::SingleUnderline);
        QCOMPARE(formatOf(*doc, "Corps").fontPointSize(), 11.0);
    }

    // Without a default paragraph style, LibreOffice's own defaults hold: black text.
    // A face's pairs are kerned only where the styles ask for it, as LibreOffice
    // reads the documents of OpenOffice (which wrote the property when it was on).
    void pairsKernedWhereTheStylesSay()
    {
        const auto doc = load(makeOdt("<text:p>plat <text:span text:style-name=\"K\">serre</text:span></text:p>",
                                      "<style:style style:name=\"K\" style:family=\"text\">"
                                      "<style:text-properties style:letter-kerning=\"true\"/></style:style>"));
        QVERIFY(doc);
        QVERIFY(!formatOf(*doc, "plat").font().kerning());
        QVERIFY(formatOf(*doc, "serre").font().kerning());
    }

    // An empty paragraph is as high as its style's font.
    void emptyParagraphsTakeTheirStylesFont()
    {
        const auto doc = load(makeOdt("<text:p>debut</text:p><text:p text:style-name=\"Grand\"/><text:p/><text:p>fin</text:p>",
                                      "<style:style style:name=\"Grand\" style:family=\"paragraph\">"
                                      "<style:text-properties fo:font-size=\"20pt\"/></style:style>"));
        QVERIFY(doc);
        QList<qreal> sizes;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            if (b.length() == 1)
                sizes << b.charFormat().fontPointSize();
        }
        QCOMPARE(sizes, (QList<qreal>{20, 12}));
    }

    void textWithoutDefaultStyleIsBlack()
    {
        const auto bare = load(makeOdt("<text:p>nu</text:p>"));
        QVERIFY(bare);
        QCOMPARE(formatOf(*bare, "nu").foreground().color(), QColor(Qt::black));
        const auto styled = load(makeOdt("<text:p>nu</text:p>", {}, "<style:default-style style:family=\"paragraph\">"
                                                                     "<style:text-properties fo:font-size=\"10pt\"/></style:default-style>"));
        QVERIFY(styled);
        QVERIFY(!formatOf(*styled, "nu").hasProperty(QTextFormat::ForegroundBrush));
    }

    // The URW faces OpenOffice documents of Linux systems name are drawn in their
    // metric-compatible look-alikes, at the line height LibreOffice gives them, and
    // the East Asian font named beside them does not take their place.
    // The URW faces that OpenOffice documents of Linux systems name are drawn in
    // themselves, as LibreOffice draws them, and their lines are as high as their
    // OpenType files say (Qt may load them from their Type 1 files, which say
    // otherwise): a fifth of the size above the face, or nothing where the document
    // asks for no line gap.
    void urwFacesDrawnAsThemselves_data()
    {
        QTest::addColumn<QByteArray>("font");
        QTest::addColumn<QString>("face");
        QTest::addColumn<bool>("noGap");
        QTest::addColumn<qreal>("height");
        QTest::newRow("Nimbus Roman No9 L") << QByteArray("Nimbus Roman No9 L") << QStringLiteral("Nimbus Roman") << false << 19.2;
        QTest::newRow("no line gap") << QByteArray("Nimbus Roman No9 L") << QStringLiteral("Nimbus Roman") << true << 16.0;
        QTest::newRow("Nimbus Sans L") << QByteArray("Nimbus Sans L") << QStringLiteral("Nimbus Sans") << false << 19.2;
        QTest::newRow("Century Schoolbook L") << QByteArray("Century Schoolbook L") << QStringLiteral("C059") << true << 16.0;
    }
    void urwFacesDrawnAsThemselves()
    {
        QFETCH(QByteArray, font);
        QFETCH(QString, face);
        QFETCH(bool, noGap);
        QFETCH(qreal, height);
        if (!QFontDatabase::hasFamily(face))
            QSKIP("the face is not installed");
        const QByteArray faces = "<style:font-face style:name=\"Body\" svg:font-family=\"&apos;" + font
            + "&apos;\" style:font-family-generic=\"roman\"/><style:font-face style:name=\"DejaVu Sans\" "
              "svg:font-family=\"&apos;DejaVu Sans&apos;\" style:font-family-generic=\"system\"/>";
        const QByteArray styles = "<style:default-style style:family=\"paragraph\"><style:text-properties style:font-name=\"Body\" "
                                  "fo:font-size=\"12pt\" style:font-name-asian=\"DejaVu Sans\"/></style:default-style>";
        const QByteArray settings = "<?xml version=\"1.0\"?><office:document-settings "
                                    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                                    "xmlns:config=\"urn:oasis:names:tc:opendocument:xmlns:config:1.0\"><office:settings>"
                                    "<config:config-item-set config:name=\"ooo:configuration-settings\">"
                                    "<config:config-item config:name=\"UnxForceZeroExtLeading\" config:type=\"boolean\">"
            + QByteArray(noGap ? "true" : "false") + "</config:config-item></config:config-item-set></office:settings>"
                                                     "</office:document-settings>";
        const auto doc = load(makeOdt("<text:p>Les mots du texte</text:p>", {}, styles, faces, settings));
        QVERIFY(doc);
        QTextLayout line(doc->begin().text(), formatOf(*doc, "mots").font());
        line.beginLayout();
        line.createLine();
        line.endLayout();
        QStringList drawnIn;
        for (const QGlyphRun &run : line.glyphRuns())
            drawnIn << run.rawFont().familyName();
        QCOMPARE(drawnIn.value(0), face);
        QCOMPARE(formatOf(*doc, "mots").fontFamilies().toStringList().value(0), QString::fromLatin1(font));
        // The line as the editor's layout makes it.
        const QTextBlock block = doc->begin();
        QCOMPARE(block.blockFormat().boolProperty(LayoutProperty::NoLineGap), noGap);
        TextMetrics::LineBoxes faceBoxes(block);
        const qreal laidOut = faceBoxes.box(0, block.length() - 1, 0, 0).height;
        QVERIFY2(qAbs(laidOut - height) < 0.05, qPrintable(QString::number(laidOut)));
    }

    // Headings take their numbers from the outline style, level by level; the text
    // stands the least label distance after the number, and a heading marked as a
    // list header, or a level without a number format, shows none.
    void headingsNumberedByTheOutline()
    {
        const QByteArray outline =
            "<text:outline-style style:name=\"Outline\"><text:outline-level-style text:level=\"1\" style:num-suffix=\" \" "
            "style:num-format=\"1\"><style:list-level-properties text:min-label-distance=\"1cm\"/></text:outline-level-style>"
            "<text:outline-level-style text:level=\"2\" style:num-suffix=\" \" style:num-format=\"1\" text:display-levels=\"2\">"
            "<style:list-level-properties text:min-label-distance=\"1cm\"/></text:outline-level-style>"
            "<text:outline-level-style text:level=\"3\" style:num-format=\"\"/></text:outline-style>";
        const auto doc = load(makeOdt("<text:h text:outline-level=\"1\">Un</text:h><text:p>corps</text:p>"
                                      "<text:h text:outline-level=\"2\">Sous</text:h><text:h text:outline-level=\"2\">Autre</text:h>"
                                      "<text:h text:outline-level=\"3\">Sans</text:h>"
                                      "<text:h text:outline-level=\"1\" text:is-list-header=\"true\">Titre</text:h>"
                                      "<text:h text:outline-level=\"1\">Deux</text:h><text:h text:outline-level=\"2\">Fin</text:h>",
                                      {}, outline));
        QVERIFY(doc);
        QCOMPARE(labelled(*doc), QStringList({"1 \t|Un", "|corps", "1.1 \t|Sous", "1.2 \t|Autre", "|Sans", "|Titre",
                                              "2 \t|Deux", "2.1 \t|Fin"}));
        // The tab after "1 " reaches a stop a centimetre beyond the label.
        const QList<QTextOption::Tab> tabs = doc->begin().blockFormat().tabPositions();
        QVERIFY(!tabs.isEmpty());
        const qreal centimetre = 96 / 2.54;
        QVERIFY2(tabs.first().position > centimetre && tabs.first().position < centimetre + 30,
                 qPrintable(QString::number(tabs.first().position)));

        const auto plain = load(makeOdt("<text:h text:outline-level=\"1\">Un</text:h>"));
        QVERIFY(plain);
        QCOMPARE(labelled(*plain), QStringList({"|Un"}));
    }

    // The older placing of a label (its width and position): the text follows the
    // label at the least distance, or starts at the hanging indent where the label
    // fits before it; with neither, right after the label.
    void labelsInTheOlderPlacing_data()
    {
        QTest::addColumn<QByteArray>("properties");
        QTest::addColumn<QString>("label");
        QTest::addColumn<qreal>("stop"); // pixels from the column's edge, -1 for none, 0 not looked at
        QTest::newRow("nothing said") << QByteArray() << QStringLiteral("\u2022") << -1.0;
        QTest::newRow("the label within its width")
            << QByteArray("text:space-before=\"0.5cm\" text:min-label-width=\"1cm\"") << QStringLiteral("\u2022\t") << 0.0;
        QTest::newRow("a least distance") << QByteArray("text:min-label-distance=\"1cm\"") << QStringLiteral("\u2022\t") << -2.0;
    }
    void labelsInTheOlderPlacing()
    {
        QFETCH(QByteArray, properties);
        QFETCH(QString, label);
        QFETCH(qreal, stop);
        const QByteArray style = "<text:list-style style:name=\"B\"><text:list-level-style-bullet text:level=\"1\" "
                                 "text:bullet-char=\"\u2022\"><style:list-level-properties " + properties
            + "/></text:list-level-style-bullet></text:list-style>";
        const auto doc = load(makeOdt("<text:list text:style-name=\"B\"><text:list-item><text:p>point</text:p></text:list-item>"
                                      "</text:list>",
                                      {}, style));
        QVERIFY(doc);
        QCOMPARE(labelled(*doc), QStringList({label + "|point"}));
        const QList<QTextOption::Tab> tabs = doc->begin().blockFormat().tabPositions();
        if (stop == -1.0) {
            QVERIFY(tabs.isEmpty());
        } else if (stop == -2.0) { // a centimetre beyond the bullet
            QVERIFY(!tabs.isEmpty());
            QVERIFY2(tabs.first().position > 96 / 2.54 && tabs.first().position < 96 / 2.54 + 20,
                     qPrintable(QString::number(tabs.first().position)));
        } else {
            // The hanging indent is where the tab goes.
            QVERIFY(qAbs(doc->begin().blockFormat().leftMargin() - 1.5 * 96 / 2.54) < 0.5);
        }
    }

    void whiteSpaceCollapsesAsTheFormatSays()
    {
        const auto doc = load(makeOdt("<text:p>  un   deux\n trois<text:s text:c=\"3\"/>quatre<text:tab/>cinq<text:line-break/>six</text:p>"));
        QVERIFY(doc);
        QCOMPARE(doc->begin().text(), QStringLiteral("un deux trois   quatre\tcinq\u2028six"));
    }

    void listLabels()
    {
        const QByteArray lists = "<text:list text:style-name=\"L1\"><text:list-item><text:p>un</text:p>"
                                 "<text:list><text:list-item><text:p>sous</text:p></text:list-item>"
                                 "<text:list-item><text:p>sous deux</text:p></text:list-item></text:list></text:list-item>"
                                 "<text:list-item><text:p>deux</text:p><text:p>suite</text:p></text:list-item></text:list>"
                                 "<text:p>entre</text:p>"
                                 "<text:list text:style-name=\"L1\" text:continue-numbering=\"true\"><text:list-item><text:p>trois</text:p>"
                                 "</text:list-item></text:list>"
                                 "<text:list text:style-name=\"L1\"><text:list-item><text:p>un encore</text:p></text:list-item>"
                                 "<text:list-item text:start-value=\"9\"><text:p>neuf</text:p></text:list-item></text:list>";
        const auto doc = load(makeOdt(lists, numbered));
        QVERIFY(doc);
        QCOMPARE(labelled(*doc), QStringList({"1.\t|un", "1.a)\t|sous", "1.b)\t|sous deux", "2.\t|deux", "|suite", "|entre",
                                              "3.\t|trois", "1.\t|un encore", "9.\t|neuf"}));
    }

    void tableSpans()
    {
        const QByteArray table = "<table:table><table:table-column table:number-columns-repeated=\"3\"/>"
                                 "<table:table-row><table:table-cell table:number-columns-spanned=\"2\"><text:p>large</text:p></table:table-cell>"
                                 "<table:covered-table-cell/><table:table-cell table:number-rows-spanned=\"2\"><text:p>haut</text:p></table:table-cell></table:table-row>"
                                 "<table:table-row><table:table-cell><text:p>a</text:p></table:table-cell><table:table-cell><text:p>b</text:p></table:table-cell>"
                                 "<table:covered-table-cell/></table:table-row></table:table><text:p>apres</text:p>";
        const auto doc = load(makeOdt(table));
        QVERIFY(doc);
        QTextTable *t = firstTable(*doc);
        QVERIFY(t);
        QCOMPARE(t->rows(), 2);
        QCOMPARE(t->columns(), 3);
        QCOMPARE(t->cellAt(0, 0).columnSpan(), 2);
        QCOMPARE(t->cellAt(0, 2).rowSpan(), 2);
        QVERIFY(doc->toPlainText().endsWith(QLatin1String("apres")));
    }

    // A cell's style gives its borders, background and vertical alignment; a cell
    // without one has none of them.
    void cellStylesDrawBordersAndShading()
    {
        const QByteArray styles = "<style:style style:name=\"C1\" style:family=\"table-cell\"><style:table-cell-properties "
                                  "fo:border=\"0.5pt solid #000000\" fo:border-right=\"none\" fo:background-color=\"#ff0000\" "
                                  "style:vertical-align=\"bottom\" fo:padding=\"0.1cm\"/></style:style>";
        const QByteArray table = "<table:table><table:table-column table:number-columns-repeated=\"2\"/><table:table-row>"
                                 "<table:table-cell table:style-name=\"C1\"><text:p>bord</text:p></table:table-cell>"
                                 "<table:table-cell><text:p>nu</text:p></table:table-cell></table:table-row></table:table>";
        const auto doc = load(makeOdt(table, styles));
        QVERIFY(doc);
        QTextTable *t = firstTable(*doc);
        QVERIFY(t);
        const QTextTableCellFormat styled = t->cellAt(0, 0).format().toTableCellFormat();
        QVERIFY(styled.topBorder() > 0);
        QVERIFY(styled.leftBorder() > 0);
        QVERIFY(styled.bottomBorder() > 0);
        QCOMPARE(styled.background().color(), QColor(255, 0, 0));
        QCOMPARE(styled.verticalAlignment(), QTextCharFormat::AlignBottom);
        const QTextTableCellFormat bare = t->cellAt(0, 1).format().toTableCellFormat();
        QCOMPARE(bare.topBorder(), 0.0);
        QCOMPARE(bare.background().style(), Qt::NoBrush);
    }

    // A frame's text box is shown in place, framed, its anchoring paragraph whole.
    void textBoxShowsInPlace()
    {
        const auto doc = load(makeOdt("<text:p>avant <draw:frame svg:width=\"2in\" svg:height=\"1in\"><draw:text-box>"
                                      "<text:p>dans la boite</text:p></draw:text-box></draw:frame>apres</text:p><text:p>fin</text:p>"));
        QVERIFY(doc);
        QTextTable *box = nullptr;
        for (QTextFrame *frame : doc->rootFrame()->childFrames()) {
            if (auto *table = qobject_cast<QTextTable *>(frame); table && table->format().boolProperty(DocProperty::TextBox))
                box = table;
        }
        QVERIFY(box);
        QTextCursor inside = box->cellAt(0, 0).firstCursorPosition();
        inside.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QCOMPARE(inside.selectedText(), QStringLiteral("dans la boite"));
        QCOMPARE(box->format().columnWidthConstraints().value(0).rawValue(), 192.0);
        QVERIFY(doc->toPlainText().contains(QLatin1String("avant apres\nfin")));
    }

    // A picture anchored to its paragraph with no text beside it stands above the
    // paragraph's text, placed across the column as its frame's style says, with no
    // frame of its own; one that text flows around stays in the line. A text box
    // whose style has no border is drawn without one.
    void anchoredPicturesStandAboveTheirParagraph()
    {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        const QByteArray styles =
            "<style:style style:name=\"above\" style:family=\"graphic\" style:parent-style-name=\"Cadre\">"
            "<style:graphic-properties style:horizontal-pos=\"right\"/></style:style>"
            "<style:style style:name=\"beside\" style:family=\"graphic\"><style:graphic-properties "
            "style:wrap=\"parallel\"/></style:style>"
            "<style:style style:name=\"bare\" style:family=\"graphic\"><style:graphic-properties fo:border=\"none\" "
            "style:wrap=\"none\"/></style:style>";
        const QByteArray named = "<style:style style:name=\"Cadre\" style:family=\"graphic\"><style:graphic-properties "
                                 "style:wrap=\"none\" fo:border=\"0.5pt solid #000000\"/></style:style>";
        const auto frame = [&](const char *style) {
            return "<draw:frame draw:style-name=\"" + QByteArray(style) + "\" text:anchor-type=\"paragraph\" "
                   "svg:width=\"1in\" svg:height=\"1in\"><draw:image><office:binary-data>" + png.toBase64()
                + "</office:binary-data></draw:image></draw:frame>";
        };
        const auto doc = load(makeOdt("<text:p>avant</text:p><text:p>" + frame("above") + "dessous</text:p><text:p>"
                                          + frame("beside") + "a cote</text:p><text:p><draw:frame draw:style-name=\"bare\" "
                                          "text:anchor-type=\"paragraph\" svg:width=\"2in\"><draw:text-box><text:p>legende"
                                          "</text:p></draw:text-box></draw:frame>fin</text:p>",
                                      styles, named));
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("avant\n\uFFFC\ndessous\n\uFFFCa cote\nlegende\nfin"));
        std::vector<QTextTable *> boxes;
        for (QTextFrame *f : doc->rootFrame()->childFrames()) {
            if (auto *table = qobject_cast<QTextTable *>(f); table && table->format().boolProperty(DocProperty::TextBox))
                boxes.push_back(table);
        }
        QCOMPARE(boxes.size(), size_t(2));
        const QTextTableFormat picture = boxes[0]->format();
        QCOMPARE(picture.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(picture.columnWidthConstraints().value(0).rawValue(), 96.0);
        for (QTextTable *box : boxes) {
            const QTextTableCellFormat cell = box->cellAt(0, 0).format().toTableCellFormat();
            QCOMPARE(cell.leftBorder(), 0.0);
            QCOMPARE(cell.leftPadding(), 0.0);
        }
    }

    // Tracked changes as LibreOffice shows them: deleted text struck where it was
    // (a deleted paragraph as a paragraph), inserted text underlined, each author's
    // in a colour of their own.
    void trackedChanges()
    {
        const QByteArray changes =
            "<text:tracked-changes xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
            "<text:changed-region text:id=\"d1\"><text:deletion><office:change-info><dc:creator>Anne</dc:creator></office:change-info>"
            "<text:p>retire</text:p></text:deletion></text:changed-region>"
            "<text:changed-region text:id=\"i1\"><text:insertion><office:change-info><dc:creator>Paul</dc:creator></office:change-info>"
            "</text:insertion></text:changed-region>"
            "<text:changed-region text:id=\"d2\"><text:deletion><office:change-info><dc:creator>Anne</dc:creator></office:change-info>"
            "<text:p>paragraphe   ote</text:p></text:deletion></text:changed-region></text:tracked-changes>";
        const auto doc = load(makeOdt(changes + "<text:p>garde <text:change text:change-id=\"d1\"/> <text:change-start text:change-id=\"i1\"/>"
                                                "ajout<text:change-end text:change-id=\"i1\"/> fin</text:p>"
                                                "<text:change text:change-id=\"d2\"/><text:p>dernier</text:p>"));
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("garde retire ajout fin\nparagraphe ote\ndernier"));
        QVERIFY(formatOf(*doc, "retire").fontStrikeOut());
        QVERIFY(formatOf(*doc, "paragraphe").fontStrikeOut());
        QCOMPARE(formatOf(*doc, "ajout").underlineStyle(), QTextCharFormat::SingleUnderline);
        QVERIFY(!formatOf(*doc, "ajout").fontStrikeOut());
        QVERIFY(formatOf(*doc, "ajout").foreground().color() != formatOf(*doc, "retire").foreground().color());
        QCOMPARE(formatOf(*doc, "paragraphe").foreground().color(), formatOf(*doc, "retire").foreground().color());
        QVERIFY(!formatOf(*doc, "fin").fontStrikeOut());
        QCOMPARE(formatOf(*doc, "fin").underlineStyle(), QTextCharFormat::NoUnderline);
    }

    void flatFileOpens()
    {
        const QByteArray flat = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document "
                                "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                                "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                                "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
                                "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
                                "office:mimetype=\"application/vnd.oasis.opendocument.text\"><office:automatic-styles>"
                                "<style:style style:name=\"T1\" style:family=\"text\"><style:text-properties fo:font-weight=\"bold\"/>"
                                "</style:style></office:automatic-styles><office:body><office:text><text:p>plat "
                                "<text:span text:style-name=\"T1\">gras</text:span></text:p></office:text></office:body></office:document>";
        const auto doc = load(flat);
        QVERIFY(doc);
        QCOMPARE(doc->toPlainText(), QStringLiteral("plat gras"));
        QCOMPARE(formatOf(*doc, "gras").fontWeight(), int(QFont::Bold));
    }

    // Another package type with a mimetype entry is no text document.
    void spreadsheetIsRefused()
    {
        std::unique_ptr<QTextDocument> doc;
        const Failure f = DocumentLoader::fromBytes(
            makeZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false}, {"content.xml", "<x/>"}}), &doc);
        QCOMPARE(f.number, FailureNumber::InvalidFormat);
        QVERIFY(!doc);
    }
};

QTEST_MAIN(TestOdtReader)
#include "tst_odtreader.moc"
