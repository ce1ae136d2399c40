#pragma once

// The RTF reader's own limits, beside the document model's (model/limits.h): hostile
// input must cost bounded time and memory, and none of these is near what a real
// document needs.
namespace RtfLimits {

// Deeper groups are still counted so braces balance, but share their parent's
// state: real documents stay far below this (the deepest in our corpus is 2 700).
constexpr int MaxDepth = 10000;

// The tokens of a header or footer read to tell its height; what comes after them
// does not count.
constexpr int MaxHeaderFooterTokens = 1000000;

// Percentages of \picscalex and \picscaley beyond which scaling is noise.
constexpr int MaxPictureScale = 1000;
// Hex digits in a row, right after a picture, from which on they are taken for the
// picture's data that a damaged header left outside its group: no word is so long,
// and writers put 64 or 128 digits on a line.
constexpr int OrphanPictureData = 32;

// Characters kept of a field instruction, however they arrive (text, \'hh, \u,
// symbols). The longest instructions are hyperlinks, and addresses beyond about
// 2 000 characters already fail in browsers; twice that leaves room for the
// bookmark and switches. The rest is dropped, not stored.
constexpr int MaxFieldInstruction = 4096;
// Results of fields inside one field's instruction that are kept apart (a button of
// a table of contents holds one); beyond this they stay mere instruction text.
constexpr int MaxNestedResults = 64;

} // namespace RtfLimits
