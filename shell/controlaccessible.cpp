#include "shell/controlaccessible.h"

#include "shell/control.h"
#include "shell/formwindow.h"

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
    case AccessRole::Lamp:
        // Shown as a check box that cannot be changed: what screen readers announce
        // as on or off.
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
    } else if (access && access->role == AccessRole::Lamp) {
        state.checkable = true;
        state.checked = m_control.isLampOn();
        state.readOnly = true;
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
