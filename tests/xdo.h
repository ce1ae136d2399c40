#pragma once

// The real desktop for end-to-end tests: xdotool drives the pointer and keyboard
// of the X server the test runs under, and reads back what the server shows.

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QThread>

namespace Xdo {

// Runs xdotool and returns what it printed, trimmed; empty when it failed.
inline QString run(const QStringList &args, int timeoutMs = 10000)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The first visible window whose name matches the regular expression.
inline QString findWindow(const QString &namePattern)
{
    return run({"search", "--onlyvisible", "--name", namePattern}).section(QLatin1Char('\n'), 0, 0);
}

inline QString windowName(const QString &window) { return run({"getwindowname", window}); }
inline QString activeWindow() { return run({"getactivewindow"}); }

// A left click at a pixel of a window's client area.
inline void clickAt(const QString &window, int x, int y)
{
    run({"mousemove", "--window", window, QString::number(x), QString::number(y)});
    run({"click", "1"});
}

// The colour of one pixel of a window, as the X server shows it: "#RRGGBB".
inline QString pixelAt(const QString &window, int x, int y)
{
    QProcess p;
    p.start(QStringLiteral("import"), {"-window", window, "-crop", QStringLiteral("1x1+%1+%2").arg(x).arg(y),
                                       "+repage", "-depth", "8", "txt:-"});
    if (!p.waitForFinished(10000))
        return QString();
    const QString out = QString::fromLatin1(p.readAllStandardOutput());
    const qsizetype hash = out.indexOf(QLatin1String("  #"));
    return hash < 0 ? QString() : out.mid(hash + 2, 7);
}

// The environment the program under test runs in: a home of its own under the
// test's folder, with an empty configuration folder, so that nothing a user or an
// earlier run left (the desktop's folders, Qt's own QtProject.conf) changes where
// its dialogs open or what they show; and the C locale, as a desktop that says
// nothing of French.
inline QProcessEnvironment privateEnvironment(const QString &home)
{
    QDir().mkpath(home + QStringLiteral("/.config"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.remove(QStringLiteral("LANGUAGE"));
    return environment;
}

inline void type(const QString &text) { run({"type", "--delay", "15", text}, 60000); }
inline void key(const QString &keys) { run({"key", keys}); }
inline void activate(const QString &window) { run({"windowactivate", "--sync", window}); }

// Activates a window and waits until the window manager says it is active; asked
// again while it is not, as a window manager that is still starting lets the first
// request go by.
inline bool activateAndWait(const QString &window, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        activate(window);
        if (activeWindow() == window)
            return true;
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return false;
}

} // namespace Xdo
