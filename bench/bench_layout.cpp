// The editor's layout on large and extreme documents, opened in the real main window
// with the open dialog scripted, beside a stock QTextEdit holding the same document
// (read by the same reader) in the same run.
//
// For the 5 MB and 20 MB corpus documents it prints, as medians of runs that
// alternate the two editors, each run in a child process of its own:
//   - the first paint after the click on the open image, and the longest stall of the
//     event loop from then until the whole document is laid out, beside the longest
//     time the UI thread was busy between two ticks (its own processor time): a 1 ms
//     timer ticks from before the click, counted from the end of the first paint, the
//     application's own event loop turning, as a probe outside the program sees it;
//   - whether the end is reachable after a key typed 50 ms after the first paint;
//   - Ctrl+End and a find of a marker at the end, 100 ms after the first paint;
//   - a key, Enter, Backspace and a 100 KB paste at the start, middle and end once
//     laid out, each until the editor has painted;
//   - peak memory after the layout and after 100 edits.
// Then, every run printed: the same stalls; Ctrl+End 50 ms after the first paint until
// a paint shows the last line whole; and the paint time of each PageDown and each
// wheel step at ten places through the 5 MB document and the table report of
// bench_rtfload, from 50 ms after the first paint on (median, 90th and 99th
// percentile and worst of each run, wall and UI-thread processor time).
// For the extreme documents (700,000 lines, 1,000,000 characters without a blank, a
// 150 MB paragraph) it prints the time until the window answers after the click,
// the longest stall in the 5 s after, and peak memory; a child that crashes or
// stops answering is reported as such.
//
// usage: bench_layout [runs] [large|smooth|extreme]   (QT_QPA_PLATFORM=offscreen works)

#include "bench/reportdocument.h"
#include "layoutchild.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {

using LayoutBench::Marker;
using LayoutBench::median;

// The result of one child: its values, or why it has none.
struct Outcome
{
    std::map<QString, double> values;
    QString failure;
};

Outcome runOne(bool orvo, const QString &path, const QString &scenario, int timeoutMs)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), orvo ? QStringLiteral("orvo") : QStringLiteral("qt"), path, scenario});
    Outcome o;
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished();
        o.failure = QStringLiteral("no answer within %1 s").arg(timeoutMs / 1000);
        return o;
    }
    if (child.exitStatus() == QProcess::CrashExit) {
        o.failure = QStringLiteral("crashed");
        return o;
    }
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    for (const QByteArray &field : fields) {
        const int eq = field.indexOf('=');
        if (eq > 0)
            o.values[QString::fromLatin1(field.left(eq))] = field.mid(eq + 1).toDouble();
    }
    return o;
}

// Medians of several runs, the two editors taking turns.
struct Both
{
    std::map<QString, std::vector<double>> orvo, qt;
    QString orvoFailure, qtFailure;
};

Both runPair(const QString &path, const QString &scenario, int runs, int timeoutMs)
{
    Both b;
    for (int i = 0; i < runs; ++i) {
        for (bool orvo : {true, false}) {
            const Outcome o = runOne(orvo, path, scenario, timeoutMs);
            if (!o.failure.isEmpty())
                (orvo ? b.orvoFailure : b.qtFailure) = o.failure;
            for (const auto &[k, v] : o.values)
                (orvo ? b.orvo : b.qt)[k].push_back(v);
        }
    }
    return b;
}

void row(const Both &b, const QString &key, const char *what, const char *unit, const char *goal = "")
{
    auto value = [&](const std::map<QString, std::vector<double>> &m, const QString &failure) {
        const auto it = m.find(key);
        if (it == m.end())
            return failure.isEmpty() ? QStringLiteral("-") : failure;
        return QString::number(median(it->second), 'f', 1) + QLatin1Char(' ') + QLatin1String(unit);
    };
    std::printf("  %-44s orvo %16s  stock QTextEdit %22s  %s\n", what, qPrintable(value(b.orvo, b.orvoFailure)),
                qPrintable(value(b.qt, b.qtFailure)), goal);
    std::fflush(stdout);
}

