// The long editing stress run, by hand or from scripts/stress-edits.sh:
//
//   stress_edits run DOC SEED STEPS [--check-every N] [--log FILE] [--step-seconds S] [--columns N]
//   stress_edits replay DOC FILE [--check-every N] [--step-seconds S] [--columns N]
//   stress_edits shrink DOC FILE [--step-seconds S] [--columns N]
//
// --columns N puts the document's body in a frame of N newspaper columns first.
//
// run makes STEPS seeded edits on DOC opened in the main window and checks them (see
// editstress.h); each step is written to the log before it runs, so that a crash or
// a step that takes longer than S seconds (default 60) leaves the sequence that led
// to it. replay runs the steps of a file. shrink cuts a failing sequence down to the
// few steps that still fail the same way, replaying candidates in child processes,
// and writes them to FILE.min. Exit status: 0 clean, 1 a check failed, 2 bad usage,
// 3 a step took too long; a crash ends the process as it does.
#include "documentfixture.h"
#include "editstress.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

std::atomic<int> currentStep{-1};
std::atomic<qint64> stepStarted{0};

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Ends the process when one step takes too long: a hang is a failure like a crash.
void startWatchdog(int seconds)
{
    std::thread([seconds] {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            const qint64 started = stepStarted.load();
            if (started > 0 && nowMs() - started > qint64(seconds) * 1000) {
                std::fprintf(stderr, "FAILURE: step %d took more than %d s\n", currentStep.load(), seconds);
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    }).detach();
}

struct Arguments
{
    QString mode, doc, file;
    quint32 seed = 0;
    int steps = 0;
    int checkEvery = 8;
    int stepSeconds = 60;
    int columns = 1;
    QString log;
};

bool parseArguments(const QStringList &args, Arguments *a)
{
    if (args.size() < 4)
        return false;
    a->mode = args.at(1);
    a->doc = args.at(2);
    int next = 3;
    if (a->mode == QLatin1String("run")) {
        if (args.size() < 5)
            return false;
        a->seed = args.at(3).toUInt();
        a->steps = args.at(4).toInt();
        next = 5;
    } else if (a->mode == QLatin1String("replay") || a->mode == QLatin1String("shrink")) {
        a->file = args.at(3);
        next = 4;
    } else {
        return false;
    }
    for (int i = next; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--check-every"))
            a->checkEvery = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--log"))
            a->log = args.at(i + 1);
        else if (args.at(i) == QLatin1String("--step-seconds"))
            a->stepSeconds = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--columns"))
            a->columns = args.at(i + 1).toInt();
        else
            return false;
    }
    return true;
}

// Runs the steps in this process. Returns the exit status.
int runSteps(const Arguments &a, const std::vector<EditStress::Step> &steps)
{
    ScriptedServices services = ScriptedServices::install();
    Services::install(std::make_unique<RecordedScreen>());
    Form1 form;
    form.start();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "FAILURE: the window does not show\n");
        return 1;
    }
    QFile log(a.log);
    if (!a.log.isEmpty() && !log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(a.log));
        return 2;
    }
    startWatchdog(a.stepSeconds);
    EditStress::Runner runner(&form, services);
    stepStarted = nowMs();
    QString failure = runner.open(a.doc, a.columns);
    int failedAt = -1;
    if (failure.isEmpty()) {
        EditStress::Options options;
        options.checkEvery = a.checkEvery;
        failure = runner.run(steps, options, &failedAt, [&](int i) {
            currentStep = i;
            stepStarted = nowMs();
            if (log.isOpen()) {
                log.write(EditStress::describe(steps[size_t(i)]).toUtf8() + '\n');
                log.flush();
            }
        });
    }
    stepStarted = 0;
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "FAILURE: %s\n", qPrintable(failure));
        return 1;
    }
    std::fprintf(stdout, "clean: %d steps\n", int(steps.size()));
    return 0;
}

