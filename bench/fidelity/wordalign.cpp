#include "wordalign.h"

#include <QHash>

#include <algorithm>
#include <cstdint>

namespace WordAlign {

namespace {

// The largest stretch compared cell by cell: 16 MB of table.
constexpr qint64 MaxCells = qint64(4) << 20;

struct Range
{
    int a0, a1, b0, b1;
};

using Pairs = std::vector<std::pair<int, int>>;

// The longest common subsequence of a stretch, cell by cell.
void byTable(const std::vector<int> &a, const std::vector<int> &b, const Range &r, Pairs *out)
{
    const int n = r.a1 - r.a0, m = r.b1 - r.b0;
    // Lengths of the common subsequences of the suffixes, row by row.
    std::vector<uint32_t> len(size_t(n + 1) * size_t(m + 1), 0);
    const auto at = [&](int i, int j) -> uint32_t & { return len[size_t(i) * size_t(m + 1) + size_t(j)]; };
    for (int i = n - 1; i >= 0; --i) {
        for (int j = m - 1; j >= 0; --j)
            at(i, j) = a[size_t(r.a0 + i)] == b[size_t(r.b0 + j)] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    }
    for (int i = 0, j = 0; i < n && j < m;) {
        if (a[size_t(r.a0 + i)] == b[size_t(r.b0 + j)]) {
            out->emplace_back(r.a0 + i, r.b0 + j);
            ++i;
            ++j;
        } else if (at(i + 1, j) >= at(i, j + 1)) {
            ++i;
        } else {
            ++j;
        }
    }
}

// The words that occur once in each side of the stretch, paired, as the longest
// chain increasing on both sides.
Pairs uniqueAnchors(const std::vector<int> &a, const std::vector<int> &b, const Range &r)
{
    struct Seen
    {
        int inA = 0, inB = 0, atA = 0, atB = 0;
    };
    QHash<int, Seen> seen;
    for (int i = r.a0; i < r.a1; ++i) {
        Seen &s = seen[a[size_t(i)]];
        ++s.inA;
        s.atA = i;
    }
    for (int j = r.b0; j < r.b1; ++j) {
        auto it = seen.find(b[size_t(j)]);
        if (it != seen.end()) {
            ++it->inB;
            it->atB = j;
        }
    }
    Pairs candidates;
    for (const Seen &s : seen) {
        if (s.inA == 1 && s.inB == 1)
            candidates.emplace_back(s.atA, s.atB);
    }
    std::sort(candidates.begin(), candidates.end());
    // Patience: the longest chain increasing in b, with a link to its predecessor.
    std::vector<int> tails, previous(candidates.size(), -1);
    for (size_t k = 0; k < candidates.size(); ++k) {
        const auto pos = std::lower_bound(tails.begin(), tails.end(), candidates[k].second,
                                          [&](int t, int value) { return candidates[size_t(t)].second < value; });
        if (pos != tails.begin())
            previous[k] = *(pos - 1);
        if (pos == tails.end())
            tails.push_back(int(k));
        else
            *pos = int(k);
    }
    Pairs chain;
    for (int k = tails.empty() ? -1 : tails.back(); k >= 0; k = previous[size_t(k)])
        chain.push_back(candidates[size_t(k)]);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

} // namespace

bool standsAlone(char32_t c)
{
    return (c >= 0x3000 && c <= 0x30FF)     // CJK punctuation, hiragana, katakana
           || (c >= 0x3400 && c <= 0x4DBF)  // extension A
           || (c >= 0x4E00 && c <= 0x9FFF)  // unified ideographs
           || (c >= 0xAC00 && c <= 0xD7AF)  // hangul syllables
           || (c >= 0xF900 && c <= 0xFAFF)  // compatibility ideographs
           || (c >= 0xFF00 && c <= 0xFFEF)  // full- and half-width forms
           || (c >= 0x20000 && c <= 0x3FFFF);
}

QString normalise(const QString &word)
{
    QString s = word.normalized(QString::NormalizationForm_KC).toCaseFolded();
    s.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return u == 0x00AD || (u >= 0x200B && u <= 0x200F) || u == 0x2060 || u == 0xFEFF || u == 0xFFFC ||
               c.category() == QChar::Other_Control;
    });
    return s;
}

std::vector<std::pair<int, int>> align(const std::vector<QString> &wordsA, const std::vector<QString> &wordsB)
{
    QHash<QString, int> ids;
    const auto intern = [&](const std::vector<QString> &words) {
        std::vector<int> out;
        out.reserve(words.size());
        for (const QString &w : words) {
            auto it = ids.constFind(w);
            if (it == ids.constEnd())
                it = ids.insert(w, int(ids.size()));
            out.push_back(*it);
        }
        return out;
    };
    const std::vector<int> a = intern(wordsA), b = intern(wordsB);
    Pairs pairs;
    std::vector<Range> work{{0, int(a.size()), 0, int(b.size())}};
    while (!work.empty()) {
        Range r = work.back();
        work.pop_back();
        while (r.a0 < r.a1 && r.b0 < r.b1 && a[size_t(r.a0)] == b[size_t(r.b0)])
            pairs.emplace_back(r.a0++, r.b0++);
        while (r.a0 < r.a1 && r.b0 < r.b1 && a[size_t(r.a1 - 1)] == b[size_t(r.b1 - 1)])
            pairs.emplace_back(--r.a1, --r.b1);
        if (r.a0 == r.a1 || r.b0 == r.b1)
            continue;
        if (qint64(r.a1 - r.a0) * (r.b1 - r.b0) <= MaxCells) {
            byTable(a, b, r, &pairs);
            continue;
        }
        const Pairs anchors = uniqueAnchors(a, b, r);
        if (anchors.empty()) {
            // Nothing to hold on to: the two halves are compared apart, which may
            // miss pairs across the cut but keeps the cost bounded.
            const int am = r.a0 + (r.a1 - r.a0) / 2, bm = r.b0 + (r.b1 - r.b0) / 2;
            work.push_back({r.a0, am, r.b0, bm});
            work.push_back({am, r.a1, bm, r.b1});
            continue;
        }
        int a0 = r.a0, b0 = r.b0;
        for (const auto &[i, j] : anchors) {
            work.push_back({a0, i, b0, j});
            pairs.emplace_back(i, j);
            a0 = i + 1;
            b0 = j + 1;
        }
        work.push_back({a0, r.a1, b0, r.b1});
    }
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

} // namespace WordAlign
