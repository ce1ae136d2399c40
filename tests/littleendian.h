#pragma once

// Little-endian fields for the binary records the tests write by hand (bitmaps,
// metafiles).

#include <QByteArray>
#include <QtEndian>

inline QByteArray le16(int v)
{
    QByteArray b(2, '\0');
    qToLittleEndian<quint16>(quint16(v), b.data());
    return b;
}

inline QByteArray le32(qint64 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian<quint32>(quint32(v), b.data());
    return b;
}
