#pragma once

#include "platform/failure.h"

#include <QByteArray>

class QTextDocument;

namespace Rtf {

// True when the bytes start with the rich-text signature "{\rtf" (after optional
// leading whitespace is NOT skipped: the signature must open the data).
bool hasSignature(const QByteArray &data);

// Reads an RTF byte stream into doc, which must be empty. On failure the document
// may hold a partial result; callers build into a fresh document and throw it
// away on failure, so the document on screen is never half-replaced.
Failure read(const QByteArray &data, QTextDocument *doc);

} // namespace Rtf
