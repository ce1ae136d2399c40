// Typing in tables through the main window: a cell that holds thousands of
// paragraphs, columns whose widths follow what the cells hold, a long table typed in
// while the rest of it is still being laid out. Once the layout says it is complete,
// every paragraph's place and lines, the carets and the clicks are those of a layout
// made afresh for the same document; the text is what was typed; a long table is one
// table that copies as one.
#include "documentfixture.h"
#include "layout/documentlayout.h"

#include <QAbstractTextDocumentLayout>
#include <QDeadlineTimer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextTable>

namespace {

// What the user sees of a layout: the document's size, each paragraph's rect and
// lines, and the carets at some positions with the positions their centres hit.
struct Snapshot
{
    QSizeF size;
    std::vector<QRectF> blocks;
    std::vector<std::vector<QRectF>> lines;
    std::vector<std::vector<int>> starts;
    std::vector<QRectF> carets;
    std::vector<int> hits;
};

QString describe(const QRectF &r)
{
    return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The first difference between two snapshots, or nothing.
QString difference(const Snapshot &a, const Snapshot &b, const std::vector<int> &positions)
{
    if (a.size != b.size)
        return QStringLiteral("size %1x%2 against %3x%4").arg(a.size.width()).arg(a.size.height()).arg(b.size.width()).arg(b.size.height());
    for (size_t i = 0; i < a.blocks.size(); ++i) {
        if (a.blocks[i] != b.blocks[i])
            return QStringLiteral("block %1 at %2 against %3").arg(i).arg(describe(a.blocks[i]), describe(b.blocks[i]));
        if (a.lines[i] != b.lines[i] || a.starts[i] != b.starts[i])
            return QStringLiteral("block %1: %2 lines against %3").arg(i).arg(a.lines[i].size()).arg(b.lines[i].size());
    }
    for (size_t i = 0; i < a.carets.size(); ++i) {
        if (a.carets[i] != b.carets[i] || a.hits[i] != b.hits[i])
            return QStringLiteral("caret at %1: %2 hits %3, against %4 hits %5")
                .arg(positions[i])
                .arg(describe(a.carets[i]))
                .arg(a.hits[i])
                .arg(describe(b.carets[i]))
                .arg(b.hits[i]);
    }
    return {};
}

QString cellText(QTextTable *table, int row, int column)
{
    const QTextTableCell cell = table->cellAt(row, column);
    QTextCursor c = cell.firstCursorPosition();
    c.setPosition(cell.lastPosition(), QTextCursor::KeepAnchor);
    return c.selectedText();
}

QString numberedLines(int count, const QString &pattern, QChar separator)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << pattern.arg(i);
    return lines.join(separator);
}

// A table of rows of three cells, "rNcM" in each, as a word processor writes it.
QByteArray tableRtf(int rows)
{
    QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard avant\\par\n";
    for (int r = 0; r < rows; ++r) {
        rtf += "\\trowd\\trgaph108\\cellx2000\\cellx4000\\cellx6000\\pard\\intbl ";
        for (int c = 0; c < 3; ++c)
            rtf += "r" + QByteArray::number(r) + "c" + QByteArray::number(c) + "\\cell ";
        rtf += "\\row\n";
    }
    return rtf + "\\pard apr\\'e8s\\par}";
}

} // namespace

class TestTableLayout final : public QObject
{
    Q_OBJECT
    DocumentFixture f;

    RichTextBox *editor() const { return f.editor(); }

    QTextTable *table() const
    {
        for (QTextFrame *frame : editor()->document()->rootFrame()->childFrames()) {
            if (auto *t = qobject_cast<QTextTable *>(frame))
                return t;
        }
        return nullptr;
    }

    void open(const QByteArray &rtf)
    {
        const QString path = f.dir->filePath(QStringLiteral("tableau.rtf"));
        QVERIFY(writeBytes(path, rtf));
        f.answerFileDialog(path);
        f.click("Image6");
    }

