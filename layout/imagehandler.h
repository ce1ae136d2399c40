#pragma once

#include <QObject>
#include <QTextObjectInterface>

// Draws the document's pictures. A picture is only ever taken from the document's
// own resources, never from a file named in the document; its displayed size is
// bounded, so that a picture claiming an absurd size cannot stretch the layout.
class ImageHandler final : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
    Q_DISABLE_COPY_MOVE(ImageHandler)

public:
    // The largest width or height a picture is shown at, in pixels.
    static constexpr qreal MaximumSide = 32768;

    explicit ImageHandler(QObject *parent = nullptr);

    QSizeF intrinsicSize(QTextDocument *doc, int posInDocument, const QTextFormat &format) override;
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *doc, int posInDocument,
                    const QTextFormat &format) override;
};
