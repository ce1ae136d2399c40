#include "platform/fileicons.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace {

// The type the name gives, or none.
QMimeType typeByName(const QFileInfo &info)
{
    const QList<QMimeType> types = QMimeDatabase().mimeTypesForFileName(info.fileName());
    return types.isEmpty() ? QMimeType() : types.first();
}

} // namespace

QIcon FileIcons::icon(IconType type) const
{
    return QFileIconProvider::icon(type);
}

QIcon FileIcons::icon(const QFileInfo &info) const
{
    // Folders, drives and anything that is no regular file are told by their kind,
    // which a status gives; Qt's provider reads nothing for them.
    if (!info.isFile())
        return QFileIconProvider::icon(info);
    const QIcon file = QFileIconProvider::icon(QAbstractFileIconProvider::File);
    const QMimeType mime = typeByName(info);
    if (!mime.isValid())
        return file;
    return QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName(), file));
}

QString FileIcons::type(const QFileInfo &info) const
{
    if (!info.isFile())
        return QFileIconProvider::type(info);
    QMimeType mime = typeByName(info);
    if (!mime.isValid())
        mime = QMimeDatabase().mimeTypeForName(QStringLiteral("application/octet-stream"));
    return mime.comment().isEmpty() ? mime.name() : mime.comment();
}
