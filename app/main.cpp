#include "platform/frenchtexts.h"
#include "shell/form1.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // No application display name: Qt would append it to every window caption.
    app.setWindowIcon(QIcon(QStringLiteral(":/art/appicon32.png")));
    // The installed desktop entry, by which a desktop finds the program's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvo.orvo"));
    FrenchTexts::install();
    Form1 form;
    form.start();
    return app.exec();
}
