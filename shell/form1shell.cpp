// Title strip, window states and dragging of the main window.
#include "shell/form1.h"

#include <QEvent>

void Form1::Form_Activate() {}
void Form1::Form_Deactivate() {}
void Form1::Label4_Click() {}
void Form1::Label6_Click() {}
void Form1::Label7_Click() {}
void Form1::Label3_MouseDown(const MouseArgs &) {}
void Form1::Label3_MouseMove(const MouseArgs &) {}

void Form1::changeEvent(QEvent *event)
{
    FormWindow::changeEvent(event);
}
