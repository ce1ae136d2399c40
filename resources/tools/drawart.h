#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QVector>

#include <map>

// What the pixel art and the painted pictures share: where they are written, the
// colours, saving (with the drawing at twice the size) and pictures from character
// maps; and the pictures each kind draws, for main to call.
namespace DrawArt {

extern QString g_outDir;
extern int g_failures;

inline const QRgb kTransparent = qRgba(0, 0, 0, 0);
inline const QRgb kWhiteTransparent = qRgba(255, 255, 255, 0);
inline const QRgb kBlack = qRgb(0, 0, 0);
inline const QRgb kWhite = qRgb(255, 255, 255);
inline const QColor kLightBlue(152, 215, 235);

void save(const QImage &img, const char *name);
QImage scale2x(const QImage &src);
QByteArray name2x(const char *name);
void saveWith2x(const QImage &img, const char *name);

using Palette = std::map<char, QRgb>;

QImage fromMap(const char *const rows[], int height, const Palette &pal,
               QImage::Format format, QRgb background);
QImage fromMapIndexed(const char *const rows[], int height,
                      const QVector<QRgb> &table, const std::map<char, int> &index);

#define ROWS(a) a, int(sizeof(a) / sizeof(a[0]))

// pixelart.cpp: drawn pixel by pixel from character maps.
void drawItalicI();
void drawStrikeABC();
void drawUnderlineU();
void drawBoldB();
void drawScissors();
void drawClipboard();
void drawTwoPages();
void drawPrinter();
void drawFloppy();
void drawOpenFolder();
void drawBlankPage();
void drawHand();

// paintedart.cpp: painted with QPainter, anti-aliased.
void drawGradient(int ratio, const char *name);
void drawWordmarks(int ratio);
void drawSheetIcon(int size, const char *name, int ratio = 1);
void drawSmallSheetIcon();
void drawCup(int ratio, const char *name);
void drawRoundButton(int w, int h, QColor fill, QColor edge, bool cross, const char *name, int ratio = 1);
void drawAppIcon(int size, const char *name);
void writeAppIconSvg(const char *name);

} // namespace DrawArt
