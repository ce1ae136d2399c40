#include "model/picturedecoder.h"

#include "metafile/dib.h"
#include "metafile/metafile.h"
#include "model/limits.h"
#include "model/twips.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <cmath>

namespace {

// Metafiles give \picw and \pich in hundredths of a millimetre.
constexpr qreal PixelsPerHimetric = 96.0 / 2540.0;
// A picture that says nothing of its size gets an inch square.
constexpr qreal DefaultSide = 96.0;
// Below this many pixels a placeholder cannot show its symbol; it stays a frame.
constexpr int SmallestSymbol = 12;

quint16 u16(const QByteArray &d, qsizetype at)
{
    return qFromLittleEndian<quint16>(d.constData() + at);
}

quint32 u32(const QByteArray &d, qsizetype at)
{
    return qFromLittleEndian<quint32>(d.constData() + at);
}

bool isMetafile(Picture::Kind kind)
{
    return kind == Picture::Kind::Wmf || kind == Picture::Kind::Emf || kind == Picture::Kind::MacPict
        || kind == Picture::Kind::Os2Metafile;
}

// Windows metafile records that put something on the page. Each of the last four
// carries a DIB: they are how a metafile wraps one bitmap.
enum WmfDraw : quint16 {
    WmfDibBitBlt = 0x0940,
    WmfDibStretchBlt = 0x0B41,
    WmfStretchDib = 0x0F43,
    WmfSetDibToDev = 0x0D33,
};
constexpr quint16 WmfOtherDrawing[] = {
    0x0213, 0x0817, 0x0830, 0x0418, 0x0548, 0x0228, 0x0419, 0x0429, 0x012A, 0x012B, 0x061D, 0x081A,
    0x0324, 0x0325, 0x0538, 0x041B, 0x061C, 0x041F, 0x0521, 0x0A32, 0x0922, 0x0B23,
};

// The same for enhanced metafiles: the four bitmap records, then every other record
// that draws.
enum EmfDraw : quint32 {
    EmfBitBlt = 76,
    EmfStretchBlt = 77,
    EmfSetDiBitsToDevice = 80,
    EmfStretchDiBits = 81,
};
constexpr quint32 EmfOtherDrawing[] = {
    2,  3,  4,  5,  6,  7,  8,  15, 41, 42, 43, 44, 45, 46, 47, 53, 54, 55,  56,  62,  63,  64,
    71, 72, 73, 74, 78, 79, 83, 84, 85, 86, 87, 88, 89, 90, 91, 92, 96, 97, 108, 114, 116, 118,
};

// Only the formats pictures come in, told by their signatures whatever the document
// calls them: the image reader would otherwise try every format it has a plugin for
// on whatever bytes a document holds.
const char *formatOf(const QByteArray &file)
{
    // TIFF needs Qt's extra image plugins; without them a TIFF stays a placeholder.
    return file.startsWith("\x89PNG\r\n\x1a\n")                      ? "png"
        : file.startsWith("\xFF\xD8\xFF")                              ? "jpeg"
        : file.startsWith("BM")                                        ? "bmp"
        : file.startsWith("GIF87a") || file.startsWith("GIF89a")       ? "gif"
        : file.startsWith(QByteArray("II*\0", 4)) || file.startsWith(QByteArray("MM\0*", 4)) ? "tiff"
                                                                       : nullptr;
}

template<typename T, size_t N>
bool contains(const T (&list)[N], T value)
{
    for (const T v : list) {
        if (v == value)
            return true;
    }
    return false;
}

QByteArray bitmapInWmf(const QByteArray &d)
{
    qsizetype pos = 0;
    if (d.size() >= 22 && u32(d, 0) == 0x9AC6CDD7u)
        pos = 22; // the placeable header some writers put first
    if (d.size() < pos + 18)
        return {};
    pos += qsizetype(u16(d, pos + 2)) * 2; // the header's size, in 16-bit words
    QByteArray found;
    int bitmaps = 0;
    while (pos + 6 <= d.size()) {
        const qint64 words = u32(d, pos);
        const quint16 function = u16(d, pos + 4);
        if (function == 0 || words < 3 || words > (d.size() - pos) / 2)
            break; // the end record, or a record the data cannot hold
        const qsizetype length = qsizetype(words) * 2;
        qsizetype dibAt = 0;
        switch (function) {
        case WmfStretchDib:
            dibAt = 28;
            break;
        case WmfDibStretchBlt:
            dibAt = 26;
            break;
        case WmfDibBitBlt:
            dibAt = 22;
            break;
        case WmfSetDibToDev:
            dibAt = 24;
            break;
        default:
            if (contains(WmfOtherDrawing, function))
                return {};
            break;
        }
        if (dibAt) {
            if (++bitmaps > 1 || length <= dibAt + 40)
                return {};
            found = d.mid(pos + dibAt, length - dibAt);
        }
        pos += length;
    }
    return bitmaps == 1 ? Dib::toBmp(found) : QByteArray();
}

QByteArray bitmapInEmf(const QByteArray &d)
{
    if (d.size() < 88 || u32(d, 0) != 1 || u32(d, 40) != 0x464D4520u) // " EMF"
        return {};
    qsizetype pos = 0;
    QByteArray found;
    int bitmaps = 0;
    while (pos + 8 <= d.size()) {
        const quint32 type = u32(d, pos);
        const qint64 length = u32(d, pos + 4);
        if (length < 8 || length > d.size() - pos || type == 14) // 14: the end record
            break;
        qsizetype bmiAt = 0;
        switch (type) {
        case EmfStretchDiBits:
        case EmfSetDiBitsToDevice:
            bmiAt = 48;
            break;
        case EmfBitBlt:
        case EmfStretchBlt:
            bmiAt = 84;
            break;
        default:
            if (contains(EmfOtherDrawing, type))
                return {};
            break;
        }
        if (bmiAt) {
            if (++bitmaps > 1 || length < bmiAt + 16)
                return {};
            const qint64 offBmi = u32(d, pos + bmiAt), cbBmi = u32(d, pos + bmiAt + 4);
            const qint64 offBits = u32(d, pos + bmiAt + 8), cbBits = u32(d, pos + bmiAt + 12);
            if (cbBmi < 12 || offBmi + cbBmi > length || offBits + cbBits > length || cbBits == 0)
                return {}; // a raster operation without a bitmap, or one the record cannot hold
            found = d.mid(pos + offBmi, cbBmi) + d.mid(pos + offBits, cbBits);
        }
        pos += length;
    }
    return bitmaps == 1 ? Dib::toBmp(found) : QByteArray();
}

} // namespace

