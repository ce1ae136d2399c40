#include "shell/skin.h"

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <QScreen>

#include <cstring>

namespace Skin {

const QCursor &handCursor()
{
    static const QCursor cursor = [] {
        // Drawn at twice the size for a high-density screen; the hot spot is given
        // in the 32-pixel hand's pixels either way.
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (screen && screen->devicePixelRatio() > 1) {
            QPixmap big(QStringLiteral(":/art/hand@2x.png"));
            if (!big.isNull()) {
                big.setDevicePixelRatio(2);
                return QCursor(big, 5, 0);
            }
        }
        const QPixmap pixmap(QStringLiteral(":/art/hand.png"));
        return pixmap.isNull() ? QCursor(Qt::PointingHandCursor) : QCursor(pixmap, 5, 0);
    }();
    return cursor;
}

namespace {

// Liberation Sans has the metrics of the common Windows sans serif, so captions
// keep their width in the boxes they were made for.
const QStringList &sansSubstitutes()
{
    static const QStringList sans = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                     QStringLiteral("DejaVu Sans")};
    return sans;
}

} // namespace

void installFontSubstitutes()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Also for documents that name these fonts.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sansSubstitutes());
    QFont::insertSubstitutions(QStringLiteral("News Gothic"), sansSubstitutes());
}

QString fontFamily(const char *family)
{
    static QHash<QString, QString> resolved;
    const QString name = QString::fromLatin1(family);
    const auto found = resolved.constFind(name);
    if (found != resolved.constEnd())
        return *found;
    QString result = name;
    if (!QFontDatabase::hasFamily(name)) {
        for (const QString &substitute : sansSubstitutes()) {
            if (QFontDatabase::hasFamily(substitute)) {
                result = substitute;
                break;
            }
        }
    }
    resolved.insert(name, result);
    return result;
}

QFont font(const FontDef &def)
{
    QFont font(fontFamily(def.family));
    font.setPointSizeF(def.points);
    font.setBold(def.bold);
    return font;
}

bool isGlyphFont(const char *family)
{
    return family && std::strcmp(family, "Webdings") == 0;
}

void drawGlyph(QPainter &painter, const QRect &box, QChar glyph, const QColor &color)
{
    // A 9 x 9 symbol in the middle of the box, drawn with crisp one-pixel strokes.
    const int size = qMax(5, qMin(box.width(), box.height()) - 8);
    const QRect r(box.x() + (box.width() - size) / 2, box.y() + (box.height() - size) / 2, size, size);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(color, 1));
    painter.setBrush(Qt::NoBrush);
    switch (glyph.unicode()) {
    case '0': // minimize: a bar along the bottom
        painter.fillRect(QRect(r.left() + 1, r.bottom() - 1, r.width() - 2, 2), color);
        break;
    case '1': // maximize: a window outline with a thick top
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 2), color);
        break;
    case '2': { // restore: two overlapping windows
        const int s = size * 2 / 3;
        const QRect back(r.right() - s + 1, r.top(), s, s);
        const QRect front(r.left(), r.bottom() - s + 1, s, s);
        painter.drawLine(back.left(), back.top(), back.right(), back.top());
        painter.drawLine(back.left(), back.top() + 1, back.right(), back.top() + 1);
        painter.drawLine(back.right(), back.top(), back.right(), back.bottom());
        painter.drawLine(back.left(), back.top(), back.left(), front.top() - 1);
        painter.drawLine(front.right() + 1, back.bottom(), back.right(), back.bottom());
        painter.drawRect(front.adjusted(0, 0, -1, -1));
        painter.fillRect(QRect(front.left(), front.top(), front.width(), 2), color);
        break;
    }
    case 'r': // close: a cross
        painter.drawLine(r.topLeft(), r.bottomRight());
        painter.drawLine(r.topLeft() + QPoint(1, 0), r.bottomRight() - QPoint(0, 1));
        painter.drawLine(r.topRight(), r.bottomLeft());
        painter.drawLine(r.topRight() - QPoint(1, 0), r.bottomLeft() - QPoint(0, 1));
        break;
    default:
        break;
    }
    painter.restore();
}

} // namespace Skin
