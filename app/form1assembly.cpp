// The main window put together: its definition, the title strip, the editing
// commands and the document lifecycle, each wiring the handlers of its own library.
#include "shell/form1.h"

#include "platform/richtextbox.h"
#include "shell/form1def.h"

#include <QLineEdit>

Form1::Form1(QWidget *parent)
    : FormWindow(form1Definition(), parent)
    , RichTextBox1(static_cast<RichTextBox *>(control("RichTextBox1").widget()))
    , Text1(static_cast<QLineEdit *>(control("Text1").widget()))
{
    s_running = this;
    wireShell();
    wireEditing();
    wireDocument();
}
