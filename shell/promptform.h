#pragma once

#include "shell/formwindow.h"

#include <QPointer>

// What the two prompt windows share: a frameless window dragged by its own surface,
// shown at most once at a time, centred when it is created, and deleted when it
// closes, so the next showing starts again from the definition.
class PromptForm : public FormWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PromptForm)

public:
    ~PromptForm() override;

    // The window's own surface is its drag source; its labels and images are not.
    void Form_MouseDown(const MouseArgs &args);
    void Form_MouseMove(const MouseArgs &args);

protected:
    explicit PromptForm(const FormDef &def);

    // Shows the window held in the slot, creating it first when there is none (or
    // only one that is closing), and makes it the active window.
    using Factory = PromptForm *(*)();
    static PromptForm *showOne(QPointer<PromptForm> &slot, Factory create);

    void closeEvent(QCloseEvent *event) override;

private:
    bool m_closing = false;
};
