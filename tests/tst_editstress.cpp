// A short run of the editing stress test: seeded random edits on a few corpus
// documents (a table, a nested table, a picture, lists; two of them in newspaper
// columns), each held after every step against a plain QTextDocument given the same
// edits and every few steps against a fresh layout. scripts/stress-edits.sh runs the
// same on every document, long.
#include "documentfixture.h"
#include "editstress.h"
#include "layout/documentlayout.h"

class TestEditStress final : public QObject
{
    Q_OBJECT

    DocumentFixture f;

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void seededEdits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("steps");
        QTest::newRow("nested table") << QStringLiteral("pandoc-table-nested.rtf") << 11u << 80;
        QTest::newRow("merged cells") << QStringLiteral("rtfpipe-phprtflite-merged-cells.rtf") << 12u << 80;
        QTest::newRow("picture") << QStringLiteral("rtfjs-png-bin.rtf") << 13u << 80;
        QTest::newRow("writer sample") << QStringLiteral("pandoc-writer.rtf") << 14u << 80;
        // The whole document in two newspaper columns.
        QTest::newRow("writer sample in columns") << QStringLiteral("pandoc-writer.rtf") << 15u << 80;
        QTest::newRow("table in columns") << QStringLiteral("rtfpipe-phprtflite-merged-cells.rtf") << 16u << 80;
    }
    void seededEdits()
    {
        QFETCH(QString, name);
        QFETCH(quint32, seed);
        QFETCH(int, steps);
        EditStress::Runner runner(f.form.get(), f.services);
        const int columns = QByteArray(QTest::currentDataTag()).endsWith("in columns") ? 2 : 1;
        QCOMPARE(runner.open(QStringLiteral(ORVO_RTF_CORPUS "/") + name, columns), QString());
        if (columns > 1) {
            // Laid out in them: right of the middle stands the second column.
            const QSizeF size = f.editor()->document()->documentLayout()->documentSize();
            const QRectF second = f.editor()->documentLayout()->columnRect(QPointF(size.width() * 0.75, size.height() / 2));
            QVERIFY(second.left() > size.width() / 3);
        }
        const std::vector<EditStress::Step> sequence = EditStress::generate(seed, steps);
        int failedAt = -1;
        const QString failure = runner.run(sequence, EditStress::Options(), &failedAt);
        if (!failure.isEmpty()) {
            // The steps to replay with stress_edits replay DOC FILE.
            const std::vector<EditStress::Step> upTo(sequence.begin(), sequence.begin() + failedAt + 1);
            qInfo().noquote() << "steps to replay:\n" + EditStress::format(upTo);
        }
        QCOMPARE(failure, QString());
    }

    // Sequences the long run found failing, cut down to the steps that failed.
    void shrunkSequences_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("steps");
        QTest::newRow("a colour undone") << QStringLiteral("tika-hyperlink-styles-wptools.rtf")
                                         << QStringLiteral("type 3108429258 3206220449\n"
                                                           "select 2328644639 3511216251\n"
                                                           "colour 1899880619 2680363323\n"
                                                           "undo 3499420064 911491621\n");
        QTest::newRow("Ctrl+Delete at the end of a cell in pieces")
            << QStringLiteral("rtfjs-japanese-single-double-byte.rtf")
            << QStringLiteral("scroll 2979937404 4144512734\n"
                              "click 3792803843 308116027\n"
                              "paste 686013270 3898308042\n"
                              "deleteword 1764535642 4289555207\n");
        QTest::newRow("a copy from a cell past its table") << QStringLiteral("rtfpipe-phprtflite-merged-cells.rtf")
                                                           << QStringLiteral("type 3760757012 3149728519\n"
                                                                             "click 4219517291 22203757\n"
                                                                             "enter 1622243906 4012808894\n"
                                                                             "select 1604891983 3450532669\n"
                                                                             "copy 1650368063 148092584\n");
        // A table laid out in bands: an Enter in a cell lays several of its entries,
        // and the cell took the new paragraph in with each of them.
        QTest::newRow("Enter in a cell of a table in bands")
            << QStringLiteral("striprtf-cp1251-large-tables.rtf")
            << QStringLiteral("move 1860131623 2408073773\n"
                              "resize 1939980628 1510363662\n"
                              "enter 2491243869 136277194\n");
        QTest::newRow("Enter in a cell of a table in bands, after a delete")
            << QStringLiteral("striprtf-cp1251-large-tables.rtf")
            << QStringLiteral("resize 814332642 2046253012\n"
                              "delete 2760347792 965891051\n"
                              "caret 313076635 3747521282\n"
                              "enter 2318734642 3969489842\n");
    }
    void shrunkSequences()
    {
        QFETCH(QString, name);
        QFETCH(QString, steps);
        std::vector<EditStress::Step> sequence;
        QVERIFY(EditStress::parse(steps, &sequence));
        QCOMPARE(sequence.size(), size_t(steps.count(QLatin1Char('\n'))));
        EditStress::Runner runner(f.form.get(), f.services);
        QCOMPARE(runner.open(QStringLiteral(ORVO_RTF_CORPUS "/") + name), QString());
        int failedAt = -1;
        QCOMPARE(runner.run(sequence, EditStress::Options(), &failedAt), QString());
    }
};

QTEST_MAIN(TestEditStress)
#include "tst_editstress.moc"
