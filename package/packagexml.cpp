#include "package/packagexml.h"

#include "package/packagelimits.h"

#include <cstring>

namespace {

// Whether some tag of data has more than PackageLimits::MaxXmlAttributes attributes,
// counted by their '=' outside quotes; comments, CDATA sections and processing
// instructions are passed over, so that what they hold is not counted.
bool tooManyAttributes(const QByteArray &data)
{
    const char *p = data.constData();
    const char *const end = p + data.size();
    const auto skipPast = [&](const char *from, QByteArrayView close) {
        const qsizetype at = QByteArrayView(from, end - from).indexOf(close);
        return at < 0 ? end : from + at + close.size();
    };
    while (p < end) {
        p = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)));
        if (!p)
            return false;
        const QByteArrayView rest(p, end - p);
        if (rest.startsWith("<!--")) {
            p = skipPast(p + 4, "-->");
            continue;
        }
        if (rest.startsWith("<![CDATA[")) {
            p = skipPast(p + 9, "]]>");
            continue;
        }
        if (rest.startsWith("<?")) {
            p = skipPast(p + 2, "?>");
            continue;
        }
        int equals = 0;
        char quote = 0;
        for (++p; p < end; ++p) {
            const char c = *p;
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                if (++equals > PackageLimits::MaxXmlAttributes)
                    return true;
            } else if (c == '>') {
                ++p;
                break;
            }
        }
    }
    return false;
}

} // namespace

PackageXml::PackageXml(const QByteArray &data)
    : m_bytes(data)
    , m_device(&m_bytes)
{
    m_device.open(QIODevice::ReadOnly);
    m_reader.setDevice(&m_device);
    if (tooManyAttributes(data))
        m_reader.raiseError(QStringLiteral("too many attributes in one tag"));
    // Internal entities are refused with the declaration that holds them; this only
    // bounds what the reader itself would expand should one get through.
    m_reader.setEntityExpansionLimit(0);
}

bool PackageXml::next()
{
    if (m_reader.atEnd() || m_reader.hasError())
        return false;
    switch (m_reader.readNext()) {
    case QXmlStreamReader::DTD:
        m_reader.raiseError(QStringLiteral("document type declaration refused"));
        return false;
    case QXmlStreamReader::EntityReference:
        m_reader.raiseError(QStringLiteral("entity reference refused"));
        return false;
    case QXmlStreamReader::StartElement:
        if (++m_depth > PackageLimits::MaxXmlDepth) {
            m_reader.raiseError(QStringLiteral("elements nested too deep"));
            return false;
        }
        break;
    case QXmlStreamReader::EndElement:
        --m_depth;
        break;
    case QXmlStreamReader::Invalid:
        return false;
    default:
        break;
    }
    return !m_reader.hasError();
}

QString PackageXml::attribute(QStringView local) const
{
    // Through a const list: iterating the temporary itself would detach it, copying
    // every attribute of the element at each question.
    const QXmlStreamAttributes attributes = m_reader.attributes();
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.name() == local)
            return a.value().toString();
    }
    return {};
}

QString PackageXml::attribute(QStringView nsSuffix, QStringView local) const
{
    const QXmlStreamAttributes attributes = m_reader.attributes();
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.name() == local && a.namespaceUri().endsWith(nsSuffix))
            return a.value().toString();
    }
    return {};
}

void PackageXml::skip()
{
    const int depth = m_depth;
    while (m_depth >= depth && next()) {
    }
}
