// Modified flag, open, save, new document and quit of the main window.
#include "shell/form1.h"

#include "platform/richtextbox.h"

#include <QCloseEvent>

void Form1::wireDocument()
{
    connect(RichTextBox1, &RichTextBox::change, this, [this] { runGuarded([this] { RichTextBox1_Change(); }); });
    onClick("Image6", [this] { Image6_Click(); });
    onClick("Image7", [this] { Image7_Click(); });
    onClick("Image9", [this] { Image9_Click(); });
    onClick("Label5", [this] { Label5_Click(); });
}

void Form1::RichTextBox1_Change() { setModified(true); }
void Form1::Image6_Click() {}
void Form1::Image7_Click() {}
void Form1::Image9_Click() {}
void Form1::Label5_Click() {}

void Form1::closeEvent(QCloseEvent *event)
{
    FormWindow::closeEvent(event);
}
