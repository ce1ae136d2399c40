#include "odt/odtreader.h"

#include "odt/odtbody.h"
#include "package/package.h"
#include "package/packagexml.h"

#include <QTextDocument>

#include <new>

namespace Odt {

namespace {

Failure invalid(const QString &why)
{
    return {FailureNumber::InvalidFormat, QStringLiteral("Le document OpenDocument est illisible (%1).").arg(why)};
}

// Builds into doc with the styles read by readStyles and the body read by readBody.
template<typename Styles, typename Body>
Failure build(Package *package, QTextDocument *doc, Styles readStyles, Body readBody)
{
    if (!doc)
        return {FailureNumber::InvalidArgument, QStringLiteral("No document to read into.")};
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    Failure result;
    try {
        OdtBody body(package, doc);
        readStyles(body);
        if (!readBody(body))
            result = invalid(body.error());
        else if (body.outOfMemory())
            result = outOfMemoryFailure();
    } catch (const std::bad_alloc &) {
        result = outOfMemoryFailure();
    }
    doc->setUndoRedoEnabled(undo);
    return result;
}

} // namespace

bool isTextPackage(Package &package)
{
    const std::optional<QByteArray> type = package.read(QStringLiteral("mimetype"));
    if (!type)
        return false;
    const QByteArray t = type->trimmed();
    return t == "application/vnd.oasis.opendocument.text" || t == "application/vnd.oasis.opendocument.text-template";
}

Failure read(Package &package, QTextDocument *doc)
{
    const std::optional<QByteArray> content = package.read(QStringLiteral("content.xml"));
    if (!content)
        return invalid(QStringLiteral("content.xml absent ou illisible"));
    const std::optional<QByteArray> styles = package.read(QStringLiteral("styles.xml"));
    const std::optional<QByteArray> settings = package.read(QStringLiteral("settings.xml"));
    return build(
        &package, doc,
        [&](OdtBody &body) {
            if (styles) {
                PackageXml xml(*styles);
                body.styles.read(xml, false);
            }
            if (settings) {
                PackageXml xml(*settings);
                body.readSettings(xml);
            }
        },
        [&](OdtBody &body) {
            PackageXml xml(*content);
            body.styles.read(xml, true);
            return !xml.failed() && body.read(xml);
        });
}

Failure readFlat(const QByteArray &data, QTextDocument *doc)
{
    return build(
        nullptr, doc, [](OdtBody &) {},
        [&](OdtBody &body) {
            PackageXml xml(data);
            body.styles.read(xml, true);
            return !xml.failed() && body.read(xml);
        });
}

} // namespace Odt
