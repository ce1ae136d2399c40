#include "shell/control.h"

#include "shell/skin.h"
#include "shell/twips.h"

#include <QWidget>

Control::Control(const ControlDef &def, QWidget *window)
    : m_def(def)
    , m_window(window)
    , m_caption(QString::fromUtf8(def.caption))
    , m_backColor(def.backColor)
    , m_foreColor(def.foreColor)
    , m_enabled((def.flags & ControlFlag::Disabled) == 0)
    , m_visible((def.flags & ControlFlag::Hidden) == 0)
{
    if (def.picture)
        m_picture = QPixmap(QString::fromLatin1(def.picture));
}

bool Control::isDrawn() const
{
    switch (m_def.kind) {
    case ControlKind::Label:
    case ControlKind::Image:
    case ControlKind::Shape:
    case ControlKind::Line:
        return true;
    default:
        return false;
    }
}

bool Control::takesMouse() const
{
    return m_def.kind == ControlKind::Label || m_def.kind == ControlKind::Image;
}

QRect Control::boxTwips() const
{
    if (m_def.kind == ControlKind::Line) {
        const QRect r = QRect(QPoint(m_def.left, m_def.top), QPoint(m_def.width, m_def.height)).normalized();
        return r;
    }
    return QRect(m_def.left, m_def.top, m_def.width, m_def.height);
}

QRect Control::boxPixels() const
{
    return Twips::toPixels(boxTwips());
}

QFont Control::font() const
{
    return Skin::font(m_def.font);
}

void Control::changed()
{
    if (m_widget)
        m_widget->update();
    else if (m_window)
        m_window->update(boxPixels().adjusted(-1, -1, 1, 1));
}

void Control::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    changed();
}

void Control::setBackColor(quint32 color)
{
    if (color == m_backColor)
        return;
    m_backColor = color;
    changed();
}

void Control::setForeColor(quint32 color)
{
    if (color == m_foreColor)
        return;
    m_foreColor = color;
    changed();
}

void Control::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (m_widget)
        m_widget->setEnabled(enabled);
    changed();
}
