// Answers of the prompt that the New command shows. Each answer finishes the New
// command or leaves the document as it is; none leaves the user without a way back.
#include "document/form2.h"

#include "document/module2.h"
#include "shell/form1.h"

namespace {

// Repaints the main window and closes the prompt.
void closePrompt(Form2 *prompt)
{
    if (Form1 *main = Form1::instance())
        main->repaint();
    prompt->close();
}

} // namespace

// "Oui": the new document starts only once the old one is safely on disk; a
// cancelled dialog or a failed write keeps it, flag and all.
void Form2::Label3_Click()
{
    const QString path = Module2::AskSaveFileName(Module2::untitledName());
    bool saved = false;
    if (!path.isEmpty()) {
        Module2::SaveDocument(path);
        saved = Module2::lastFailure().number() == 0;
    }
    if (!saved) {
        closePrompt(this);
        return;
    }
    Label2_Click();
}

void Form2::Image3_Click()
{
    Label3_Click();
}

// "Non": the changes are given up and the new document starts.
void Form2::Label2_Click()
{
    if (Form1 *main = Form1::instance())
        main->startNewDocument();
    closePrompt(this);
}

void Form2::Image2_Click()
{
    Label2_Click();
}

void Form2::Label4_Click()
{
    close();
}
