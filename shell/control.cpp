#include "shell/control.h"

#include "shell/skin.h"
#include "shell/twips.h"

#include <QAccessibleEvent>
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
    if (def.picture) {
        const QString path = QString::fromLatin1(def.picture);
        m_picture = QPixmap(path);
        // "P9.png" drawn at twice the size is "P9@2x.png".
        const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
        m_picture2x = QPixmap(path.left(dot) + QStringLiteral("@2x") + path.mid(dot));
        m_picture2x.setDevicePixelRatio(2);
    }
}

const QPixmap &Control::pictureFor(qreal devicePixelRatio) const
{
    return devicePixelRatio > 1 && !m_picture2x.isNull() ? m_picture2x : m_picture;
}

void Control::setPartner(Control *partner)
{
    m_partner = partner;
    if (partner && m_access && m_access->role == AccessRole::Button)
        partner->m_owner = this;
    if (partner && m_access && m_access->role == AccessRole::Toggle)
        partner->m_toggle = this;
}

QRect Control::accessBoxPixels() const
{
    if (m_partner && m_partner->m_owner == this)
        return boxPixels().united(m_partner->boxPixels());
    return boxPixels();
}

Control::~Control()
{
    if (m_accessibleId)
        QAccessible::deleteAccessibleInterface(m_accessibleId);
}

QString Control::accessibleName() const
{
    if (m_access && m_access->name)
        return QString::fromUtf8(m_access->name);
    return m_caption;
}

void Control::notifyTextChanged(const QString &before) const
{
    if (!m_accessibleId || !QAccessible::isActive())
        return;
    if (QAccessibleInterface *iface = QAccessible::accessibleInterface(m_accessibleId)) {
        QAccessibleTextUpdateEvent change(iface, 0, before, m_caption);
        QAccessible::updateAccessibility(&change);
    }
}

void Control::notifyAccessibility(QAccessible::Event event) const
{
    // Only a drawn control whose interface was asked for has anyone to tell.
    if (!m_accessibleId || !QAccessible::isActive())
        return;
    QAccessibleInterface *iface = QAccessible::accessibleInterface(m_accessibleId);
    if (!iface)
        return;
    if (event == QAccessible::StateChanged) {
        QAccessible::State changes;
        changes.checked = true;
        changes.disabled = true;
        QAccessibleStateChangeEvent change(iface, changes);
        QAccessible::updateAccessibility(&change);
    } else if (event == QAccessible::Focus) {
        // The focus ring came onto the control: its state says so too.
        QAccessible::State changes;
        changes.focused = true;
        QAccessibleStateChangeEvent change(iface, changes);
        QAccessible::updateAccessibility(&change);
        QAccessibleEvent focus(iface, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    } else if (event == QAccessible::ValueChanged) {
        QAccessibleValueChangeEvent change(iface, m_caption);
        QAccessible::updateAccessibility(&change);
} else {
        QAccessibleEvent change(iface, event);
        QAccessible::updateAccessibility(&change);
    }
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
    const QRect box = Twips::toPixels(boxTwips());
    // The editor and its frames keep their left edge where the rest moved left:
    // they give way at the right and at the bottom instead.
    if (m_def.flags & ControlFlag::GivesWay)
        return box.adjusted(0, 0, m_shift.x(), -m_giveWay);
    return box.translated(m_shift);
}

void Control::fitTo(const QPoint &shift, int giveWay)
{
    m_shift = shift;
    m_giveWay = giveWay;
    if (m_widget)
        m_widget->setGeometry(boxPixels());
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
    const QString before = m_caption;
    m_caption = caption;
    changed();
    if (m_access && !m_access->name)
        notifyAccessibility(QAccessible::NameChanged);
    else if (m_access && m_access->role == AccessRole::Display)
        notifyAccessibility(QAccessible::ValueChanged);
    // A display's text is read as text too: a screen reader hears it change.
    if (m_access && m_access->role == AccessRole::Display)
        notifyTextChanged(before);
}

void Control::setBackColor(quint32 color)
{
    if (color == m_backColor)
        return;
    m_backColor = color;
    changed();
    if (m_toggle)
        m_toggle->notifyAccessibility(QAccessible::StateChanged);
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
    notifyAccessibility(QAccessible::StateChanged);
}