QByteArray PictureDecoder::bitmapInMetafile(Picture::Kind kind, const QByteArray &data)
{
    if (kind == Picture::Kind::Wmf)
        return bitmapInWmf(data);
    if (kind == Picture::Kind::Emf)
        return bitmapInEmf(data);
    return {};
}

PictureDecoder::Result PictureDecoder::decode(const Picture &picture)
{
    if (picture.data.isEmpty())
        return {};
    switch (picture.kind) {
    case Picture::Kind::Unknown:
    case Picture::Kind::Png:
    case Picture::Kind::Jpeg:
        return decodeBitmap(picture, picture.data);
    case Picture::Kind::Dib:
        return decodeBitmap(picture, Dib::toBmp(picture.data));
    case Picture::Kind::Wbitmap:
        return decodeWbitmap(picture);
    case Picture::Kind::Wmf:
    case Picture::Kind::Emf: {
        // A wrapped bitmap is shown at its own resolution; drawings are played.
        const QByteArray bmp = bitmapInMetafile(picture.kind, picture.data);
        if (!bmp.isEmpty())
            return decodeBitmap(picture, bmp);
        return decodeMetafile(picture);
    }
    case Picture::Kind::MacPict:
    case Picture::Kind::Os2Metafile:
        break;
    }
    // Drawings we do not render keep their place and size.
    return placeholder(displaySize(picture, QSize()));
}

PictureDecoder::Result PictureDecoder::decodeMetafile(const Picture &picture)
{
    const Metafile::Format format = picture.kind == Picture::Kind::Wmf ? Metafile::Format::Wmf
                                                                              : Metafile::Format::Emf;
    Metafile metafile(format, picture.data);
    // The document's size for the picture comes first; the metafile's own header
    // serves when the document gives none.
    Picture sized = picture;
    const QSizeF own = metafile.naturalSize();
    if ((picture.width <= 0 || picture.height <= 0) && own.width() >= 1 && own.height() >= 1) {
        sized.width = int(qMin<qreal>(own.width(), ModelLimits::MaxTwips * 2540.0 / 1440.0));
        sized.height = int(qMin<qreal>(own.height(), ModelLimits::MaxTwips * 2540.0 / 1440.0));
    }
    const QSizeF display = displaySize(sized, QSize());
    // Drawn at the size it is shown, within the budgets as a bitmap of that size.
    const QSize size(qMax(1, qCeil(display.width())), qMax(1, qCeil(display.height())));
    if (decodeSize(size, display) != size)
        return placeholder(display);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return placeholder(display);
    image.fill(Qt::transparent);
    const qint64 pixels = qint64(size.width()) * size.height();
    m_decodedPixels += pixels;
    const auto spend = [this](long long painted) {
        if (m_decodedPixels + painted > ModelLimits::MaxDocumentDecodedPixels)
            return false;
        m_decodedPixels += painted;
        return true;
    };
    const auto decodeEmbedded = [this](const QByteArray &file) { return decodeEmbeddedBitmap(file); };
    if (!metafile.play(&image, spend, decodeEmbedded))
        return placeholder(display); // nothing the player can draw
    m_keptPixels += pixels;
    return {image, display, false};
}

