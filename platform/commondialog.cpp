#include "platform/commondialog.h"

#include "platform/colors.h"
#include "platform/services.h"

#include <QFont>

namespace {
Failure cancelled()
{
    return {FailureNumber::CancelError, QStringLiteral("Annulation demandée.")};
}
} // namespace

Failure CommonDialog::showFile(bool save)
{
    FileDialogRequest request;
    request.save = save;
    request.fileName = m_fileName;
    request.filter = m_filter;
    request.flags = m_flags;
    const std::optional<QString> chosen = Services::dialogs().fileDialog(request);
    // A cancelled dialog keeps the file name it had.
    if (!chosen)
        return cancelled();
    m_fileName = *chosen;
    return {};
}

void CommonDialog::fileUsed(const QString &path, bool succeeded)
{
    if (!path.isEmpty())
        Services::dialogs().fileUsed(path, succeeded);
}

Failure CommonDialog::showOpen() { return showFile(false); }
Failure CommonDialog::showSave() { return showFile(true); }

Failure CommonDialog::showColor()
{
    const std::optional<QColor> chosen = Services::dialogs().colorDialog(ColorInt::toQColor(m_color));
    if (!chosen)
        return cancelled();
    m_color = ColorInt::fromQColor(*chosen);
    return {};
}

Failure CommonDialog::showFont()
{
    QFont initial;
    if (!m_fontName.isEmpty())
        initial.setFamilies({m_fontName});
    const std::optional<QFont> chosen = Services::dialogs().fontDialog(initial);
    if (!chosen)
        return cancelled();
    m_fontName = chosen->family();
    return {};
}
