#include "docx/docxreader.h"

#include "docx/docxbody.h"
#include "package/package.h"
#include "package/partstream.h"

#include <QTextDocument>

#include <new>

namespace Docx {

namespace {

// The main document's content types: a document, a template, each with macros or not.
const char16_t *const mainTypes[] = {
    u"wordprocessingml.document.main+xml",
    u"wordprocessingml.template.main+xml",
    u"ms-word.document.macroEnabled.main+xml",
    u"ms-word.template.macroEnabledTemplate.main+xml",
};

QString mainPart(Package &package)
{
    // The package's own relationship names the main part; some producers store it
    // under another name than word/document.xml.
    const QString related = package.relatedPart(QString(), QStringLiteral("/officeDocument"));
    if (!related.isEmpty() && package.has(related))
        return related;
    for (const char16_t *type : mainTypes) {
        const QString part = package.partWithType(QStringView(type));
        if (!part.isEmpty())
            return part;
    }
    return {};
}

Failure invalid(const QString &why)
{
    return {FailureNumber::InvalidFormat, QStringLiteral("Le document Word est illisible (%1).").arg(why)};
}

} // namespace

bool isWordPackage(Package &package)
{
    for (const char16_t *type : mainTypes) {
        if (!package.partWithType(QStringView(type)).isEmpty())
            return true;
    }
    return false;
}

Failure read(Package &package, QTextDocument *doc)
{
    if (!doc)
        return {FailureNumber::InvalidArgument, QStringLiteral("No document to read into.")};
    const QString main = mainPart(package);
    if (main.isEmpty())
        return invalid(QStringLiteral("pas de document principal"));
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    Failure result;
    try {
        // The main part inflates while the styles are read and while it is parsed.
        const std::unique_ptr<PartStream> xml = package.stream(main);
        if (!xml) {
            doc->setUndoRedoEnabled(undo);
            return invalid(QStringLiteral("document principal illisible"));
        }
        // A second reading, from the whole part, is for a part found to have
        // newspaper columns only once it was whole.
        bool again = false;
        do {
            if (again)
                doc->clear();
            DocxBody body(package, main, doc);
            const auto part = [&](const char *type) {
                const QString name = package.relatedPart(main, QString::fromLatin1(type));
                return name.isEmpty() ? std::optional<QByteArray>() : package.read(name);
            };
            if (const auto theme = part("/theme"))
                body.styles.readTheme(*theme);
            if (const auto styles = part("/styles"))
                body.styles.read(*styles);
            if (const auto numbering = part("/numbering"))
                body.numbering.read(*numbering);
            if (const auto settings = part("/settings"))
                body.readSettings(*settings);
            try {
                const bool read = again ? body.read(xml->bytes()) : body.read(*xml);
                again = !read && body.readAgain();
                if (again)
                    continue;
                if (!read)
                    result = invalid(body.error());
                else if (body.outOfMemory())
                    result = outOfMemoryFailure();
            } catch (const std::bad_alloc &) {
                result = outOfMemoryFailure();
            }
        } while (again);
    } catch (const std::bad_alloc &) {
        result = outOfMemoryFailure();
    }
    doc->setUndoRedoEnabled(undo);
    return result;
}

} // namespace Docx
