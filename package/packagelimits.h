#pragma once

#include <QtGlobal>

// What a package may cost to read. A word processor's file holds a few hundred
// parts and its largest part, the text, is some megabytes that inflate about tenfold
// from their compressed size; these bounds are far above that and far below what a
// crafted archive would make us allocate.
namespace PackageLimits {
// More entries than this is no document (Word's largest files have a few thousand,
// mostly pictures): the archive is refused before its directory is walked twice.
constexpr qint64 MaxEntries = 20000;
// No part inflates beyond this...
constexpr qint64 MaxPartBytes = qint64(256) << 20;
// ...nor all the parts read from one package together.
constexpr qint64 MaxTotalBytes = qint64(768) << 20;
// Past RatioFloor bytes, a part may inflate at most MaxRatio times its compressed
// size: text compresses ten- to thirtyfold, a zip bomb a thousandfold.
constexpr qint64 RatioFloor = qint64(4) << 20;
constexpr qint64 MaxRatio = 200;
// Elements nested deeper than this are no document a person wrote: the XML is refused.
constexpr int MaxXmlDepth = 256;
// Nor does a tag with more attributes than this: a producer writes a few dozen, and
// QXmlStreamReader compares each new attribute with all before it (40,000 of them
// take it two seconds, ten times as many minutes).
constexpr int MaxXmlAttributes = 4096;
} // namespace PackageLimits
