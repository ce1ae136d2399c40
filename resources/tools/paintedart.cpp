#include "drawart.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLineF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>
#include <QtMath>

#include <cmath>
#include <cstdio>
#include <vector>

// The pictures painted anti-aliased with QPainter: the gradient strip, the word-marks,
// the document icons, the cup, the round buttons and the application icon.
namespace DrawArt {

// ---------------------------------------------------------------------------
// Gradient strip.

void drawGradient(int ratio, const char *name)
{
    QImage img(30 * ratio, 20 * ratio, QImage::Format_RGB32);
    const QColor from(255, 255, 255);
    for (int x = 0; x < img.width(); ++x) {
        const double t = double(x) / double(img.width() - 1);
        const QRgb c = qRgb(qRound(from.red() + t * (kLightBlue.red() - from.red())),
                            qRound(from.green() + t * (kLightBlue.green() - from.green())),
                            qRound(from.blue() + t * (kLightBlue.blue() - from.blue())));
        for (int y = 0; y < img.height(); ++y)
            img.setPixel(x, y, c);
    }
    save(img, name);
}

// ---------------------------------------------------------------------------
// Word-mark: "orvo" in separate straight strokes; where two strokes meet
// the corner is mitred and a thin gap is left between them.

namespace {

void wordmark(QImage &img, double W, double H, double s, double spacing, double gap, int ratio = 1)
{
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    if (ratio != 1)
        p.scale(ratio, ratio);

    const double total = 4 * W + 3 * spacing;
    const double T = qRound((img.height() / ratio - H) / 2.0);
    const double m = gap / 2.0 * M_SQRT2; // shift of a 45-degree edge
    double X = qRound((img.width() / ratio - total) / 2.0);

    auto quad = [&](QPointF a, QPointF b, QPointF c, QPointF d) {
        p.drawPolygon(QPolygonF() << a << b << c << d);
    };
    auto letterO = [&](double X) {
        quad({ X + m, T }, { X + W - m, T }, { X + W - s - m, T + s }, { X + s + m, T + s });
        quad({ X + s + m, T + H - s }, { X + W - s - m, T + H - s }, { X + W - m, T + H },
             { X + m, T + H });
        quad({ X, T + m }, { X + s, T + s + m }, { X + s, T + H - s - m }, { X, T + H - m });
        quad({ X + W, T + m }, { X + W, T + H - m }, { X + W - s, T + H - s - m },
             { X + W - s, T + s + m });
    };

    letterO(X);
    X += W + spacing;

    // r: stem, arm, and a short drop at the end of the arm
    {
        const double drop = T + H * 0.4;
        quad({ X, T + m }, { X + s, T + s + m }, { X + s, T + H }, { X, T + H });
        quad({ X + m, T }, { X + W - m, T }, { X + W - s - m, T + s }, { X + s + m, T + s });
        quad({ X + W, T + m }, { X + W, drop }, { X + W - s, drop }, { X + W - s, T + s + m });
    }
    X += W + spacing;

    // v: two slanted strokes; the right one stops short of the left one
    {
        const double sh = s * 0.85;            // horizontal thickness of a slanted stroke
        const double M = X + W / 2.0;
        const double f = s * 0.3;             // half width of the flat foot
        const double XR = X + W;
        const double bottom = T + H;
        const QLineF outerL(X, T, M - f, bottom);
        const QLineF outerR(XR, T, M + f, bottom);
        const QLineF innerL = outerL.translated(sh, 0);
        const QLineF innerR = outerR.translated(-sh, 0);
        // left stroke: down to the foot, its inner edge running on to the bottom
        QPointF footL;
        QLineF(-1000, bottom, 1000, bottom).intersects(innerL, &footL);
        p.drawPolygon(QPolygonF() << outerL.p1() << innerL.p1() << footL << outerL.p2());
        // right stroke: cut along the left stroke's inner edge, moved by the gap
        const QPointF n = QPointF(innerL.dy(), -innerL.dx()) / innerL.length();
        const QLineF cut = innerL.translated(n * gap);
        QPointF a, b;
        cut.intersects(outerR, &a);
        cut.intersects(innerR, &b);
        p.drawPolygon(QPolygonF() << outerR.p1() << a << b << innerR.p1());
    }
    X += W + spacing;

    letterO(X);
}

} // namespace

void drawWordmarks(int ratio)
{
    QImage big(99 * ratio, 63 * ratio, QImage::Format_RGB32);
    big.fill(kLightBlue);
    wordmark(big, 19, 35, 5.5, 5, 1.6, ratio);
    save(big, ratio == 1 ? "P2.png" : "P2@2x.png");

    QImage small(93 * ratio, 49 * ratio, QImage::Format_RGB32);
    small.fill(kWhite);
    wordmark(small, 17, 29, 4.8, 5, 1.4, ratio);
    save(small, ratio == 1 ? "P5.png" : "P5@2x.png");
}

// ---------------------------------------------------------------------------
// Tilted sheet of paper (document icon).

void drawSheetIcon(int size, const char *name, int ratio)
{
    QImage img(size * ratio, size * ratio, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (ratio != 1)
        p.scale(ratio, ratio);
    const double s = size / 32.0;
    p.translate(size / 2.0, size / 2.0);
    p.rotate(-14);
    const QRectF sheet(-9.5 * s, -13 * s, 19 * s, 26 * s);
    p.setPen(QPen(Qt::black, size >= 32 ? 1.2 : 1.0));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.setPen(QPen(QColor(128, 128, 128), size >= 32 ? 1.3 : 1.0, Qt::SolidLine, Qt::FlatCap));
    const int lines = size >= 32 ? 7 : 4;
    const double step = (sheet.height() - 7 * s) / (lines - 1);
    for (int i = 0; i < lines; ++i) {
        const double y = sheet.top() + 3.5 * s + i * step;
        const double right = (i % 3 == 2) ? sheet.right() - 8 * s : sheet.right() - 3.5 * s;
        p.drawLine(QPointF(sheet.left() + 3.5 * s, y), QPointF(right, y));
    }
    p.end();
    save(img.convertToFormat(QImage::Format_ARGB32), name);
}

// The same sheet at 16x16, decided pixel by pixel (no smoothing): a pixel
// belongs to the sheet when its centre falls inside the turned rectangle,
// and to the outline when one of its four neighbours does not.
void drawSmallSheetIcon()
{
    const int size = 16;
    const double angle = qDegreesToRadians(14.0);
    const double c = std::cos(angle), sn = std::sin(angle);
    const double halfW = 4.9, halfH = 6.6;
    const QPointF centre(7.5, 7.8);
    auto local = [&](double x, double y) {
        const double dx = x - centre.x(), dy = y - centre.y();
        // undo a counter-clockwise turn (screen y points down)
        return QPointF(dx * c - dy * sn, dx * sn + dy * c);
    };
    auto inside = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= size || y >= size)
            return false;
        const QPointF q = local(x + 0.5, y + 0.5);
        return std::abs(q.x()) <= halfW && std::abs(q.y()) <= halfH;
    };
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(kTransparent);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (!inside(x, y))
                continue;
            const bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1)
                || !inside(x, y + 1);
            QRgb colour = kWhite;
            if (edge) {
                colour = kBlack;
            } else {
                const QPointF q = local(x + 0.5, y + 0.5);
                const double row = (q.y() + halfH - 3.0) / 3.0;
                const int line = qRound(row);
                const bool onLine = line >= 0 && line <= 3 && std::abs(row - line) * 3.0 < 0.5;
                const double right = (line == 3) ? 0.0 : halfW - 1.6;
                if (onLine && q.x() > -halfW + 1.4 && q.x() < right)
                    colour = qRgb(128, 128, 128);
            }
            img.setPixel(x, y, colour);
        }
    }
    save(img, "P1-16.png");
}

