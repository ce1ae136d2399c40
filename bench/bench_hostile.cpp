// Hostile RTF: inputs built to make a reader do quadratic work or hold memory out of
// proportion to the file. For each generator and a few sizes, a child process per run
// (so peaks do not mix) reads the input into a fresh QTextDocument and reports the
// time and its peak resident memory. Beside it, in turns with it, stands stock Qt:
// the same bytes given to QTextDocument::setPlainText, what holding a file of that
// size costs at least. Medians of the runs are printed.
//
// usage: bench_hostile [runs] [largest-fraction]   (QT_QPA_PLATFORM=offscreen)
//   runs: runs per case (default 3); largest-fraction: 1 for the full sizes (default),
//   2 for half of them, and so on.

#include "bench/benchfigures.h"
#include "layout/documentlayout.h"
#include "rtf/rtfreader.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using BenchFigures::median;
using BenchFigures::statusMegabytes;

// 10 000 open groups, then \deff0 n times: each once rewrote every open group.
QByteArray deepDefaultFonts(qsizetype n)
{
    const int depth = 10000;
    return "{\\rtf1{\\fonttbl{\\f0 Alpha;}}" + QByteArray(depth, '{') + QByteArray("\\deff0").repeated(n) + " x"
        + QByteArray(depth, '}') + "}";
}

// n fonts, each with a code page number of its own, then about 2.5 MB of text that
// goes through them in turn: each once opened a converter, and each run searched them.
QByteArray codePageFonts(qsizetype n)
{
    QByteArray rtf = "{\\rtf1{\\fonttbl";
    for (qsizetype i = 0; i < n; ++i)
        rtf += "{\\f" + QByteArray::number(i) + "\\cpg" + QByteArray::number(i + 1) + " F;}";
    rtf += "}";
    const qsizetype end = rtf.size() + 2500000;
    for (qsizetype i = 0; rtf.size() < end; i = (i + 1) % n)
        rtf += "{\\f" + QByteArray::number(i) + " \\'e9}";
    return rtf + "}";
}

// One hyperlink field with a 40 000-character instruction written as \u, and n
// results: each once copied the target again.
QByteArray repeatedResults(qsizetype n)
{
    return "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"" + QByteArray("\\u120?").repeated(40000) + "\"}"
        + QByteArray("{\\fldrslt x}").repeated(n) + "}}";
}

// One table of n rows of three cells: a source table is one table, however long.
QByteArray longTable(qsizetype n)
{
    return "{\\rtf1 " + QByteArray("\\trowd\\cellx1000\\cellx2000\\cellx3000\\pard\\intbl a\\cell b\\cell c\\cell\\row\n").repeated(n) + "}";
}

// Rows whose cells end at different places, so that on their grid every row has a
// cell spanning two columns: each merge moves every cell after it in the table's
// list, which would make one table cost n squared.
QByteArray mergedRows(qsizetype n)
{
    const QByteArray pair = "\\trowd\\cellx1000\\cellx3000\\pard\\intbl a\\cell b\\cell\\row\n"
                            "\\trowd\\cellx2000\\cellx3000\\pard\\intbl c\\cell d\\cell\\row\n";
    return "{\\rtf1 " + pair.repeated(n / 2) + "}";
}

// n text boxes, each in the one before: each box a table of its own, nested as deep
// as tables may be. Laid out too: each level of nesting once doubled the work.
QByteArray nestedTextBoxes(qsizetype n)
{
    QByteArray body = "x";
    for (qsizetype i = 0; i < n; ++i)
        body = "{\\shp{\\*\\shpinst{\\shptxt " + body + "\\par}}}z\\par\n";
    return "{\\rtf1\\ansi " + body + "fin\\par}";
}

struct Generator
{
    const char *name;
    const char *unit;
    QByteArray (*make)(qsizetype);
    qsizetype full;
    bool laidOut = false; // the time includes laying the document out at 600 px
};

