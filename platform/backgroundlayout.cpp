#include "platform/backgroundlayout.h"

#include "platform/documentlayout.h"

#include <QDeadlineTimer>
#include <QEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextEdit>

#include <cmath>

BackgroundLayout::BackgroundLayout(QTextEdit *editor)
    : QObject(editor)
    , m_editor(editor)
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &BackgroundLayout::step);
    m_paintWait.setSingleShot(true);
    m_paintWait.setInterval(50);
    connect(&m_paintWait, &QTimer::timeout, this, [this] { m_timer.start(); });
    editor->viewport()->installEventFilter(this);
}

void BackgroundLayout::schedule()
{
    if (!m_timer.isActive() && !m_paintWait.isActive())
        m_paintWait.start();
}

bool BackgroundLayout::eventFilter(QObject *, QEvent *event)
{
    // What the user sees first is painted first; the slices follow.
    if (event->type() == QEvent::Paint && m_paintWait.isActive()) {
        m_paintWait.stop();
        m_timer.start();
    }
    return false;
}

void BackgroundLayout::watch(DocumentLayout *layout)
{
    if (m_layout)
        disconnect(m_layout, nullptr, this, nullptr);
    m_layout = layout;
    m_timer.stop();
    m_paintWait.stop();
    if (!layout)
        return;
    connect(layout, &DocumentLayout::pendingLayout, this, &BackgroundLayout::schedule);
    if (!layout->isComplete())
        schedule();
}

void BackgroundLayout::step()
{
    if (!m_layout) {
        m_timer.stop();
        return;
    }
    // The paragraph at the top of the view stays where it is on the screen, whatever
    // the heights above it become.
    QScrollBar *bar = m_editor->verticalScrollBar();
    const int value = bar->value();
    const int anchor = m_layout->blockNumberAt(value);
    const qreal before = m_layout->entryTop(anchor);
    const bool more = m_layout->layoutPending(QDeadlineTimer(SliceMs));
    const qreal moved = m_layout->entryTop(anchor) - before + m_drift;
    if (value > 0 && moved != 0) {
        const int by = int(std::lround(moved));
        m_drift = moved - by;
        // Without the scroll area's signal: the pixels on the screen already show
        // the text at its new place.
        const QSignalBlocker blocker(bar);
        bar->setValue(value + by);
    }
    if (!more)
        m_timer.stop();
}
