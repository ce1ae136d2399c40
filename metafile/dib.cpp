#include "metafile/dib.h"

#include <QtEndian>

namespace Dib {

namespace {

quint16 u16(const QByteArray &data, qsizetype at)
{
    return at + 2 <= data.size() ? qFromLittleEndian<quint16>(data.constData() + at) : 0;
}

quint32 u32(const QByteArray &data, qsizetype at)
{
    return at + 4 <= data.size() ? qFromLittleEndian<quint32>(data.constData() + at) : 0;
}

} // namespace

QByteArray toBmp(const QByteArray &dib)
{
    if (dib.size() < 12)
        return {};
    const quint32 headerSize = u32(dib, 0);
    if (headerSize != 12 && (headerSize < 40 || headerSize > 124 || dib.size() < qsizetype(headerSize)))
        return {};
    // Where the bits start: after the header, the colour masks and the colour table.
    qint64 colours = 0;
    qint64 entry = 4;
    qint64 masks = 0;
    if (headerSize == 12) {
        const quint16 bits = u16(dib, 10);
        colours = bits <= 8 ? 1 << bits : 0;
        entry = 3;
    } else {
        const quint16 bits = u16(dib, 14);
        const quint32 compression = u32(dib, 16);
        const quint32 used = u32(dib, 32);
        colours = used ? qint64(used) : bits <= 8 ? 1 << bits : 0;
        if (headerSize == 40 && (compression == 3 || compression == 6)) // BI_BITFIELDS, BI_ALPHABITFIELDS
            masks = compression == 3 ? 12 : 16;
    }
    const qint64 offset = 14 + headerSize + masks + qMin<qint64>(colours, 256) * entry;
    if (offset > 14 + dib.size())
        return {};
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    qToLittleEndian<quint32>(quint32(14 + dib.size()), file.data() + 2);
    qToLittleEndian<quint32>(quint32(offset), file.data() + 10);
    return file + dib;
}

} // namespace Dib
