// Time from process start to the first paint of the main window, beside a bare
// QApplication that quits at once, measured in the same run (medians). The main
// window starts as the program starts it (Qt's French texts installed, the icon
// set) and once more without the French texts, to show what they cost; the time
// of installing them is also read inside the process.
//
// usage (needs an X server; scripts/with-xserver.sh gives one):
//   bench_startup [runs]
// The program starts itself as a child in each mode and takes the clock reading
// just before the child is started; the child reports the time of its first paint.

#include "bench/benchfigures.h"
#include "platform/frenchtexts.h"
#include "platform/services.h"
#include "shell/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using BenchFigures::median;

qint64 nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

class FirstPaint final : public QObject
{
public:
    FirstPaint(qint64 t0, double translatorMs)
        : m_t0(t0)
        , m_translatorMs(translatorMs)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            // Read the clock once the paint has been handled.
            QTimer::singleShot(0, [this] {
                std::printf("%.3f %.3f\n", double(nowNs() - m_t0) / 1e6, m_translatorMs);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    qint64 m_t0;
    double m_translatorMs = 0;
    bool m_done = false;
};

enum class Mode { Bare, Form1AsStarted, Form1InEnglish };

int child(int argc, char *argv[], Mode mode, qint64 t0)
{
    QApplication app(argc, argv);
    if (mode == Mode::Bare) {
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        const int rc = app.exec();
        std::printf("%.3f 0\n", double(nowNs() - t0) / 1e6);
        return rc;
    }
    // As the program's main() does.
    app.setWindowIcon(QIcon(QStringLiteral(":/art/appicon32.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvo.orvo"));
    double translatorMs = 0;
    if (mode == Mode::Form1AsStarted) {
        const qint64 before = nowNs();
        FrenchTexts::install();
        translatorMs = double(nowNs() - before) / 1e6;
    }
    Form1 form;
    FirstPaint watcher(t0, translatorMs);
    form.installEventFilter(&watcher);
    form.start();
    return app.exec();
}

struct Run
{
    double total = 0;      // ms from the start of the process
    double translator = 0; // ms of installing the French texts, inside the process
};

Run runOnce(const QString &self, const char *mode)
{
    QProcess p;
    p.setProgram(self);
    const qint64 t0 = nowNs();
    p.setArguments({QString::fromLatin1(mode), QString::number(t0)});
    p.start();
    p.waitForFinished(30000);
    const QStringList figures = QString::fromLatin1(p.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
    return {figures.value(0).toDouble(), figures.value(1).toDouble()};
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 3) {
        const QByteArray mode = argv[1];
        const qint64 t0 = QByteArray(argv[2]).toLongLong();
        if (mode == "--bare")
            return child(argc, argv, Mode::Bare, t0);
        if (mode == "--form1")
            return child(argc, argv, Mode::Form1AsStarted, t0);
        if (mode == "--form1-english")
            return child(argc, argv, Mode::Form1InEnglish, t0);
    }

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(3, atoi(argv[1])) : 15;
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> bare, form, english, translator;
    runOnce(self, "--bare"); // warm the file cache
    runOnce(self, "--form1");
    runOnce(self, "--form1-english");
    for (int i = 0; i < runs; ++i) {
        bare.push_back(runOnce(self, "--bare").total);
        const Run started = runOnce(self, "--form1");
        form.push_back(started.total);
        translator.push_back(started.translator);
        english.push_back(runOnce(self, "--form1-english").total);
    }
    std::printf("start-up, median of %d runs (platform %s)\n", runs, qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("  bare QApplication, start to quit:        %7.1f ms\n", median(bare));
    std::printf("  Form1 as started, start to first paint:   %7.1f ms\n", median(form));
    std::printf("  Form1 without the French texts:           %7.1f ms\n", median(english));
    std::printf("  installing the French texts, in process:  %7.3f ms\n", median(translator));
    std::printf("  difference, as started:                   %7.1f ms (goal: at most 15 ms)\n",
                median(form) - median(bare));
    std::printf("  difference, without the French texts:     %7.1f ms\n", median(english) - median(bare));
    return 0;
}
