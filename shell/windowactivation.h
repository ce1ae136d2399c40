#pragma once

#include <QObject>
#include <QPointer>

class FormWindow;
class QWindow;

// Activation among the program's own windows. The desktop's active window may pass
// to another program and back; only a change from one of our windows to another
// of ours is a Deactivate of the first and an Activate of the second. The first
// window to become active (Form1 at start-up) gets Activate alone.
class WindowActivation final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowActivation)

public:
    // Starts watching, once per application.
    static void watch();

    // The one of our windows that was active last, or null.
    static FormWindow *lastActive();

private:
    explicit WindowActivation(QObject *parent);
    void focusWindowChanged(QWindow *window);

    QPointer<FormWindow> m_active;
};
