#pragma once

// The control words the reader acts on, looked up once per control word of the
// document.

#include "model/states.h"
#include "rtf/rtftokenizer.h"

#include <string_view>

namespace RtfKeywords {

// The part of the reader a word goes to: the parser's own words, a format setter of
// the row, or the destination whose state the word changes.
enum class Route : unsigned char {
    Body,       // text, breaks, characters, sections, notes, the group's own words
    Char,       // sets the group's character format through the row's setter
    Para,       // sets the group's paragraph format through the row's setter
    FontTable,  // the font table, code pages, a group's fonts
    ColorTable,
    StyleSheet, // the style sheet and the styles a group takes
    Lists,      // the list tables, old-style lists (\pn) and a paragraph's list
    Fields,
    Pictures,
    Shapes,     // shapes, drawing objects and their text boxes
    Tables,     // rows, cells, their definitions, borders and tab stops
};
constexpr int RouteCount = int(Route::Tables) + 1;

using CharSetter = void (*)(CharState &chr, const RtfTokenizer::Token &t);
using ParaSetter = void (*)(ParaState &para, const RtfTokenizer::Token &t);

enum class Kw : unsigned char {
    Unknown,
    CharFormat, // a character format word: its row's setter says what it sets
    ParaFormat, // a paragraph format word, likewise
    SkipDest,
    Footnote,
    FontTable,
    ColorTable,
    StyleSheet,
    Field,
    FldInst,
    FldRslt,
    Pict,
    Upr,
    Ud,
    Pn,       // a paragraph's old-style list: \*\pn
    PnFont,   // \pnf
    PnBullet, // \pnlvlblt
    PnTextBefore, // \pntxtb
    // The list table and a paragraph's place in it (rtflists.cpp).
    ListTable,
    List,
    ListId,
    ListLevel,
    LevelNfc,
    LevelStartAt,
    LevelText,
    LevelFollow,
    LevelJc,
    ListOverride,
    Ls,
    Ilvl,
    ShpPict,
    Bin,
    U,
    Uc,
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    Deff,
    F,
    FCharset,
    Cpg,
    Red,
    Green,
    Blue,
    S,
    Cs,
    Ds,
    Ts,
    Plain,
    SBasedOn,
    Af,
    Par,
    Pard,
    WidowCtrl,
    NoBalancing,
    EastAsianDefaultFont,
    ContextualSpace,
    Page,
    Line,
    Tab,
    Sect,
    // The page and the section's columns (rtfparser.cpp, sectionWord).
    PaperSize,   // ch: 0 width, 1 height; plus 2 for the section's own (\pgwsxn)
    PaperMargin, // ch: 0 left, 1 right, 2 top, 3 bottom; plus 4 for the section's own
    Sectd,
    Cols,
    ColsX,
    LineBetCol,
    SectBreak, // ch: 1 \sbknone, 0 the others
    HeaderFooter,  // ch: 0 \header, 1 \headerl, 2 \headerr, 3 \headerf; 4 to 7 the footers
    HeaderFooterY, // ch: 0 \headery, 1 \footery
    TitlePage,
    Column,
    Chftn,
    Char, // a character given by name; the code point is in the table
    PngBlip,
    JpegBlip,
    PicWGoal,
    PicHGoal,
    PicScaleX,
    PicScaleY,
    PicW,
    PicH,
    EmfBlip,
    WmfBlip,
    MacPict,
    PmMetafile,
    DibBitmap,
    WBitmap,
    WbmBitsPixel,
    WbmWidthBytes,
    Shp,
    ShpInst,
    ShpRslt,
    ShpTxt,    // a text box's text, in a shape (\shptxt) or a drawing object (\dptxbxtext)
    ShpLeft,   // a shape's edges (\shpleft, \shpright), a drawing object's width (\dpxsize)
    ShpRight,
    DpXSize,
    Sp,
    Sn,
    Sv,
    NoteFormat, // ch: the format (RtfNoteFormat), plus 16 for endnotes
    NoteStart,  // ch: 0 footnotes, 1 endnotes
    // Tables and tab stops (rtfparsertable.cpp), from Intbl to DefTab; some carry
    // the detail of their meaning in ch.
    Intbl,
    Itap,
    Cell,
    NestCell,
    Row,
    NestRow,
    NestTableProps,
    Trowd,
    Cellx,
    TrLeft,
    TrGaph,
    RowAlign,   // ch: 0 left, 1 centre, 2 right
    TrPadd,     // ch: CellDef::Edge
    TrPaddUnit, // ch: CellDef::Edge
    TrRh,
    ClPad,      // ch: CellDef::Edge (\clpadl is the top, \clpadt the left, as Word writes them)
    ClPadUnit,  // ch: CellDef::Edge, as ClPad
    ClHeight,
    TrBrdr,     // ch: RowDef::Edge
    ClBrdr,     // ch: CellDef::Edge
    BrdrOther,  // a border of a paragraph (ch: 0 top, 1 left, 2 bottom, 3 right, 4 all), or 5 of a page or characters
    BrdrSpace,  // \brsp
    BrdrStyle,  // ch: BorderLine::Style
    BrdrW,
    BrdrCf,
    ClCbPat,
    ClCfPat,
    ClShdng,
    ClVertAl,   // ch: 0 top, 1 centre, 2 bottom
    ClMerge,    // ch: 1 first cell, 2 merged into the one before
    ClVMerge,   // ch: 1 first cell, 2 merged into the one above
    TrWidthAfter, // ch: 0 the space after a row's last cell, 1 its unit
    Tx,
    TabKind,    // ch: QTextOption::TabType of the next \tx
    TabLeader,  // ch: LayoutProperty::Leader of the next \tx
    ParaShade,  // ch: 0 \cbpat, 1 \cfpat, 2 \shading
    TabBar,
    DefTab,
};

struct KwInfo
{
    Kw kw;
    char32_t ch = 0;
    Route route = Route::Body;
    CharSetter setChar = nullptr; // for Route::Char
    ParaSetter setPara = nullptr; // for Route::Para
};

// The keyword's meaning, or null for a control word the reader does not know.
const KwInfo *find(std::string_view name);

} // namespace RtfKeywords