// Every run's figure, with the UI thread's processor time beside it where there is one.
void everyRun(const Both &b, const QString &key, const QString &cpuKey, const char *what, const char *goal = "",
              const char *unit = " ms")
{
    auto runs = [&](const std::map<QString, std::vector<double>> &m, const QString &failure) {
        const auto it = m.find(key);
        if (it == m.end())
            return failure.isEmpty() ? QStringLiteral("-") : failure;
        const auto cpu = m.find(cpuKey);
        QStringList out;
        for (size_t i = 0; i < it->second.size(); ++i) {
            QString one = QString::number(it->second[i], 'f', 1);
            if (cpu != m.end() && i < cpu->second.size())
                one += QStringLiteral(" (cpu %1)").arg(cpu->second[i], 0, 'f', 1);
            out.append(one);
        }
        return out.join(QStringLiteral(", ")) + QLatin1String(unit);
    };
    std::printf("  %-44s %s\n", what, goal);
    std::printf("    orvo            %s\n", qPrintable(runs(b.orvo, b.orvoFailure)));
    std::printf("    stock QTextEdit %s\n", qPrintable(runs(b.qt, b.qtFailure)));
    std::fflush(stdout);
}

QString yesNo(const Both &b, bool orvo, const QString &key)
{
    const auto &m = orvo ? b.orvo : b.qt;
    const auto it = m.find(key);
    if (it == m.end())
        return orvo ? b.orvoFailure : b.qtFailure;
    int yes = 0;
    for (double v : it->second)
        yes += v > 0.5;
    return QStringLiteral("%1 of %2 runs").arg(yes).arg(it->second.size());
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The corpus document with the find marker before its closing brace.
bool markedCopy(const QByteArray &rtf, const QString &path)
{
    if (!rtf.endsWith('}'))
        return false;
    return writeFile(path, rtf.left(rtf.size() - 1) + "\\par " + Marker.toLatin1() + "}");
}

QByteArray twentyMegabytes(const QByteArray &five)
{
    const qsizetype start = five.indexOf("\\pard\\plain");
    const QByteArray body = five.mid(start, five.size() - 1 - start);
    QByteArray out = five.left(start);
    for (int i = 0; i < 4; ++i)
        out += body;
    return out + '}';
}

// The 5 MB and 20 MB documents: medians of the runs.
void large(const QString &doc5, const QString &doc20, int runs)
{
    for (const QString &path : {doc5, doc20}) {
        const double mb = QFileInfo(path).size() / (1024.0 * 1024.0);
        const bool big = mb > 10;
        std::printf("%s (%.1f MB)\n", qPrintable(QFileInfo(path).fileName()), mb);
        const Both open = runPair(path, QStringLiteral("open"), runs, 300000);
        row(open, QStringLiteral("paint"), "first paint after the click", "ms");
        row(open, QStringLiteral("laidout"), "whole document laid out after that", "ms");
        row(open, QStringLiteral("stall"), "longest stall until laid out", "ms", "goal <= 16 ms");
        row(open, QStringLiteral("busy"), "  longest UI-thread busy time between ticks", "ms", "goal <= 16 ms");
        row(open, QStringLiteral("peak"), "peak memory once laid out", "MB");
        const Both key = runPair(path, QStringLiteral("key50"), runs, 300000);
        std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "end reachable after a key at 50 ms",
                    qPrintable(yesNo(key, true, QStringLiteral("reachable"))),
                    qPrintable(yesNo(key, false, QStringLiteral("reachable"))));
        row(key, QStringLiteral("unlaid"), "  paragraphs never laid out", "");
        const Both jump = runPair(path, QStringLiteral("jump"), runs, 300000);
        row(jump, QStringLiteral("ctrlend"), "Ctrl+End 100 ms after the first paint", "ms",
            big ? "" : "goal <= 100 ms");
        std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "  caret at the end and in view",
                    qPrintable(yesNo(jump, true, QStringLiteral("atend"))),
                    qPrintable(yesNo(jump, false, QStringLiteral("atend"))));
        const Both find = runPair(path, QStringLiteral("find"), runs, 300000);
        row(find, QStringLiteral("find"), "find at the end 100 ms after the first paint", "ms");
        std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "  found and in view",
                    qPrintable(yesNo(find, true, QStringLiteral("found"))),
                    qPrintable(yesNo(find, false, QStringLiteral("found"))));
        const Both edits = runPair(path, QStringLiteral("edits"), runs, 600000);
        for (const char *place : {"start", "middle", "end"}) {
            const QString p = QString::fromLatin1(place);
            row(edits, QStringLiteral("key_") + p, qPrintable(QStringLiteral("key at the ") + p), "ms",
                big ? "goal <= 16 ms" : "");
            row(edits, QStringLiteral("enter_") + p, qPrintable(QStringLiteral("Enter at the ") + p), "ms",
                big ? "goal <= 16 ms" : "");
            row(edits, QStringLiteral("backspace_") + p, qPrintable(QStringLiteral("Backspace at the ") + p),
                "ms", big ? "goal <= 16 ms" : "");
            row(edits, QStringLiteral("paste_") + p, qPrintable(QStringLiteral("100 KB paste at the ") + p),
                "ms", big ? "goal <= 30 ms" : "");
        }
        const QByteArray limit = QByteArray::number(35 + 6 * mb, 'f', 1);
        row(edits, QStringLiteral("peaklayout"), "peak memory after the layout", "MB");
        row(edits, QStringLiteral("peakedits"), "peak memory after 100 edits", "MB",
            big ? "" : qPrintable(QByteArray("goal <= ") + limit + " MB"));
    }
}

