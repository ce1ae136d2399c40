#pragma once

#include "base/failure.h"

#include <QByteArray>

class Package;
class QTextDocument;

// OpenDocument texts (.odt, .ott, and the flat .fodt): content, styles and pictures,
// written through the same builder as rich text.
namespace Odt {

// True when the package's mimetype names an OpenDocument text or text template.
bool isTextPackage(Package &package);

// Reads the package into doc, which must be empty; on failure the document may
// hold a partial result, which callers throw away.
Failure read(Package &package, QTextDocument *doc);

// Reads a flat OpenDocument text (one XML file) into doc.
Failure readFlat(const QByteArray &xml, QTextDocument *doc);

} // namespace Odt
