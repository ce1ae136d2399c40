#pragma once

#include <QByteArray>

namespace Dib {

// A packed device-independent bitmap (header, colour table, bits), as pictures and
// metafile records carry it, with the file header a BMP file needs in front; empty
// when the header is not a bitmap's.
QByteArray toBmp(const QByteArray &dib);

} // namespace Dib
