#include "layout/flowindex.h"

#include <algorithm>

namespace {
constexpr size_t ChunkTarget = 512;
constexpr size_t ChunkMax = 1024;
constexpr size_t ChunkMin = 64;
} // namespace

void FlowIndex::Chunk::recount()
{
    height = 0;
    blocks = 0;
    pending = 0;
    width = 0;
    for (const Entry &e : entries) {
        height += e.height();
        blocks += e.blocks;
        pending += isPending(e.state);
        if (e.state != Estimated) // an estimated entry keeps its length there
            width = std::max(width, e.width);
    }
}

double FlowIndex::totalHeight() const
{
    double h = 0;
    for (const Chunk &c : m_chunks)
        h += c.height;
    return h;
}

int FlowIndex::totalBlocks() const
{
    int n = 0;
    for (const Chunk &c : m_chunks)
        n += c.blocks;
    return n;
}

int FlowIndex::pendingCount() const
{
    int n = 0;
    for (const Chunk &c : m_chunks)
        n += c.pending;
    return n;
}

double FlowIndex::maxWidth() const
{
    float w = 0;
    for (const Chunk &c : m_chunks)
        w = std::max(w, c.width);
    return w;
}

int FlowIndex::chunkOf(int index, int *offset) const
{
    // Layout walks the entries in order: start from the chunk found last time.
    if (m_cacheChunk >= int(m_chunks.size()) || index < m_cacheBase) {
        m_cacheChunk = 0;
        m_cacheBase = 0;
    }
    for (size_t c = size_t(m_cacheChunk); c < m_chunks.size(); ++c) {
        const int n = int(m_chunks[c].entries.size());
        if (index < m_cacheBase + n) {
            m_cacheChunk = int(c);
            *offset = index - m_cacheBase;
            return int(c);
        }
        m_cacheBase += n;
    }
    m_cacheChunk = 0;
    m_cacheBase = 0;
    *offset = 0;
    return -1;
}

const FlowIndex::Entry &FlowIndex::at(int index) const
{
    int offset = 0;
    const int c = chunkOf(index, &offset);
    Q_ASSERT(c >= 0);
    return m_chunks[size_t(c)].entries[size_t(offset)];
}

void FlowIndex::set(int index, const Entry &entry)
{
    int offset = 0;
    const int c = chunkOf(index, &offset);
    Q_ASSERT(c >= 0);
    Chunk &chunk = m_chunks[size_t(c)];
    Entry &old = chunk.entries[size_t(offset)];
    chunk.height += entry.height() - old.height();
    chunk.blocks += entry.blocks - old.blocks;
    chunk.pending += int(isPending(entry.state)) - int(isPending(old.state));
    const float oldWidth = old.state == Estimated ? 0 : old.width;
    const float newWidth = entry.state == Estimated ? 0 : entry.width;
    old = entry;
    if (newWidth < oldWidth && oldWidth >= chunk.width)
        chunk.recount();
    else
        chunk.width = std::max(chunk.width, newWidth);
}

void FlowIndex::replace(int first, int count, const std::vector<Entry> &entries)
{
    Q_ASSERT(first >= 0 && count >= 0 && first + count <= m_size);
    m_cacheChunk = 0;
    m_cacheBase = 0;
    if (m_chunks.empty())
        m_chunks.emplace_back();
    int offset = 0;
    int c = first == m_size ? int(m_chunks.size()) - 1 : chunkOf(first, &offset);
    if (first == m_size)
        offset = int(m_chunks[size_t(c)].entries.size());
    // Remove the old entries, chunk by chunk, then insert the new ones where they were.
    int left = count;
    int at = c;
    int atOffset = offset;
    while (left > 0) {
        Chunk &chunk = m_chunks[size_t(at)];
        const int n = std::min(left, int(chunk.entries.size()) - atOffset);
        chunk.entries.erase(chunk.entries.begin() + atOffset, chunk.entries.begin() + atOffset + n);
        chunk.recount();
        left -= n;
        if (left > 0) {
            ++at;
            atOffset = 0;
        }
    }
    Chunk &target = m_chunks[size_t(c)];
    target.entries.insert(target.entries.begin() + offset, entries.begin(), entries.end());
    target.recount();
    m_size += int(entries.size()) - count;
    // Chunks emptied by the removal go; the one that grew is split.
    for (int i = at; i > c; --i) {
        if (m_chunks[size_t(i)].entries.empty())
            m_chunks.erase(m_chunks.begin() + i);
    }
    rebalance(c);
    m_cacheChunk = 0;
    m_cacheBase = 0;
}