// Every run: the stalls, Ctrl+End, and the steps of PageDown and of the wheel through
// the 5 MB document and the table report. False when the report cannot be written.
bool smooth(const QString &dir, const QString &doc5, const QString &doc20, int runs)
{
    if (!makeReport(dir, 5 * 1024 * 1024)) {
        std::fprintf(stderr, "cannot write the report\n");
        return false;
    }
    const QString report = dir + QStringLiteral("/report-tables.rtf");
    std::printf("smoothness, every run (wall ms, the UI thread's processor time in brackets); the machine may be "
                "loaded by other programs, the processor time much less so\n");
    for (const QString &path : {doc5, doc20}) {
        std::printf("%s\n", qPrintable(QFileInfo(path).fileName()));
        const Both open = runPair(path, QStringLiteral("open"), runs, 300000);
        everyRun(open, QStringLiteral("paint"), QStringLiteral("paintcpu"), "first paint after the click");
        everyRun(open, QStringLiteral("stall"), QString(), "longest stall from the first paint until laid out",
                 "goal <= 16 ms");
        everyRun(open, QStringLiteral("busy"), QString(), "longest UI-thread busy time between two ticks",
                 "goal <= 16 ms");
        const Both end = runPair(path, QStringLiteral("end50"), runs, 300000);
        everyRun(end, QStringLiteral("endshown"), QStringLiteral("endshowncpu"),
                 "Ctrl+End at 50 ms until the last line is painted whole", "goal <= 100 ms");
        std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "  shown, caret at the end",
                    qPrintable(yesNo(end, true, QStringLiteral("shown"))),
                    qPrintable(yesNo(end, false, QStringLiteral("shown"))));
        std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "  layout still pending then",
                    qPrintable(yesNo(end, true, QStringLiteral("pending"))),
                    qPrintable(yesNo(end, false, QStringLiteral("pending"))));
    }
    for (const QString &path : {doc5, report}) {
        std::printf("%s (%.1f MB): 10 PageDowns and 10 wheel steps at each of ten places, from 50 ms after the "
                    "first paint, until painted\n",
                    qPrintable(QFileInfo(path).fileName()), QFileInfo(path).size() / (1024.0 * 1024.0));
        const Both scroll = runPair(path, QStringLiteral("scroll"), runs, 600000);
        for (const char *step : {"pagedown", "wheel"}) {
            const QString k = QString::fromLatin1(step);
            for (const char *p : {"p50", "p90", "p99", "max"}) {
                const QString what = QStringLiteral("%1 %2").arg(k, QString::fromLatin1(p));
                everyRun(scroll, k + QLatin1Char('_') + QLatin1String(p), k + QStringLiteral("cpu_") + QLatin1String(p),
                         qPrintable(what), std::strcmp(p, "max") ? "" : "goal <= 16 ms");
            }
        }
        everyRun(scroll, QStringLiteral("pendingsteps"), QString(), "steps taken while the layout was pending", "", "");
        everyRun(scroll, QStringLiteral("unpainted"), QString(), "steps that painted nothing (2 s each)", "", "");
    }
    return true;
}

