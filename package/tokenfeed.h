#pragma once

#include <QString>
#include <QStringView>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QIODevice;

// A large part's XML tokenized on a thread of its own, while its reader builds the
// document from the tokens already read: the tokenizing is as long again as the
// building, and the two then share the time. The tokens come in pieces of a few
// thousand, each holding the characters of its names, namespaces, attributes and
// texts; only a bounded number of pieces wait for the reader, so that a reader
// slower than the tokenizing does not hold the whole part twice. The rules are
// those of PackageXml: no document type declaration, no entity reference, no
// nesting beyond PackageLimits::MaxXmlDepth. Destroying the feed stops the
// tokenizing at its next token and waits for it.
class TokenFeed final
{
public:
    enum Kind : quint8 { Start, End, Text };
    // Where a string stands in its piece's characters.
    struct Span
    {
        qint32 at = 0;
        qint32 size = 0;
    };
    struct Attribute
    {
        Span name, ns, value;
    };
    struct Token
    {
        Kind kind = Text;
        Span name, ns; // Start and End
        Span text;     // Text
        qint32 firstAttribute = 0;
        qint32 attributes = 0;
    };
    struct Piece
    {
        QString chars;
        std::vector<Token> tokens;
        std::vector<Attribute> attributes;
        bool last = false;  // nothing comes after it
        QString error;      // why the part ended early, when it did
        QStringView view(Span s) const { return QStringView(chars.constData() + s.at, s.size); }
    };

    // The device is read on the feed's thread only, until the feed is destroyed;
    // it must outlive the feed.
    explicit TokenFeed(QIODevice *device);
    ~TokenFeed();
    TokenFeed(const TokenFeed &) = delete;
    TokenFeed &operator=(const TokenFeed &) = delete;

    // The next piece, waiting for it; after the last one, null.
    std::unique_ptr<Piece> take();
    // Gives a piece read through back, for the feed to fill again: its room is
    // kept, and a large part does not cost fresh memory for every piece.
    void giveBack(std::unique_ptr<Piece> piece);

private:
    void run();
    void hand(std::unique_ptr<Piece> piece);
    std::unique_ptr<Piece> emptyPiece();

    QIODevice *m_device;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<Piece>> m_ready; // under m_mutex
    std::vector<std::unique_ptr<Piece>> m_spare; // under m_mutex: pieces given back
    bool m_ended = false;                       // under m_mutex: the last piece handed
    std::atomic<bool> m_stop{false};
    bool m_threaded = false; // set before the thread starts
    std::thread m_thread;
};
