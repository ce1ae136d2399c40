#pragma once

#include <QFileIconProvider>

// The icons and types a file dialog labels its files with, told from the names and
// kinds of the files alone. Qt's own provider reads a file's first bytes when its
// name does not tell its type, and that read can wait for ever: /proc/kmsg, a file
// on a stalled mount. The dialog's listing then never ends, and closing the dialog
// waits for it on the user-interface thread.
class FileIcons final : public QFileIconProvider
{
public:
    QIcon icon(IconType type) const override;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;
};
