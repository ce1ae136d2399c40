#include "shell/form1.h"

#include "platform/richtextbox.h"
#include "shell/form1def.h"

#include <QLineEdit>

namespace {
Form1 *runningForm1 = nullptr;
}

Form1::Form1(QWidget *parent)
    : FormWindow(form1Definition(), parent)
    , RichTextBox1(static_cast<RichTextBox *>(control("RichTextBox1").widget()))
    , Text1(static_cast<QLineEdit *>(control("Text1").widget()))
{
    runningForm1 = this;
    wireShell();
    wireEditing();
    wireDocument();
}

Form1::~Form1()
{
    if (runningForm1 == this)
        runningForm1 = nullptr;
}

Form1 *Form1::instance()
{
    return runningForm1;
}

void Form1::start()
{
    centerOnScreen();
    show();
    raise();
    activateWindow();
    RichTextBox1->setFocus(Qt::OtherFocusReason);
}

bool Form1::isModified() const
{
    return control("Command1").isEnabled();
}

void Form1::setModified(bool modified)
{
    control("Command1").setEnabled(modified);
}

void Form1::wireShell()
{
    onClick("Label4", [this] { Label4_Click(); });
    onClick("Label6", [this] { Label6_Click(); });
    onClick("Label7", [this] { Label7_Click(); });
    onMouseDown("Label3", [this](const MouseArgs &a) { Label3_MouseDown(a); });
    onMouseMove("Label3", [this](const MouseArgs &a) { Label3_MouseMove(a); });
}