    // A table made as Qt makes one, in one edit as a paste makes it: columns whose
    // widths follow their cells.
    void insertTable(int rows, const QTextTableFormat &format)
    {
        QTextCursor c(editor()->document());
        c.beginEditBlock();
        const auto end = qScopeGuard([&] { c.endEditBlock(); });
        c.movePosition(QTextCursor::End);
        c.insertText(QStringLiteral("avant"));
        QTextTable *t = c.insertTable(rows, 2, format);
        for (int i = rows * 2 - 1; i >= 0; --i)
            t->cellAt(i / 2, i % 2).firstCursorPosition().insertText(QStringLiteral("r%1c%2").arg(i / 2).arg(i % 2));
    }

    // Clicks where the caret at position is drawn, after scrolling it into view: the
    // click puts the caret there.
    void clickTo(int position)
    {
        QTextCursor c(editor()->document());
        c.setPosition(position);
        editor()->setTextCursor(c);
        editor()->ensureCursorVisible();
        const QPoint at = editor()->cursorRect().center();
        const int x = editor()->horizontalScrollBar()->value();
        const int y = editor()->verticalScrollBar()->value();
        c.setPosition(0);
        editor()->setTextCursor(c);
        editor()->horizontalScrollBar()->setValue(x);
        editor()->verticalScrollBar()->setValue(y);
        QTest::mouseClick(editor()->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(editor()->textCursor().position(), position);
        editor()->setFocus();
    }

    Snapshot snapshot(const std::vector<int> &positions) const
    {
        Snapshot s;
        QTextDocument *doc = editor()->document();
        QAbstractTextDocumentLayout *layout = doc->documentLayout();
        s.size = layout->documentSize();
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
            s.blocks.push_back(layout->blockBoundingRect(b));
            std::vector<QRectF> lines;
            std::vector<int> starts;
            for (int i = 0; i < b.layout()->lineCount(); ++i) {
                lines.push_back(b.layout()->lineAt(i).rect());
                starts.push_back(b.layout()->lineAt(i).textStart());
            }
            s.lines.push_back(std::move(lines));
            s.starts.push_back(std::move(starts));
        }
        const QPoint scroll(editor()->horizontalScrollBar()->value(), editor()->verticalScrollBar()->value());
        for (const int p : positions) {
            QTextCursor c(doc);
            c.setPosition(p);
            const QRectF caret = QRectF(editor()->cursorRect(c)).translated(scroll);
            s.carets.push_back(caret);
            s.hits.push_back(layout->hitTest(caret.center(), Qt::FuzzyHit));
        }
        return s;
    }

