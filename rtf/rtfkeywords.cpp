#include "rtf/rtfkeywords.h"

#include "model/limits.h"

#include <QTextCharFormat>

namespace RtfKeywords {

namespace {

using Token = RtfTokenizer::Token;

// Which part of the reader reads a word other than a format.
Route routeOf(Kw kw)
{
    switch (kw) {
    case Kw::CharFormat:
        return Route::Char;
    case Kw::ParaFormat:
        return Route::Para;
    case Kw::FontTable:
    case Kw::Ansi:
    case Kw::Mac:
    case Kw::Pc:
    case Kw::Pca:
    case Kw::AnsiCpg:
    case Kw::Deff:
    case Kw::F:
    case Kw::FCharset:
    case Kw::Cpg:
    case Kw::Af:
        return Route::FontTable;
    case Kw::ColorTable:
    case Kw::Red:
    case Kw::Green:
    case Kw::Blue:
        return Route::ColorTable;
    case Kw::StyleSheet:
    case Kw::S:
    case Kw::Cs:
    case Kw::Ds:
    case Kw::Ts:
    case Kw::SBasedOn:
        return Route::StyleSheet;
    case Kw::Pn:
    case Kw::PnFont:
    case Kw::PnBullet:
    case Kw::PnTextBefore:
        return Route::Lists;
    case Kw::Field:
    case Kw::FldInst:
    case Kw::FldRslt:
        return Route::Fields;
    case Kw::Pict:
    case Kw::PngBlip:
    case Kw::JpegBlip:
    case Kw::EmfBlip:
    case Kw::WmfBlip:
    case Kw::MacPict:
    case Kw::PmMetafile:
    case Kw::DibBitmap:
    case Kw::WBitmap:
    case Kw::WbmBitsPixel:
    case Kw::WbmWidthBytes:
    case Kw::PicW:
    case Kw::PicH:
    case Kw::PicWGoal:
    case Kw::PicHGoal:
    case Kw::PicScaleX:
    case Kw::PicScaleY:
        return Route::Pictures;
    case Kw::ShpPict:
    case Kw::Shp:
    case Kw::ShpInst:
    case Kw::ShpRslt:
    case Kw::ShpTxt:
    case Kw::ShpLeft:
    case Kw::ShpRight:
    case Kw::DpXSize:
    case Kw::Sp:
    case Kw::Sn:
    case Kw::Sv:
        return Route::Shapes;
    default:
        if (kw >= Kw::ListTable && kw <= Kw::Ilvl)
            return Route::Lists;
        if (kw >= Kw::Intbl && kw <= Kw::DefTab)
            return Route::Tables;
        return Route::Body;
    }
}

// The setters of the format words' rows: a member of the group's format and how the
// word's parameter reads into it.
template <bool CharState::*Field>
void charToggle(CharState &c, const Token &t)
{
    c.*Field = t.on();
}

template <unsigned char Style>
void underline(CharState &c, const Token &t)
{
    c.underline = t.on() ? Style : (unsigned char)QTextCharFormat::NoUnderline;
}

template <unsigned char Position>
void vertical(CharState &c, const Token &t)
{
    c.vertical = t.on() ? Position : 0;
}

// \up and \dn raise or lower by their parameter, in the text's whole size: none, or a
// positive one, moves.
template <unsigned char Position>
void shift(CharState &c, const Token &t)
{
    c.vertical = (!t.hasParameter || t.parameter > 0) ? Position : 0;
}

template <unsigned char Class>
void charClass(CharState &c, const Token &)
{
    c.charClass = Class;
}

// All capitals and small capitals are apart: Word writes \scaps\caps0 for small
// capitals.
template <unsigned char Bit>
void caps(CharState &c, const Token &t)
{
    c.caps = static_cast<unsigned char>(t.on() ? c.caps | Bit : c.caps & ~Bit);
}

// LibreOffice kerns pairs at any size but with \kerning0, whatever size \kerningN
// names (Word kerns from N half-points up).
void kerning(CharState &c, const Token &t)
{
    c.unkerned = !t.on();
}

// The language of the run's East Asian text: LibreOffice draws ideographs in a face of
// Chinese, Japanese or Korean, and in the face it substitutes for the font otherwise.
void asianLanguage(CharState &c, const Token &t)
{
    const int primary = t.hasParameter ? t.parameter & 0x3FF : 0;
    c.cjkLanguage = primary == 0x04 || primary == 0x11 || primary == 0x12;
}

template <int CharState::*Field>
void colorIndex(CharState &c, const Token &t)
{
    c.*Field = t.hasParameter ? qMax(0, t.parameter) : 0;
}

int twips(const Token &t)
{
    return t.hasParameter ? qBound(-ModelLimits::MaxTwips, t.parameter, ModelLimits::MaxTwips) : 0;
}

template <int ParaState::*Field>
void indent(ParaState &p, const Token &t)
{
    p.*Field = twips(t);
}

template <int ParaState::*Field>
void space(ParaState &p, const Token &t)
{
    p.*Field = qMax(0, twips(t));
}

template <bool ParaState::*Field>
void paraToggle(ParaState &p, const Token &t)
{
    p.*Field = t.on();
}

template <int Alignment>
void alignment(ParaState &p, const Token &)
{
    p.alignment = Alignment;
}

template <signed char Widows>
void widows(ParaState &p, const Token &)
{
    p.widows = Widows;
}

const struct
{
    const char *name;
    CharSetter set;
} charWords[] = {
    {"b", charToggle<&CharState::bold>},
    {"i", charToggle<&CharState::italic>},
    // Qt has no double underline: a value of our own, which the builder draws as a
    // single one and marks for the layout to double.
    {"uldb", underline<CharState::DoubleUnderline>},
    {"ul", underline<QTextCharFormat::SingleUnderline>},
    {"ulw", underline<QTextCharFormat::SingleUnderline>},
    {"ulth", underline<QTextCharFormat::SingleUnderline>},
    {"uld", underline<QTextCharFormat::DotLine>},
    {"ulthd", underline<QTextCharFormat::DotLine>},
    {"uldash", underline<QTextCharFormat::DashUnderline>},
    {"ulldash", underline<QTextCharFormat::DashUnderline>},
    {"ulthdash", underline<QTextCharFormat::DashUnderline>},
    {"ulthldash", underline<QTextCharFormat::DashUnderline>},
    {"uldashd", underline<QTextCharFormat::DashDotLine>},
    {"ulthdashd", underline<QTextCharFormat::DashDotLine>},
    {"uldashdd", underline<QTextCharFormat::DashDotDotLine>},
    {"ulthdashdd", underline<QTextCharFormat::DashDotDotLine>},
    {"ulwave", underline<QTextCharFormat::WaveUnderline>},
    {"ulhwave", underline<QTextCharFormat::WaveUnderline>},
    {"ululdbwave", underline<QTextCharFormat::WaveUnderline>},
    {"ulnone", [](CharState &c, const Token &) { c.underline = QTextCharFormat::NoUnderline; }},
    {"strike", charToggle<&CharState::strike>},
    {"striked", charToggle<&CharState::strike>},
    // Half-points; zero or absurd sizes would make the layout useless.
    {"fs", [](CharState &c, const Token &t) { c.size = (t.hasParameter && t.parameter > 0) ? qBound(2, t.parameter, 3276) : 24; }},
    {"cf", colorIndex<&CharState::color>},
    {"cb", colorIndex<&CharState::background>},
    {"chcbpat", colorIndex<&CharState::background>},
    {"highlight", colorIndex<&CharState::background>},
    {"loch", charClass<0>},
    {"ltrch", charClass<0>},
    {"hich", charClass<1>},
    {"dbch", charClass<2>},
    {"rtlch", charClass<3>},
    {"super", vertical<1>},
    {"sub", vertical<2>},
    {"nosupersub", [](CharState &c, const Token &) { c.vertical = 0; }},
    {"up", shift<3>},
    {"dn", shift<4>},
    {"v", charToggle<&CharState::hidden>},
    {"deleted", charToggle<&CharState::deleted>},
    {"caps", caps<1>},
    {"scaps", caps<2>},
    {"kerning", kerning},
    {"langfe", asianLanguage},
    // The label a paragraph of a list spells out.
    {"listtext", [](CharState &c, const Token &) { c.label = true; }},
    {"pntext", [](CharState &c, const Token &) { c.label = true; }},
};

const struct
{
    const char *name;
    ParaSetter set;
} paraWords[] = {
    {"ql", alignment<0>},
    {"qc", alignment<1>},
    {"qr", alignment<2>},
    {"qj", alignment<3>},
    {"qd", alignment<3>},
    {"li", indent<&ParaState::leftIndent>},
    {"lin", indent<&ParaState::leftIndent>},
    {"ri", indent<&ParaState::rightIndent>},
    {"rin", indent<&ParaState::rightIndent>},
    {"fi", indent<&ParaState::firstIndent>},
    {"sb", space<&ParaState::spaceBefore>},
    {"sa", space<&ParaState::spaceAfter>},
    {"pagebb", paraToggle<&ParaState::pageBreakBefore>},
    {"keepn", paraToggle<&ParaState::keepNext>},
    {"widctlpar", widows<1>},
    {"nowidctlpar", widows<0>},
    // Beyond ten lines or below a tenth of one, spacing is noise, not layout.
    {"sl", [](ParaState &p, const Token &t) {
         p.lineSpacing = t.hasParameter && qAbs(t.parameter) >= 24 && qAbs(t.parameter) <= 2400 ? t.parameter : 0;
     }},
    {"slmult", paraToggle<&ParaState::lineMultiple>},
};

// The keyword table: open addressing over a power-of-two array with a cheap hash,
// looked up for every control word of the document.
class KeywordTable
{
public:
    struct Entry
    {
        std::string_view name;
        KwInfo info;
    };

