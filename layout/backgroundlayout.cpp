#include "layout/backgroundlayout.h"

#include "layout/documentlayout.h"
#include "layout/textmetrics.h"

#include <QDeadlineTimer>
#include <QEvent>
#include <QTextDocument>

BackgroundLayout::BackgroundLayout(QObject *editor, QObject *viewport)
    : QObject(editor)
{
    // Not a zero timer: Qt fires a zero timer again before any other timer that fell
    // due meanwhile (it takes the time once a pass, and a zero timer is always due
    // first), so a 1 ms timer of the program, a probe's or a blink's, waited for two
    // slices at a time. At 1 ms every timer due takes its turn after each slice, and
    // a slice longer than that leaves the next one due at once.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(1);
    connect(&m_timer, &QTimer::timeout, this, &BackgroundLayout::step);
    m_paintWait.setSingleShot(true);
    m_paintWait.setInterval(50);
    connect(&m_paintWait, &QTimer::timeout, this, [this] { m_timer.start(); });
    viewport->installEventFilter(this);
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
    disconnect(m_changes);
    m_layout = layout;
    m_timer.stop();
    m_paintWait.stop();
    if (!layout)
        return;
    connect(layout, &DocumentLayout::pendingLayout, this, &BackgroundLayout::schedule);
    // The formats a slice gives a paragraph to lay it out are reported as a change of
    // it, but they are no key: the slices go on.
    QTextDocument *doc = layout->document();
    m_changes = connect(doc, &QTextDocument::contentsChange, this, [this, doc](int from, int removed, int added) {
        if (!TextMetrics::isOwnReport(doc, from, removed, added))
            paintFirst();
    });
    if (!layout->isComplete())
        schedule();
}

void BackgroundLayout::paintFirst()
{
    // A key typed while slices run (a table settling its columns) is painted before
    // the next slice, not after it.
    if (m_timer.isActive()) {
        m_timer.stop();
        m_paintWait.start();
    }
}

void BackgroundLayout::step()
{
    // What a slice lays out above the view moves the view with it (the layout reports
    // it), so the text shown stays where it is.
    if (!m_layout || !m_layout->layoutPending(QDeadlineTimer(SliceMs)))
        m_timer.stop();
}
