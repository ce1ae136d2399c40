#include "shell/controlaccessible.h"

#include "shell/control.h"
#include "shell/formwindow.h"
#include "shell/frenchactions.h"

#include <QFontMetrics>
#include <QPointer>

ControlAccessible::ControlAccessible(Control &control, FormWindow *form)
    : m_control(control)
    , m_form(form)
{
}

QAccessibleInterface *ControlAccessible::of(Control &control, FormWindow *form)
{
    if (control.accessibleId())
        return QAccessible::accessibleInterface(control.accessibleId());
    auto *iface = new ControlAccessible(control, form);
    control.setAccessibleId(QAccessible::registerAccessibleInterface(iface));
    return iface;
}

bool ControlAccessible::isValid() const
{
    return m_form != nullptr;
}

QWindow *ControlAccessible::window() const
{
    return m_form->windowHandle();
}

QAccessibleInterface *ControlAccessible::parent() const
{
    return QAccessible::queryAccessibleInterface(m_form);
}

QString ControlAccessible::text(QAccessible::Text t) const
{
    const AccessDef *access = m_control.access();
    switch (t) {
    case QAccessible::Name:
        return m_control.accessibleName();
    case QAccessible::Description:
        if (access && access->toolTip && m_control.accessibleName() != QString::fromUtf8(access->toolTip))
            return QString::fromUtf8(access->toolTip);
        return {};
    case QAccessible::Value:
        if (access && access->role == AccessRole::Display && access->name)
            return m_control.caption();
        return {};
    default:
        return {};
    }
}

QRect ControlAccessible::rect() const
{
    const QRect box = m_control.accessBoxPixels();
    return QRect(m_form->mapToGlobal(box.topLeft()), box.size());
}

QAccessible::Role ControlAccessible::role() const
{
    const AccessDef *access = m_control.access();
    switch (access ? access->role : AccessRole::Display) {
    case AccessRole::Button:
        return QAccessible::Button;
    case AccessRole::Toggle:
        // As Qt offers a button that stays pressed: a check box, checked or not.
        return QAccessible::CheckBox;
    default:
        return QAccessible::StaticText;
    }
}

QAccessible::State ControlAccessible::state() const
{
    QAccessible::State state;
    state.invisible = !m_control.isVisible() || !m_form->isVisible();
    state.disabled = !m_control.isEnabled();
    const AccessDef *access = m_control.access();
    if (m_form->isRingStop(m_control)) {
        state.focusable = true;
        state.focused = m_form->ringControl() == &m_control && m_form->hasFocus();
    }
    if (access && access->role == AccessRole::Toggle) {
        // Checked as its lamp shows the style.
        state.checkable = true;
        state.checked = m_control.partner() && m_control.partner()->isLampOn();
    } else if (access && access->role == AccessRole::Display) {
        state.readOnly = true;
    }
    return state;
}

void *ControlAccessible::interface_cast(QAccessible::InterfaceType type)
{
    const AccessDef *access = m_control.access();
    const bool clickable = access && (access->role == AccessRole::Button || access->role == AccessRole::Toggle);
    if (type == QAccessible::ActionInterface && clickable)
        return static_cast<QAccessibleActionInterface *>(this);
    if (type == QAccessible::TextInterface && access && access->role == AccessRole::Display)
        return static_cast<QAccessibleTextInterface *>(this);
    return nullptr;
}

QStringList ControlAccessible::actionNames() const
{
    const AccessDef *access = m_control.access();
    if (access && access->role == AccessRole::Toggle)
        return {toggleAction(), pressAction()};
    return {pressAction()};
}

void ControlAccessible::doAction(const QString &actionName)
{
    if (!actionNames().contains(actionName))
        return;
    // Later, from the event loop, as a click arrives: the handler may show a modal
    // dialog, which must not hold up the assistive technology's request.
    const QPointer<FormWindow> form = m_form;
    const QString name = m_control.name();
    QMetaObject::invokeMethod(
        m_form,
        [form, name] {
            if (form)
                form->raiseClick(name);
        },
        Qt::QueuedConnection);
}

QString ControlAccessible::localizedActionName(const QString &actionName) const
{
    return FrenchActions::name(actionName, QAccessibleActionInterface::localizedActionName(actionName));
}

QString ControlAccessible::localizedActionDescription(const QString &actionName) const
{
    return FrenchActions::description(actionName, QAccessibleActionInterface::localizedActionDescription(actionName));
}

QString ControlAccessible::text(int startOffset, int endOffset) const
{
    const QString all = m_control.caption();
    const int start = qBound(0, startOffset, int(all.size()));
    const int end = endOffset < 0 ? int(all.size()) : qBound(start, endOffset, int(all.size()));
    return all.mid(start, end - start);
}

int ControlAccessible::characterCount() const
{
    return int(m_control.caption().size());
}

QRect ControlAccessible::characterRect(int offset) const
{
    // Where the character is drawn: one line from the display's left edge.
    const QString caption = m_control.caption();
    if (offset < 0 || offset >= caption.size())
        return {};
    const QFontMetrics metrics(m_control.font());
    const QRect box = m_control.boxPixels();
    const int x = box.x() + metrics.horizontalAdvance(caption.left(offset));
    const QRect local(x, box.y(), metrics.horizontalAdvance(caption.at(offset)), metrics.height());
    return QRect(m_form->mapToGlobal(local.topLeft()), local.size());
}

int ControlAccessible::offsetAtPoint(const QPoint &point) const
{
    for (int i = 0; i < characterCount(); ++i) {
        if (characterRect(i).contains(point))
            return i;
    }
    return -1;
}

QString ControlAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = offset;
    return {};
}
