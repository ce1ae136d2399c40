#include "layout/imagehandler.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTextDocument>
#include <QTextFormat>
#include <QUrl>

namespace {

QImage imageOf(QTextDocument *doc, const QTextImageFormat &format)
{
    const QVariant data = doc->resource(QTextDocument::ImageResource, QUrl(format.name()));
    if (data.userType() == QMetaType::QImage)
        return qvariant_cast<QImage>(data);
    if (data.userType() == QMetaType::QPixmap)
        return qvariant_cast<QPixmap>(data).toImage();
    if (data.userType() == QMetaType::QByteArray)
        return QImage::fromData(data.toByteArray());
    return QImage();
}

} // namespace

ImageHandler::ImageHandler(QObject *parent)
    : QObject(parent)
{
}

QSizeF ImageHandler::intrinsicSize(QTextDocument *doc, int, const QTextFormat &format)
{
    // Whole pixels, rounded, as Qt's own image handler sizes pictures.
    const QTextImageFormat f = format.toImageFormat();
    const bool hasWidth = f.hasProperty(QTextFormat::ImageWidth);
    const bool hasHeight = f.hasProperty(QTextFormat::ImageHeight);
    // Not a number, negative or absurdly large sizes from the file are shown bounded.
    auto bound = [](qreal v) { return v > 0 && v < MaximumSide ? v : v >= MaximumSide ? MaximumSide : qreal(0); };
    qreal width = qRound(bound(f.width()));
    qreal height = qRound(bound(f.height()));
    if (!hasWidth || !hasHeight) {
        const QImage image = imageOf(doc, f);
        const QSizeF natural = image.isNull() ? QSizeF(16, 16) : image.deviceIndependentSize();
        if (!hasWidth)
            width = hasHeight && natural.height() > 0 ? qRound(height * natural.width() / natural.height()) : natural.width();
        if (!hasHeight)
            height = hasWidth && natural.width() > 0 ? qRound(width * natural.height() / natural.width()) : natural.height();
    }
    return QSizeF(bound(width), bound(height));
}

void ImageHandler::drawObject(QPainter *painter, const QRectF &rect, QTextDocument *doc, int,
                              const QTextFormat &format)
{
    const QImage image = imageOf(doc, format.toImageFormat());
    if (image.isNull()) {
        painter->save();
        painter->setPen(Qt::gray);
        painter->drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
        painter->restore();
        return;
    }
    painter->drawImage(rect, image);
}
