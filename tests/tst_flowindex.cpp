// The layout's index of paragraph and table heights, against a plain list doing the
// same: finding by y and by block number, sums, what is pending, after any series of
// replacements and updates, in documents of many chunks.
#include "layout/flowindex.h"

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

class TestFlowIndex final : public QObject
{
    Q_OBJECT

    FlowIndex index;
    std::vector<FlowIndex::Entry> model;
    QRandomGenerator random{20240607};

    FlowIndex::Entry randomEntry()
    {
        FlowIndex::Entry e;
        e.content = float(random.bounded(40));
        e.gap = float(random.bounded(3));
        e.blocks = 1 + int(random.bounded(3));
        e.state = FlowIndex::State(random.bounded(4));
        e.width = float(random.bounded(500));
        return e;
    }

    void check()
    {
        QCOMPARE(index.size(), int(model.size()));
        double top = 0;
        int blocks = 0;
        int pending = 0;
        for (int i = 0; i < int(model.size()); ++i) {
            const FlowIndex::Entry &e = model[size_t(i)];
            const FlowIndex::Position p = index.locate(i);
            QCOMPARE(p.top, top);
            QCOMPARE(p.firstBlock, blocks);
            // Found by a y inside it and by each of its blocks.
            if (e.height() > 0) {
                QCOMPARE(index.atY(top + e.height() / 2).index, i);
            }
            QCOMPARE(index.atBlock(blocks + e.blocks - 1).index, i);
            top += e.height();
            blocks += e.blocks;
            pending += FlowIndex::isPending(e.state);
        }
        QCOMPARE(index.totalHeight(), top);
        QCOMPARE(index.totalBlocks(), blocks);
        QCOMPARE(index.pendingCount(), pending);
        int expected = -1;
        for (int i = 0; i < int(model.size()) && expected < 0; ++i) {
            if (FlowIndex::isPending(model[size_t(i)].state))
                expected = i;
        }
        QCOMPARE(index.nextPending(0), expected);
    }

private slots:
    void agreesWithAPlainList_data()
    {
        QTest::addColumn<int>("entries");
        QTest::newRow("a few") << 5;
        QTest::newRow("one chunk") << 400;
        QTest::newRow("many chunks") << 5000;
    }
    void agreesWithAPlainList()
    {
        QFETCH(int, entries);
        index = FlowIndex();
        model.clear();
        std::vector<FlowIndex::Entry> initial;
        for (int i = 0; i < entries; ++i)
            initial.push_back(randomEntry());
        index.replace(0, 0, initial);
        model = initial;
        check();
        for (int round = 0; round < 60; ++round) {
            const int size = int(model.size());
            if (round % 3 == 0 && size > 0) {
                // An entry laid out or estimated anew.
                const int i = int(random.bounded(size));
                model[size_t(i)] = randomEntry();
                index.set(i, model[size_t(i)]);
            } else {
                // A run replaced by another, longer or shorter, as an edit does.
                const int first = size ? int(random.bounded(size + 1)) : 0;
                const int count = int(random.bounded(qMin(size - first, 1500) + 1));
                std::vector<FlowIndex::Entry> fresh;
                const int n = int(random.bounded(round % 2 ? 1500 : 20));
                for (int k = 0; k < n; ++k)
                    fresh.push_back(randomEntry());
                index.replace(first, count, fresh);
                model.erase(model.begin() + first, model.begin() + first + count);
                model.insert(model.begin() + first, fresh.begin(), fresh.end());
            }
            check();
        }
        index.markAllStale();
        for (FlowIndex::Entry &e : model) {
            if (e.state != FlowIndex::Estimated)
                e.state = FlowIndex::Stale;
        }
        check();
    }
};

QTEST_MAIN(TestFlowIndex)
#include "tst_flowindex.moc"
