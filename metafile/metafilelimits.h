#pragma once

namespace MetafileLimits {

// Metafile drawings (WMF, EMF), played by our own player. Reading a record costs
// little; drawing costs per point, per character and per pixel painted, so these
// count records, points, characters and pixels. A metafile that reaches one of them
// keeps what it drew so far.

// Records played of one metafile. The largest drawing in our corpus has 6 000 and a
// detailed technical drawing some tens of thousands; a record costs well under a
// microsecond to read, so this bounds a hostile metafile's reading to a fraction of
// a second.
constexpr long long MaxRecords = 250'000;

// Points in one polygon, polyline or curve record. A WMF record cannot hold more than
// 32 767; an EMF one may claim four thousand million. A record claiming more than
// this is left out: a map's longest coastline stays far below it.
constexpr long long MaxPointsPerRecord = 100'000;

// Points one metafile may draw altogether: stroking and filling cost about a
// microsecond a point, so this keeps a drawing within two seconds or so.
constexpr long long MaxPoints = 2'000'000;

// Characters one metafile may draw: each costs a glyph lookup and placement (a few
// microseconds). Charts have hundreds.
constexpr long long MaxTextChars = 200'000;

// Nested saved states (SaveDC). Drawings nest a few levels, one per embedded
// drawing; deeper saves are counted so that restores still pair up, but not kept.
constexpr int MaxSavedStates = 256;

// Slots in a metafile's object table. Writers keep a handful of pens, brushes and
// fonts alive at a time; the table's size comes from the header, which may claim
// 65 535 (WMF) or four thousand million (EMF).
constexpr int MaxObjects = 16'384;

// Rectangles a clipping region may have. Every clipping operation costs in
// proportion to them; drawings clip to a few rectangles, an ellipse or a path to a
// few per pixel row. An operation that would go past this keeps the previous region.
constexpr int MaxClipRects = 4'096;

// Coordinates, in pixels of the picture, beyond which points are held: nothing of a
// shape out there can be seen, and the rasteriser's fixed-point arithmetic must not
// overflow (a million pixels is 500 times the largest picture we draw).
constexpr double MaxCoordinate = 1'048'576.0;

// Dashes in one stroked shape. Qt strokes a dashed line dash by dash, so a long line
// with a tiny pattern would cost millions of them: such a line is drawn solid.
constexpr double MaxDashes = 20'000.0;

// Painted pixels: a metafile's shapes are charged to the document's decoding budget
// (the reader's limit on decoded pixels) at the area they cover in the picture, and at
// least this much each, for what setting up a shape costs whatever its size.
constexpr long long ShapeCost = 256;

} // namespace MetafileLimits