    void emplace(std::string_view name, KwInfo info)
    {
        size_t i = hash(name) & Mask;
        while (!m_entries[i].name.empty()) {
            if (m_entries[i].name == name)
                return;
            i = (i + 1) & Mask;
        }
        info.route = routeOf(info.kw);
        m_entries[i] = Entry{name, info};
    }

    const KwInfo *find(std::string_view name) const
    {
        if (name.empty() || name.size() > 32)
            return nullptr;
        size_t i = hash(name) & Mask;
        while (!m_entries[i].name.empty()) {
            if (m_entries[i].name == name)
                return &m_entries[i].info;
            i = (i + 1) & Mask;
        }
        return nullptr;
    }

private:
    static constexpr size_t Mask = 1023; // well over twice the number of keywords

    static size_t hash(std::string_view name)
    {
        size_t h = 2166136261u;
        for (const char c : name)
            h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
        return h ^ (h >> 11);
    }

    Entry m_entries[Mask + 1];
};

void addFormatWords(KeywordTable &t)
{
    for (const auto &w : charWords)
        t.emplace(w.name, KwInfo{Kw::CharFormat, 0, Route::Char, w.set});
    for (const auto &w : paraWords)
        t.emplace(w.name, KwInfo{Kw::ParaFormat, 0, Route::Para, nullptr, w.set});
}

void addTableWords(KeywordTable &t)
{
    const std::pair<const char *, Kw> plain[] = {
        {"intbl", Kw::Intbl},       {"itap", Kw::Itap},         {"cell", Kw::Cell},
        {"nestcell", Kw::NestCell}, {"row", Kw::Row},           {"nestrow", Kw::NestRow},
        {"nesttableprops", Kw::NestTableProps},                 {"trowd", Kw::Trowd},
        {"cellx", Kw::Cellx},       {"trleft", Kw::TrLeft},     {"trgaph", Kw::TrGaph},
        {"trrh", Kw::TrRh},         {"clheight", Kw::ClHeight},
        {"brdrw", Kw::BrdrW},       {"brdrcf", Kw::BrdrCf},     {"clcbpat", Kw::ClCbPat},
        {"clcfpat", Kw::ClCfPat},   {"clshdng", Kw::ClShdng},   {"tx", Kw::Tx},
        {"tb", Kw::TabBar},         {"deftab", Kw::DefTab},
    };
    for (const auto &w : plain)
        t.emplace(w.first, KwInfo{w.second});
    const std::pair<const char *, std::pair<Kw, char32_t>> detailed[] = {
        {"trql", {Kw::RowAlign, 0}},     {"trqc", {Kw::RowAlign, 1}},     {"trqr", {Kw::RowAlign, 2}},
        {"trpaddt", {Kw::TrPadd, 0}},    {"trpaddl", {Kw::TrPadd, 1}},    {"trpaddb", {Kw::TrPadd, 2}},
        {"trwWidthA", {Kw::TrWidthAfter, 0}}, {"trftsWidthA", {Kw::TrWidthAfter, 1}},
        {"trpaddr", {Kw::TrPadd, 3}},    {"trpaddft", {Kw::TrPaddUnit, 0}}, {"trpaddfl", {Kw::TrPaddUnit, 1}},
        {"trpaddfb", {Kw::TrPaddUnit, 2}}, {"trpaddfr", {Kw::TrPaddUnit, 3}},
        {"clpadl", {Kw::ClPad, 0}},      {"clpadt", {Kw::ClPad, 1}},      {"clpadb", {Kw::ClPad, 2}},
        {"clpadr", {Kw::ClPad, 3}},      {"clpadfl", {Kw::ClPadUnit, 0}}, {"clpadft", {Kw::ClPadUnit, 1}},
        {"clpadfb", {Kw::ClPadUnit, 2}}, {"clpadfr", {Kw::ClPadUnit, 3}},
        {"trbrdrt", {Kw::TrBrdr, 0}},    {"trbrdrl", {Kw::TrBrdr, 1}},    {"trbrdrb", {Kw::TrBrdr, 2}},
        {"trbrdrr", {Kw::TrBrdr, 3}},    {"trbrdrh", {Kw::TrBrdr, 4}},    {"trbrdrv", {Kw::TrBrdr, 5}},
        {"clbrdrt", {Kw::ClBrdr, 0}},    {"clbrdrl", {Kw::ClBrdr, 1}},    {"clbrdrb", {Kw::ClBrdr, 2}},
        {"clbrdrr", {Kw::ClBrdr, 3}},
        {"brdrnone", {Kw::BrdrStyle, 0}}, {"brdrtbl", {Kw::BrdrStyle, 0}}, {"brdrnil", {Kw::BrdrStyle, 0}},
        {"brdrs", {Kw::BrdrStyle, 1}},   {"brdrth", {Kw::BrdrStyle, 1}},  {"brdrsh", {Kw::BrdrStyle, 1}},
        {"brdrhair", {Kw::BrdrStyle, 1}}, {"brdrdb", {Kw::BrdrStyle, 2}}, {"brdrtriple", {Kw::BrdrStyle, 2}},
        {"brdrdot", {Kw::BrdrStyle, 3}}, {"brdrdash", {Kw::BrdrStyle, 4}}, {"brdrdashsm", {Kw::BrdrStyle, 4}},
        {"brdrdashd", {Kw::BrdrStyle, 4}}, {"brdrdashdd", {Kw::BrdrStyle, 4}},
        {"clvertalt", {Kw::ClVertAl, 0}}, {"clvertalc", {Kw::ClVertAl, 1}}, {"clvertalb", {Kw::ClVertAl, 2}},
        {"clmgf", {Kw::ClMerge, 1}},     {"clmrg", {Kw::ClMerge, 2}},
        {"clvmgf", {Kw::ClVMerge, 1}},   {"clvmrg", {Kw::ClVMerge, 2}},
        {"tqr", {Kw::TabKind, 1}},       {"tqc", {Kw::TabKind, 2}},       {"tqdec", {Kw::TabKind, 3}},
        {"tldot", {Kw::TabLeader, 1}},   {"tlhyph", {Kw::TabLeader, 2}},  {"tlul", {Kw::TabLeader, 3}},
        {"tlth", {Kw::TabLeader, 4}},    {"tleq", {Kw::TabLeader, 5}},    {"tlmdot", {Kw::TabLeader, 6}},
        {"cbpat", {Kw::ParaShade, 0}},   {"cfpat", {Kw::ParaShade, 1}},   {"shading", {Kw::ParaShade, 2}},
        {"brdrt", {Kw::BrdrOther, 0}},   {"brdrl", {Kw::BrdrOther, 1}},   {"brdrb", {Kw::BrdrOther, 2}},
        {"brdrr", {Kw::BrdrOther, 3}},   {"box", {Kw::BrdrOther, 4}},
    };
    for (const auto &w : detailed)
        t.emplace(w.first, KwInfo{w.second.first, w.second.second});
    // Borders between paragraphs, of pages and of characters: the border words after
    // them are theirs, and not shown.
    for (const char *name : {"brdrbtw", "brdrbar", "chbrdr", "pgbrdrt", "pgbrdrl", "pgbrdrb", "pgbrdrr"})
        t.emplace(name, KwInfo{Kw::BrdrOther, 5});
    t.emplace("brsp", KwInfo{Kw::BrdrSpace});
}

void addSkippedDestinations(KeywordTable &t)
{
    // Destinations whose content is never shown.
    for (const char *name :
         {"info", "annotation", "atnid", "atnauthor", "atndate", "atnref", "atnicn",
          "atrfstart", "atrfend", "atnparent", "atntime", "nonshppict", "nonesttables", "xe",
          "tc", "tcn", "txe", "rxe", "pxe", "pntxta",
          "objdata", "objclass", "objname", "objalias", "objsect", "objtime", "themedata",
          "colorschememapping", "datastore", "generator", "listname", "levelnumbers",
          "revtbl", "rsidtbl", "xmlnstbl", "latentstyles", "pgdsctbl", "filetbl", "ftnsep",
          "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn", "template", "docvar",
          "userprops", "bkmkstart", "bkmkend", "datafield", "protusertbl", "mmathPr",
          "wgrffmtfilter", "background", "listpicture", "falt", "panose", "keycode",
          "picprop", "blipuid", "htmltag", "mhtmltag", "fldtype",
          "formfield", "ffname", "ffdeftext", "ffentrymcr", "ffexitmcr", "ffformat",
          "ffhelptext", "ffl", "ffstattext", "private", "pgptbl",
          "defchp", "defpap", "stylesheetx", "oldcprops", "oldpprops", "oldsprops",
          "oldtprops", "xmlopen", "xmlclose", "xmlattrname", "xmlattrvalue", "factoidname",
          "mmath", "bookmark", "fchars", "lchars", "revtim", "creatim", "printim",
          "buptim", "title", "subject", "author", "operator", "keywords", "comment",
          "doccomm", "company", "manager", "category", "hlinkbase", "ebcstart", "ebcend",
          "passwordhash", "docdata", "gridtbl", "listtextx"})
        t.emplace(name, KwInfo{Kw::SkipDest});
}

// Destinations, the group's own words and the breaks.
void addDocumentWords(KeywordTable &t)
{
    t.emplace("footnote", KwInfo{Kw::Footnote});
    t.emplace("fonttbl", KwInfo{Kw::FontTable});
    t.emplace("colortbl", KwInfo{Kw::ColorTable});
    t.emplace("stylesheet", KwInfo{Kw::StyleSheet});
    t.emplace("field", KwInfo{Kw::Field});
    t.emplace("fldinst", KwInfo{Kw::FldInst});
    t.emplace("fldrslt", KwInfo{Kw::FldRslt});
    t.emplace("pict", KwInfo{Kw::Pict});
    t.emplace("upr", KwInfo{Kw::Upr});
    t.emplace("ud", KwInfo{Kw::Ud});
    t.emplace("pn", KwInfo{Kw::Pn});
    t.emplace("pnf", KwInfo{Kw::PnFont});
    t.emplace("pnlvlblt", KwInfo{Kw::PnBullet});
    t.emplace("pntxtb", KwInfo{Kw::PnTextBefore});
    t.emplace("listtable", KwInfo{Kw::ListTable});
    t.emplace("listoverridetable", KwInfo{Kw::ListTable});
    t.emplace("list", KwInfo{Kw::List});
    t.emplace("listid", KwInfo{Kw::ListId});
    t.emplace("listlevel", KwInfo{Kw::ListLevel});
    t.emplace("levelnfc", KwInfo{Kw::LevelNfc});
    t.emplace("levelnfcn", KwInfo{Kw::LevelNfc});
    t.emplace("levelstartat", KwInfo{Kw::LevelStartAt});
    t.emplace("leveltext", KwInfo{Kw::LevelText});
    t.emplace("levelfollow", KwInfo{Kw::LevelFollow});
    t.emplace("leveljc", KwInfo{Kw::LevelJc});
    t.emplace("leveljcn", KwInfo{Kw::LevelJc});
    t.emplace("listoverride", KwInfo{Kw::ListOverride});
    t.emplace("ls", KwInfo{Kw::Ls});
    t.emplace("ilvl", KwInfo{Kw::Ilvl});
    t.emplace("shppict", KwInfo{Kw::ShpPict});
    t.emplace("bin", KwInfo{Kw::Bin});
    t.emplace("u", KwInfo{Kw::U});
    t.emplace("uc", KwInfo{Kw::Uc});
    t.emplace("ansi", KwInfo{Kw::Ansi});
    t.emplace("mac", KwInfo{Kw::Mac});
    t.emplace("pc", KwInfo{Kw::Pc});
    t.emplace("pca", KwInfo{Kw::Pca});
    t.emplace("ansicpg", KwInfo{Kw::AnsiCpg});
    t.emplace("deff", KwInfo{Kw::Deff});
    t.emplace("f", KwInfo{Kw::F});
    t.emplace("fcharset", KwInfo{Kw::FCharset});
    t.emplace("cpg", KwInfo{Kw::Cpg});
    t.emplace("red", KwInfo{Kw::Red});
    t.emplace("green", KwInfo{Kw::Green});
    t.emplace("blue", KwInfo{Kw::Blue});
    t.emplace("s", KwInfo{Kw::S});
    t.emplace("cs", KwInfo{Kw::Cs});
    t.emplace("ds", KwInfo{Kw::Ds});
    t.emplace("ts", KwInfo{Kw::Ts});
    t.emplace("sbasedon", KwInfo{Kw::SBasedOn});
    t.emplace("plain", KwInfo{Kw::Plain});
    addFormatWords(t);
    t.emplace("af", KwInfo{Kw::Af});
    t.emplace("par", KwInfo{Kw::Par});
    t.emplace("pard", KwInfo{Kw::Pard});
    t.emplace("widowctrl", KwInfo{Kw::WidowCtrl});
    t.emplace("dntblnsbdb", KwInfo{Kw::NoBalancing});
    t.emplace("stshfdbch", KwInfo{Kw::EastAsianDefaultFont});
    t.emplace("contextualspace", KwInfo{Kw::ContextualSpace});
    t.emplace("page", KwInfo{Kw::Page});
    t.emplace("line", KwInfo{Kw::Line});
    t.emplace("tab", KwInfo{Kw::Tab});
    t.emplace("sect", KwInfo{Kw::Sect});
}

// The page, the section's columns, headers and footers, and notes.
void addSectionWords(KeywordTable &t)
{
    t.emplace("paperw", KwInfo{Kw::PaperSize, 0});
    t.emplace("paperh", KwInfo{Kw::PaperSize, 1});
    t.emplace("pgwsxn", KwInfo{Kw::PaperSize, 2});
    t.emplace("pghsxn", KwInfo{Kw::PaperSize, 3});
    const char *const margins[2][4] = {{"margl", "margr", "margt", "margb"},
                                       {"marglsxn", "margrsxn", "margtsxn", "margbsxn"}};
    for (int own = 0; own < 2; ++own) {
        for (int side = 0; side < 4; ++side)
            t.emplace(margins[own][side], KwInfo{Kw::PaperMargin, char32_t(side + 4 * own)});
    }
    t.emplace("sectd", KwInfo{Kw::Sectd});
    t.emplace("cols", KwInfo{Kw::Cols});
    t.emplace("colsx", KwInfo{Kw::ColsX});
    t.emplace("linebetcol", KwInfo{Kw::LineBetCol});
    t.emplace("sbknone", KwInfo{Kw::SectBreak, 1});
    // Headers and footers are not shown; how high they stand tells where the
    // page's body ends.
    const char *const bands[8] = {"header", "headerl", "headerr", "headerf",
                                  "footer", "footerl", "footerr", "footerf"};
    for (int which = 0; which < 8; ++which)
        t.emplace(bands[which], KwInfo{Kw::HeaderFooter, char32_t(which)});
    t.emplace("headery", KwInfo{Kw::HeaderFooterY, 0});
    t.emplace("footery", KwInfo{Kw::HeaderFooterY, 1});
    t.emplace("titlepg", KwInfo{Kw::TitlePage});
    for (const char *other : {"sbkcol", "sbkpage", "sbkeven", "sbkodd"})
        t.emplace(other, KwInfo{Kw::SectBreak, 0});
    t.emplace("column", KwInfo{Kw::Column});
    t.emplace("chftn", KwInfo{Kw::Chftn});
    // Note numbering of the document and of its sections: arabic, alphabetic,
    // roman, and the chicago symbols, for footnotes and (a prefix) for endnotes.
    const char *const noteFormats[4][6] = {
        {"ftnnar", "ftnnalc", "ftnnauc", "ftnnrlc", "ftnnruc", "ftnnchi"},
        {"sftnnar", "sftnnalc", "sftnnauc", "sftnnrlc", "sftnnruc", "sftnnchi"},
        {"aftnnar", "aftnnalc", "aftnnauc", "aftnnrlc", "aftnnruc", "aftnnchi"},
        {"saftnnar", "saftnnalc", "saftnnauc", "saftnnrlc", "saftnnruc", "saftnnchi"},
    };
    for (int kind = 0; kind < 4; ++kind) {
        for (int format = 0; format < 6; ++format)
            t.emplace(noteFormats[kind][format], KwInfo{Kw::NoteFormat, char32_t(format + (kind >= 2 ? 16 : 0))});
    }
    t.emplace("ftnstart", KwInfo{Kw::NoteStart, 0});
    t.emplace("sftnstart", KwInfo{Kw::NoteStart, 0});
    t.emplace("aftnstart", KwInfo{Kw::NoteStart, 1});
    t.emplace("saftnstart", KwInfo{Kw::NoteStart, 1});
}

// Pictures and the shapes that frame them.
void addPictureWords(KeywordTable &t)
{
    t.emplace("pngblip", KwInfo{Kw::PngBlip});
    t.emplace("jpegblip", KwInfo{Kw::JpegBlip});
    t.emplace("picwgoal", KwInfo{Kw::PicWGoal});
    t.emplace("pichgoal", KwInfo{Kw::PicHGoal});
    t.emplace("picscalex", KwInfo{Kw::PicScaleX});
    t.emplace("picscaley", KwInfo{Kw::PicScaleY});
    t.emplace("picw", KwInfo{Kw::PicW});
    t.emplace("pich", KwInfo{Kw::PicH});
    t.emplace("emfblip", KwInfo{Kw::EmfBlip});
    t.emplace("wmetafile", KwInfo{Kw::WmfBlip});
    t.emplace("macpict", KwInfo{Kw::MacPict});
    t.emplace("pmmetafile", KwInfo{Kw::PmMetafile});
    t.emplace("dibitmap", KwInfo{Kw::DibBitmap});
    t.emplace("wbitmap", KwInfo{Kw::WBitmap});
    t.emplace("wbmbitspixel", KwInfo{Kw::WbmBitsPixel});
    t.emplace("wbmwidthbytes", KwInfo{Kw::WbmWidthBytes});
    // Shapes: the picture of a picture frame, or else its result for readers
    // without shapes; the rest of a shape (text boxes included) is not shown.
    t.emplace("shp", KwInfo{Kw::Shp});
    t.emplace("shpgrp", KwInfo{Kw::Shp});
    t.emplace("shpinst", KwInfo{Kw::ShpInst});
    t.emplace("shprslt", KwInfo{Kw::ShpRslt});
    // A drawing object of old is a shape too; only its text box shows.
    t.emplace("do", KwInfo{Kw::Shp});
    t.emplace("shptxt", KwInfo{Kw::ShpTxt});
    t.emplace("dptxbxtext", KwInfo{Kw::ShpTxt});
    t.emplace("shpleft", KwInfo{Kw::ShpLeft});
    t.emplace("shpright", KwInfo{Kw::ShpRight});
    t.emplace("dpxsize", KwInfo{Kw::DpXSize});
    t.emplace("sp", KwInfo{Kw::Sp});
    t.emplace("sn", KwInfo{Kw::Sn});
    t.emplace("sv", KwInfo{Kw::Sv});
}

// Characters given by name.
void addCharacterWords(KeywordTable &t)
{
    const std::pair<const char *, char32_t> chars[] = {
        {"emdash", 0x2014}, {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},
        {"rquote", 0x2019}, {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003},
        {"enspace", 0x2002}, {"qmspace", 0x2005},  {"zwj", 0x200D},       {"zwnj", 0x200C},
        {"ltrmark", 0x200E}, {"rtlmark", 0x200F},  {"zwbo", 0x200B},
    };
    for (const auto &c : chars)
        t.emplace(c.first, KwInfo{Kw::Char, c.second});
}

const KeywordTable &table()
{
    static const KeywordTable table = [] {
        KeywordTable t;
        addSkippedDestinations(t);
        addDocumentWords(t);
        addSectionWords(t);
        addPictureWords(t);
        addTableWords(t);
        addCharacterWords(t);
        return t;
    }();
    return table;
}

} // namespace

const KwInfo *find(std::string_view name)
{
    return table().find(name);
}

} // namespace RtfKeywords