const Generator generators[] = {
    {"deff", "\\deff in 10 000 groups", deepDefaultFonts, 200000},
    {"cpg", "\\cpg fonts", codePageFonts, 65535},
    {"fldrslt", "\\fldrslt", repeatedResults, 20000},
    {"rows", "rows of one table", longTable, 80000},
    {"merged", "rows with a merged cell", mergedRows, 80000},
    {"boxes", "nested text boxes, laid out", nestedTextBoxes, 300, true},
};

int runChild(const QString &name, qsizetype n, bool stock)
{
    for (const Generator &g : generators) {
        if (name != QLatin1String(g.name))
            continue;
        const QByteArray input = g.make(n);
        const double before = statusMegabytes("VmRSS:");
        QElapsedTimer t;
        t.start();
        qsizetype characters = 0;
        {
            QTextDocument doc;
            if (stock) {
                doc.setPlainText(QString::fromLatin1(input));
            } else if (const Failure f = Rtf::read(input, &doc)) {
                fprintf(stderr, "read failed: %s\n", qPrintable(f.description));
                return 1;
            }
            if (g.laidOut && !stock) {
                doc.setPageSize(QSizeF(600, -1));
                auto *layout = new DocumentLayout(&doc);
                doc.setDocumentLayout(layout);
                while (layout->layoutPending(QDeadlineTimer(QDeadlineTimer::Forever))) {
                }
            }
            characters = doc.characterCount();
        }
        const double ms = double(t.nsecsElapsed()) / 1e6;
        printf("%.3f %.1f %.1f %.3f %lld\n", ms, statusMegabytes("VmHWM:"), before, double(input.size()) / 1e6,
               qlonglong(characters));
        return 0;
    }
    return 1;
}

struct Figures
{
    std::vector<double> ms, peak, added;
    double inputMb = 0;
};

bool runOnce(const Generator &g, qsizetype n, bool stock, Figures &into)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), QLatin1String(g.name), QString::number(n), stock ? "qt" : "orvo"});
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        fprintf(stderr, "%s %lld: child failed (%s)\n", g.name, qlonglong(n),
                child.exitStatus() == QProcess::CrashExit ? "crashed" : "exit code");
        return false;
    }
    const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
    into.ms.push_back(f.value(0).toDouble());
    into.peak.push_back(f.value(1).toDouble());
    into.added.push_back(f.value(1).toDouble() - f.value(2).toDouble());
    into.inputMb = f.value(3).toDouble();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args.at(1) == QLatin1String("--child"))
        return runChild(args.at(2), args.at(3).toLongLong(), args.at(4) == QLatin1String("qt"));

    const int runs = args.size() >= 2 ? qMax(1, args.at(1).toInt()) : 3;
    const int fraction = args.size() >= 3 ? qMax(1, args.at(2).toInt()) : 1;
    printf("%-8s %8s %-24s %8s | %10s %9s %9s | %10s %9s   (medians of %d runs; peak = VmHWM, "
           "added = VmHWM - VmRSS before the read)\n",
           "input", "count", "", "MB", "Orvo ms", "peak MB", "added MB", "stock ms", "peak MB", runs);
    int status = 0;
    for (const Generator &g : generators) {
        for (const int part : {4, 2, 1}) {
            const qsizetype n = g.full / (part * fraction);
            Figures orvo, stock;
            bool ok = true;
            for (int i = 0; i < runs && ok; ++i)
                ok = runOnce(g, n, false, orvo) && runOnce(g, n, true, stock);
            if (!ok) {
                status = 1;
                continue;
            }
            printf("%-8s %8lld %-24s %8.2f | %10.1f %9.1f %9.1f | %10.1f %9.1f\n", g.name, qlonglong(n), g.unit,
                   orvo.inputMb, median(orvo.ms), median(orvo.peak), median(orvo.added), median(stock.ms),
                   median(stock.peak));
            fflush(stdout);
        }
    }
    return status;
}
