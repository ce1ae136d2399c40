#pragma once

// Pairs the words of two renderings of one document, so that words one side shows
// and the other does not (list labels, headers, a dropped field) leave the rest
// paired. The pairs are a common subsequence of the two word lists: as long as a
// dynamic programme finds where the lists differ in stretches of a few thousand
// words, and anchored on words that occur once on each side where they differ more.

#include <QString>

#include <utility>
#include <vector>

namespace WordAlign {

// A word as both sides compare it: compatibility-decomposed (ligatures apart),
// case-folded, without soft hyphens, zero-width characters and object marks.
QString normalise(const QString &word);

// True for the characters that count as a word each: CJK ideographs, kana, hangul
// and their punctuation, which are written without spaces.
bool standsAlone(char32_t c);

// Index pairs (i into a, j into b), increasing in both, of equal words.
std::vector<std::pair<int, int>> align(const std::vector<QString> &a, const std::vector<QString> &b);

} // namespace WordAlign
