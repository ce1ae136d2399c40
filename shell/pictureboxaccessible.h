#pragma once

#include <QAccessibleWidget>

class PictureBoxWidget;

// A palette swatch as assistive technology sees it: a button named after its
// colour, pressed as by a click.
class PictureBoxAccessible final : public QAccessibleWidget
{
public:
    explicit PictureBoxAccessible(PictureBoxWidget *box);

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QString localizedActionName(const QString &actionName) const override;
    QString localizedActionDescription(const QString &actionName) const override;
};
