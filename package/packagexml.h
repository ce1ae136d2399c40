#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QXmlStreamReader>

#include "package/tokenfeed.h"

#include <memory>

// QXmlStreamReader as every part is read: a document type declaration (and so any
// entity it would declare, internal or external) fails the part, nothing is ever
// fetched, and elements nested deeper than PackageLimits::MaxXmlDepth fail it too.
// The reader takes the bytes through a device, a few kilobytes at a time: given the
// whole array, it decodes all of it into one string first, twice the part's size
// again (20 MB for the text of a 5 MB document). Readers walk the tokens with next()
// and ask the reader the rest.
// A streamed part, and any part of more than ThreadedBytes, is tokenized on a thread
// of its own (TokenFeed) while the reader goes through the tokens already read; only
// elements and text then come through next(), which is all that readers look at.
// Either way, what name(), ns() and text() return holds until the next token.
class PartStream;

class PackageXml final
{
public:
    static constexpr qsizetype ThreadedBytes = qsizetype(1) << 20;
    // Data of threadedFrom bytes or more is tokenized on a thread.
    explicit PackageXml(const QByteArray &data, qsizetype threadedFrom = ThreadedBytes);
    // Reads the part as it inflates; the stream outlives the reader.
    explicit PackageXml(PartStream &stream);
    ~PackageXml();
    PackageXml(const PackageXml &) = delete;
    PackageXml &operator=(const PackageXml &) = delete;


    // The next token; false at the end or on an error.
    bool next();
    bool isStart() const { return m_feed ? m_token && m_token->kind == TokenFeed::Start : m_reader.isStartElement(); }
    bool isEnd() const { return m_feed ? m_token && m_token->kind == TokenFeed::End : m_reader.isEndElement(); }
    bool isText() const { return m_feed ? m_token && m_token->kind == TokenFeed::Text : m_reader.isCharacters(); }
    // The element's local name and namespace.
    QStringView name() const
    {
        if (!m_feed)
            return m_reader.name();
        return m_token && m_token->kind != TokenFeed::Text ? m_piece->view(m_token->name) : QStringView();
    }
    QStringView ns() const
    {
        if (!m_feed)
            return m_reader.namespaceUri();
        return m_token && m_token->kind != TokenFeed::Text ? m_piece->view(m_token->ns) : QStringView();
    }
    // An attribute by local name, in whatever namespace (producers differ in their
    // prefixes, and Strict files in their namespaces); the first that matches.
    QString attribute(QStringView local) const;
    // An attribute by local name in a namespace whose URI ends with nsSuffix.
    QString attribute(QStringView nsSuffix, QStringView local) const;
    QStringView text() const
    {
        if (!m_feed)
            return m_reader.text();
        return m_token && m_token->kind == TokenFeed::Text ? m_piece->view(m_token->text) : QStringView();
    }
    int attributeCount() const;
    int depth() const { return m_depth; }
    // Skips to the end of the element just started.
    void skip();
    // The XML is not well formed, or the stream it comes from failed.
    bool failed() const;
    QString errorString() const;

private:
    bool nextFed();
    void startFeed(QIODevice *device);

    QByteArray m_bytes;
    QBuffer m_device;
    PartStream *m_stream = nullptr;
    QXmlStreamReader m_reader;
    int m_depth = 0;
    // Tokenized on a thread: the piece being walked and the token in it.
    QString m_error;
    std::unique_ptr<TokenFeed::Piece> m_piece;
    const TokenFeed::Token *m_token = nullptr;
    size_t m_index = 0;
    bool m_ended = false;
    std::unique_ptr<TokenFeed> m_feed; // last: stopped before the device goes
};

// Whether the token is an element of that local name. Names are asked for by the
// hundred thousand: their lengths are known as they are compiled, and a name of
// another length is told apart before any character.
template<qsizetype N>
inline bool is(const PackageXml &xml, const char (&name)[N])
{
    const QStringView n = xml.name();
    return n.size() == N - 1 && n == QLatin1String(name, N - 1);
}
