#include "platform/colors.h"

#include <QGuiApplication>
#include <QPalette>

namespace ColorInt {

QColor toQColor(quint32 value)
{
    if (isSystem(value)) {
        const QPalette palette = QGuiApplication::palette();
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
