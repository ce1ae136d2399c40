#include "editing/indicatorrefresh.h"

#include "platform/richtextbox.h"

IndicatorRefresh::IndicatorRefresh(RichTextBox *editor, std::function<void()> refresh, QObject *parent)
    : QObject(parent)
    , m_refresh(std::move(refresh))
{
    connect(editor, &QTextEdit::selectionChanged, this, &IndicatorRefresh::schedule);
    connect(editor, &QTextEdit::cursorPositionChanged, this, &IndicatorRefresh::schedule);
    connect(editor, &QTextEdit::currentCharFormatChanged, this, &IndicatorRefresh::schedule);
    // Content changes, among them the document swap of loadFile, which reports
    // nothing else.
    connect(editor, &RichTextBox::change, this, &IndicatorRefresh::schedule);
    // The first refresh fills the font displays as soon as the window runs.
    schedule();
}

void IndicatorRefresh::schedule()
{
    if (m_pending)
        return;
    m_pending = true;
    // A posted call of normal priority is delivered before the low-priority update
    // request that repaints the window, so the lamps are right in the same frame.
    QMetaObject::invokeMethod(this, &IndicatorRefresh::run, Qt::QueuedConnection);
}

void IndicatorRefresh::run()
{
    m_pending = false;
    m_refresh();
}
