#include "platform/filedrop.h"

#include "layout/softbreaks.h"
#include "platform/documentloader.h"

#include <QFileInfo>
#include <QMimeData>
#include <QHash>
#include <QMimeDatabase>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QUrl>

#include <memory>
#include <vector>

namespace FileDrop {

namespace {

bool isTextName(const QString &name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    // Rich text, plain text, and the Word and OpenDocument texts the loader reads.
    static const char *const documents[] = {"rtf", "txt", "docx", "docm", "dotx", "dotm", "odt", "ott", "fodt"};
    for (const char *known : documents) {
        if (suffix == QLatin1String(known))
            return true;
    }
    // By the name alone: sniffing the content could block on a slow mount.
    const QList<QMimeType> types = QMimeDatabase().mimeTypesForFileName(name);
    return !types.isEmpty() && types.first().inherits(QStringLiteral("text/plain"));
}

// The loaded document's pictures are resources of that document, named as its
// reader numbered them. They go into the target under names of their own, so they
// neither vanish with the loaded document nor take the place of the target's.
void movePictures(QTextDocument *from, QTextDocument *to)
{
    static int dropped = 0;
    struct Picture
    {
        int position;
        int length;
        QTextImageFormat format;
    };
    std::vector<Picture> pictures;
    for (QTextBlock block = from->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid() && fragment.charFormat().isImageFormat())
                pictures.push_back({fragment.position(), fragment.length(), fragment.charFormat().toImageFormat()});
        }
    }
    QHash<QString, QString> renamed;
    for (Picture &picture : pictures) {
        const QString name = picture.format.name();
        QString &newName = renamed[name];
        if (newName.isEmpty()) {
            newName = QStringLiteral("rtfimage://drop%1").arg(++dropped);
            to->addResource(QTextDocument::ImageResource, QUrl(newName),
                            from->resource(QTextDocument::ImageResource, QUrl(name)));
        }
        picture.format.setName(newName);
        QTextCursor cursor(from);
        cursor.setPosition(picture.position);
        cursor.setPosition(picture.position + picture.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(picture.format);
    }
}

} // namespace

QStringList localFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    return files;
}

bool accepts(const QStringList &files)
{
    if (files.size() != 1)
        return false;
    // A status, not a read: FIFOs, devices and folders are no documents.
    const QFileInfo info(files.first());
    return info.isFile() && isTextName(info.fileName());
}

Failure insert(QTextCursor &cursor, const QString &path)
{
    std::unique_ptr<QTextDocument> loaded;
    if (Failure f = DocumentLoader::load(path, &loaded))
        return f;
    QTextDocument *target = cursor.document();
    movePictures(loaded.get(), target);
    const QTextDocumentFragment content(loaded.get());
    cursor.beginEditBlock();
    const int first = target->findBlock(cursor.selectionStart()).blockNumber();
    cursor.insertFragment(content);
    // A paragraph that became too long is shown in pieces, as after a load; the
    // cursor stays after what was inserted.
    QTextCursor splitter(cursor);
    SoftBreaks::split(splitter, first, cursor.blockNumber());
    cursor.endEditBlock();
    return {};
}

} // namespace FileDrop