// The extreme documents, one run each.
void extreme(const QString &dir)
{
    const QString lines = dir + QStringLiteral("/lines-700k.txt");
    const QString noBlank = dir + QStringLiteral("/noblank-1m.txt");
    const QString huge = dir + QStringLiteral("/paragraph-150mb.rtf");
    writeFile(lines, QByteArray("x\n").repeated(700000));
    writeFile(noBlank, QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(1000000 / 26 + 1).left(1000000));
    {
        QFile f(huge);
        f.open(QIODevice::WriteOnly);
        f.write("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24 ");
        const QByteArray words = QByteArray("Lorem ipsum dolor sit amet, consectetur adipiscing elit. ").repeated(1 << 14);
        for (qint64 written = 0; written < 150ll * 1024 * 1024; written += words.size())
            f.write(words);
        f.write("}");
    }
    std::printf("extreme documents: time until the window answers after the click, longest stall in the "
                "5 s after, Ctrl+End then, peak memory (one run each)\n");
    for (const QString &path : {lines, noBlank, huge}) {
        std::printf("%s\n", qPrintable(QFileInfo(path).fileName()));
        const Both b = runPair(path, QStringLiteral("answer"), 1, 180000);
        row(b, QStringLiteral("answer"), "window answers after", "ms");
        row(b, QStringLiteral("stall5s"), "longest stall in the 5 s after", "ms");
        row(b, QStringLiteral("ctrlend"), "Ctrl+End", "ms");
        std::printf("  %-44s orvo %s   stock QTextEdit %s\n", "  caret at the end and in view",
                    qPrintable(yesNo(b, true, QStringLiteral("atend"))),
                    qPrintable(yesNo(b, false, QStringLiteral("atend"))));
        row(b, QStringLiteral("peak"), "peak memory", "MB");
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args.at(1) == QLatin1String("--child"))
        return LayoutBench::runChild(args.at(2) == QLatin1String("orvo"), args.at(3), args.at(4));

    const int runs = args.size() >= 2 ? qMax(1, args.at(1).toInt()) : 3;
    const QString only = args.value(2);
    QString corpus = qEnvironmentVariable("ORVO_RTF_CORPUS");
    if (corpus.isEmpty())
        corpus = QStringLiteral(ORVO_RTF_CORPUS);
    QTemporaryDir temp;
    QFile five(corpus + QStringLiteral("/large/large-5mb.rtf"));
    QFile fiveText(corpus + QStringLiteral("/large/large-5mb.txt"));
    if (!temp.isValid() || !five.open(QIODevice::ReadOnly) || !fiveText.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read the large corpus documents under %s\n", qPrintable(corpus));
        return 1;
    }
    const QByteArray fiveBytes = five.readAll();
    const QString dir = temp.path();
    // 100 KB of the corpus text, in its paragraphs, for the pastes.
    writeFile(dir + QStringLiteral("/paste.txt"), fiveText.read(100 * 1024));
    const QString doc5 = dir + QStringLiteral("/large-5mb.rtf");
    const QString doc20 = dir + QStringLiteral("/large-20mb.rtf");
    if (!markedCopy(fiveBytes, doc5) || !markedCopy(twentyMegabytes(fiveBytes), doc20)) {
        std::fprintf(stderr, "cannot write the documents\n");
        return 1;
    }
    std::printf("Longest stall, Ctrl+End and find 100 ms after the first paint, edits (until painted), "
                "memory; medians of %d runs, Orvo and a stock QTextEdit taking turns.\n", runs);

    if (only.isEmpty() || only == QLatin1String("large"))
        large(doc5, doc20, runs);

    if ((only.isEmpty() || only == QLatin1String("smooth")) && !smooth(dir, doc5, doc20, runs))
        return 1;

    if (only.isEmpty() || only == QLatin1String("extreme"))
        extreme(dir);
    return 0;
}
