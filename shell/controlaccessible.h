#pragma once

#include <QAccessibleActionInterface>
#include <QAccessibleInterface>
#include <QAccessibleTextInterface>

class Control;
class FormWindow;

// A drawn control as assistive technology sees it: a button that can be pressed, a
// style toggle that is checked while its lamp is on, or a text the program writes,
// read as text. Drawn controls are no widgets, so the interface is registered on
// its own and lives exactly as long as its control.
class ControlAccessible final : public QAccessibleInterface,
                                public QAccessibleActionInterface,
                                public QAccessibleTextInterface
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
    QString localizedActionName(const QString &actionName) const override;
    QString localizedActionDescription(const QString &actionName) const override;

    // A display's text, read only.
    void selection(int, int *startOffset, int *endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    ControlAccessible(Control &control, FormWindow *form);

    Control &m_control;
    FormWindow *m_form = nullptr;
};
