#pragma once

// The document model's limits: whatever a reader hands it, hostile input must cost
// bounded time and memory, and none of these is near what a real document needs.
namespace ModelLimits {

// Largest indent or spacing we honour, in twips (22 inches).
constexpr int MaxTwips = 31680;

// A picture or text box larger than this (twips, about 5.5 m) is given this size.
constexpr long long MaxPictureTwips = 10LL * MaxTwips;

// Styles based on one another: a chain longer than this is a cycle or worse, and
// ends there.
constexpr int MaxStyleChain = 32;

// Newspaper columns of a section: word processors allow a dozen or so on a page;
// past this a column would be narrower than a word.
constexpr int MaxColumns = 20;

// How far a first line may hang left of the text column, in twips (half an inch: a
// list's label, not a page's worth of text in the margin).
constexpr int MaxHangTwips = 720;

// Character formats the builder remembers by the state they stand for. Past this the
// memory is forgotten and formats are built anew; while a paragraph is still open
// (it may yet turn out to be a table cell's) the built ones cannot go, so a document
// cycling through more states than this would build a format for every run. Real
// documents use a few hundred; 65 536 formats cost a few megabytes.
constexpr int MaxKnownFormats = 65536;

// Font names whose face the builder asks the system for: each question can make the
// font configuration sort every installed font. Real documents name a few dozen;
// names past this are drawn in whatever Qt picks for them.
constexpr int MaxFontFaces = 256;

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

} // namespace ModelLimits