QImage PictureDecoder::decodeEmbeddedBitmap(const QByteArray &file)
{
    // A bitmap inside a drawing lives only while the drawing is played: it costs
    // decoding, not keeping.
    const char *format = formatOf(file);
    QByteArray bytes = file;
    QBuffer buffer(&bytes);
    if (!format || !buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    const QSize natural = reader.size();
    if (!natural.isValid() || natural.isEmpty())
        return {};
    const qint64 pixels = qint64(natural.width()) * natural.height();
    const long long readerPixels = qint64(QImageReader::allocationLimit()) * 1024 * 1024 / 4;
    if (pixels > ModelLimits::MaxPicturePixels || (readerPixels > 0 && pixels > readerPixels)
        || m_decodedPixels + pixels > ModelLimits::MaxDocumentDecodedPixels)
        return {};
    m_decodedPixels += pixels;
    return reader.read();
}

PictureDecoder::Result PictureDecoder::decodeBitmap(const Picture &picture, const QByteArray &file)
{
    QByteArray bytes = file; // shares the data; QBuffer wants a non-const array
    QBuffer buffer(&bytes);
    if (file.isEmpty() || !buffer.open(QIODevice::ReadOnly))
        return placeholder(displaySize(picture, QSize()));
    const char *format = formatOf(file);
    if (!format)
        return placeholder(displaySize(picture, QSize()));
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    const QSize natural = reader.size(); // from the header: nothing is decoded yet
    const QSizeF display = displaySize(picture, natural);
    const QSize target = decodeSize(natural, display);
    if (target.isEmpty())
        return placeholder(display);
    if (target != natural)
        reader.setScaledSize(target);
    QImage image = reader.read();
    charge(natural, target);
    if (image.isNull())
        return placeholder(display);
    return {image, display, false};
}

PictureDecoder::Result PictureDecoder::decodeWbitmap(const Picture &picture)
{
    // Device-dependent bits: rows of \wbmwidthbytes bytes from the top, in the depths
    // a screen used. Without a palette only monochrome and true colour mean anything.
    const QSize natural(picture.width, picture.height);
    const QSizeF display = displaySize(picture, natural.isEmpty() ? QSize() : natural);
    QImage::Format format = QImage::Format_Invalid;
    switch (picture.bitsPerPixel) {
    case 1:
        format = QImage::Format_Mono;
        break;
    case 24:
        format = QImage::Format_BGR888;
        break;
    case 32:
        format = QImage::Format_RGB32;
        break;
    default:
        break;
    }
    const qint64 rowBytes = (qint64(natural.width()) * picture.bitsPerPixel + 7) / 8;
    if (format == QImage::Format_Invalid || natural.isEmpty() || picture.widthBytes < rowBytes
        || qint64(picture.widthBytes) * natural.height() > picture.data.size()
        || decodeSize(natural, display) != natural)
        return placeholder(display);
    QImage image(natural, format);
    if (image.isNull())
        return placeholder(display);
    if (format == QImage::Format_Mono)
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < natural.height(); ++y)
        memcpy(image.scanLine(y), picture.data.constData() + qint64(y) * picture.widthBytes, size_t(rowBytes));
    charge(natural, natural);
    return {image, display, false};
}

QSizeF PictureDecoder::displaySize(const Picture &picture, QSize natural)
{
    // The goal size is the picture's size on the page before scaling; without it, a
    // bitmap has its pixels and a metafile its extent.
    QSizeF base(DefaultSide, DefaultSide);
    if (natural.isValid() && !natural.isEmpty())
        base = QSizeF(natural);
    else if (isMetafile(picture.kind) && picture.width > 0 && picture.height > 0)
        base = QSizeF(picture.width * PixelsPerHimetric, picture.height * PixelsPerHimetric);
    else if (picture.width > 0 && picture.height > 0)
        base = QSizeF(picture.width, picture.height);
    qreal w = picture.goalWidth > 0 ? picture.goalWidth * PixelsPerTwip : base.width();
    qreal h = picture.goalHeight > 0 ? picture.goalHeight * PixelsPerTwip : base.height();
    w = w * picture.scaleX / 100.0;
    h = h * picture.scaleY / 100.0;
    // Nothing larger than the largest page we lay out, with its proportions kept.
    const qreal largest = ModelLimits::MaxTwips * PixelsPerTwip;
    const qreal shrink = qMin(1.0, largest / qMax(w, h));
    return QSizeF(qMax(1.0, w * shrink), qMax(1.0, h * shrink));
}

