#pragma once

#include <QColor>
#include <QtGlobal>

// Colour integers as the window definitions store them: 0x00BBGGRR, red in the low
// byte; 0x8000000N stands for the desktop's system colour N.
namespace ColorInt {

constexpr quint32 SystemWindowBackground = 0x80000005;
constexpr quint32 SystemGrayText = 0x80000011;
constexpr quint32 SystemButtonText = 0x80000012;

constexpr bool isSystem(quint32 value) { return (value & 0x80000000u) != 0; }
constexpr quint32 fromRgb(int r, int g, int b)
{
    return quint32(r & 0xff) | (quint32(g & 0xff) << 8) | (quint32(b & 0xff) << 16);
}

// Resolves system colours through the application palette; on a desktop with a dark
// scheme, through the light scheme the skin they are drawn on was made for.
QColor toQColor(quint32 value);
quint32 fromQColor(const QColor &color);

} // namespace ColorInt
