#include "shell/promptform.h"

#include "shell/form1.h"
#include "shell/windowdrag.h"

#include <QCloseEvent>

// A tool window belonging to the main window: the desktop keeps it above the main
// window while it is open, even when the main window is clicked and becomes active
// (the prompt is not modal), and gives it no taskbar entry of its own.
PromptForm::PromptForm(const FormDef &def)
    : FormWindow(def, Form1::instance(), Qt::Tool)
{
    setAttribute(Qt::WA_DeleteOnClose);
    onMouseDown(Self, [this](const MouseArgs &a) { Form_MouseDown(a); });
    onMouseMove(Self, [this](const MouseArgs &a) { Form_MouseMove(a); });
}

PromptForm::~PromptForm() = default;

void PromptForm::Form_MouseDown(const MouseArgs &args)
{
    WindowDrag::press(*this, args);
}

void PromptForm::Form_MouseMove(const MouseArgs &args)
{
    WindowDrag::move(*this, args);
}

PromptForm *PromptForm::showOne(QPointer<PromptForm> &slot, Factory create)
{
    if (!slot || slot->m_closing) {
        slot = create();
        slot->centerOnScreen();
    }
    PromptForm *prompt = slot.data();
    prompt->show();
    prompt->raise();
    prompt->activateWindow();
    return prompt;
}

void PromptForm::closeEvent(QCloseEvent *event)
{
    FormWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    m_closing = true;
    // The main window takes over as the active window; left to the desktop, that
    // would depend on the window manager (and never happen offscreen).
    const bool wasActive = isActiveWindow();
    hide();
    Form1 *main = Form1::instance();
    if (wasActive && main && main->isVisible()) {
        main->raise();
        main->activateWindow();
    }
}