QSize PictureDecoder::decodeSize(QSize natural, QSizeF display) const
{
    if (!natural.isValid() || natural.isEmpty())
        return {};
    const long long pixels = qint64(natural.width()) * natural.height();
    if (pixels > ModelLimits::MaxPicturePixels
        || m_decodedPixels + pixels > ModelLimits::MaxDocumentDecodedPixels)
        return {};
    // The image reader refuses to allocate more than its limit (128 MB by default):
    // such pictures are decoded to their display size when the format allows it.
    const long long readerPixels = qint64(QImageReader::allocationLimit()) * 1024 * 1024 / 4;
    if (m_keptPixels + pixels <= ModelLimits::MaxDocumentPicturePixels && (readerPixels <= 0 || pixels <= readerPixels))
        return natural;
    // Over a budget: keep no more than is shown.
    const QSize shown = natural.scaled(qMax(1, qCeil(display.width())), qMax(1, qCeil(display.height())),
                                       Qt::KeepAspectRatio);
    if (qint64(shown.width()) * shown.height() >= pixels
        || m_keptPixels + qint64(shown.width()) * shown.height() > ModelLimits::MaxDocumentPicturePixels)
        return {};
    return shown;
}

void PictureDecoder::charge(QSize natural, QSize kept)
{
    m_decodedPixels += qint64(natural.width()) * natural.height();
    m_keptPixels += qint64(kept.width()) * kept.height();
}

PictureDecoder::Result PictureDecoder::placeholder(QSizeF display)
{
    QSize size(qCeil(display.width()), qCeil(display.height()));
    size = size.boundedTo(QSize(ModelLimits::MaxPlaceholderSide, ModelLimits::MaxPlaceholderSide));
    if (display.width() > ModelLimits::MaxPlaceholderSide || display.height() > ModelLimits::MaxPlaceholderSide)
        size = display.toSize().scaled(size, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    const long long pixels = qint64(size.width()) * size.height();
    const quint64 key = quint64(size.width()) << 32 | quint64(size.height());
    auto it = m_placeholders.constFind(key);
    if (it == m_placeholders.constEnd()) {
        if (m_keptPixels + pixels > ModelLimits::MaxDocumentPicturePixels) {
            // The budget is spent: one small placeholder, stretched, serves the rest.
            size = QSize(SmallestSymbol * 4, SmallestSymbol * 4);
            const quint64 smallKey = quint64(size.width()) << 32 | quint64(size.height());
            it = m_placeholders.constFind(smallKey);
            if (it != m_placeholders.constEnd())
                return {*it, display, true};
        }
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(0xf4, 0xf4, 0xf4));
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor ink(0xa0, 0xa0, 0xa0);
        p.setPen(QPen(ink, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0.5, 0.5, size.width() - 1.0, size.height() - 1.0));
        // The picture symbol: a landscape with a sun, centred, at most 48 pixels wide.
        const qreal side = qMin<qreal>(48.0, qMin(size.width(), size.height()) * 0.5);
        if (side >= SmallestSymbol) {
            const QRectF box((size.width() - side) / 2, (size.height() - side * 0.75) / 2, side, side * 0.75);
            p.drawRoundedRect(box, side * 0.06, side * 0.06);
            QPainterPath hills;
            hills.moveTo(box.left() + side * 0.1, box.bottom() - side * 0.1);
            hills.lineTo(box.left() + side * 0.38, box.top() + side * 0.3);
            hills.lineTo(box.left() + side * 0.58, box.bottom() - side * 0.28);
            hills.lineTo(box.left() + side * 0.7, box.top() + side * 0.42);
            hills.lineTo(box.right() - side * 0.1, box.bottom() - side * 0.1);
            hills.closeSubpath();
            p.fillPath(hills, ink);
            p.setBrush(ink);
            p.drawEllipse(QPointF(box.right() - side * 0.24, box.top() + side * 0.18), side * 0.07, side * 0.07);
        }
        p.end();
        m_keptPixels += qint64(size.width()) * size.height();
        it = m_placeholders.insert(quint64(size.width()) << 32 | quint64(size.height()), image);
    }
    return {*it, display, true};
}
