#include "package/packagexml.h"

#include "package/packagelimits.h"

#include <QStringDecoder>

#include <cstring>
#include <optional>

namespace {

const QString premature = QStringLiteral("premature end of document");

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

bool isNameStart(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool isNameChar(unsigned char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool allowedChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

bool startsWith(const char *p, const char *end, const char *literal)
{
    const size_t n = std::strlen(literal);
    return size_t(end - p) >= n && std::memcmp(p, literal, n) == 0;
}

const char *find(const char *p, const char *end, const char *literal)
{
    const std::string_view hay(p, size_t(end - p));
    const size_t at = hay.find(literal);
    return at == std::string_view::npos ? nullptr : p + at;
}

// The encoding a declaration names, empty when it names none.
QByteArray declaredEncoding(const QByteArray &data)
{
    if (!data.startsWith("<?xml"))
        return {};
    const qsizetype close = data.indexOf("?>");
    if (close < 0)
        return {};
    const QByteArray declaration = data.left(close);
    const qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return {};
    qsizetype i = at + 8;
    while (i < declaration.size() && isSpace(declaration[i]))
        ++i;
    if (i >= declaration.size() || declaration[i] != '=')
        return {};
    ++i;
    while (i < declaration.size() && isSpace(declaration[i]))
        ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
        return {};
    const qsizetype end = declaration.indexOf(declaration[i], i + 1);
    return end < 0 ? QByteArray() : declaration.mid(i + 1, end - i - 1);
}

} // namespace

PackageXml::PackageXml(const QByteArray &data)
    : m_data(data)
{
    // Everything is read as UTF-8: a part in another encoding is turned into it
    // first, its declaration then no longer consulted.
    std::optional<QStringConverter::Encoding> encoding;
    qsizetype skipBytes = 0;
    if (m_data.startsWith("\xEF\xBB\xBF"))
        skipBytes = 3;
    else if (m_data.startsWith("\xFE\xFF") || m_data.startsWith(QByteArrayView("\0<", 2)))
        encoding = QStringConverter::Utf16BE;
    else if (m_data.startsWith("\xFF\xFE") || m_data.startsWith(QByteArrayView("<\0", 2)))
        encoding = QStringConverter::Utf16LE;
    QString decoded;
    bool converted = false;
    if (encoding) {
        QStringDecoder decoder(*encoding, QStringDecoder::Flag::Stateless);
        decoded = decoder.decode(m_data);
        converted = !decoder.hasError();
        if (!converted)
            fail(QStringLiteral("incorrectly encoded content"));
    } else {
        const QByteArray name = declaredEncoding(m_data.mid(skipBytes)).toLower();
        if (!name.isEmpty() && name != "utf-8" && name != "utf8") {
            QStringDecoder decoder(name.constData());
            if (!decoder.isValid()) {
                fail(QStringLiteral("unsupported encoding %1").arg(QString::fromLatin1(name)));
            } else {
                decoded = decoder.decode(m_data);
                converted = !decoder.hasError();
                if (!converted)
                    fail(QStringLiteral("incorrectly encoded content"));
            }
        }
    }
    if (converted) {
        m_data = decoded.toUtf8();
        skipBytes = m_data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    }
    m_p = m_data.constData() + skipBytes;
    m_end = m_data.constData() + m_data.size();
    m_names.reserve(256);
}

bool PackageXml::refuse(const QString &why) const
{
    if (m_error.isEmpty())
        m_error = why;
    return false;
}

bool PackageXml::fail(const QString &why)
{
    refuse(why);
    m_token = Token::None;
    return false;
}

QStringView PackageXml::name() const
{
    return m_name >= 0 ? QStringView(m_names[size_t(m_name)].local) : QStringView();
}

QStringView PackageXml::ns() const
{
    return m_uri >= 0 ? QStringView(m_uris[size_t(m_uri)]) : QStringView();
}

int PackageXml::intern(std::string_view qname)
{
    const auto it = m_nameIndex.find(qname);
    if (it != m_nameIndex.end())
        return it->second;
    Name n;
    const size_t colon = qname.find(':');
    if (colon != std::string_view::npos) {
        n.prefix = qname.substr(0, colon);
        n.local = QString::fromUtf8(qname.data() + colon + 1, qsizetype(qname.size() - colon - 1));
    } else {
        n.local = QString::fromUtf8(qname.data(), qsizetype(qname.size()));
    }
    m_names.push_back(std::move(n));
    const int index = int(m_names.size()) - 1;
    m_nameIndex.emplace(qname, index);
    return index;
}

int PackageXml::uriIndex(const QString &uri)
{
    const auto it = m_uriIndex.constFind(uri);
    if (it != m_uriIndex.constEnd())
        return it.value();
    m_uris.push_back(uri);
    const int index = int(m_uris.size()) - 1;
    m_uriIndex.insert(uri, index);
    return index;
}

bool PackageXml::resolve(Name &name, int *uri)
{
    if (name.generation == m_generation) {
        *uri = name.uri;
        return true;
    }
    int found = -1;
    bool declared = name.prefix.empty(); // no prefix: the default namespace, or none
    if (name.prefix == "xml") {
        found = uriIndex(QStringLiteral("http://www.w3.org/XML/1998/namespace"));
        declared = true;
    } else {
        for (auto it = m_declarations.rbegin(); it != m_declarations.rend(); ++it) {
            if (it->prefix == name.prefix) {
                found = it->uri;
                declared = it->uri >= 0 || name.prefix.empty();
                break;
            }
        }
    }
    if (!declared)
        return false;
    name.uri = found;
    name.generation = m_generation;
    *uri = found;
    return true;
}

bool PackageXml::decode(std::string_view raw, bool attribute, QString *out) const
{
    // No reference or UTF-8 sequence takes fewer bytes than the UTF-16 it becomes.
    out->resize(qsizetype(raw.size()));
    QChar *const begin = out->data();
    QChar *d = begin;
    const auto *p = reinterpret_cast<const unsigned char *>(raw.data());
    const auto *const end = p + raw.size();
    auto put = [&](char32_t c) {
        if (c < 0x10000) {
            *d++ = QChar(char16_t(c));
        } else {
            *d++ = QChar(QChar::highSurrogate(c));
            *d++ = QChar(QChar::lowSurrogate(c));
        }
    };
    while (p < end) {
        const unsigned char c = *p;
        if (c >= 0x20 && c < 0x80 && c != '&' && c != '<') {
            *d++ = QChar(char16_t(c));
            ++p;
            continue;
        }
        if (c == '&' && !m_inCdata) {
            const auto *semi = static_cast<const unsigned char *>(std::memchr(p, ';', size_t(qMin<ptrdiff_t>(end - p, 12))));
            if (!semi)
                return refuse(QStringLiteral("entity reference refused"));
            const std::string_view ref(reinterpret_cast<const char *>(p + 1), size_t(semi - p - 1));
            char32_t value = 0;
            if (ref == "lt")
                value = '<';
            else if (ref == "gt")
                value = '>';
            else if (ref == "amp")
                value = '&';
            else if (ref == "apos")
                value = '\'';
            else if (ref == "quot")
                value = '"';
            else if (ref.size() >= 2 && ref[0] == '#') {
                const bool hex = ref[1] == 'x';
                const std::string_view digits = ref.substr(hex ? 2 : 1);
                if (digits.empty())
                    return refuse(QStringLiteral("invalid character reference"));
                for (const char digit : digits) {
                    int v = -1;
                    if (digit >= '0' && digit <= '9')
                        v = digit - '0';
                    else if (hex && digit >= 'a' && digit <= 'f')
                        v = digit - 'a' + 10;
                    else if (hex && digit >= 'A' && digit <= 'F')
                        v = digit - 'A' + 10;
                    if (v < 0)
                        return refuse(QStringLiteral("invalid character reference"));
                    value = value * (hex ? 16 : 10) + char32_t(v);
                    if (value > 0x10FFFF)
                        break;
                }
                if (!allowedChar(value))
                    return refuse(QStringLiteral("invalid character reference"));
                put(value);
                p = semi + 1;
                continue;
            } else {
                return refuse(QStringLiteral("entity reference refused"));
            }
            put(value);
            p = semi + 1;
            continue;
        }
        if (c == '<') {
            if (attribute)
                return refuse(QStringLiteral("'<' in an attribute value"));
            *d++ = QChar(u'<'); // only in a CDATA section
            ++p;
            continue;
        }
        if (c == '\r') {
            // Line ends are one line feed however written; in a value, a blank.
            *d++ = QChar(attribute ? u' ' : u'\n');
            ++p;
            if (p < end && *p == '\n')
                ++p;
            continue;
        }
        if (c < 0x80) {
            if (c == '&') { // in a CDATA section
                *d++ = QChar(u'&');
                ++p;
                continue;
            }
            if (c == '\n' || c == '\t') {
                *d++ = QChar(attribute ? u' ' : char16_t(c));
                ++p;
                continue;
            }
            return refuse(QStringLiteral("invalid XML character"));
        }
        // A UTF-8 sequence, checked: no overlong forms, no surrogates, nothing past U+10FFFF.
        int more = 0;
        char32_t value = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            value = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            value = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            value = c & 0x07;
        } else {
            return refuse(QStringLiteral("incorrectly encoded content"));
        }
        if (end - p <= more)
            return refuse(QStringLiteral("incorrectly encoded content"));
        for (int i = 1; i <= more; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return refuse(QStringLiteral("incorrectly encoded content"));
            value = (value << 6) | (p[i] & 0x3F);
        }
        const char32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
        if (value < least || (value >= 0xD800 && value <= 0xDFFF) || !allowedChar(value))
            return refuse(QStringLiteral("incorrectly encoded content"));
        put(value);
        p += more + 1;
    }
    out->resize(d - begin);
    return true;
}

bool PackageXml::next()
{
    if (failed())
        return false;
    m_text.resize(0);
    if (m_pendingEnd) {
        m_pendingEnd = false;
        popEnd();
        return true;
    }
    while (m_p < m_end) {
        if (*m_p != '<') {
            if (!m_open.empty())
                return readText();
            // Outside the root only blanks.
            while (m_p < m_end && isSpace(*m_p))
                ++m_p;
            if (m_p < m_end && *m_p != '<')
                return fail(QStringLiteral("text outside the root element"));
            continue;
        }
        if (m_end - m_p < 2)
            return fail(premature);
        const char c = m_p[1];
        if (c == '/')
            return endTag();
        if (c == '!' || c == '?') {
            if (!markup())
                return false;
            if (m_token == Token::Text)
                return true;
            continue;
        }
        return startTag();
    }
    m_token = Token::None;
    m_name = -1;
    if (!m_rootSeen || !m_open.empty())
        return fail(premature);
    return false;
}

bool PackageXml::readText()
{
    const char *lt = static_cast<const char *>(std::memchr(m_p, '<', size_t(m_end - m_p)));
    const char *stop = lt ? lt : m_end;
    const std::string_view raw(m_p, size_t(stop - m_p));
    m_p = stop;
    if (!decode(raw, false, &m_text))
        return fail(m_error);
    m_token = Token::Text;
    m_name = -1;
    return true;
}

bool PackageXml::markup()
{
    m_token = Token::None;
    if (startsWith(m_p, m_end, "<!--")) {
        const char *close = find(m_p + 4, m_end, "-->");
        if (!close)
            return fail(premature);
        m_p = close + 3;
        return true;
    }
    if (startsWith(m_p, m_end, "<![CDATA[")) {
        if (m_open.empty())
            return fail(QStringLiteral("CDATA outside the root element"));
        const char *close = find(m_p + 9, m_end, "]]>");
        if (!close)
            return fail(premature);
        const std::string_view raw(m_p + 9, size_t(close - m_p - 9));
        m_p = close + 3;
        m_inCdata = true;
        const bool ok = decode(raw, false, &m_text);
        m_inCdata = false;
        if (!ok)
            return fail(m_error);
        m_token = Token::Text;
        m_name = -1;
        return true;
    }
    if (startsWith(m_p, m_end, "<!DOCTYPE"))
        return fail(QStringLiteral("document type declaration refused"));
    if (m_p[1] == '!')
        return fail(QStringLiteral("unexpected markup"));
    // A processing instruction, or the declaration where it may stand.
    const char *close = find(m_p + 2, m_end, "?>");
    if (!close)
        return fail(premature);
    const bool declaration = startsWith(m_p, m_end, "<?xml") && m_p + 5 < m_end && (isSpace(m_p[5]) || m_p[5] == '?');
    if (declaration && (m_rootSeen || m_p - m_data.constData() > 3))
        return fail(QStringLiteral("XML declaration not at the start"));
    m_p = close + 2;
    return true;
}

bool PackageXml::startTag()
{
    if (m_rootDone)
        return fail(QStringLiteral("content after the root element"));
    const char *p = m_p + 1;
    if (!isNameStart(uchar(*p)))
        return fail(QStringLiteral("invalid element name"));
    const char *nameBegin = p;
    while (p < m_end && isNameChar(uchar(*p)))
        ++p;
    const std::string_view qname(nameBegin, size_t(p - nameBegin));
    m_attributes.clear();
    const size_t declarationsBefore = m_declarations.size();
    bool empty = false;
    for (;;) {
        const char *spaceBegin = p;
        while (p < m_end && isSpace(*p))
            ++p;
        if (p >= m_end)
            return fail(premature);
        if (*p == '>') {
            ++p;
            break;
        }
        if (*p == '/') {
            if (p + 1 >= m_end)
                return fail(premature);
            if (p[1] != '>')
                return fail(QStringLiteral("expected '>'"));
            p += 2;
            empty = true;
            break;
        }
        if (p == spaceBegin || !isNameStart(uchar(*p)))
            return fail(QStringLiteral("invalid attribute"));
        const char *attrBegin = p;
        while (p < m_end && isNameChar(uchar(*p)))
            ++p;
        const std::string_view attrName(attrBegin, size_t(p - attrBegin));
        while (p < m_end && isSpace(*p))
            ++p;
        if (p >= m_end)
            return fail(premature);
        if (*p != '=')
            return fail(QStringLiteral("expected '='"));
        ++p;
        while (p < m_end && isSpace(*p))
            ++p;
        if (p >= m_end)
            return fail(premature);
        const char quote = *p;
        if (quote != '"' && quote != '\'')
            return fail(QStringLiteral("expected a quoted value"));
        ++p;
        const char *close = static_cast<const char *>(std::memchr(p, quote, size_t(m_end - p)));
        if (!close)
            return fail(premature);
        const std::string_view value(p, size_t(close - p));
        p = close + 1;
        if (value.find('<') != std::string_view::npos)
            return fail(QStringLiteral("'<' in an attribute value"));
        if (attrName == "xmlns" || attrName.substr(0, 6) == "xmlns:") {
            QString uri;
            if (!decode(value, true, &uri))
                return fail(m_error);
            const std::string_view prefix = attrName.size() > 5 ? attrName.substr(6) : std::string_view();
            m_declarations.push_back({prefix, uri.isEmpty() ? -1 : uriIndex(uri)});
            continue;
        }
        const int name = intern(attrName);
        for (const Attribute &a : m_attributes) {
            if (a.name == name)
                return fail(QStringLiteral("attribute repeated"));
        }
        m_attributes.push_back({name, value});
    }
    if (m_declarations.size() != declarationsBefore)
        ++m_generation;
    if (int(m_open.size()) + 1 > PackageLimits::MaxXmlDepth)
        return fail(QStringLiteral("elements nested too deep"));
    const int name = intern(qname);
    int uri = -1;
    if (!resolve(m_names[size_t(name)], &uri))
        return fail(QStringLiteral("namespace prefix not declared"));
    for (const Attribute &a : m_attributes) {
        Name &n = m_names[size_t(a.name)];
        int attributeUri = -1;
        if (!n.prefix.empty() && !resolve(n, &attributeUri))
            return fail(QStringLiteral("namespace prefix not declared"));
    }
    m_p = p;
    m_open.push_back({qname, name, uri, declarationsBefore});
    m_rootSeen = true;
    m_pendingEnd = empty;
    m_token = Token::Start;
    m_name = name;
    m_uri = uri;
    return true;
}

bool PackageXml::endTag()
{
    const char *p = m_p + 2;
    const char *nameBegin = p;
    while (p < m_end && isNameChar(uchar(*p)))
        ++p;
    const std::string_view qname(nameBegin, size_t(p - nameBegin));
    while (p < m_end && isSpace(*p))
        ++p;
    if (p >= m_end)
        return fail(premature);
    if (*p != '>')
        return fail(QStringLiteral("expected '>'"));
    if (m_open.empty() || m_open.back().qname != qname)
        return fail(QStringLiteral("opening and ending tag mismatch"));
    m_p = p + 1;
    popEnd();
    return true;
}

void PackageXml::popEnd()
{
    const Open open = m_open.back();
    m_open.pop_back();
    if (m_declarations.size() != open.declarations) {
        m_declarations.resize(open.declarations);
        ++m_generation;
    }
    m_attributes.clear();
    m_token = Token::End;
    m_name = open.name;
    m_uri = open.uri;
    if (m_open.empty())
        m_rootDone = true;
}

QString PackageXml::attribute(QStringView local) const
{
    if (m_token != Token::Start)
        return {};
    for (const Attribute &a : m_attributes) {
        if (m_names[size_t(a.name)].local == local) {
            QString value;
            return decode(a.value, true, &value) ? value : QString();
        }
    }
    return {};
}

QString PackageXml::attribute(QStringView nsSuffix, QStringView local) const
{
    if (m_token != Token::Start)
        return {};
    for (const Attribute &a : m_attributes) {
        const Name &n = m_names[size_t(a.name)];
        if (n.local != local || n.prefix.empty())
            continue;
        // Resolved when the element started, for the declarations in force then.
        if (n.uri >= 0 && QStringView(m_uris[size_t(n.uri)]).endsWith(nsSuffix)) {
            QString value;
            return decode(a.value, true, &value) ? value : QString();
        }
    }
    return {};
}

void PackageXml::skip()
{
    const int depth = this->depth();
    while (this->depth() >= depth && next()) {
    }
}
