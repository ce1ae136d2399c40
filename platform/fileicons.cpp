#include "platform/fileicons.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>
#include <QStandardPaths>
#include <QXmlStreamReader>

namespace {

// The type the name gives, or none.
QMimeType typeByName(const QFileInfo &info)
{
    const QList<QMimeType> types = QMimeDatabase().mimeTypesForFileName(info.fileName());
    return types.isEmpty() ? QMimeType() : types.first();
}

// The French description of a type, from the shared MIME database's file for it,
// which carries every language's; Qt's description follows the desktop's locale.
// Empty when no file gives one. The dialog's listing asks from a thread of its own.
QString frenchComment(const QString &mimeName)
{
    static QMutex mutex;
    static QHash<QString, QString> known;
    const QMutexLocker lock(&mutex);
    const auto it = known.constFind(mimeName);
    if (it != known.constEnd())
        return *it;
    QString comment;
    const QString path =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("mime/%1.xml").arg(mimeName));
    QFile file(path);
    // A type's file is a few kilobytes; anything far larger is not one.
    if (!path.isEmpty() && file.open(QIODevice::ReadOnly) && file.size() < (1 << 20)) {
        QXmlStreamReader xml(&file);
        while (comment.isEmpty() && !xml.atEnd()) {
            if (!xml.readNextStartElement() || xml.name() != QLatin1String("comment"))
                continue;
            for (const QXmlStreamAttribute &attribute : xml.attributes()) {
                if (attribute.qualifiedName() == QLatin1String("xml:lang") && attribute.value() == QLatin1String("fr"))
                    comment = xml.readElementText().simplified();
            }
        }
    }
    known.insert(mimeName, comment);
    return comment;
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
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
    // In French whatever the desktop's locale, as the rest of the dialog.
    if (QDir(info.absoluteFilePath()).isRoot())
        return QStringLiteral("Lecteur");
    if (info.isDir())
        return QStringLiteral("Dossier");
    if (!info.isFile())
        return info.isSymLink() ? QStringLiteral("Lien") : QStringLiteral("Inconnu");
    QMimeType mime = typeByName(info);
    if (!mime.isValid())
        mime = QMimeDatabase().mimeTypeForName(QStringLiteral("application/octet-stream"));
    const QString french = frenchComment(mime.name());
    if (!french.isEmpty())
        return capitalised(french);
    const QString suffix = info.suffix().toUpper();
    return suffix.isEmpty() ? QStringLiteral("Fichier") : QStringLiteral("Fichier %1").arg(suffix);
}
