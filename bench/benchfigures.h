#pragma once

// What every benchmark here prints its figures with: medians of runs, elapsed
// milliseconds and the process's memory as the kernel counts it.

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <ctime>
#include <vector>

namespace BenchFigures {

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// A line of /proc/self/status in megabytes: "VmHWM:" the peak resident size,
// "VmRSS:" the present one.
inline double statusMegabytes(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

inline double peakMegabytes()
{
    return statusMegabytes("VmHWM:");
}

// The calling thread's own processor time in milliseconds: less disturbed than the
// elapsed time when other programs load the machine.
inline double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// The processor time of the whole process, all its threads (readers that inflate
// or tokenize on threads of their own).
inline double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

} // namespace BenchFigures