// ---------------------------------------------------------------------------
// Cup of coffee on a saucer.

void drawCup(int ratio, const char *name)
{
    QImage img(62 * ratio, 48 * ratio, QImage::Format_RGB32);
    img.fill(kWhite);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (ratio != 1)
        p.scale(ratio, ratio);
    const QColor outline(70, 70, 70);
    const QColor shade(215, 215, 215);

    // saucer
    p.setPen(QPen(outline, 1.2));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(5.5, 35.5, 48, 10));
    p.setPen(QPen(shade, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(16.5, 37.5, 26, 5));

    // handle
    p.setPen(QPen(outline, 1.2));
    p.setBrush(Qt::white);
    QPainterPath handle;
    handle.addEllipse(QRectF(36.5, 17.5, 14, 13));
    QPainterPath hole;
    hole.addEllipse(QRectF(40.0, 20.5, 7.5, 7));
    p.drawPath(handle.subtracted(hole));

    // body
    QPainterPath body;
    body.moveTo(14.5, 15.5);
    body.lineTo(44.5, 15.5);
    body.cubicTo(44.5, 30, 40, 39, 35, 40.5);
    body.lineTo(24, 40.5);
    body.cubicTo(19, 39, 14.5, 30, 14.5, 15.5);
    body.closeSubpath();
    QLinearGradient g(14, 0, 45, 0);
    g.setColorAt(0.0, QColor(225, 225, 225));
    g.setColorAt(0.35, Qt::white);
    g.setColorAt(1.0, QColor(200, 200, 200));
    p.setBrush(g);
    p.drawPath(body);

    // rim and coffee
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(14.5, 12.5, 30, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 60, 25));
    p.drawEllipse(QRectF(16.5, 13.5, 26, 4));

    // steam
    p.setPen(QPen(QColor(150, 150, 150), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        const double x = 22.5 + i * 7;
        QPainterPath steam;
        steam.moveTo(x, 10);
        steam.cubicTo(x - 3, 7.5, x + 3, 5.5, x, 2.5);
        p.drawPath(steam);
    }
    p.end();
    save(img, name);
}

