#pragma once

#include <QAccessibleActionInterface>
#include <QAccessibleInterface>

class Control;
class FormWindow;

// A drawn control as assistive technology sees it: a button that can be pressed, a
// style lamp that is checked while its style is on, or a text the program writes.
// Drawn controls are no widgets, so the interface is registered on its own and
// lives exactly as long as its control.
class ControlAccessible final : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    // The control's interface, registered the first time it is asked for.
    static QAccessibleInterface *of(Control &control, FormWindow *form);

    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *focusChild() const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    ControlAccessible(Control &control, FormWindow *form);

    Control &m_control;
    FormWindow *m_form = nullptr;
};
