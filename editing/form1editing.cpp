// Formatting commands, style indicators, clipboard and find of the main window.
#include "shell/form1.h"

void Form1::wireEditing()
{
    onClick("Image12", [this] { Image12_Click(); });
    onClick("Image16", [this] { Image16_Click(); });
    onClick("Image13", [this] { Image13_Click(); });
    onClick("Image14", [this] { Image14_Click(); });
    for (int i = 1; i <= 17; ++i) {
        const QByteArray name = "Picture" + QByteArray::number(i);
        Control *swatch = findControl(QString::fromLatin1(name));
        onClick(swatch->def().name, [this, swatch] { Swatch_Click(*swatch); });
    }
    onClick("Label1", [this] { Label1_Click(); });
    onClick("Label26", [this] { Label26_Click(); });
    onClick("Image10", [this] { Image10_Click(); });
    onClick("Image11", [this] { Image11_Click(); });
    onClick("Image5", [this] { Image5_Click(); });
    onClick("Label9", [this] { Label9_Click(); });
    onTimer("Timer4", [this] { Timer4_Timer(); });
}

void Form1::Image12_Click() {}
void Form1::Image16_Click() {}
void Form1::Image13_Click() {}
void Form1::Image14_Click() {}
void Form1::Swatch_Click(Control &) {}
void Form1::Label1_Click() {}
void Form1::Label26_Click() {}
void Form1::Timer4_Timer() {}
void Form1::Image10_Click() {}
void Form1::Image11_Click() {}
void Form1::Image5_Click() {}
void Form1::Label9_Click() {}
