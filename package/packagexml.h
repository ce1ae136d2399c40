#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <string_view>
#include <unordered_map>
#include <vector>

// The XML of a part, read as a stream of tokens straight from its bytes: element
// names are decoded once per document and text as it is asked for, so a part of
// ten megabytes costs its bytes and little more. QXmlStreamReader decodes the whole
// part into a string first (twice its size again) and builds every token's
// attributes; it took a third of the time a large Word document takes to open.
//
// Well-formedness is checked as a conforming reader checks it: tags that do not
// match, a part cut short, text outside the root, an undeclared prefix, a repeated
// attribute, bytes that are not UTF-8, characters XML does not allow, each fails the
// part (an attribute's value is looked into when it is asked for: one no reader
// asks for may hold what would fail it). A document type declaration (and so any entity it would declare, internal
// or external) fails it too, and so does any entity but the five predefined ones;
// nothing is ever fetched, and elements nested deeper than
// PackageLimits::MaxXmlDepth fail the part. A part in another encoding (UTF-16 with
// its byte-order mark, or one its declaration names) is turned into UTF-8 first.
// Readers walk the tokens with next() and ask the reader the rest.
class PackageXml final
{
public:
    explicit PackageXml(const QByteArray &data);

    // The next token; false at the end or on an error. Comments, processing
    // instructions and the declaration are passed over.
    bool next();
    bool isStart() const { return m_token == Token::Start; }
    bool isEnd() const { return m_token == Token::End; }
    bool isText() const { return m_token == Token::Text; }
    // The element's local name and namespace (of a start or an end).
    QStringView name() const;
    QStringView ns() const;
    // An attribute of the element just started by local name, in whatever namespace
    // (producers differ in their prefixes, and Strict files in their namespaces);
    // the first that matches.
    QString attribute(QStringView local) const;
    // An attribute by local name in a namespace whose URI ends with nsSuffix.
    QString attribute(QStringView nsSuffix, QStringView local) const;
    // Character data: text between tags with its references replaced, or a CDATA
    // section's content.
    QStringView text() const { return m_text; }
    int depth() const { return int(m_open.size()); }
    // Skips to the end of the element just started.
    void skip();
    bool failed() const { return !m_error.isEmpty(); }
    QString errorString() const { return m_error; }

private:
    enum class Token { None, Start, End, Text };
    struct Name
    {
        QString local;
        std::string_view prefix;
        int uri = -1;          // resolved for the declarations of m_generation
        quint64 generation = 0; // 0: never resolved
    };
    struct Attribute
    {
        int name;
        std::string_view value; // as written, between its quotes
    };
    struct Open
    {
        std::string_view qname;
        int name;
        int uri;
        size_t declarations; // m_declarations' size before the element's own
    };
    struct Declaration
    {
        std::string_view prefix; // empty for the default namespace
        int uri;                 // -1: the default namespace undeclared
    };

    bool fail(const QString &why);
    // Fails the part from a const reading (an attribute's value asked for).
    bool refuse(const QString &why) const;
    bool startTag();
    bool endTag();
    bool markup(); // after "<!" or "<?"
    bool readText();
    int intern(std::string_view qname);
    int uriIndex(const QString &uri);
    // The namespace of prefix in scope, -1 for none; false when it is undeclared.
    bool resolve(Name &name, int *uri);
    // Raw text or an attribute's value with references replaced and line ends
    // normalised; false (and the part failed) when it is not well formed.
    bool decode(std::string_view raw, bool attribute, QString *out) const;
    void popEnd();

    QByteArray m_data;
    const char *m_p = nullptr;
    const char *m_end = nullptr;
    Token m_token = Token::None;
    bool m_pendingEnd = false; // an empty element's end comes next
    bool m_rootSeen = false;
    bool m_rootDone = false;
    bool m_inCdata = false;
    mutable QString m_error;
    QString m_text;
    int m_name = -1; // of the start or end token
    int m_uri = -1;
    std::vector<Attribute> m_attributes;
    std::vector<Open> m_open;
    std::vector<Declaration> m_declarations;
    quint64 m_generation = 1;
    std::vector<Name> m_names;
    std::unordered_map<std::string_view, int> m_nameIndex;
    std::vector<QString> m_uris;
    QHash<QString, int> m_uriIndex;
};
