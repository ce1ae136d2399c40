#pragma once

#include <QtGlobal>

#include <vector>

// The vertical sequence of what the document's root frame holds, its paragraphs and
// its tables, one entry each: how many document blocks the entry covers, its height,
// and whether that height is laid out or only estimated. Entries are kept in chunks
// with their sums, so that finding an entry by y or by block number and replacing a
// run of entries stay cheap in a document of a million paragraphs; y is summed in
// doubles, so no height limit of the text engine applies to the whole.
class FlowIndex final
{
public:
    enum State : quint8 {
        Estimated, // never laid out: the height is a guess from the length
        Laid,      // laid out at the current width
        Stale,     // laid out at another width or with other defaults: the height is a good guess
        Measured,  // the height is exact, found without laying out lines; they come when shown
    };
    // What the background still has to lay out.
    static bool isPending(State s) { return s == Estimated || s == Stale; }

    struct Entry
    {
        float content = 0;      // the entry's own height
        float gap = 0;          // the space above it: the margins it shares with the entry before
        float topMargin = 0;    // a paragraph's margins, known once it is laid out
        float bottomMargin = 0;
        float width = 0;        // how far its content reaches to the right once laid out; its length while estimated
        int blocks = 1;         // document blocks it covers (a table covers all of its cells' blocks)
        State state = Estimated;
        bool frame = false;     // a table or another frame, not a paragraph

        double height() const { return double(gap) + double(content); }
    };

    struct Position
    {
        int index = -1;
        double top = 0;     // y of the entry's top, gap included
        int firstBlock = 0; // number of the entry's first block
    };

    int size() const { return m_size; }
    double totalHeight() const;
    int totalBlocks() const;
    int pendingCount() const;
    double maxWidth() const;

    const Entry &at(int index) const;
    void set(int index, const Entry &entry);
    // Replaces count entries from first on with the given ones.
    void replace(int first, int count, const std::vector<Entry> &entries);
    // Every laid or measured entry becomes stale.
    void markAllStale();
    // Gives every estimated entry the height estimate(entry) returns. Returns how much
    // the entries before index before grew.
    template<typename Estimate>
    double reestimate(Estimate estimate, int before)
    {
        double grown = 0;
        int index = 0;
        for (Chunk &chunk : m_chunks) {
            for (Entry &e : chunk.entries) {
                if (e.state == Estimated) {
                    const float content = estimate(e);
                    if (index < before)
                        grown += double(content) - double(e.content);
                    e.content = content;
                }
                ++index;
            }
            chunk.recount();
        }
        return grown;
    }

    // The entry whose span holds y (the first one above 0, the last one below the end).
    Position atY(double y) const;
    // The entry that covers the block with this number.
    Position atBlock(int blockNumber) const;
    // The top and first block of an entry.
    Position locate(int index) const;
    // The first entry at or after from that is pending, or -1.
    int nextPending(int from) const;

private:
    // Walks down the chunks: passes each whole chunk for which passChunk(chunk, top,
    // blocks, isLast) holds, then the entries of the next until stopAt(entry, top,
    // blocks, isLastOfChunk) holds, and gives that entry's position.
    template <typename PassChunk, typename StopAt>
    Position walk(PassChunk passChunk, StopAt stopAt) const;

    struct Chunk
    {
        std::vector<Entry> entries;
        double height = 0;
        int blocks = 0;
        int pending = 0;
        float width = 0;
        void recount();
    };
    int chunkOf(int index, int *offset) const;
    void rebalance(int chunk);

    std::vector<Chunk> m_chunks;
    int m_size = 0;
    mutable int m_cacheChunk = 0; // the chunk found last, and the index of its first entry
    mutable int m_cacheBase = 0;
};