    // Once the editor's layout is complete, it is what a layout made afresh for the
    // same document at the same width makes of it. (The fresh one stays.)
    void expectAsLaidOutAfresh(const std::vector<int> &around)
    {
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        QTextDocument *doc = editor()->document();
        std::vector<int> positions;
        for (const int p : around) {
            for (int q = qMax(0, p - 20); q < qMin(doc->characterCount(), p + 20); ++q)
                positions.push_back(q);
        }
        for (int p = 0; p < doc->characterCount(); p += 53)
            positions.push_back(p);
        const Snapshot edited = snapshot(positions);
        auto *fresh = new DocumentLayout(doc);
        doc->setDocumentLayout(fresh);
        for (int slices = 0; fresh->layoutPending(QDeadlineTimer(QDeadlineTimer::Forever)) && slices < 100000; ++slices) {
        }
        QVERIFY(fresh->isComplete());
        const QString diff = difference(edited, snapshot(positions), positions);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    // A cell into which thousands of short lines are pasted and typed: in a table
    // with fixed columns as the reader writes them, with columns that follow their
    // cells, and with columns of percentages in a table of set width.
    void typingInACrowdedCell_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("fixed columns") << 0;
        QTest::newRow("variable columns") << 1;
        QTest::newRow("percentage columns") << 2;
    }
    void typingInACrowdedCell()
    {
        QFETCH(int, kind);
        if (kind == 0) {
            open(tableRtf(2));
        } else {
            QTextTableFormat format;
            if (kind == 2) {
                format.setWidth(QTextLength(QTextLength::PercentageLength, 90));
                format.setColumnWidthConstraints(
                    {QTextLength(QTextLength::PercentageLength, 30), QTextLength(QTextLength::PercentageLength, 70)});
            }
            insertTable(2, format);
        }
        QTRY_VERIFY(editor()->isLaidOut());
        QTextTable *t = table();
        QVERIFY(t);
        const QString first = cellText(t, 0, 0);
        clickTo(t->cellAt(0, 0).lastPosition());
        f.services.clipboard->content = QLatin1Char('\n') + numberedLines(1500, QStringLiteral("ligne %1 mot"), QLatin1Char('\n'));
        f.click("Image5");
        QCOMPARE(editor()->textCursor().position(), t->cellAt(0, 0).lastPosition());
        f.type(QStringLiteral("abc"));
        QTest::keyClick(editor(), Qt::Key_Return);
        f.type(QStringLiteral("def"));
        // In the middle of the cell: a word wider than any line so far, typed while
        // the columns are settled and the cell laid out again; two paragraphs joined.
        const int middle = editor()->document()->findBlockByNumber(t->cellAt(0, 0).firstCursorPosition().blockNumber() + 700).position();
        clickTo(middle);
        f.type(QStringLiteral("anticonstitutionnellement-et-bien-plus"));
        QTest::keyClick(editor(), Qt::Key_Backspace);
        clickTo(middle);
        QTest::keyClick(editor(), Qt::Key_Backspace);
        QCoreApplication::processEvents();
        clickTo(t->cellAt(1, 1).lastPosition());
        f.type(QStringLiteral(" fin"));
        QTest::keyClick(editor(), Qt::Key_Z, Qt::ControlModifier); // " fin" goes
        QStringList paragraphs = {first};
        for (int i = 0; i < 1500; ++i)
            paragraphs << QStringLiteral("ligne %1 mot").arg(i);
        paragraphs.last() += QStringLiteral("abc");
        paragraphs << QStringLiteral("def");
        paragraphs[699] += QStringLiteral("anticonstitutionnellement-et-bien-plu") + paragraphs[700];
        paragraphs.removeAt(700);
        const QString expected = paragraphs.join(QChar::ParagraphSeparator);
        QCOMPARE(cellText(t, 0, 0), expected);
        QCOMPARE(cellText(t, 1, 1), QStringLiteral("r1c1"));
        expectAsLaidOutAfresh({middle, t->cellAt(0, 0).lastPosition(), t->cellAt(1, 1).lastPosition()});
    }

    // A long table typed in here and there right after it opens, while the rest of it
    // is laid out in the background (and, for columns that follow their cells, while
    // their widths are settled and the table laid out again at them).
    void typingInALongTableWhileItIsLaidOut_data()
    {
        QTest::addColumn<bool>("fixed");
        QTest::newRow("fixed columns") << true;
        QTest::newRow("variable columns") << false;
    }
    void typingInALongTableWhileItIsLaidOut()
    {
        QFETCH(bool, fixed);
        const int rows = fixed ? 1200 : 600;
        if (fixed)
            open(tableRtf(rows));
        else
            insertTable(rows, QTextTableFormat());
        QTextTable *t = table();
        QVERIFY(t);
        QVERIFY(!editor()->isLaidOut());
        std::vector<int> edited;
        auto typeAt = [&](int row, int column, const QString &text, bool enter) {
            clickTo(t->cellAt(row, column).lastPosition());
            f.type(text);
            if (enter) {
                QTest::keyClick(editor(), Qt::Key_Return);
                f.type(QStringLiteral("suite"));
            }
            edited.push_back(t->cellAt(row, column).lastPosition());
            QTest::qWait(10); // a slice or two of the background
        };
        typeAt(rows / 2, 1, QStringLiteral(" milieu"), true);
        typeAt(rows - 2, 0, QStringLiteral(" une-cellule-bien-plus-large-que-les-autres"), false);
        typeAt(rows / 2 + 1, 0, QStringLiteral(" encore"), true);
        typeAt(3, 1, QStringLiteral(" haut"), false);
        QTest::keyClick(editor(), Qt::Key_Backspace);
        QCOMPARE(cellText(t, rows / 2, 1), QStringLiteral("r%1c1 milieu\u2029suite").arg(rows / 2));
        QCOMPARE(cellText(t, rows - 2, 0), QStringLiteral("r%1c0 une-cellule-bien-plus-large-que-les-autres").arg(rows - 2));
        QCOMPARE(cellText(t, rows / 2 + 1, 0), QStringLiteral("r%1c0 encore\u2029suite").arg(rows / 2 + 1));
        QCOMPARE(cellText(t, 3, 1), QStringLiteral("r3c1 hau"));
        expectAsLaidOutAfresh(edited);
    }

