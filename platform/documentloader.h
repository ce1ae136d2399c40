#pragma once

#include "platform/failure.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QTextDocument;

namespace DocumentLoader {

// Reads the file at path into a new document: rich text when the file starts with
// "{\rtf", plain text otherwise. On failure the result is null and nothing else
// was touched.
Failure load(const QString &path, std::unique_ptr<QTextDocument> *result);

// The document for bytes already read.
Failure fromBytes(const QByteArray &bytes, std::unique_ptr<QTextDocument> *result);

// Plain text as this editor decodes it: UTF-16 with a byte-order mark, UTF-8 (with
// or without one), otherwise Windows-1252. Line ends become paragraph breaks; the
// single line end that saving appends is taken off again.
QString decodePlainText(const QByteArray &bytes);

} // namespace DocumentLoader
