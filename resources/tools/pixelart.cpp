#include "drawart.h"

// The pictures drawn pixel by pixel from character maps, so that they stay crisp at
// 1:1: the style glyphs, the toolbar icons, the blank page and the hand cursor.
namespace DrawArt {

// ---------------------------------------------------------------------------
// Character-style glyphs: black on a white ground that is fully transparent.

namespace {

QImage glyph(const char *const rows[], int height)
{
    return fromMapIndexed(rows, height, { kWhiteTransparent, kBlack }, { { '#', 1 } });
}

} // namespace

void drawItalicI()
{
    static const char *const m[] = {
        "....####.",
        ".....##..",
        ".....##..",
        "....##...",
        "....##...",
        "...##....",
        "...##....",
        "..##.....",
        ".####....",
    };
    saveWith2x(glyph(ROWS(m)), "P6.png");
}

void drawStrikeABC()
{
    static const char *const m[] = {
        "..##..###...###.",
        ".#..#.#..#.#....",
        ".#..#.#..#.#....",
        "################",
        ".#..#.#..#.#....",
        ".#..#.#..#.#....",
        ".#..#.###...###.",
    };
    saveWith2x(glyph(ROWS(m)), "P7.png");
}

void drawUnderlineU()
{
    static const char *const m[] = {
        "###...###",
        ".#.....#.",
        ".#.....#.",
        ".#.....#.",
        ".#.....#.",
        ".#.....#.",
        ".#.....#.",
        "..#####..",
        ".........",
        "#########",
        ".........",
    };
    saveWith2x(glyph(ROWS(m)), "P8.png");
}

void drawBoldB()
{
    static const char *const m[] = {
        "#######..",
        ".##...##.",
        ".##...##.",
        ".##...##.",
        ".######..",
        ".##...##.",
        ".##...##.",
        ".##...##.",
        "#######..",
    };
    saveWith2x(glyph(ROWS(m)), "P9.png");
}

// ---------------------------------------------------------------------------
// 16x16 toolbar icons on a transparent ground.

namespace {

const Palette &iconPalette()
{
    static const Palette pal = {
        { 'k', qRgb(0, 0, 0) },        // outline
        { 'W', qRgb(255, 255, 255) },  // paper
        { 'l', qRgb(128, 128, 128) },  // text lines, shadows
        { 's', qRgb(192, 192, 192) },  // light grey, metal
        { 'd', qRgb(64, 64, 64) },     // dark grey
        { 'N', qRgb(0, 0, 128) },      // navy
        { 'B', qRgb(0, 64, 224) },     // blue
        { 'b', qRgb(96, 160, 255) },   // light blue highlight
        { 'w', qRgb(160, 104, 40) },   // wood
        { 'Y', qRgb(255, 224, 64) },   // yellow
        { 'y', qRgb(208, 160, 0) },    // dark yellow
        { 'G', qRgb(0, 144, 0) },      // green
        { 'D', qRgb(40, 48, 96) },     // disk body
    };
    return pal;
}

QImage icon(const char *const rows[], int height)
{
    return fromMap(rows, height, iconPalette(), QImage::Format_ARGB32, kTransparent);
}

} // namespace

void drawScissors()
{
    static const char *const m[] = {
        "..k..........k..",
        "..kb........Bk..",
        "...kb......Bk...",
        "....kb....Bk....",
        ".....kb..Bk.....",
        "......kbBk......",
        ".......kk.......",
        "......BkkB......",
        ".....BB..BB.....",
        "....BB....BB....",
        "..BBBB....BBBB..",
        ".BB..BB..BB..BB.",
        ".B....B..B....B.",
        ".B....B..B....B.",
        ".BB..BB..BB..BB.",
        "..BBBB....BBBB..",
    };
    saveWith2x(icon(ROWS(m)), "P10.png");
}

void drawClipboard()
{
    static const char *const m[] = {
        "......kkkk......",
        ".kkkkkdssdkkkkk.",
        "kwwwksssssskwwwk",
        "kwwwkkkkkkkkwwwk",
        "kwwkWWWWWWWWkwwk",
        "kwwkWllllllWkwwk",
        "kwwkWWWWWWWWkwwk",
        "kwwkWlllllWWkwwk",
        "kwwkWWWWWWWWkwwk",
        "kwwkWllllllWkwwk",
        "kwwkWWWWWWWWkwwk",
        "kwwkWllllWWWkwwk",
        "kwwkWWWWWWWWkwwk",
        "kwwkkkkkkkkkkwwk",
        "kwwwwwwwwwwwwwwk",
        ".kkkkkkkkkkkkkk.",
    };
    saveWith2x(icon(ROWS(m)), "P11.png");
}

void drawTwoPages()
{
    static const char *const m[] = {
        "kkkkkkk.........",
        "kWWWWWkk........",
        "kWllllkWk.......",
        "kWWWWWkkkk......",
        "kWllllllWk......",
        "kWWWWWkkkkkkk...",
        "kWllllkWWWWWkk..",
        "kWWWWWkWlllWkWk.",
        "kWllllkWWWWWkkkk",
        "kWWWWWkWllllllWk",
        "kkkkkkkWWWWWWWWk",
        "......kWllllllWk",
        "......kWWWWWWWWk",
        "......kWllllllWk",
        "......kWWWWWWWWk",
        "......kkkkkkkkkk",
    };
    saveWith2x(icon(ROWS(m)), "P12.png");
}

void drawPrinter()
{
    static const char *const m[] = {
        "....kkkkkkk.....",
        "....kWWWWWkk....",
        "....kWllllWk....",
        "....kWWWWWWk....",
        "....kWlllllk....",
        "..kkkWWWWWWkkk..",
        ".kssskkkkkkkssk.",
        "kssssssssssssssk",
        "ksssssssssssGGsk",
        "kllllllllllllllk",
        "kssskkkkkkkkksdk",
        "kssskWWWWWWWksdk",
        ".kdkWllllllWkdk.",
        "..kWWWWWWWWWWk..",
        "..kWllllllllWk..",
        "..kkkkkkkkkkkk..",
    };
    saveWith2x(icon(ROWS(m)), "P13.png");
}

void drawFloppy()
{
    static const char *const m[] = {
        "kkkkkkkkkkkkkk..",
        "kDDkssssssskDDk.",
        "kDDksskkssskDDDk",
        "kDDksskkssskDDDk",
        "kDDksskkssskDDDk",
        "kDDkssssssskDDDk",
        "kDDDkkkkkkkDDDDk",
        "kDDDDDDDDDDDDDDk",
        "kDkkkkkkkkkkkkDk",
        "kDkWWWWWWWWWWkDk",
        "kDkWllllllllWkDk",
        "kDkWWWWWWWWWWkDk",
        "kDkWllllllllWkDk",
        "kDkWWWWWWWWWWkDk",
        "kDkWWWWWWWWWWkDk",
        "kkkkkkkkkkkkkkkk",
    };
    saveWith2x(icon(ROWS(m)), "P14.png");
}

void drawOpenFolder()
{
    static const char *const m[] = {
        "......GGGG......",
        ".....GGGGGG.....",
        "....GG....GG....",
        "....G...GGGGGG..",
        ".........GGGG...",
        ".kkkk.....GG....",
        "kYYYYk..........",
        "kYyyyykkkkkkk...",
        "kYyyyyyyyyyyyk..",
        "kYyykkkkkkkkkkkk",
        "kYykYYYYYYYYYYYk",
        "kYykYYYYYYYYYYk.",
        "kykYYYYYYYYYYYk.",
        "kykYYYYYYYYYYk..",
        "kkYYYYYYYYYYYk..",
        "kkkkkkkkkkkkk...",
    };
    saveWith2x(icon(ROWS(m)), "P15.png");
}

// ---------------------------------------------------------------------------
// Blank page with a folded corner, white all round.

void drawBlankPage()
{
    static const char *const m[] = {
        "#######....",
        "#.....##...",
        "#.....#g#..",
        "#.....#gg#.",
        "#.....#####",
        "#.........#",
        "#.........#",
        "#.........#",
        "#.........#",
        "#.........#",
        "#.........#",
        "#.........#",
        "###########",
    };
    const Palette pal = { { '#', qRgb(0, 0, 0) }, { 'g', qRgb(192, 192, 192) } };
    saveWith2x(fromMap(ROWS(m), pal, QImage::Format_RGB32, kWhite), "P3.png");
}


// ---------------------------------------------------------------------------
// Pointing hand cursor: white with a black outline, fingertip at (5, 0).

void drawHand()
{
    static const char *const m[] = {
        "....###.........................",
        "...#WWW#........................",
        "...#WWW#........................",
        "...#WWW#........................",
        "...#WWW#........................",
        "...#WWW#........................",
        "...#WWW####.....................",
        "...#WWW#WWW####.................",
        "...#WWW#WWW#WWW###..............",
        "...#WWW#WWW#WWW#WW#.............",
        ".###WWW#WWW#WWW#WW#.............",
        "#WW#WWW#WWW#WWW#WW#.............",
        "#WW#WWWWWWWWWWWWWW#.............",
        "#WWW#WWWWWWWWWWWWW#.............",
        "#WWWWWWWWWWWWWWWWW#.............",
        ".#WWWWWWWWWWWWWWWW#.............",
        ".#WWWWWWWWWWWWWWWW#.............",
        "..#WWWWWWWWWWWWWW#..............",
        "..#WWWWWWWWWWWWWW#..............",
        "...#WWWWWWWWWWWW#...............",
        "...#WWWWWWWWWWWW#...............",
        "...##############...............",
        "................................",
        "................................",
        "................................",
        "................................",
        "................................",
        "................................",
        "................................",
        "................................",
        "................................",
        "................................",
    };
    saveWith2x(fromMapIndexed(ROWS(m), { kTransparent, kBlack, kWhite }, { { '#', 1 }, { 'W', 2 } }),
               "hand.png");
}

} // namespace DrawArt
