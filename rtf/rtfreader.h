#pragma once

#include "base/failure.h"

#include <QByteArray>

class QTextDocument;

namespace Rtf {

// What a read cost, counted so that tests and benchmarks can bound the work hostile
// input makes.
struct ReadCounters
{
    qint64 stateUpdates = 0; // group states brought up to date after font or code page changes
    int converters = 0;      // code-page converters opened
    int linkTargets = 0;     // hyperlink targets kept
    qint64 formats = 0;      // character formats built
    qint64 cellsMoved = 0;   // table cells that merging cells moved (a table keeps its cells in one list)
};

// True when the bytes start with the rich-text signature "{\rtf" (after optional
// leading whitespace is NOT skipped: the signature must open the data).
bool hasSignature(const QByteArray &data);

// Reads an RTF byte stream into doc, which must be empty. On failure the document
// may hold a partial result; callers build into a fresh document and throw it
// away on failure, so the document on screen is never half-replaced. Running out
// of memory is such a failure.
Failure read(const QByteArray &data, QTextDocument *doc, ReadCounters *counters = nullptr);

} // namespace Rtf
