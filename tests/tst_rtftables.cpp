// Tables, indents and tab stops as the reader builds them: the grid, merges,
// borders, shading and alignment a user sees, nested tables, malformed tables that
// stay text, and the plain text the editor gives for them.

#include "model/marks.h"
#include "platform/richtextbox.h"
#include "rtf/rtfreader.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QtTest>

namespace {

constexpr qreal PixelsPerTwip = 96.0 / 1440.0;

// The tables of a frame, outer ones first, each followed by the ones nested in it.
void collect(QTextFrame *frame, QList<QTextTable *> &out)
{
    for (QTextFrame *child : frame->childFrames()) {
        if (auto *t = qobject_cast<QTextTable *>(child))
            out << t;
        collect(child, out);
    }
}

struct Loaded
{
    std::unique_ptr<QTextDocument> doc = std::make_unique<QTextDocument>();
    QList<QTextTable *> tables;

    explicit Loaded(const QByteArray &rtf)
    {
        [&] { QVERIFY(!Rtf::read(rtf, doc.get())); }();
        collect(doc->rootFrame(), tables);
    }

    // The text a user sees, block by block: tables cell by cell, the empty block in
    // front of a table that the layout hides left out.
    QString text() const
    {
        QString s;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            if (b.length() == 1 && b.blockFormat().boolProperty(DocProperty::TableLead))
                continue;
            s += b.text() + QLatin1Char('|');
        }
        return s;
    }
};

QString cellText(QTextTable *t, int row, int column)
{
    const QTextTableCell cell = t->cellAt(row, column);
    QTextCursor c = cell.firstCursorPosition();
    c.setPosition(cell.lastPosition(), QTextCursor::KeepAnchor);
    return c.selectedText();
}

// The column spans of each row's cells, rows apart by "|".
QString spansOf(QTextTable *t)
{
    QStringList rows;
    for (int r = 0; r < t->rows(); ++r) {
        QStringList spans;
        for (int c = 0; c < t->columns(); ++c) {
            const QTextTableCell cell = t->cellAt(r, c);
            if (cell.row() == r && cell.column() == c)
                spans << QString::number(cell.columnSpan());
        }
        rows << spans.join(QLatin1Char(' '));
    }
    return rows.join(QLatin1Char('|'));
}

QByteArray rows(int count, const QByteArray &def, const QByteArray &cells)
{
    QByteArray rtf;
    for (int i = 0; i < count; ++i)
        rtf += def + cells + "\\row\n";
    return rtf;
}

} // namespace

class TestRtfTables : public QObject
{
    Q_OBJECT

private slots:
    void gridFromAllBoundaries();
    void unevenRowsPadded();
    void merges();
    void bordersShadingAlignment();
    void rowPlacementAndPadding();
    void paddingLines_data();
    void paddingLines();
    void unevenGrid_data();
    void unevenGrid();
    void nested();
    void textBoxFramed();
    void pictureInACell();
    void malformedStaysText_data();
    void malformedStaysText();
    void longTableIsOneTable();
    void plainTextOfTheEditor();
    void firstLineHangsIntoTheMargin_data();
    void firstLineHangsIntoTheMargin();
    void tabStops();
};

void TestRtfTables::gridFromAllBoundaries()
{
    // Rows whose boundaries differ share one grid; a cell spans the columns it covers.
    const Loaded d("{\\rtf1\\trowd\\cellx2000\\cellx4000\\pard\\intbl a\\cell b\\cell\\row"
                   "\\trowd\\cellx1000\\cellx4000\\pard\\intbl c\\cell d\\cell\\row}");
    QCOMPARE(d.tables.size(), 1);
    QTextTable *t = d.tables.first();
    QCOMPARE(t->rows(), 2);
    QCOMPARE(t->columns(), 3);
    QCOMPARE(t->cellAt(0, 0).columnSpan(), 2);
    QCOMPARE(t->cellAt(0, 2).column(), 2);
    QCOMPARE(t->cellAt(1, 0).columnSpan(), 1);
    QCOMPARE(t->cellAt(1, 1).columnSpan(), 2);
    QCOMPARE(cellText(t, 1, 1), QStringLiteral("d"));
    const QList<QTextLength> widths = t->format().columnWidthConstraints();
    QCOMPARE(widths.size(), 3);
    for (int c = 0; c < 3; ++c)
        QCOMPARE(widths[c].type(), QTextLength::FixedLength);
    QCOMPARE(widths[0].rawValue(), 1000 * PixelsPerTwip);
    QCOMPARE(widths[2].rawValue(), 2000 * PixelsPerTwip);
    QCOMPARE(d.text(), QStringLiteral("a|b|c|d||"));
}

