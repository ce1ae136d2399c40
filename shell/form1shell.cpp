// Title strip, window states and dragging of the main window.
#include "shell/form1.h"

#include "platform/colors.h"
#include "shell/windowdrag.h"

namespace {

constexpr quint32 GlyphActive = 0x00EBD798;
constexpr quint32 CaptionActive = 0x00BE9825;
constexpr quint32 Inactive = 0x00C0C0C0;

} // namespace

void Form1::Form_Activate()
{
    control("Label4").setBackColor(GlyphActive);
    control("Label5").setBackColor(GlyphActive);
    control("Label6").setBackColor(GlyphActive);
    control("Label7").setBackColor(GlyphActive);
    control("Shape5").setBorderColor(GlyphActive);
    control("Label3").setForeColor(CaptionActive);
}

void Form1::Form_Deactivate()
{
    control("Label4").setBackColor(Inactive);
    control("Label5").setBackColor(Inactive);
    control("Label6").setBackColor(Inactive);
    control("Label7").setBackColor(Inactive);
    // The active look leaves Shape2 alone, so it stays grey from here on.
    control("Shape2").setBorderColor(Inactive);
    control("Shape5").setBorderColor(Inactive);
    control("Label3").setForeColor(Inactive);
}

void Form1::Label4_Click()
{
    // Keeps the maximized flag, so the desktop restores to the state it came from.
    showMinimized();
}

void Form1::Label6_Click()
{
    showMaximized();
    control("Label6").setEnabled(false);
    control("Label7").setEnabled(true);
    control("Label6").setForeColor(ColorInt::SystemGrayText);
    control("Label7").setForeColor(ColorInt::SystemButtonText);
}

void Form1::Label7_Click()
{
    showNormal();
    control("Label6").setEnabled(true);
    control("Label7").setEnabled(false);
    control("Label6").setForeColor(ColorInt::SystemButtonText);
    control("Label7").setForeColor(ColorInt::SystemGrayText);
}

void Form1::Label3_MouseDown(const MouseArgs &args)
{
    WindowDrag::press(*this, args);
}

void Form1::Label3_MouseMove(const MouseArgs &args)
{
    // A maximized window stays where the desktop put it.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    WindowDrag::move(*this, args);
}

