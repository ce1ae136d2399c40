#pragma once

// The control words the reader acts on, looked up once per control word of the
// document.

#include <string_view>

namespace RtfKeywords {

enum class Kw : unsigned char {
    Unknown,
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
    ListText,
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
    B,
    I,
    Ul,
    Uld,
    UlDash,
    UlDashD,
    UlDashDD,
    UlWave,
    UlNone,
    Strike,
    StrikeD,
    Fs,
    Cf,
    Cb,
    Highlight,
    SBasedOn,
    Loch,
    Hich,
    Dbch,
    Rtlch,
    Ltrch,
    Af,
    Super,
    Sub,
    NoSuperSub,
    Up,
    Dn,
    V,
    Deleted,
    Caps,
    SCaps,
    Par,
    Pard,
    Ql,
    Qc,
    Qr,
    Qj,
    Li,
    Ri,
    Fi,
    Sb,
    Sa,
    PageBB,
    Sl,
    SlMult,
    Page,
    Line,
    Tab,
    Sect,
    Cell,
    NestCell,
    Row,
    Trowd,
    Clmrg,
    Cellx,
    Chftn,
    Char, // a character given by name; the code point is in the table
    PngBlip,
    JpegBlip,
    PicWGoal,
    PicHGoal,
    PicScaleX,
    PicScaleY,
};

struct KwInfo
{
    Kw kw;
    char32_t ch = 0;
};

// The keyword's meaning, or null for a control word the reader does not know.
const KwInfo *find(std::string_view name);

} // namespace RtfKeywords
