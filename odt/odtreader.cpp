#include "odt/odtreader.h"

#include "package/package.h"

namespace Odt {

bool isTextPackage(Package &package)
{
    const std::optional<QByteArray> type = package.read(QStringLiteral("mimetype"));
    if (!type)
        return false;
    const QByteArray t = type->trimmed();
    return t == "application/vnd.oasis.opendocument.text" || t == "application/vnd.oasis.opendocument.text-template";
}

Failure read(Package &, QTextDocument *)
{
    return {FailureNumber::InvalidFormat, QStringLiteral("OpenDocument")};
}

Failure readFlat(const QByteArray &, QTextDocument *)
{
    return {FailureNumber::InvalidFormat, QStringLiteral("OpenDocument")};
}

} // namespace Odt
