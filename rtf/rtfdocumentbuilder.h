#pragma once

#include "rtf/memoryheadroom.h"
#include "rtf/rtfcodepage.h"
#include "rtf/rtfstate.h"

#include <QColor>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>

#include <unordered_map>
#include <vector>

class QImage;
class QTextDocument;

// Writes the reader's output into a document through one cursor inside one edit
// block. Text is gathered per format and inserted once per format change, and a
// paragraph mark only becomes a block when something follows it, so the mark that
// ends the last paragraph leaves no empty block behind.
class RtfDocumentBuilder final
{
public:
    explicit RtfDocumentBuilder(QTextDocument *doc);
    ~RtfDocumentBuilder();

    // Tables the reader fills while reading the header.
    QHash<int, QString> fontNames;
    std::vector<QColor> colors; // invalid = automatic
    QStringList anchors;

    // The font or colour table changed: formats built so far may name old entries.
    void tablesChanged() { forgetFormats(); }

    void addText(const RtfCharState &state, const QString &text);
    // Bytes in the state's code page, decoded straight into the text waiting to go in.
    void addBytes(const RtfCharState &state, RtfCodePage &codePages, const char *bytes, qsizetype n);
    void addText(const RtfCharState &state, QChar c);
    // The same image added twice is stored once.
    void addImage(const RtfCharState &state, const QImage &image, qreal width, qreal height, bool placeholder = false);
    void paragraphBreak(const RtfParaState &para);
    // True when the paragraph being written has neither text nor images yet.
    bool paragraphEmpty() const { return m_pendingBreak || (!m_blockHasContent && m_batch.size() == m_runStart); }
    // A table row ended; if nothing follows, the paragraph after the table stays.
    void rowEnd() { m_afterRow = true; }
    void finish(const RtfParaState &para);
    // Characters and images written so far.
    qint64 written() const { return m_written; }
    // The memory for the document ran out: nothing more is written, the load fails.
    bool outOfMemory() const { return m_outOfMemory; }
    // Drops whatever waits to be written, after a failure.
    void abandon();
    void pageBreak() { m_breakBefore = true; }

private:
    // Writes what is pending and drops every format built so far.
    void forgetFormats();
    void flushText();
    void runBatch();
    void openPendingBlock();
    void applyBlockFormat(const RtfParaState &para);
    QTextCharFormat charFormat(const RtfCharState &state) const;
    int formatId(const RtfCharState &state);
    int lookUpFormatId(const RtfCharState &state);
    void startRun(const RtfCharState &state);

    QTextDocument *m_doc;
    QTextCursor m_cursor;
    MemoryHeadroom m_headroom;
    qint64 m_blocks = 0; // inserted so far, with m_runs, for the memory estimate
    qint64 m_runs = 0;
    bool m_outOfMemory = false;

    // Runs and blocks wait in a batch and go into the document together: parsing and
    // inserting in turns, run by run, keeps evicting each other's data from the
    // processor caches and makes every insertion dearer.
    struct Op
    {
        enum Kind : unsigned char { Text, Block, SetBlock } kind;
        int format;        // Text: char format id; Block, SetBlock: index in m_batchBlockFormats
        int charFormat;    // Block: char format id of the new block, -1 for none
        qsizetype start;   // Text: in m_batch
        qsizetype length;
    };
    QString m_batch;
    qsizetype m_runStart = 0; // where the run being gathered starts in m_batch
    std::vector<Op> m_ops;
    std::vector<QTextBlockFormat> m_batchBlockFormats;

    RtfCharState m_textState;
    int m_textFormat = -1;
    RtfParaState m_blockState;
    QTextBlockFormat m_blockFormat; // of the block being written
    // The last few states looked up, most recent first: runs mostly alternate
    // between two or three states, which this answers without hashing.
    struct Recent
    {
        RtfCharState state;
        int id = -1;
    };
    Recent m_recent[4];
    bool m_blockStateApplied = false;
    bool m_pendingBreak = false;
    bool m_blockHasContent = false;
    bool m_afterRow = false;
    int m_images = 0;
    QHash<qint64, QString> m_imageNames; // by QImage::cacheKey()
    qint64 m_written = 0;
    bool m_breakBefore = false; // the next paragraph starts a page
    bool m_blockHasBreak = false;
    // Formats already built, most recent last: documents switch between a handful of
    // formats, and reusing the same format object spares Qt from hashing it again.
    // States that look the same share an id, so their text goes in as one run.
    std::unordered_map<RtfCharState, int, RtfCharStateHash> m_formatIds;
    std::unordered_map<RtfCharState, int, RtfCharStateHash> m_keyIds;
    std::vector<QTextCharFormat> m_formats;
};
