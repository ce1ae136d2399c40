#pragma once

// The reader's limits: hostile input must cost bounded time and memory, and none of
// these is near what a real document needs.
namespace RtfLimits {

// Deeper groups are still counted so braces balance, but share their parent's
// state: real documents stay far below this (the deepest in our corpus is 2 700).
constexpr int MaxDepth = 10000;

// Largest indent or spacing we honour, in twips (22 inches).
constexpr int MaxTwips = 31680;

// Pictures. A picture's size is read from its header before anything is decoded; the
// decoded pixels are what costs memory (four bytes each), so the limits count pixels.

// The largest picture decoded at all: a 50-megapixel camera's photograph still is.
// A larger one is shown as a placeholder: decoding it even to a smaller size would
// first take its full size in memory (progressive JPEGs do). Between the image
// reader's own allocation limit (128 MB, 32 megapixels at four bytes, in Qt 6.4) and
// this, a picture is decoded to its display size where its format allows (JPEG).
constexpr long long MaxPicturePixels = 50'000'000;

// What all pictures of one document may keep (about 400 MB). A picture that would
// pass it is decoded and kept at its display size instead, and once even that does
// not fit it becomes a placeholder.
constexpr long long MaxDocumentPicturePixels = 100'000'000;

// What all pictures of one document may cost to decode, counted at their full size
// whatever size they are kept at: this bounds the load's time as the budget above
// bounds its memory.
constexpr long long MaxDocumentDecodedPixels = 400'000'000;

// Largest side of a drawn placeholder. Bigger placeholders are drawn at this size and
// stretched: a frame and a symbol lose nothing by it.
constexpr int MaxPlaceholderSide = 1024;

// Percentages of \picscalex and \picscaley beyond which scaling is noise.
constexpr int MaxPictureScale = 1000;

// Characters kept of a field instruction, however they arrive (text, \'hh, \u,
// symbols). The longest instructions are hyperlinks, and addresses beyond about
// 2 000 characters already fail in browsers; twice that leaves room for the
// bookmark and switches. The rest is dropped, not stored.
constexpr int MaxFieldInstruction = 4096;

} // namespace RtfLimits