void TestRtfTables::unevenRowsPadded()
{
    // Rows that end left of the others, start right of them or leave room after their
    // last cell (\trwWidthA, told before the cells only) on the grid LibreOffice gives
    // them: the table as wide as its last row with its room, a row that starts
    // elsewhere stretched to it, a shorter later row's last cell spanning the gap; no
    // padding cell, and no line in the editor's text but the cells'.
    const QByteArray rtf = "{\\rtf1\\trowd\\trbrdrl\\brdrs\\cellx2000\\cellx4000\\cellx6000\\pard\\intbl a\\cell b\\cell c\\cell\\row"
                           "\\trowd\\trbrdrl\\brdrs\\cellx2000\\cellx4000\\pard\\intbl d\\cell e\\cell\\row"
                           "\\trowd\\trleft2000\\cellx4000\\cellx6000\\pard\\intbl f\\cell g\\cell\\row"
                           "\\trowd\\trftsWidthA3\\trwWidthA2000\\cellx2000\\cellx4000\\pard\\intbl h\\cell i\\cell\\row"
                           "\\pard after\\par}";
    const Loaded d(rtf);
    QCOMPARE(d.tables.size(), 1);
    QTextTable *t = d.tables.first();
    QCOMPARE(t->rows(), 4);
    QCOMPARE(t->columns(), 4);
    QCOMPARE(spansOf(t), QStringLiteral("1 2 1|1 3|2 2|1 3"));
    QCOMPARE(cellText(t, 2, 2), QStringLiteral("g"));
    QCOMPARE(cellText(t, 3, 1), QStringLiteral("i"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.rtf"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(rtf);
    f.close();
    RichTextBox box;
    QVERIFY(!box.loadFile(path));
    QCOMPARE(box.text(), QStringLiteral("a\nb\nc\nd\ne\nf\ng\nh\ni\nafter"));

    // A table nested at the start of a cell of a padded table: its block is left out once.
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("{\\rtf1\\trowd\\cellx2000\\cellx4000\\pard\\intbl a\\cell b\\cell\\row\\trowd\\cellx4000\\cellx6000"
            "\\pard\\intbl\\itap2 n\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\nestrow}\\pard\\intbl x\\cell y\\cell\\row"
            "\\pard after\\par}");
    f.close();
    QVERIFY(!box.loadFile(path));
    QCOMPARE(box.text(), QStringLiteral("a\nb\nn\nx\ny\nafter"));
}

void TestRtfTables::paddingLines_data()
{
    // Each construct as LibreOffice's text export gives it: a padding cell has a line
    // of the text only where the row leaves room after its last cell (\trwWidthA) in
    // the definition Word repeats before \row, in the first row or a later one.
    QTest::addColumn<QByteArray>("rows");
    QTest::addColumn<QString>("text");
    const QByteArray a = "\\trowd\\trwWidthA6237\\trftsWidthA3\\cellx3261";
    const QByteArray wide = "\\trowd\\cellx9498";
    QTest::newRow("row that ends early") << QByteArray("\\trowd\\cellx3261\\pard\\intbl A1\\cell\\row" + wide
                                                       + "\\pard\\intbl A2\\cell\\row")
                                         << "A1\nA2\nafter";
    QTest::newRow("later row that ends early") << wide + "\\pard\\intbl A1\\cell\\row\\trowd\\cellx3261\\pard\\intbl A2\\cell\\row"
                                               << "A1\nA2\nafter";
    QTest::newRow("later row that starts later")
        << QByteArray("\\trowd\\cellx3000\\cellx6000\\pard\\intbl A1\\cell B1\\cell\\row"
                      "\\trowd\\trleft3000\\cellx6000\\pard\\intbl B2\\cell\\row")
        << "A1\nB1\nB2\nafter";
    QTest::newRow("first row that starts later")
        << QByteArray("\\trowd\\trleft3000\\cellx6000\\pard\\intbl B1\\cell\\row"
                      "\\trowd\\cellx3000\\cellx6000\\pard\\intbl A2\\cell B2\\cell\\row")
        << "B1\nA2\nB2\nafter";
    QTest::newRow("room after, told before the cells only")
        << a + "\\pard\\intbl A1\\cell\\row" + wide + "\\pard\\intbl A2\\cell\\row" << "A1\nA2\nafter";
    QTest::newRow("room after, told again before \\row")
        << a + "\\pard\\intbl A1\\cell " + a + "\\row" + wide + "\\pard\\intbl A2\\cell " + wide + "\\row"
        << "A1\n\nA2\nafter";
    QTest::newRow("room after in a group before \\row")
        << a + "\\pard\\intbl A1\\cell {" + a + "\\row}" + wide + "\\pard\\intbl A2\\cell {" + wide + "\\row}"
        << "A1\n\nA2\nafter";
    QTest::newRow("room after, told only before \\row")
        << "\\trowd\\cellx3261\\pard\\intbl A1\\cell " + a + "\\row" + wide + "\\pard\\intbl A2\\cell " + wide + "\\row"
        << "A1\n\nA2\nafter";
    QTest::newRow("room after in a later row")
        << wide + "\\pard\\intbl A1\\cell " + wide + "\\row" + a + "\\pard\\intbl A2\\cell " + a + "\\row"
        << "A1\nA2\n\nafter";
}

void TestRtfTables::paddingLines()
{
    QFETCH(QByteArray, rows);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.rtf"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1\\ansi " + rows + "\\pard after\\par}");
    f.close();
    RichTextBox box;
    QVERIFY(!box.loadFile(path));
    QCOMPARE(box.text(), text);
}

void TestRtfTables::unevenGrid_data()
{
    // Rows whose edges differ, each with the columns and spans LibreOffice's HTML
    // export shows for it.
    QTest::addColumn<QList<QByteArray>>("defs");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("spans");
    using L = QList<QByteArray>;
    QTest::newRow("edges 1 twip apart are one") << L{"\\cellx3000\\cellx6000\\cellx9000", "\\cellx3001\\cellx5999\\cellx9000"}
                                                << 3 << "1 1 1|1 1 1";
    QTest::newRow("edges 2 twips apart are two") << L{"\\cellx3000\\cellx6000\\cellx9000", "\\cellx3002\\cellx5998\\cellx9000"}
                                                 << 5 << "1 3 1|2 1 2";
    QTest::newRow("shorter first row stretched") << L{"\\cellx1000\\cellx2000\\cellx3000", "\\cellx1000\\cellx2000\\cellx3000\\cellx6000"}
                                                 << 5 << "2 2 1|1 1 1 2";
    QTest::newRow("shorter first row of two cells") << L{"\\cellx3000\\cellx6000", "\\cellx3000\\cellx9000"} << 3 << "2 1|1 2";
    QTest::newRow("wider first row shrunk") << L{"\\cellx3000\\cellx6000", "\\trleft1000\\cellx3000\\cellx6000"} << 3
                                            << "2 1|1 2";
    QTest::newRow("later row that starts later") << L{"\\cellx3000\\cellx6000", "\\trleft3000\\cellx6000"} << 2 << "1 1|2";
    QTest::newRow("last row 10 twips wider") << L{"\\cellx3000\\cellx6000", "\\cellx3000\\cellx6010"} << 3 << "2 1|1 2";
    QTest::newRow("rows of one width") << L{"\\cellx1000\\cellx9000", "\\cellx1000\\cellx4500\\cellx9000", "\\cellx3000\\cellx9000"}
                                       << 4 << "1 3|1 2 1|2 2";
    QTest::newRow("Word's rows left of the margin")
        << L{"\\trgaph108\\trleft-108\\cellx1000\\cellx9000", "\\trgaph108\\trleft-108\\cellx1010\\cellx4500\\cellx9000",
             "\\trgaph108\\trleft-108\\cellx3000\\cellx9000"}
        << 5 << "1 4|2 2 1|3 2";
    QTest::newRow("shorter later row: its last cell spans the gap") << L{"\\cellx9498", "\\cellx3261"} << 1 << "1|1";
    QTest::newRow("room after told before \\row")
        << L{"\\cellx3261{\\trowd\\trwWidthA6237\\trftsWidthA3\\cellx3261}", "\\cellx9498"} << 2 << "1 1|2";
}

void TestRtfTables::unevenGrid()
{
    QFETCH(QList<QByteArray>, defs);
    QFETCH(int, columns);
    QFETCH(QString, spans);
    QByteArray rtf = "{\\rtf1\\ansi ";
    for (const QByteArray &def : std::as_const(defs)) {
        // A group after the definition holds what the row tells again before \\row.
        const qsizetype again = def.indexOf('{');
        const QByteArray own = again < 0 ? def : def.left(again);
        rtf += "\\trowd" + own + "\\pard\\intbl ";
        rtf += QByteArray("x\\cell ").repeated(own.count("cellx"));
        rtf += again < 0 ? QByteArray("\\row\n") : def.mid(again + 1).chopped(1) + "\\row\n";
    }
    const Loaded d(rtf + "\\pard after\\par}");
    QCOMPARE(d.tables.size(), 1);
    QCOMPARE(d.tables.first()->columns(), columns);
    QCOMPARE(spansOf(d.tables.first()), spans);
}

void TestRtfTables::merges()
{
    // \clmgf/\clmrg span columns, \clvmgf/\clvmrg rows; what a covered cell holds
    // goes to the cell that covers it.
    const Loaded d("{\\rtf1\\trowd\\clmgf\\cellx1000\\clmrg\\cellx2000\\clvmgf\\cellx3000"
                   "\\pard\\intbl wide\\cell\\cell tall\\cell\\row"
                   "\\trowd\\cellx1000\\cellx2000\\clvmrg\\cellx3000\\pard\\intbl x\\cell y\\cell\\cell\\row"
                   "\\trowd\\cellx1000\\cellx2000\\clvmrg\\cellx3000\\pard\\intbl z\\cell w\\cell kept\\cell\\row}");
    QTextTable *t = d.tables.value(0);
    QVERIFY(t);
    QCOMPARE(t->rows(), 3);
    QCOMPARE(t->columns(), 3);
    QCOMPARE(t->cellAt(0, 0).columnSpan(), 2);
    QCOMPARE(t->cellAt(0, 2).rowSpan(), 3);
    QCOMPARE(t->cellAt(2, 2).row(), 0);
    QCOMPARE(cellText(t, 0, 2), QStringLiteral("tall\u2029kept"));
    QCOMPARE(d.text(), QStringLiteral("wide|tall|kept|x|y|z|w||"));
}

void TestRtfTables::bordersShadingAlignment()
{
    const Loaded d("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                   "\\trowd\\trbrdrt\\brdrs\\brdrw15\\trbrdrh\\brdrs\\brdrw15"
                   "\\clbrdrb\\brdrs\\brdrw45\\brdrcf1\\clcbpat2\\clvertalc\\cellx1000"
                   "\\clbrdrl\\brdrdb\\brdrw30\\clbrdrb\\brdrnone\\clshdng2500\\clvertalb\\cellx2000"
                   "\\pard\\intbl a\\cell b\\cell\\row"
                   "\\trowd\\trbrdrh\\brdrs\\brdrw15\\cellx1000\\cellx2000\\pard\\intbl c\\cell d\\cell\\row}");
    QTextTable *t = d.tables.value(0);
    QVERIFY(t);
    const QTextTableCellFormat a = t->cellAt(0, 0).format().toTableCellFormat();
    const QTextTableCellFormat b = t->cellAt(0, 1).format().toTableCellFormat();
    const QTextTableCellFormat c = t->cellAt(1, 0).format().toTableCellFormat();
    // The row's top border, on the first row; the shared edge a|b drawn once, by b.
    QCOMPARE(a.topBorder(), 1.0);
    QCOMPARE(a.rightBorder(), 0.0);
    QCOMPARE(b.leftBorder(), 2.0);
    QCOMPARE(b.leftBorderStyle(), QTextFrameFormat::BorderStyle_Double);
    // a's thick red bottom is drawn by the cell below it; b's bottom is none.
    QCOMPARE(c.topBorder(), 3.0);
    QCOMPARE(c.topBorderBrush().color(), QColor(255, 0, 0));
    QCOMPARE(t->cellAt(1, 1).format().toTableCellFormat().topBorder(), 0.0);
    // Shading: the pattern colour, black, over white at 25 %; a pattern colour alone.
    QCOMPARE(a.background().color(), QColor(0, 0, 255));
    QCOMPARE(b.background().color(), QColor::fromRgbF(0.75, 0.75, 0.75));
    QVERIFY(!c.hasProperty(QTextFormat::BackgroundBrush));
    QCOMPARE(a.verticalAlignment(), QTextCharFormat::AlignMiddle);
    QCOMPARE(b.verticalAlignment(), QTextCharFormat::AlignBottom);
    QCOMPARE(c.verticalAlignment(), QTextCharFormat::AlignNormal);
}

void TestRtfTables::rowPlacementAndPadding()
{
    const Loaded centred("{\\rtf1\\trowd\\trqc\\trgaph108\\cellx1000\\pard\\intbl a\\cell\\row}");
    QCOMPARE(centred.tables.value(0)->format().alignment(), Qt::AlignHCenter);
    const QTextTableCellFormat cell = centred.tables.value(0)->cellAt(0, 0).format().toTableCellFormat();
    QCOMPARE(cell.leftPadding(), 108 * PixelsPerTwip);
    QCOMPARE(cell.rightPadding(), 108 * PixelsPerTwip);
    QCOMPARE(Loaded("{\\rtf1\\trowd\\trqr\\cellx1000\\pard\\intbl a\\cell\\row}").tables.value(0)->format().alignment(),
             Qt::AlignRight);
    // \trleft moves the table right, or left into the margin; the row's left padding
    // stands left of it, so a cell with that padding has its text at \trleft.
    const Loaded indented("{\\rtf1\\trowd\\trleft720\\cellx2000\\pard\\intbl a\\cell\\row}");
    QCOMPARE(indented.tables.value(0)->format().leftMargin(), 720 * PixelsPerTwip);
    QCOMPARE(indented.tables.value(0)->format().columnWidthConstraints().value(0).rawValue(), 1280 * PixelsPerTwip);
    const Loaded outdented("{\\rtf1\\trowd\\trleft-108\\trpaddl50\\trpaddfl3\\cellx2000\\pard\\intbl a\\cell\\row}");
    QCOMPARE(outdented.tables.value(0)->format().leftMargin(), (-108 - 50) * PixelsPerTwip);
    QCOMPARE(outdented.tables.value(0)->cellAt(0, 0).format().toTableCellFormat().leftPadding(), 50 * PixelsPerTwip);
}

void TestRtfTables::nested()
{
    // A cell that starts with a nested table; the nested row's definition comes
    // after its cells; \nonesttables is for readers without nesting.
    const Loaded d("{\\rtf1 before\\par\\trowd\\cellx4000\\cellx8000"
                   "\\pard\\intbl\\itap2 n1\\nestcell n2\\nestcell"
                   "{\\*\\nesttableprops\\trowd\\cellx1000\\cellx3000\\nestrow}{\\nonesttables n1 n2\\par}"
                   "\\pard\\intbl\\itap1 after nested\\cell second\\cell\\row\\pard after\\par}");
    QCOMPARE(d.tables.size(), 2);
    QTextTable *outer = d.tables[0], *inner = d.tables[1];
    QCOMPARE(outer->rows(), 1);
    QCOMPARE(outer->columns(), 2);
    QCOMPARE(inner->columns(), 2);
    QCOMPARE(inner->format().columnWidthConstraints().value(1).rawValue(), 2000 * PixelsPerTwip);
    QCOMPARE(outer->cellAt(inner->firstPosition()).column(), 0);
    QCOMPARE(cellText(inner, 0, 1), QStringLiteral("n2"));
    QCOMPARE(d.text(), QStringLiteral("before|n1|n2|after nested|second|after|"));
}

void TestRtfTables::textBoxFramed()
{
    // A text box is a bordered one-cell table of the shape's width, in front of the
    // paragraph that anchors it, its paragraphs and their formatting kept.
    const Loaded d("{\\rtf1\\pard a{\\shp{\\*\\shpinst\\shpleft1000\\shpright4000{\\sp{\\sn shapeType}{\\sv 202}}"
                   "{\\shptxt\\pard\\qc box {\\b one}\\par\\pard two\\par}}}b\\par}");
    QCOMPARE(d.tables.size(), 1);
    QTextTable *t = d.tables.first();
    QVERIFY(t->format().boolProperty(DocProperty::TextBox));
    QCOMPARE(t->rows(), 1);
    QCOMPARE(t->columns(), 1);
    QCOMPARE(t->format().columnWidthConstraints().value(0).rawValue(), 3000 * PixelsPerTwip);
    QCOMPARE(t->cellAt(0, 0).format().toTableCellFormat().topBorderStyle(), QTextFrameFormat::BorderStyle_Solid);
    const QTextBlock first = d.doc->findBlock(t->cellAt(0, 0).firstPosition());
    QCOMPARE(first.text(), QStringLiteral("box one"));
    QCOMPARE(first.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QTextCursor at(first);
    at.setPosition(first.position() + 1);
    QVERIFY(at.charFormat().fontWeight() < QFont::Bold);
    at.setPosition(first.position() + 5);
    QCOMPARE(at.charFormat().fontWeight(), int(QFont::Bold));
    QCOMPARE(d.text(), QStringLiteral("box one|two|ab|"));
}

void TestRtfTables::pictureInACell()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const Loaded d("{\\rtf1\\trowd\\cellx2000\\cellx4000\\pard\\intbl a\\cell b{\\pict\\pngblip\\picwgoal300\\pichgoal225 "
                   + png.toHex() + "}c\\cell\\row}");
    QTextTable *t = d.tables.value(0);
    QVERIFY(t);
    QCOMPARE(cellText(t, 0, 1), QStringLiteral("b\uFFFCc"));
    QTextCursor c(d.doc.get());
    c.setPosition(t->cellAt(0, 1).firstPosition() + 2);
    QCOMPARE(c.charFormat().toImageFormat().width(), 20.0);
}

void TestRtfTables::malformedStaysText_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("tables");

    QTest::newRow("cell outside a row") << QByteArray("{\\rtf1 a\\cell b\\par c}") << "a|b|c|" << 0;
    QTest::newRow("missing row") << QByteArray("{\\rtf1\\trowd\\cellx1000\\pard\\intbl a\\cell b\\cell\\pard after\\par}")
                                 << "a|b|after|" << 0;
    QTest::newRow("missing row after a good one")
        << QByteArray("{\\rtf1\\trowd\\cellx1000\\pard\\intbl a\\cell\\row\\intbl b\\cell\\pard after}") << "a|b|after|" << 1;
    QTest::newRow("row without cells") << QByteArray("{\\rtf1\\trowd\\cellx1000\\row text\\row}") << "text|" << 0;
    QTest::newRow("nested row without nested cells") << QByteArray("{\\rtf1 a\\nestrow b}") << "ab|" << 0;
    QTest::newRow("itap jumping levels")
        << QByteArray("{\\rtf1\\trowd\\cellx5000\\pard\\intbl\\itap2 Parent before\\par"
                      "\\pard\\intbl\\itap5 Child\\nestcell{\\*\\nesttableprops\\trowd\\cellx4000\\nestrow}"
                      "\\pard\\intbl\\itap2 Parent after\\nestcell{\\*\\nesttableprops\\trowd\\cellx4000\\nestrow}"
                      "\\pard\\intbl\\itap1 Outer cell\\cell\\row}")
        << "Parent before|Child|Parent after|Outer cell||" << 3;
    QTest::newRow("itap beyond any depth")
        << QByteArray("{\\rtf1\\pard\\intbl\\itap100000 deep\\nestcell\\nestrow\\pard top\\par}") << "deep|top|" << 1;
    QByteArray manyCellx = "{\\rtf1\\trowd";
    for (int i = 1; i <= 10000; ++i)
        manyCellx += "\\cellx" + QByteArray::number(i * 10);
    QTest::newRow("10,000 \\cellx") << manyCellx + "\\pard\\intbl a\\cell b\\cell\\row after}" << "a|b|after|" << 0;
    QByteArray manyCells = "{\\rtf1\\trowd\\cellx100\\pard\\intbl";
    for (int i = 0; i < 10000; ++i)
        manyCells += " c\\cell";
    QTest::newRow("10,000 cells") << manyCells + "\\row}" << QString("c|").repeated(10000) << 0;
    QTest::newRow("cell and row in a field instruction")
        << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK x\\cell\\row}{\\fldrslt link}} text}") << "link text|" << 0;
}

