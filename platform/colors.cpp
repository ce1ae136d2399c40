#include "platform/colors.h"

#include <QGuiApplication>
#include <QPalette>

namespace ColorInt {

namespace {

// The skin was drawn for a light scheme: dark text on light panels. A desktop whose
// text is lighter than its windows has a dark one.
bool isDarkScheme(const QPalette &palette)
{
    return qGray(palette.color(QPalette::Active, QPalette::Window).rgb()) <
           qGray(palette.color(QPalette::Active, QPalette::WindowText).rgb());
}

// The system colours of Qt's standard light scheme, which the skin shows on a light
// desktop without a scheme of its own.
QColor lightSchemeColor(quint32 value)
{
    switch (value & 0xff) {
    case 5:
        return QColor(255, 255, 255);
    case 17:
        return QColor(190, 190, 190);
    default:
        return QColor(0, 0, 0);
    }
}

} // namespace

QColor toQColor(quint32 value)
{
    if (isSystem(value)) {
        const QPalette palette = QGuiApplication::palette();
        // Every system colour is drawn on the skin, whose own colours are fixed and
        // light: a dark scheme's light text or dark background would be lost on it.
        if (isDarkScheme(palette))
            return lightSchemeColor(value);
        switch (value & 0xff) {
        case 5: // window background: the background of text areas in the desktop's scheme
            return palette.color(QPalette::Active, QPalette::Base);
        case 17: // grey text of disabled items
            return palette.color(QPalette::Disabled, QPalette::WindowText);
        case 18: // button text
            return palette.color(QPalette::Active, QPalette::ButtonText);
        default:
            return palette.color(QPalette::Active, QPalette::WindowText);
        }
    }
    return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
}

quint32 fromQColor(const QColor &color)
{
    return fromRgb(color.red(), color.green(), color.blue());
}

} // namespace ColorInt
