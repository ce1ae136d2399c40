#pragma once

#include <QAccessibleWidget>

class FormWindow;

// A window as assistive technology sees it: its named controls in reading order,
// drawn and windowed alike, then its other child widgets.
class FormAccessible final : public QAccessibleWidget
{
public:
    explicit FormAccessible(FormWindow *form);

    // Makes the windows and their swatches known to Qt's accessibility, once.
    static void installFactory();

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QString text(QAccessible::Text t) const override;
    QAccessibleInterface *focusChild() const override;

private:
    FormWindow *form() const;
    QList<QAccessibleInterface *> children() const;
};
