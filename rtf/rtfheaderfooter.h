#pragma once

#include "rtf/rtftokenizer.h"

namespace RtfHeaderFooter {

// How high a header or footer stands on the page, in twips, as far as the reader can
// tell without laying it out: each of its paragraphs as many lines as its characters
// need across width (twips; a space a quarter of its size wide, any other character
// half), each row of its tables one line, a line at the largest font size on it (the
// faces' usual 1.15 times the size, or as its line spacing says: its own, or the
// default style's, spacing and multiple), with the space before and after it, and
// the empty paragraph that follows a table ending it. tok stands right after the
// destination's word; the group is read up to its closing brace, on a copy, so the
// caller's tokenizer does not move.
int height(RtfTokenizer tok, int width, int defaultSpacing = 0, bool defaultMultiple = false);

} // namespace RtfHeaderFooter