// ---------------------------------------------------------------------------
// Round buttons for the message boxes.

void drawRoundButton(int w, int h, QColor fill, QColor edge, bool cross, const char *name, int ratio)
{
    QImage img(w * ratio, h * ratio, QImage::Format_RGB32);
    img.fill(kWhite);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (ratio != 1)
        p.scale(ratio, ratio);
    const double d = qMin(w, h) - 2.0;
    const QRectF circle((w - d) / 2.0, (h - d) / 2.0, d, d);
    QRadialGradient g(circle.center() - QPointF(d * 0.2, d * 0.2), d * 0.75);
    g.setColorAt(0.0, fill.lighter(140));
    g.setColorAt(1.0, fill);
    p.setPen(QPen(edge, 1.0));
    p.setBrush(g);
    p.drawEllipse(circle);

    const QPointF c = circle.center();
    p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (cross) {
        const double r = d * 0.2;
        p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
        p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
    } else {
        QPolygonF tick;
        tick << c + QPointF(-d * 0.26, d * 0.0) << c + QPointF(-d * 0.06, d * 0.2)
             << c + QPointF(d * 0.27, -d * 0.2);
        p.drawPolyline(tick);
    }
    p.end();
    save(img, name);
}

// ---------------------------------------------------------------------------
// Application icon: a window with a cyan title bar. It is made of filled
// rectangles, listed once and drawn at any size: pixel for pixel at 16 and 32,
// scaled from the 32-pixel design for the larger theme sizes, and written as SVG
// for the scalable one.

namespace {

struct IconRect
{
    QRect rect;
    QColor color;
};

std::vector<IconRect> appIconRects(bool big)
{
    const QColor dark(0, 0, 0);
    const QColor cyan(0, 200, 230);
    const QColor grey(192, 192, 192);
    const QRect frame = big ? QRect(1, 3, 30, 26) : QRect(0, 1, 16, 14);
    const int bar = big ? 6 : 4;
    std::vector<IconRect> rects;
    // outline, client area, title bar and the line under it
    rects.push_back({frame, dark});
    rects.push_back({frame.adjusted(1, 1, -1, -1), Qt::white});
    const QRect title(frame.left() + 1, frame.top() + 1, frame.width() - 2, bar - 1);
    rects.push_back({title, cyan});
    rects.push_back({QRect(frame.left() + 1, frame.top() + bar, frame.width() - 2, 1), dark});
    if (big) {
        // window-menu box at the left, two small buttons at the right
        rects.push_back({QRect(title.left(), title.top(), 5, title.height()), grey});
        rects.push_back({QRect(title.left() + 5, title.top(), 1, title.height()), dark});
        rects.push_back({QRect(title.left() + 1, title.top() + 2, 3, 1), dark});
        for (int i = 0; i < 2; ++i) {
            const int bx = title.right() - 4 - i * 5;
            rects.push_back({QRect(bx - 1, title.top(), 1, title.height()), dark});
            rects.push_back({QRect(bx, title.top(), 4, title.height()), grey});
        }
        // a shadow of content lines
        for (int i = 0; i < 4; ++i)
            rects.push_back({QRect(frame.left() + 4, frame.top() + bar + 4 + i * 4, (i == 3 ? 13 : 20), 1),
                             QColor(176, 176, 176)});
    } else {
        rects.push_back({QRect(title.left(), title.top(), 3, title.height()), grey});
        rects.push_back({QRect(title.left() + 3, title.top(), 1, title.height()), dark});
    }
    return rects;
}

} // namespace

void drawAppIcon(int size, const char *name)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(kTransparent);
    QPainter p(&img);
    const bool big = size >= 32;
    // Whole pixels of the design become whole blocks where the size allows it.
    const qreal scale = big ? size / 32.0 : 1.0;
    for (const IconRect &r : appIconRects(big)) {
        const QRectF scaled(r.rect.x() * scale, r.rect.y() * scale, r.rect.width() * scale,
                            r.rect.height() * scale);
        p.fillRect(scaled, r.color);
    }
    p.end();
    save(img, name);
}

void writeAppIconSvg(const char *name)
{
    QString svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" "
                                 "viewBox=\"0 0 32 32\" shape-rendering=\"crispEdges\">\n");
    for (const IconRect &r : appIconRects(true)) {
        svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"/>\n")
                   .arg(r.rect.x())
                   .arg(r.rect.y())
                   .arg(r.rect.width())
                   .arg(r.rect.height())
                   .arg(r.color.name());
    }
    svg += QStringLiteral("</svg>\n");
    const QString path = QDir(g_outDir).filePath(QString::fromLatin1(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(svg.toUtf8()) < 0) {
        std::fprintf(stderr, "orvo_drawart: cannot write %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s  scalable\n", qPrintable(path));
}

} // namespace DrawArt
