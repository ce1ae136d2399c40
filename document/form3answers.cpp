// Answers of the prompt that the close glyph shows.
#include "document/form3.h"

#include "document/module2.h"
#include "platform/services.h"
#include "shell/form1.h"

namespace {

void endProgram()
{
    if (Form1 *main = Form1::instance())
        main->endProgram();
    else
        Services::application().end();
}

} // namespace

// "Oui": the program ends only once the document is on disk. A cancelled dialog
// or a failed write (its message already shown) keeps the program and the
// document, and closes the prompt so the user can try again.
void Form3::Label3_Click()
{
    const QString path = Module2::AskSaveFileName(Module2::untitledName());
    if (path.isEmpty()) {
        close();
        return;
    }
    Module2::SaveDocument(path);
    if (Module2::lastFailure().number() != 0) {
        close();
        return;
    }
    endProgram();
}

void Form3::Image3_Click()
{
    Label3_Click();
}

// "Non": the changes are lost.
void Form3::Label2_Click()
{
    endProgram();
}

void Form3::Image2_Click()
{
    Label2_Click();
}

void Form3::Label4_Click()
{
    close();
}
