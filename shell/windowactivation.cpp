#include "shell/windowactivation.h"

#include "shell/formwindow.h"

#include <QApplication>
#include <QWindow>

namespace {
QPointer<WindowActivation> watcher;
}

WindowActivation::WindowActivation(QObject *parent)
    : QObject(parent)
{
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &WindowActivation::focusWindowChanged);
}

void WindowActivation::watch()
{
    if (!watcher && qApp)
        watcher = new WindowActivation(qApp);
}

FormWindow *WindowActivation::lastActive()
{
    return watcher ? watcher->m_active.data() : nullptr;
}

void WindowActivation::focusWindowChanged(QWindow *window)
{
    if (!window)
        return; // another program's window, or none: neither event
    FormWindow *form = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window) {
            form = qobject_cast<FormWindow *>(widget);
            break;
        }
    }
    if (!form || form == m_active)
        return;
    const QPointer<FormWindow> previous = m_active;
    m_active = form;
    const QPointer<FormWindow> current = form;
    if (previous)
        FormWindow::runGuarded([&] { previous->Form_Deactivate(); });
    if (current)
        FormWindow::runGuarded([&] { current->Form_Activate(); });
}