void FlowIndex::rebalance(int c)
{
    if (c < 0 || c >= int(m_chunks.size()))
        return;
    if (m_chunks[size_t(c)].entries.size() > ChunkMax) {
        std::vector<Entry> all = std::move(m_chunks[size_t(c)].entries);
        std::vector<Chunk> pieces;
        for (size_t i = 0; i < all.size(); i += ChunkTarget) {
            Chunk piece;
            piece.entries.assign(all.begin() + qsizetype(i), all.begin() + qsizetype(std::min(all.size(), i + ChunkTarget)));
            piece.recount();
            pieces.push_back(std::move(piece));
        }
        m_chunks.erase(m_chunks.begin() + c);
        m_chunks.insert(m_chunks.begin() + c, std::make_move_iterator(pieces.begin()), std::make_move_iterator(pieces.end()));
        return;
    }
    // A small chunk joins a neighbour when both fit in one.
    if (m_chunks.size() > 1 && m_chunks[size_t(c)].entries.size() < ChunkMin) {
        const int other = c + 1 < int(m_chunks.size()) ? c + 1 : c - 1;
        const int a = std::min(c, other);
        const int b = std::max(c, other);
        if (m_chunks[size_t(a)].entries.size() + m_chunks[size_t(b)].entries.size() <= ChunkMax) {
            Chunk &first = m_chunks[size_t(a)];
            Chunk &second = m_chunks[size_t(b)];
            first.entries.insert(first.entries.end(), second.entries.begin(), second.entries.end());
            first.recount();
            m_chunks.erase(m_chunks.begin() + b);
        }
    }
    if (m_chunks.size() > 1 && m_chunks[size_t(std::min(c, int(m_chunks.size()) - 1))].entries.empty())
        m_chunks.erase(m_chunks.begin() + std::min(c, int(m_chunks.size()) - 1));
}

void FlowIndex::markAllStale()
{
    for (Chunk &chunk : m_chunks) {
        for (Entry &e : chunk.entries) {
            if (e.state != Estimated)
                e.state = Stale;
        }
        chunk.pending = int(chunk.entries.size());
    }
}

template <typename PassChunk, typename StopAt>
FlowIndex::Position FlowIndex::walk(PassChunk passChunk, StopAt stopAt) const
{
    double top = 0;
    int index = 0;
    int blocks = 0;
    for (size_t c = 0; c < m_chunks.size(); ++c) {
        const Chunk &chunk = m_chunks[c];
        if (!passChunk(chunk, top, blocks, c + 1 == m_chunks.size())) {
            double entryTop = top;
            int entryBlocks = blocks;
            for (size_t i = 0; i < chunk.entries.size(); ++i) {
                const Entry &e = chunk.entries[i];
                if (stopAt(e, entryTop, entryBlocks, index + int(i), i + 1 == chunk.entries.size())) {
                    Position p;
                    p.index = index + int(i);
                    p.top = entryTop;
                    p.firstBlock = entryBlocks;
                    return p;
                }
                entryTop += e.height();
                entryBlocks += e.blocks;
            }
        }
        top += chunk.height;
        index += int(chunk.entries.size());
        blocks += chunk.blocks;
    }
    return Position();
}

FlowIndex::Position FlowIndex::atY(double y) const
{
    return walk([y](const Chunk &chunk, double top, int, bool last) { return !last && top + chunk.height <= y; },
                [y](const Entry &e, double top, int, int, bool last) { return top + e.height() > y || last; });
}

FlowIndex::Position FlowIndex::atBlock(int blockNumber) const
{
    return walk([blockNumber](const Chunk &chunk, double, int blocks, bool) { return blocks + chunk.blocks <= blockNumber; },
                [blockNumber](const Entry &e, double, int blocks, int, bool) { return blocks + e.blocks > blockNumber; });
}

FlowIndex::Position FlowIndex::locate(int index) const
{
    if (index < 0 || index >= m_size)
        return Position();
    int base = 0; // the index of the first entry of the chunk asked about
    return walk(
        [index, &base](const Chunk &chunk, double, int, bool) {
            const int n = int(chunk.entries.size());
            const bool pass = index >= base + n;
            if (pass)
                base += n;
            return pass;
        },
        [index](const Entry &, double, int, int i, bool) { return i == index; });
}

int FlowIndex::nextPending(int from) const
{
    int offset = 0;
    int c = from < m_size ? chunkOf(std::max(0, from), &offset) : -1;
    if (c < 0)
        return -1;
    int base = m_cacheBase;
    for (size_t k = size_t(c); k < m_chunks.size(); ++k) {
        const Chunk &chunk = m_chunks[k];
        if (chunk.pending > 0) {
            for (size_t i = size_t(offset); i < chunk.entries.size(); ++i) {
                if (isPending(chunk.entries[i].state))
                    return base + int(i);
            }
        }
        base += int(chunk.entries.size());
        offset = 0;
    }
    return -1;
}
