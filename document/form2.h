#pragma once

#include "shell/promptform.h"

// The prompt that asks whether to save the document before a new document.
class Form2 final : public PromptForm
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form2)

public:
    ~Form2() override;

    // Shows the prompt as an ordinary window, not modal: created from its
    // definition when none is open, otherwise the open one is raised and activated.
    static Form2 *showPrompt();
    // The open prompt, or null.
    static Form2 *current();

    // "Oui" and its tick, "Non" and its cross, "annuler".
    void Label3_Click();
    void Image3_Click();
    void Label2_Click();
    void Image2_Click();
    void Label4_Click();

private:
    Form2();
};
