#pragma once

#include <QAccessibleActionInterface>
#include <QString>

// The French names and descriptions of the standard accessibility actions, told to
// assistive technology beside the standard names it works the actions by, in the
// program's own words rather than whatever a catalogue of Qt's holds (the bridge to
// screen readers tells the description as the action's French name).
namespace FrenchActions {

inline QString name(const QString &action, const QString &fallback)
{
    if (action == QAccessibleActionInterface::pressAction())
        return QStringLiteral("Appuyer");
    if (action == QAccessibleActionInterface::toggleAction())
        return QStringLiteral("Basculer");
    if (action == QAccessibleActionInterface::setFocusAction())
        return QStringLiteral("Donner le focus");
    return fallback;
}

inline QString description(const QString &action, const QString &fallback)
{
    if (action == QAccessibleActionInterface::pressAction())
        return QStringLiteral("Actionne la commande");
    if (action == QAccessibleActionInterface::toggleAction())
        return QStringLiteral("Active ou désactive le style");
    if (action == QAccessibleActionInterface::setFocusAction())
        return QStringLiteral("Donne le focus clavier à la commande");
    return fallback;
}

} // namespace FrenchActions
