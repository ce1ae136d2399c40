// Time from process start to the first paint of the main window, beside a bare
// QApplication that quits at once, measured in the same run (medians).
//
// usage (needs an X server; scripts/with-xserver.sh gives one):
//   bench_startup [runs]
// The program starts itself as a child in each mode and takes the clock reading
// just before the child is started; the child reports the time of its first paint.

#include "platform/services.h"
#include "shell/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

qint64 nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

class FirstPaint final : public QObject
{
public:
    explicit FirstPaint(qint64 t0)
        : m_t0(t0)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            // Read the clock once the paint has been handled.
            QTimer::singleShot(0, [this] {
                std::printf("%.3f\n", double(nowNs() - m_t0) / 1e6);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    qint64 m_t0;
    bool m_done = false;
};

int child(int argc, char *argv[], bool bare, qint64 t0)
{
    QApplication app(argc, argv);
    if (bare) {
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        const int rc = app.exec();
        std::printf("%.3f\n", double(nowNs() - t0) / 1e6);
        return rc;
    }
    Form1 form;
    FirstPaint watcher(t0);
    form.installEventFilter(&watcher);
    form.start();
    return app.exec();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}

double runOnce(const QString &self, const char *mode)
{
    QProcess p;
    p.setProgram(self);
    const qint64 t0 = nowNs();
    p.setArguments({QString::fromLatin1(mode), QString::number(t0)});
    p.start();
    p.waitForFinished(30000);
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed().toDouble();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 3 && (qstrcmp(argv[1], "--bare") == 0 || qstrcmp(argv[1], "--form1") == 0))
        return child(argc, argv, qstrcmp(argv[1], "--bare") == 0, QByteArray(argv[2]).toLongLong());

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(3, atoi(argv[1])) : 15;
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> bare, form;
    runOnce(self, "--bare"); // warm the file cache
    runOnce(self, "--form1");
    for (int i = 0; i < runs; ++i) {
        bare.push_back(runOnce(self, "--bare"));
        form.push_back(runOnce(self, "--form1"));
    }
    std::printf("start-up, median of %d runs (platform %s)\n", runs, qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("  bare QApplication, start to quit:   %7.1f ms\n", median(bare));
    std::printf("  Form1, start to first paint:         %7.1f ms\n", median(form));
    std::printf("  difference:                          %7.1f ms (goal: at most 15 ms)\n", median(form) - median(bare));
    return 0;
}
