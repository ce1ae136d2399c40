#include "shell/pictureboxaccessible.h"

#include "shell/frenchactions.h"
#include "shell/pictureboxwidget.h"

#include <QPointer>

PictureBoxAccessible::PictureBoxAccessible(PictureBoxWidget *box)
    : QAccessibleWidget(box, QAccessible::Button)
{
}

QStringList PictureBoxAccessible::actionNames() const
{
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void PictureBoxAccessible::doAction(const QString &actionName)
{
    if (actionName != pressAction()) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    // From the event loop, as a click arrives.
    const QPointer<PictureBoxWidget> box = static_cast<PictureBoxWidget *>(widget());
    QMetaObject::invokeMethod(
        box,
        [box] {
            if (box)
                box->click();
        },
        Qt::QueuedConnection);
}

QString PictureBoxAccessible::localizedActionName(const QString &actionName) const
{
    return FrenchActions::name(actionName, QAccessibleWidget::localizedActionName(actionName));
}

QString PictureBoxAccessible::localizedActionDescription(const QString &actionName) const
{
    return FrenchActions::description(actionName, QAccessibleWidget::localizedActionDescription(actionName));
}