void TestRtfTables::malformedStaysText()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QFETCH(int, tables);
    const Loaded d(rtf);
    QCOMPARE(d.text(), text);
    QCOMPARE(d.tables.size(), tables);
}

void TestRtfTables::longTableIsOneTable()
{
    // However long, a source table is one table: rows, a merge of 61 rows in the
    // middle, and the text around them, as the file has them.
    const QByteArray def = "\\trowd\\cellx1000\\cellx2000\\cellx3000";
    const QByteArray merged = "\\trowd\\clvmgf\\cellx1000\\cellx2000\\cellx3000";
    const QByteArray covered = "\\trowd\\clvmrg\\cellx1000\\cellx2000\\cellx3000";
    const QByteArray cells = "\\pard\\intbl some text\\cell more text\\cell the last one\\cell";
    const QByteArray coveredCells = "\\pard\\intbl\\cell more text\\cell the last one\\cell";
    const Loaded d("{\\rtf1 " + rows(150, def, cells) + rows(1, merged, cells) + rows(60, covered, coveredCells)
                   + rows(150, def, cells) + "\\pard end\\par}");
    QCOMPARE(d.tables.size(), 1);
    QTextTable *t = d.tables.first();
    QCOMPARE(t->rows(), 361);
    QCOMPARE(t->cellAt(150, 0).rowSpan(), 61);
    QCOMPARE(t->cellAt(210, 0).row(), 150);
    QVERIFY(!t->format().hasProperty(DocProperty::TableContinues));
    QCOMPARE(d.text(), QStringLiteral("some text|more text|the last one|").repeated(151)
                           + QStringLiteral("more text|the last one|").repeated(60)
                           + QStringLiteral("some text|more text|the last one|").repeated(150) + "end|");
}

