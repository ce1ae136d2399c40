#include "shell/form1.h"

#include "platform/richtextbox.h"

#include <QLineEdit>

Form1::~Form1()
{
    if (s_running == this)
        s_running = nullptr;
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
