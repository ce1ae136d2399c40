#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class DocumentLayout;

// Lays out what the editor's document layout has only estimated, in slices of a few
// milliseconds while the event loop turns, so that keys, clicks and paints wait for
// one slice at most.
class BackgroundLayout final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BackgroundLayout)

public:
    // The time one slice may take, in milliseconds. A line begun at the deadline can
    // run past it by as long as Qt takes to shape one item of its text whole (up to
    // about 6 ms on a long paragraph of the large documents), and what the event loop
    // does between two slices comes on top: at 8 ms the UI thread's longest busy time
    // reached 16.1 to 17.3 ms, at 6 ms it stays near 12 ms, and the whole layout takes
    // no longer.
    static constexpr int SliceMs = 6;

    // Owned by the editor; slicing starts once its viewport has painted.
    BackgroundLayout(QObject *editor, QObject *viewport);

    // Follows this layout from now on (the editor's document changed).
    void watch(DocumentLayout *layout);
    bool isRunning() const { return m_timer.isActive(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void step();
    // Starts slicing once the editor has painted what a change shows.
    void schedule();
    // Lets the paint of a change come before the next slice.
    void paintFirst();

    QPointer<DocumentLayout> m_layout;
    QTimer m_timer;
    QTimer m_paintWait; // how long slicing waits for that paint at most
    QMetaObject::Connection m_changes;
};
