#pragma once

#include "base/failure.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QTextDocument;

namespace DocumentLoader {

// The largest file opened. Its text takes twice as much memory as characters, and
// the document and its layout several times more: no document a person edits comes
// near it, and few machines could hold what it would become.
constexpr qint64 MaxFileBytes = qint64(1) << 30;

// How far a read may run past the size the file reported when it was opened. Files
// of the kernel's pseudo-filesystems report 0 or one page and give a few kilobytes
// more (some a few megabytes); /proc/self/pagemap never ends and is stopped here.
// A file that grows while it is read, a log being written, gets this much room.
constexpr qint64 MaxReadOverrun = qint64(16) << 20;

// Reads the file at path into a new document, in the format its content shows,
// whatever its name: rich text when it starts with "{\rtf", a Word or OpenDocument
// text when it is a package of one (or a flat OpenDocument file), plain text when it
// is text. Anything else (pictures, PDF, archives, old binary Word files, other
// packages) is refused with InvalidFormat, so nothing is ever shown, nor saved, as
// the text of a file that holds none. On failure the result is null and nothing else
// was touched. Anything but a regular file is refused, and so is a file larger than
// MaxFileBytes or one whose read runs past its size by more than MaxReadOverrun;
// running out of memory anywhere in the load is a failure like the others.
Failure load(const QString &path, std::unique_ptr<QTextDocument> *result);

// The document for bytes already read.
Failure fromBytes(const QByteArray &bytes, std::unique_ptr<QTextDocument> *result);

// Plain text as this editor decodes it: UTF-16 with a byte-order mark or recognised
// by its zero bytes, otherwise UTF-8 with any invalid byte read as Windows-1252, or
// Windows-1252 throughout (the rule is beside the code). Line ends become paragraph
// breaks; the single line end that saving appends is taken off again.
QString decodePlainText(const QByteArray &bytes);

} // namespace DocumentLoader