void TestRtfTables::plainTextOfTheEditor()
{
    // The editor's text has each cell on its own line, as the cells as paragraphs
    // would. The block a table needs in front of it where the document has no
    // paragraph (a table that opens the document or a cell) is no part of it.
    QTemporaryDir dir;
    const auto load = [&](const QByteArray &rtf) {
        const QString path = dir.filePath(QStringLiteral("t.rtf"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(rtf);
        f.close();
        RichTextBox box;
        [&] { QVERIFY(!box.loadFile(path)); }();
        return box.text();
    };
    const QByteArray table = "\\trowd\\cellx1000\\cellx2000\\pard\\intbl a1\\cell b1\\par b1bis\\cell\\row"
                             "\\pard\\intbl a2\\cell b2\\cell\\row";
    QCOMPARE(load("{\\rtf1 before\\par " + table + "\\pard after\\par}"),
             QStringLiteral("before\na1\nb1\nb1bis\na2\nb2\nafter"));
    QCOMPARE(load("{\\rtf1 " + table + "\\pard after\\par}"), QStringLiteral("a1\nb1\nb1bis\na2\nb2\nafter"));
    // A nested table opening a cell, and the document's own blank paragraph before a table.
    QCOMPARE(load("{\\rtf1\\pard\\intbl\\itap2 n1\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\nestrow}"
                  "\\pard\\intbl o1\\cell\\trowd\\cellx3000\\row\\pard after\\par}"),
             QStringLiteral("n1\no1\nafter"));
    QCOMPARE(load("{\\rtf1\\par " + table + "\\pard after\\par}"), QStringLiteral("\na1\nb1\nb1bis\na2\nb2\nafter"));
    QCOMPARE(load("{\\rtf1 before\\par " + table + "}"), QStringLiteral("before\na1\nb1\nb1bis\na2\nb2\n"));
}

void TestRtfTables::firstLineHangsIntoTheMargin_data()
{
    QTest::addColumn<QByteArray>("indents");
    QTest::addColumn<int>("left");  // twips
    QTest::addColumn<int>("first"); // twips, relative to left

    QTest::newRow("hanging inside the margin") << QByteArray("\\li720\\fi-360") << 720 << -360;
    QTest::newRow("first line outdented past the margin") << QByteArray("\\li0\\fi-360") << 0 << -360;
    QTest::newRow("partly past") << QByteArray("\\li200\\fi-360") << 200 << -360;
    QTest::newRow("no further than half an inch") << QByteArray("\\li0\\fi-3000") << 0 << -720;
    QTest::newRow("negative left indent") << QByteArray("\\li-300\\fi200") << 0 << 200;
    QTest::newRow("first line indented") << QByteArray("\\li0\\fi360") << 0 << 360;
}

void TestRtfTables::firstLineHangsIntoTheMargin()
{
    QFETCH(QByteArray, indents);
    QFETCH(int, left);
    QFETCH(int, first);
    const Loaded d("{\\rtf1\\pard" + indents + " text that is long enough to wrap onto more lines\\par}");
    const QTextBlockFormat f = d.doc->begin().blockFormat();
    QCOMPARE(f.leftMargin(), left * PixelsPerTwip);
    QCOMPARE(f.textIndent(), first * PixelsPerTwip);
}

void TestRtfTables::tabStops()
{
    // Stops keep their kind; a kind names the \tx after it; \tb is a bar, no stop.
    const Loaded d("{\\rtf1\\deftab360\\pard\\tx720\\tqr\\tx2880\\tb1000\\tqc\\tx4320\\tqdec\\tx5760 a\\tab b\\par"
                   "\\pard c\\par}");
    const QList<QTextOption::Tab> tabs = d.doc->begin().blockFormat().tabPositions();
    QCOMPARE(tabs.size(), 4);
    const QTextOption::TabType kinds[] = {QTextOption::LeftTab, QTextOption::RightTab, QTextOption::CenterTab,
                                          QTextOption::DelimiterTab};
    const int at[] = {720, 2880, 4320, 5760};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(tabs[i].type, kinds[i]);
        QCOMPARE(tabs[i].position, at[i] * PixelsPerTwip);
    }
    QVERIFY(!tabs[3].delimiter.isNull());
    QVERIFY(d.doc->begin().next().blockFormat().tabPositions().isEmpty());
    QCOMPARE(d.doc->defaultTextOption().tabStopDistance(), 360 * PixelsPerTwip);
    // Without \deftab, half an inch.
    QCOMPARE(Loaded("{\\rtf1 a\\tab b}").doc->defaultTextOption().tabStopDistance(), 720 * PixelsPerTwip);
    // A style's stops come with it.
    const Loaded styled("{\\rtf1{\\stylesheet{\\s1\\tqr\\tx3000 Right;}}\\pard\\s1 a\\tab b\\par}");
    QCOMPARE(styled.doc->begin().blockFormat().tabPositions().value(0).type, QTextOption::RightTab);
}

QTEST_MAIN(TestRtfTables)
#include "tst_rtftables.moc"
