#include "package/tokenfeed.h"

#include "package/packagelimits.h"

#include <QXmlStreamReader>

#include <cstring>
#include <new>
#include <system_error>

namespace {

// A piece is handed over at this many tokens or characters: large enough that the
// handing costs nothing beside the tokenizing, small enough that the reader starts
// at once. At most ReadyPieces wait for the reader (a few megabytes).
constexpr size_t PieceTokens = 4096;
constexpr qsizetype PieceChars = 96 * 1024;
constexpr size_t ReadyPieces = 8;

// The namespaces a piece holds, each once: an element and its attributes name one
// of a handful of long URIs, compared here rather than copied every time.
class Namespaces
{
public:
    TokenFeed::Span place(QStringView uri, TokenFeed::Piece &piece)
    {
        if (uri.isEmpty())
            return {};
        if (m_last < m_spans.size() && same(uri, piece, m_spans[m_last]))
            return m_spans[m_last];
        for (size_t i = 0; i < m_spans.size(); ++i) {
            if (same(uri, piece, m_spans[i])) {
                m_last = i;
                return m_spans[i];
            }
        }
        const TokenFeed::Span s{qint32(piece.chars.size()), qint32(uri.size())};
        piece.chars.append(uri);
        m_last = m_spans.size();
        m_spans.push_back(s);
        return s;
    }
    void clear()
    {
        m_spans.clear();
        m_last = 0;
    }

private:
    static bool same(QStringView uri, const TokenFeed::Piece &piece, TokenFeed::Span s)
    {
        return s.size == uri.size()
            && std::memcmp(piece.chars.constData() + s.at, uri.data(), size_t(s.size) * sizeof(QChar)) == 0;
    }
    std::vector<TokenFeed::Span> m_spans;
    size_t m_last = 0;
};

TokenFeed::Span append(QStringView s, TokenFeed::Piece &piece)
{
    const TokenFeed::Span span{qint32(piece.chars.size()), qint32(s.size())};
    piece.chars.append(s);
    return span;
}

} // namespace

TokenFeed::TokenFeed(QIODevice *device)
    : m_device(device)
{
    try {
        m_threaded = true;
        m_thread = std::thread(&TokenFeed::run, this);
    } catch (const std::system_error &) {
        m_threaded = false;
        // No thread to be had: the part is tokenized here, all of it before the
        // reader takes the first piece.
        run();
    }
}

TokenFeed::~TokenFeed()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop.store(true, std::memory_order_relaxed);
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

std::unique_ptr<TokenFeed::Piece> TokenFeed::take()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_ready.empty() || m_ended; });
    if (m_ready.empty())
        return nullptr;
    std::unique_ptr<Piece> piece = std::move(m_ready.front());
    m_ready.pop_front();
    lock.unlock();
    m_changed.notify_all();
    return piece;
}

std::unique_ptr<TokenFeed::Piece> TokenFeed::emptyPiece()
{
    std::unique_ptr<Piece> piece;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_spare.empty()) {
            piece = std::move(m_spare.back());
            m_spare.pop_back();
        }
    }
    if (!piece)
        piece = std::make_unique<Piece>();
    piece->chars.reserve(PieceChars + 1024);
    piece->tokens.reserve(PieceTokens);
    piece->attributes.reserve(PieceTokens);
    return piece;
}

void TokenFeed::giveBack(std::unique_ptr<Piece> piece)
{
    // Only a piece of the usual size: one that grew around a long text goes.
    if (!piece || piece->last || piece->chars.capacity() > 4 * PieceChars)
        return;
    piece->chars.truncate(0);
    piece->tokens.clear();
    piece->attributes.clear();
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_spare.size() < 2)
        m_spare.push_back(std::move(piece));
}

void TokenFeed::hand(std::unique_ptr<Piece> piece)
{
    const bool last = piece->last;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // Only the threaded feed waits for room: tokenized here, every piece waits.
        if (m_threaded) {
            m_changed.wait(lock, [this] {
                return m_ready.size() < ReadyPieces || m_stop.load(std::memory_order_relaxed);
            });
        }
        if (!m_stop.load(std::memory_order_relaxed))
            m_ready.push_back(std::move(piece));
        m_ended = m_ended || last;
    }
    m_changed.notify_all();
}

void TokenFeed::run()
{
    std::unique_ptr<Piece> piece;
    QString error;
    try {
        QXmlStreamReader reader(m_device);
        reader.setEntityExpansionLimit(0);
        Namespaces namespaces;
        piece = emptyPiece();
        int depth = 0;
        while (!reader.atEnd() && !m_stop.load(std::memory_order_relaxed)) {
            const QXmlStreamReader::TokenType type = reader.readNext();
            if (reader.hasError())
                break;
            switch (type) {
            case QXmlStreamReader::DTD:
                reader.raiseError(QStringLiteral("document type declaration refused"));
                break;
            case QXmlStreamReader::EntityReference:
                reader.raiseError(QStringLiteral("entity reference refused"));
                break;
            case QXmlStreamReader::StartElement: {
                if (++depth > PackageLimits::MaxXmlDepth) {
                    reader.raiseError(QStringLiteral("elements nested too deep"));
                    break;
                }
                Token t;
                t.kind = Start;
                t.name = append(reader.name(), *piece);
                t.ns = namespaces.place(reader.namespaceUri(), *piece);
                const QXmlStreamAttributes attributes = reader.attributes();
                t.firstAttribute = qint32(piece->attributes.size());
                t.attributes = qint32(attributes.size());
                for (const QXmlStreamAttribute &a : attributes) {
                    Attribute at;
                    at.name = append(a.name(), *piece);
                    at.ns = namespaces.place(a.namespaceUri(), *piece);
                    at.value = append(a.value(), *piece);
                    piece->attributes.push_back(at);
                }
                piece->tokens.push_back(t);
                break;
            }
            case QXmlStreamReader::EndElement: {
                --depth;
                Token t;
                t.kind = End;
                t.name = append(reader.name(), *piece);
                t.ns = namespaces.place(reader.namespaceUri(), *piece);
                piece->tokens.push_back(t);
                break;
            }
            case QXmlStreamReader::Characters: {
                Token t;
                t.kind = Text;
                t.text = append(reader.text(), *piece);
                piece->tokens.push_back(t);
                break;
            }
            default:
                break;
            }
            if (reader.hasError())
                break;
            if (piece->tokens.size() >= PieceTokens || piece->chars.size() >= PieceChars) {
                hand(std::move(piece));
                piece = emptyPiece();
                namespaces.clear();
            }
        }
        if (reader.hasError())
            error = reader.errorString();
    } catch (const std::bad_alloc &) {
        error = QStringLiteral("out of memory");
        piece.reset();
    }
    // The last piece, which says how the part ended. It may be all that was not
    // handed yet; after a failed allocation it is made anew, empty.
    try {
        if (!piece)
            piece = std::make_unique<Piece>();
        piece->last = true;
        piece->error = error.isEmpty() && m_stop.load(std::memory_order_relaxed) ? QStringLiteral("stopped") : error;
        hand(std::move(piece));
    } catch (const std::bad_alloc &) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_ended = true;
        }
        m_changed.notify_all();
    }
}
