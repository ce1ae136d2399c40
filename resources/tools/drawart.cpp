// orvo_drawart: draws every picture used by Orvo's windows (toolbar glyphs,
// word-mark, dialog pictures, hand cursor, application icon) and writes them
// as PNG files into the directory given on the command line.
//
// Small pictures are drawn pixel by pixel from character maps so they stay
// crisp at 1:1; the larger ones use anti-aliased QPainter drawing.
//
// The pictures the windows show are also drawn at twice their size (name@2x.png)
// for high-density screens: the painted ones painted again at that scale, the
// pixel art enlarged by following its edges.
//
// Usage: orvo_drawart <output-directory>

#include "drawart.h"

#include <QByteArray>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstring>
#include <map>

namespace DrawArt {

QString g_outDir;
int g_failures = 0;

void save(const QImage &img, const char *name)
{
    const QString path = QDir(g_outDir).filePath(QString::fromLatin1(name));
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "orvo_drawart: cannot write %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s  %dx%d\n", qPrintable(path), img.width(), img.height());
}

// Pixel art at twice the size, edges followed (the Scale2x rule): each pixel becomes
// four; a corner of the four takes the colour of its two neighbours where they
// agree and the other two differ, so diagonal strokes stay diagonal instead of
// turning into steps, and straight edges stay sharp.
QImage scale2x(const QImage &src)
{
    const bool indexed = src.format() == QImage::Format_Indexed8;
    QImage out(src.width() * 2, src.height() * 2, src.format());
    if (indexed)
        out.setColorTable(src.colorTable());
    auto at = [&](int x, int y) {
        x = qBound(0, x, src.width() - 1);
        y = qBound(0, y, src.height() - 1);
        return indexed ? uint(src.pixelIndex(x, y)) : src.pixel(x, y);
    };
    auto put = [&](int x, int y, uint v) {
        if (indexed)
            out.setPixel(x, y, v);
        else
            out.setPixel(x, y, QRgb(v));
    };
    for (int y = 0; y < src.height(); ++y) {
        for (int x = 0; x < src.width(); ++x) {
            const uint p = at(x, y), a = at(x, y - 1), b = at(x + 1, y), c = at(x - 1, y), d = at(x, y + 1);
            const bool edge = b != c && a != d;
            put(2 * x, 2 * y, edge && c == a ? a : p);
            put(2 * x + 1, 2 * y, edge && a == b ? b : p);
            put(2 * x, 2 * y + 1, edge && c == d ? c : p);
            put(2 * x + 1, 2 * y + 1, edge && d == b ? d : p);
        }
    }
    return out;
}

// The name of a picture's drawing at twice the size: "P9.png" -> "P9@2x.png".
QByteArray name2x(const char *name)
{
    QByteArray n(name);
    return n.insert(n.lastIndexOf('.'), "@2x");
}

// Saves pixel art and its drawing at twice the size for high-density screens.
void saveWith2x(const QImage &img, const char *name)
{
    save(img, name);
    save(scale2x(img), name2x(name).constData());
}

// A 32-bit picture from a character map. Characters missing from the
// palette (normally '.') become `background`.
QImage fromMap(const char *const rows[], int height, const Palette &pal,
               QImage::Format format, QRgb background)
{
    const int width = int(std::strlen(rows[0]));
    QImage img(width, height, format);
    img.fill(background);
    for (int y = 0; y < height; ++y) {
        const char *row = rows[y];
        if (int(std::strlen(row)) != width) {
            std::fprintf(stderr, "orvo_drawart: ragged row %d (\"%s\")\n", y, row);
            ++g_failures;
        }
        for (int x = 0; x < width && row[x]; ++x) {
            auto it = pal.find(row[x]);
            if (it != pal.end())
                img.setPixel(x, y, it->second);
        }
    }
    return img;
}

// A palette picture: '.' is entry 0, every other character maps to the
// index given. Used for the glyphs whose white ground is transparent and
// for the cursor (two colours plus transparency).
QImage fromMapIndexed(const char *const rows[], int height,
                      const QVector<QRgb> &table, const std::map<char, int> &index)
{
    const int width = int(std::strlen(rows[0]));
    QImage img(width, height, QImage::Format_Indexed8);
    img.setColorTable(table);
    img.fill(0);
    for (int y = 0; y < height; ++y) {
        const char *row = rows[y];
        if (int(std::strlen(row)) != width) {
            std::fprintf(stderr, "orvo_drawart: ragged row %d (\"%s\")\n", y, row);
            ++g_failures;
        }
        for (int x = 0; x < width && row[x]; ++x) {
            auto it = index.find(row[x]);
            if (it != index.end())
                img.setPixel(x, y, uint(it->second));
        }
    }
    return img;
}

} // namespace DrawArt

using namespace DrawArt;


int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output-directory>\n", argv[0]);
        return 2;
    }
    g_outDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_outDir)) {
        std::fprintf(stderr, "orvo_drawart: cannot create %s\n", argv[1]);
        return 1;
    }

    drawSheetIcon(32, "P1.png");
    drawSheetIcon(32, "P1@2x.png", 2);
    drawSmallSheetIcon();
    drawWordmarks(1);
    drawWordmarks(2);
    drawBlankPage();
    drawGradient(1, "P4.png");
    drawGradient(2, "P4@2x.png");
    drawItalicI();
    drawStrikeABC();
    drawUnderlineU();
    drawBoldB();
    drawScissors();
    drawClipboard();
    drawTwoPages();
    drawPrinter();
    drawFloppy();
    drawOpenFolder();
    drawCup(1, "Q1.png");
    drawCup(2, "Q1@2x.png");
    drawRoundButton(23, 23, QColor(210, 30, 30), QColor(130, 10, 10), true, "Q2.png");
    drawRoundButton(23, 23, QColor(210, 30, 30), QColor(130, 10, 10), true, "Q2@2x.png", 2);
    drawRoundButton(23, 21, QColor(30, 160, 40), QColor(10, 90, 20), false, "Q3.png");
    drawRoundButton(23, 21, QColor(30, 160, 40), QColor(10, 90, 20), false, "Q3@2x.png", 2);
    drawHand();
    drawAppIcon(32, "appicon32.png");
    drawAppIcon(16, "appicon16.png");
    // The larger sizes of the icon theme, for the desktop's menus and launchers.
    for (int size : {48, 64, 128, 256}) {
        const QByteArray file = "appicon" + QByteArray::number(size) + ".png";
        drawAppIcon(size, file.constData());
    }
    writeAppIconSvg("appicon.svg");

    return g_failures == 0 ? 0 : 1;
}

