#pragma once

#include "base/failure.h"

class Package;
class QTextDocument;

// Word's documents (.docx, .docm, .dotx, .dotm): the main part with its styles,
// numbering, theme and pictures, written through the same builder as rich text.
namespace Docx {

// True when the package's content types name a WordprocessingML main document.
bool isWordPackage(Package &package);

// Reads the package into doc, which must be empty. On failure the document may
// hold a partial result; callers build into a fresh document and throw it away.
Failure read(Package &package, QTextDocument *doc);

} // namespace Docx
