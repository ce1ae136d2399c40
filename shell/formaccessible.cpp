#include "shell/formaccessible.h"

#include "shell/controlaccessible.h"
#include "shell/formwindow.h"
#include "shell/pictureboxaccessible.h"
#include "shell/pictureboxwidget.h"

#include <QSet>

namespace {

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("FormWindow")) {
        if (auto *form = qobject_cast<FormWindow *>(object))
            return new FormAccessible(form);
    }
    if (className == QLatin1String("PictureBoxWidget")) {
        auto *box = qobject_cast<PictureBoxWidget *>(object);
        const AccessDef *access = box ? box->control().access() : nullptr;
        if (access && access->role == AccessRole::Button)
            return new PictureBoxAccessible(box);
    }
    return nullptr;
}

} // namespace

FormAccessible::FormAccessible(FormWindow *form)
    : QAccessibleWidget(form, QAccessible::Window)
{
}

void FormAccessible::installFactory()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
}

FormWindow *FormAccessible::form() const
{
    return static_cast<FormWindow *>(widget());
}

QList<QAccessibleInterface *> FormAccessible::children() const
{
    QList<QAccessibleInterface *> result;
    QSet<const QWidget *> listed;
    FormWindow *window = form();
    const FormDef &def = window->definition();
    for (int i = 0; i < def.accessCount; ++i) {
        Control *control = window->findControl(QString::fromLatin1(def.access[i].control));
        if (!control)
            continue;
        if (control->isDrawn()) {
            result << ControlAccessible::of(*control, window);
        } else if (QWidget *w = control->widget()) {
            result << QAccessible::queryAccessibleInterface(w);
            listed.insert(w);
        }
    }
    // Child widgets without a name of their own (the search field's underline, the
    // hidden button that holds the modified flag) are no controls for the user and
    // are left out; any other child widget comes after, as Qt would list it.
    for (QObject *object : window->children()) {
        auto *w = qobject_cast<QWidget *>(object);
        if (!w || w->isWindow() || listed.contains(w) || window->findControl(w->objectName()))
            continue;
        if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w))
            result << iface;
    }
    return result;
}

QString FormAccessible::text(QAccessible::Text t) const
{
    // A prompt is named by its question, as it is asked.
    const char *nameControl = form()->definition().nameControl;
    if (t == QAccessible::Name && nameControl) {
        if (const Control *control = form()->findControl(QString::fromLatin1(nameControl)))
            return control->caption();
    }
    return QAccessibleWidget::text(t);
}

QAccessibleInterface *FormAccessible::focusChild() const
{
    // The focus ring on one of the window's drawn controls.
    FormWindow *window = form();
    if (window->hasFocus()) {
        if (Control *control = window->ringControl())
            return ControlAccessible::of(*control, window);
    }
    return QAccessibleWidget::focusChild();
}

int FormAccessible::childCount() const
{
    return int(children().size());
}

QAccessibleInterface *FormAccessible::child(int index) const
{
    const QList<QAccessibleInterface *> all = children();
    return index >= 0 && index < all.size() ? all.at(index) : nullptr;
}

int FormAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    return int(children().indexOf(const_cast<QAccessibleInterface *>(child)));
}

QAccessibleInterface *FormAccessible::childAt(int x, int y) const
{
    FormWindow *window = form();
    const QPoint local = window->mapFromGlobal(QPoint(x, y));
    // Windowed controls lie above every drawn one.
    for (QAccessibleInterface *iface : children()) {
        if (iface->object() && iface->rect().contains(x, y) && !iface->state().invisible)
            return iface;
    }
    Control *control = window->drawnControlAt(local);
    // The picture beside an answer is part of it.
    if (control && !control->access() && control->owner())
        control = control->owner();
    if (control && control->access())
        return ControlAccessible::of(*control, window);
    return nullptr;
}
