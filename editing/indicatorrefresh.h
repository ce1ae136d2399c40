#pragma once

#include <QObject>

#include <functional>

class RichTextBox;

// Runs the indicator refresh when the editor reports a change of its selection,
// cursor, character format or content, instead of polling. A keystroke raises
// several of these at once; they are gathered into one refresh, run from the event
// loop before the window repaints, so every frame shows the current selection and
// an idle editor never wakes the program.
class IndicatorRefresh final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IndicatorRefresh)

public:
    IndicatorRefresh(RichTextBox *editor, std::function<void()> refresh, QObject *parent);

    // Asks for one refresh at the next turn of the event loop; further requests
    // before it runs join it.
    void schedule();
    bool isPending() const { return m_pending; }

private:
    void run();

    std::function<void()> m_refresh;
    bool m_pending = false;
};
