#include "package/packagexml.h"

#include "package/packagelimits.h"
#include "package/partstream.h"
#include "package/tagscan.h"

PackageXml::PackageXml(const QByteArray &data)
    : m_bytes(data)
    , m_device(&m_bytes)
{
    m_device.open(QIODevice::ReadOnly);
    m_reader.setDevice(&m_device);
    if (TagScan().tooManyAttributes(data.constData(), data.size(), true))
        m_reader.raiseError(QStringLiteral("too many attributes in one tag"));
    // Internal entities are refused with the declaration that holds them; this only
    // bounds what the reader itself would expand should one get through.
    m_reader.setEntityExpansionLimit(0);
}

PackageXml::PackageXml(PartStream &stream)
    : m_stream(&stream)
{
    // The stream counts the attributes itself, before it hands the bytes over.
    m_reader.setDevice(&stream);
    m_reader.setEntityExpansionLimit(0);
}

bool PackageXml::failed() const
{
    return m_reader.hasError() || (m_stream && m_stream->failed());
}

QString PackageXml::errorString() const
{
    return m_stream && m_stream->failed() ? m_stream->failure() : m_reader.errorString();
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
