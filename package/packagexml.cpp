#include "package/packagexml.h"

#include "package/packagelimits.h"
#include "package/partstream.h"
#include "package/tagscan.h"

PackageXml::PackageXml(const QByteArray &data, qsizetype threadedFrom)
    : m_bytes(data)
    , m_device(&m_bytes)
{
    m_device.open(QIODevice::ReadOnly);
    if (TagScan().tooManyAttributes(data.constData(), data.size(), true)) {
        m_reader.raiseError(QStringLiteral("too many attributes in one tag"));
        return;
    }
    if (data.size() >= threadedFrom) {
        startFeed(&m_device);
        return;
    }
    m_reader.setDevice(&m_device);
    // Internal entities are refused with the declaration that holds them; this only
    // bounds what the reader itself would expand should one get through.
    m_reader.setEntityExpansionLimit(0);
}

PackageXml::PackageXml(PartStream &stream)
    : m_stream(&stream)
{
    // The stream counts the attributes itself, before it hands the bytes over.
    startFeed(&stream);
}

PackageXml::~PackageXml() = default;

void PackageXml::startFeed(QIODevice *device)
{
    m_feed = std::make_unique<TokenFeed>(device);
}

bool PackageXml::failed() const
{
    return m_reader.hasError() || !m_error.isEmpty() || (m_stream && m_stream->failed());
}

QString PackageXml::errorString() const
{
    if (m_stream && m_stream->failed())
        return m_stream->failure();
    return m_feed ? m_error : m_reader.errorString();
}

int PackageXml::attributeCount() const
{
    if (!m_feed)
        return int(m_reader.attributes().size());
    return m_token && m_token->kind == TokenFeed::Start ? m_token->attributes : 0;
}

bool PackageXml::nextFed()
{
    m_token = nullptr;
    if (m_ended)
        return false;
    while (!m_piece || m_index >= m_piece->tokens.size()) {
        if (m_piece && m_piece->last) {
            m_ended = true;
            m_error = m_piece->error;
            return false;
        }
        m_feed->giveBack(std::move(m_piece));
        m_piece = m_feed->take();
        m_index = 0;
        if (!m_piece) {
            m_ended = true;
            m_error = QStringLiteral("the part ended early");
            return false;
        }
    }
    m_token = &m_piece->tokens[m_index++];
    if (m_token->kind == TokenFeed::Start)
        ++m_depth;
    else if (m_token->kind == TokenFeed::End)
        --m_depth;
    return true;
}

bool PackageXml::next()
{
    if (m_feed)
        return nextFed();
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
    if (m_feed) {
        if (!m_token || m_token->kind != TokenFeed::Start)
            return {};
        const TokenFeed::Attribute *a = m_piece->attributes.data() + m_token->firstAttribute;
        for (const TokenFeed::Attribute *end = a + m_token->attributes; a != end; ++a) {
            if (m_piece->view(a->name) == local)
                return m_piece->view(a->value).toString();
        }
        return {};
    }
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
    if (m_feed) {
        if (!m_token || m_token->kind != TokenFeed::Start)
            return {};
        const TokenFeed::Attribute *a = m_piece->attributes.data() + m_token->firstAttribute;
        for (const TokenFeed::Attribute *end = a + m_token->attributes; a != end; ++a) {
            if (m_piece->view(a->name) == local && m_piece->view(a->ns).endsWith(nsSuffix))
                return m_piece->view(a->value).toString();
        }
        return {};
    }
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
