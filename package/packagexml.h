#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QXmlStreamReader>

// QXmlStreamReader as every part is read: a document type declaration (and so any
// entity it would declare, internal or external) fails the part, nothing is ever
// fetched, and elements nested deeper than PackageLimits::MaxXmlDepth fail it too.
// The reader takes the bytes through a device, a few kilobytes at a time: given the
// whole array, it decodes all of it into one string first, twice the part's size
// again (20 MB for the text of a 5 MB document). Readers walk the tokens with next()
// and ask the reader the rest.
class PartStream;

class PackageXml final
{
public:
    explicit PackageXml(const QByteArray &data);
    // Reads the part as it inflates; the stream outlives the reader.
    explicit PackageXml(PartStream &stream);

    // The next token; false at the end or on an error.
    bool next();
    bool isStart() const { return m_reader.isStartElement(); }
    bool isEnd() const { return m_reader.isEndElement(); }
    bool isText() const { return m_reader.isCharacters(); }
    // The element's local name and namespace.
    QStringView name() const { return m_reader.name(); }
    QStringView ns() const { return m_reader.namespaceUri(); }
    // An attribute by local name, in whatever namespace (producers differ in their
    // prefixes, and Strict files in their namespaces); the first that matches.
    QString attribute(QStringView local) const;
    // An attribute by local name in a namespace whose URI ends with nsSuffix.
    QString attribute(QStringView nsSuffix, QStringView local) const;
    QStringView text() const { return m_reader.text(); }
    int depth() const { return m_depth; }
    // Skips to the end of the element just started.
    void skip();
    // The XML is not well formed, or the stream it comes from failed.
    bool failed() const;
    QString errorString() const;
    QXmlStreamReader &reader() { return m_reader; }

private:
    QByteArray m_bytes;
    QBuffer m_device;
    PartStream *m_stream = nullptr;
    QXmlStreamReader m_reader;
    int m_depth = 0;
};