    // However long, one table in the file is one table in the editor: its text has no
    // line the file does not have, and a copy across what used to be the seam between
    // parts of a long table holds the rows, one cell a line.
    void aLongTableIsOneTableAndCopiesAsOne()
    {
        open(tableRtf(100));
        QCOMPARE(editor()->document()->rootFrame()->childFrames().size(), 1);
        QCOMPARE(table()->rows(), 100);
        QStringList cells;
        for (int r = 0; r < 100; ++r) {
            for (int c = 0; c < 3; ++c)
                cells << QStringLiteral("r%1c%2").arg(r).arg(c);
        }
        QCOMPARE(editor()->text(), QStringLiteral("avant\n") + cells.join(QLatin1Char('\n')) + QStringLiteral("\naprès"));
        const QString text = editor()->text();
        const int start = int(text.indexOf(QStringLiteral("r30c0")));
        const int end = int(text.indexOf(QStringLiteral("r70c2"))) + 5;
        editor()->setSelStart(start);
        editor()->setSelLength(end - start);
        f.click("Image10");
        QCOMPARE(f.services.clipboard->content, cells.mid(90, 123).join(QLatin1Char('\n')));
    }

    // The paragraphs beside a table keep their spacing, as word processors lay them
    // out: the space after the one above, the space before the one below (both stood
    // against the table's edges); in the body and in a section's columns.
    void spacingBesideATable_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::newRow("body") << QByteArray();
        QTest::newRow("columns") << QByteArray("\\sectd\\cols2\\colsx440");
    }
    void spacingBesideATable()
    {
        QFETCH(QByteArray, section);
        qreal cells[3] = {0, 0, 0};
        qreal below[3] = {0, 0, 0};
        const QByteArray spacing[3][2] = {{"", ""}, {"\\sa400", ""}, {"", "\\sb400"}};
        for (int i = 0; i < 3; ++i) {
            open("{\\rtf1\\ansi" + section + "\\pard" + spacing[i][0] + " avant\\par\\trowd\\cellx2000\\pard\\intbl cellule\\cell\\row"
                 "\\pard" + spacing[i][1] + " fin\\par}");
            QTRY_VERIFY(editor()->isLaidOut());
            QTextDocument *doc = editor()->document();
            const QTextBlock cell = doc->find(QStringLiteral("cellule")).block();
            const QTextBlock after = doc->find(QStringLiteral("fin")).block();
            QVERIFY(cell.isValid() && after.isValid());
            cells[i] = doc->documentLayout()->blockBoundingRect(cell).top();
            below[i] = doc->documentLayout()->blockBoundingRect(after).top();
        }
        QCOMPARE(qRound(cells[1] - cells[0]), 27); // 20 pt
        QCOMPARE(qRound(below[1] - below[0]), 27);
        QCOMPARE(qRound(cells[2] - cells[0]), 0);
        QCOMPARE(qRound(below[2] - below[0]), 27);
    }
};

QTEST_MAIN(TestTableLayout)
#include "tst_tablelayout.moc"
