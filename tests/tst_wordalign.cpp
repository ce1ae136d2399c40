// How the fidelity benchmark pairs LibreOffice's words with the editor's: words only
// one side shows are left out without moving the pairs after them, and the words
// are compared as both sides spell them.
#include "bench/fidelity/fidelitymeasure.h"
#include "bench/fidelity/wordalign.h"

#include <QtTest>

#include <vector>

class TestWordAlign final : public QObject
{
    Q_OBJECT

    static std::vector<QString> words(const QString &text)
    {
        std::vector<QString> out;
        for (const QString &w : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            out.push_back(w);
        return out;
    }

    static QString pairs(const QString &a, const QString &b)
    {
        QStringList out;
        for (const auto &[i, j] : WordAlign::align(words(a), words(b)))
            out << QStringLiteral("%1-%2").arg(i).arg(j);
        return out.join(QLatin1Char(' '));
    }

private slots:
    void pairs_data()
    {
        QTest::addColumn<QString>("lo");
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QString>("expected");
        QTest::newRow("same") << "a b c" << "a b c" << "0-0 1-1 2-2";
        QTest::newRow("list labels on one side") << "1. one 2. two" << "one two" << "1-0 3-1";
        QTest::newRow("a word dropped") << "a b c d" << "a c d" << "0-0 2-1 3-2";
        QTest::newRow("a word added") << "a c d" << "a b c d" << "0-0 1-2 2-3";
        QTest::newRow("a word changed") << "a b c" << "a x c" << "0-0 2-2";
        QTest::newRow("repeated words") << "x y x y x" << "x y x" << "0-0 1-1 2-2";
        QTest::newRow("nothing in common") << "a b" << "c d" << "";
        QTest::newRow("one side empty") << "" << "a b" << "";
    }

    void pairs()
    {
        QFETCH(QString, lo);
        QFETCH(QString, editor);
        QFETCH(QString, expected);
        QCOMPARE(pairs(lo, editor), expected);
    }

    // Too long to compare word by word: held by the words that occur once, a page
    // missing on one side costs only its own words.
    void longDocumentWithAPageMissing()
    {
        std::vector<QString> lo, editor;
        for (int i = 0; i < 6000; ++i) {
            const QString w = i % 3 ? QStringLiteral("the") : QStringLiteral("w%1").arg(i);
            lo.push_back(w);
            if (i < 2000 || i >= 2300)
                editor.push_back(w);
        }
        const auto result = WordAlign::align(lo, editor);
        QCOMPARE(result.size(), size_t(5700));
        for (size_t k = 0; k < result.size(); ++k) {
            QCOMPARE(lo[size_t(result[k].first)], editor[size_t(result[k].second)]);
            if (k > 0)
                QVERIFY(result[k].first > result[k - 1].first && result[k].second > result[k - 1].second);
        }
    }

    void normalise_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ligature") << QStringLiteral("\uFB01ne") << "fine";
        QTest::newRow("small capitals shown as capitals") << "ATTACKS" << "attacks";
        QTest::newRow("soft hyphen") << QStringLiteral("hy\u00ADphen") << "hyphen";
        QTest::newRow("object mark") << QStringLiteral("\uFFFC") << "";
    }

    void normalise()
    {
        QFETCH(QString, word);
        QFETCH(QString, expected);
        QCOMPARE(WordAlign::normalise(word), expected);
    }

    // A word of LibreOffice's page that mixes ideographs with other characters shares
    // out its box by their widths: ideographs an em, the colon as wide as in DejaVu
    // Sans (four ideographs and a colon of 10 points, 57.8 px), not a fifth each.
    void mixedWordsShareTheirBoxByWidths()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("reference.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("document one\npage 800 1100 96 96 600\ny 0 17\n0 57.8 基本信息:\n")
                       .toUtf8());
        file.close();
        Fidelity::Reference reference;
        QVERIFY(reference.read(path));
        const Fidelity::RefDocument *doc = reference.find(QStringLiteral("one"));
        QVERIFY(doc);
        QCOMPARE(doc->tokens.size(), size_t(5));
        QVERIFY2(qAbs(doc->tokens[1].x0 - 13.33) < 0.3, qPrintable(QString::number(doc->tokens[1].x0)));
        QVERIFY2(qAbs(doc->tokens[4].x0 - 53.33) < 0.3, qPrintable(QString::number(doc->tokens[4].x0)));
    }
};

QTEST_MAIN(TestWordAlign)
#include "tst_wordalign.moc"