// How a replay ended: its exit and, for a failed check, what kind of check failed.
QString outcome(QProcess &p, int seconds)
{
    if (!p.waitForFinished((seconds + 30) * 1000)) {
        p.kill();
        p.waitForFinished();
        return QStringLiteral("hang");
    }
    if (p.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("crash");
    if (p.exitCode() == 0)
        return QString();
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const qsizetype at = err.indexOf(QLatin1String("FAILURE: "));
    if (at < 0)
        return QStringLiteral("exit %1").arg(p.exitCode());
    QString line = err.mid(at + 9).section(QLatin1Char('\n'), 0, 0);
    // "after step N (op a b): kind: ..." keeps its kind.
    const qsizetype close = line.indexOf(QLatin1String("): "));
    if (close >= 0)
        line = line.mid(close + 3);
    return line.section(QLatin1Char(':'), 0, 0).section(QLatin1Char(' '), 0, 2);
}

QString replayOutcome(const Arguments &a, const std::vector<EditStress::Step> &steps)
{
    const QString file = a.file + QStringLiteral(".try");
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("unwritable");
    f.write(EditStress::format(steps).toUtf8());
    f.close();
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("replay"), a.doc, file, QStringLiteral("--check-every"), QString::number(a.checkEvery),
             QStringLiteral("--step-seconds"), QString::number(a.stepSeconds), QStringLiteral("--columns"),
             QString::number(a.columns)});
    return outcome(p, a.stepSeconds);
}

int shrink(const Arguments &a, std::vector<EditStress::Step> steps)
{
    const QString wanted = replayOutcome(a, steps);
    if (wanted.isEmpty()) {
        std::fprintf(stderr, "the sequence does not fail\n");
        return 2;
    }
    std::fprintf(stderr, "shrinking %d steps that end in: %s\n", int(steps.size()), qPrintable(wanted));
    // Cut chunks of halving size while the same failure remains.
    for (size_t chunk = steps.size() / 2; chunk >= 1; chunk /= 2) {
        bool cut = true;
        while (cut) {
            cut = false;
            for (size_t start = 0; start < steps.size(); start += chunk) {
                std::vector<EditStress::Step> candidate = steps;
                candidate.erase(candidate.begin() + qsizetype(start),
                                candidate.begin() + qsizetype(qMin(steps.size(), start + chunk)));
                if (candidate.empty() || replayOutcome(a, candidate) != wanted)
                    continue;
                steps = candidate;
                cut = true;
                std::fprintf(stderr, "  %d steps\n", int(steps.size()));
                break;
            }
        }
        if (chunk == 1)
            break;
    }
    QFile out(a.file + QStringLiteral(".min"));
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(EditStress::format(steps).toUtf8());
    QFile::remove(a.file + QStringLiteral(".try"));
    std::fprintf(stdout, "# %s\n# %s\n%s", qPrintable(a.doc), qPrintable(wanted), qPrintable(EditStress::format(steps)));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Arguments a;
    if (!parseArguments(app.arguments(), &a)) {
        std::fprintf(stderr, "usage: stress_edits run DOC SEED STEPS [--check-every N] [--log FILE] [--step-seconds S]\n"
                             "       stress_edits replay DOC FILE [--check-every N] [--step-seconds S]\n"
                             "       stress_edits shrink DOC FILE [--step-seconds S]\n");
        return 2;
    }
    std::vector<EditStress::Step> steps;
    if (a.mode == QLatin1String("run")) {
        steps = EditStress::generate(a.seed, a.steps);
    } else {
        QFile f(a.file);
        if (!f.open(QIODevice::ReadOnly) || !EditStress::parse(QString::fromUtf8(f.readAll()), &steps)) {
            std::fprintf(stderr, "cannot read the steps of %s\n", qPrintable(a.file));
            return 2;
        }
    }
    if (a.mode == QLatin1String("shrink"))
        return shrink(a, steps);
    return runSteps(a, steps);
}
