#include "platform/frenchtexts.h"

#include <QCoreApplication>
#include <QTranslator>

namespace FrenchTexts {

bool install()
{
    static QTranslator *installed = nullptr;
    if (installed)
        return true;
    if (!QCoreApplication::instance())
        return false;
    // Stored uncompressed, so the translator reads the catalogue where it lies in
    // the program instead of unpacking a copy at every start.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral(":/i18n/qtbase_fr.qm")) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}

} // namespace FrenchTexts
