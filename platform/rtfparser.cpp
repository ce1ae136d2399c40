#include "platform/rtfparser.h"

#include <QImage>
#include <QRegularExpression>
#include <QTextDocument>

#include <string_view>

namespace {

// Deeper groups are still counted so braces balance, but share their parent's
// state: real documents stay far below this (the deepest in our corpus is 2 700).
constexpr int MaxDepth = 10000;

// Largest indent or spacing we honour, in twips (22 inches).
constexpr int MaxTwips = 31680;

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

const KeywordTable &keywords()
{
    static const KeywordTable table = [] {
        KeywordTable t;
        // Destinations whose content is never shown.
        for (const char *name :
             {"info", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
              "footerf", "annotation", "atnid", "atnauthor", "atndate", "atnref", "atnicn",
              "atrfstart", "atrfend", "atnparent", "atntime", "nonshppict", "nonesttables", "xe",
              "tc", "tcn", "txe", "rxe", "pxe", "pn", "pntxta", "pntxtb", "shprslt", "shpinst",
              "objdata", "objclass", "objname", "objalias", "objsect", "objtime", "themedata",
              "colorschememapping", "datastore", "generator", "listtable", "listoverridetable",
              "revtbl", "rsidtbl", "xmlnstbl", "latentstyles", "pgdsctbl", "filetbl", "ftnsep",
              "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn", "template", "docvar",
              "userprops", "bkmkstart", "bkmkend", "datafield", "do", "protusertbl", "mmathPr",
              "wgrffmtfilter", "background", "listpicture", "falt", "panose", "keycode",
              "picprop", "blipuid", "htmltag", "mhtmltag", "sp", "sn", "sv", "fldtype",
              "formfield", "ffname", "ffdeftext", "ffentrymcr", "ffexitmcr", "ffformat",
              "ffhelptext", "ffl", "ffstattext", "nesttableprops", "private", "pgptbl",
              "defchp", "defpap", "stylesheetx", "oldcprops", "oldpprops", "oldsprops",
              "oldtprops", "xmlopen", "xmlclose", "xmlattrname", "xmlattrvalue", "factoidname",
              "mmath", "bookmark", "fchars", "lchars", "revtim", "creatim", "printim",
              "buptim", "title", "subject", "author", "operator", "keywords", "comment",
              "doccomm", "company", "manager", "category", "hlinkbase", "ebcstart", "ebcend",
              "passwordhash", "docdata", "ftnalt", "gridtbl", "listtextx"})
            t.emplace(name, KwInfo{Kw::SkipDest});
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
        t.emplace("listtext", KwInfo{Kw::ListText});
        t.emplace("pntext", KwInfo{Kw::ListText});
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
        t.emplace("b", KwInfo{Kw::B});
        t.emplace("i", KwInfo{Kw::I});
        for (const char *name : {"ul", "uldb", "ulw", "ulth"})
            t.emplace(name, KwInfo{Kw::Ul});
        for (const char *name : {"uld", "ulthd"})
            t.emplace(name, KwInfo{Kw::Uld});
        for (const char *name : {"uldash", "ulldash", "ulthdash", "ulthldash"})
            t.emplace(name, KwInfo{Kw::UlDash});
        for (const char *name : {"uldashd", "ulthdashd"})
            t.emplace(name, KwInfo{Kw::UlDashD});
        for (const char *name : {"uldashdd", "ulthdashdd"})
            t.emplace(name, KwInfo{Kw::UlDashDD});
        for (const char *name : {"ulwave", "ulhwave", "ululdbwave"})
            t.emplace(name, KwInfo{Kw::UlWave});
        t.emplace("ulnone", KwInfo{Kw::UlNone});
        t.emplace("strike", KwInfo{Kw::Strike});
        t.emplace("striked", KwInfo{Kw::StrikeD});
        t.emplace("fs", KwInfo{Kw::Fs});
        t.emplace("cf", KwInfo{Kw::Cf});
        t.emplace("cb", KwInfo{Kw::Cb});
        t.emplace("chcbpat", KwInfo{Kw::Cb});
        t.emplace("highlight", KwInfo{Kw::Highlight});
        t.emplace("loch", KwInfo{Kw::Loch});
        t.emplace("hich", KwInfo{Kw::Hich});
        t.emplace("dbch", KwInfo{Kw::Dbch});
        t.emplace("rtlch", KwInfo{Kw::Rtlch});
        t.emplace("ltrch", KwInfo{Kw::Ltrch});
        t.emplace("af", KwInfo{Kw::Af});
        t.emplace("super", KwInfo{Kw::Super});
        t.emplace("sub", KwInfo{Kw::Sub});
        t.emplace("nosupersub", KwInfo{Kw::NoSuperSub});
        t.emplace("up", KwInfo{Kw::Up});
        t.emplace("dn", KwInfo{Kw::Dn});
        t.emplace("v", KwInfo{Kw::V});
        t.emplace("deleted", KwInfo{Kw::Deleted});
        t.emplace("caps", KwInfo{Kw::Caps});
        t.emplace("scaps", KwInfo{Kw::SCaps});
        t.emplace("par", KwInfo{Kw::Par});
        t.emplace("pard", KwInfo{Kw::Pard});
        t.emplace("ql", KwInfo{Kw::Ql});
        t.emplace("qc", KwInfo{Kw::Qc});
        t.emplace("qr", KwInfo{Kw::Qr});
        t.emplace("qj", KwInfo{Kw::Qj});
        t.emplace("qd", KwInfo{Kw::Qj});
        t.emplace("li", KwInfo{Kw::Li});
        t.emplace("lin", KwInfo{Kw::Li});
        t.emplace("ri", KwInfo{Kw::Ri});
        t.emplace("rin", KwInfo{Kw::Ri});
        t.emplace("fi", KwInfo{Kw::Fi});
        t.emplace("sb", KwInfo{Kw::Sb});
        t.emplace("sa", KwInfo{Kw::Sa});
        t.emplace("pagebb", KwInfo{Kw::PageBB});
        t.emplace("sl", KwInfo{Kw::Sl});
        t.emplace("slmult", KwInfo{Kw::SlMult});
        t.emplace("page", KwInfo{Kw::Page});
        t.emplace("line", KwInfo{Kw::Line});
        t.emplace("tab", KwInfo{Kw::Tab});
        t.emplace("sect", KwInfo{Kw::Sect});
        t.emplace("cell", KwInfo{Kw::Cell});
        t.emplace("nestcell", KwInfo{Kw::NestCell});
        t.emplace("row", KwInfo{Kw::Row});
        t.emplace("nestrow", KwInfo{Kw::Unknown});
        t.emplace("trowd", KwInfo{Kw::Trowd});
        t.emplace("clmrg", KwInfo{Kw::Clmrg});
        t.emplace("cellx", KwInfo{Kw::Cellx});
        t.emplace("chftn", KwInfo{Kw::Chftn});
        t.emplace("pngblip", KwInfo{Kw::PngBlip});
        t.emplace("jpegblip", KwInfo{Kw::JpegBlip});
        t.emplace("picwgoal", KwInfo{Kw::PicWGoal});
        t.emplace("pichgoal", KwInfo{Kw::PicHGoal});
        t.emplace("picscalex", KwInfo{Kw::PicScaleX});
        t.emplace("picscaley", KwInfo{Kw::PicScaleY});
        const std::pair<const char *, char32_t> chars[] = {
            {"emdash", 0x2014}, {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},
            {"rquote", 0x2019}, {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003},
            {"enspace", 0x2002}, {"qmspace", 0x2005},  {"zwj", 0x200D},       {"zwnj", 0x200C},
            {"ltrmark", 0x200E}, {"rtlmark", 0x200F},  {"zwbo", 0x200B},
        };
        for (const auto &c : chars)
            t.emplace(c.first, KwInfo{Kw::Char, c.second});
        return t;
    }();
    return table;
}

inline bool flag(const RtfTokenizer::Token &t)
{
    return !t.hasParameter || t.parameter != 0;
}

inline int twips(const RtfTokenizer::Token &t)
{
    return t.hasParameter ? qBound(-MaxTwips, t.parameter, MaxTwips) : 0;
}

} // namespace

RtfParser::RtfParser(const QByteArray &data, qsizetype start, QTextDocument *doc)
    : m_tok(data, start)
    , m_builder(doc)
{
    m_groups.reserve(64);
    m_defaultChar.codePage = m_docCodePage;
    Group root;
    root.chr = m_defaultChar;
    m_groups.push_back(root);
    m_builder.colors.push_back(QColor()); // index 0 is the automatic colour until a table says more
}

Failure RtfParser::run()
{
    using T = RtfTokenizer::Type;
    for (;;) {
        RtfTokenizer::Token t = m_tok.next();
        if (t.type == T::End)
            break;

        if (m_fallbackSkip > 0) {
            // The characters a reader without Unicode would show instead of \uN.
            switch (t.type) {
            case T::GroupOpen:
            case T::GroupClose:
                m_fallbackSkip = 0;
                break;
            case T::Text: {
                const int n = qMin(m_fallbackSkip, t.length);
                m_fallbackSkip -= n;
                t.data += n;
                t.length -= n;
                if (t.length == 0)
                    continue;
                break;
            }
            case T::Word:
                if (t.length == 3 && qstrncmp(t.data, "bin", 3) == 0 && t.hasParameter)
                    m_tok.binary(t.parameter);
                --m_fallbackSkip;
                continue;
            default:
                --m_fallbackSkip;
                continue;
            }
        }

        switch (t.type) {
        case T::GroupOpen:
            groupOpen();
            break;
        case T::GroupClose:
            if (!groupClose())
                goto done;
            break;
        case T::Word:
            controlWord(t);
            break;
        case T::Symbol:
            controlSymbol(t.byte);
            break;
        case T::Hex: {
            const char b = char(t.byte);
            if (top().dest == Dest::Picture)
                break; // pictures are hex digits or \bin, never \'hh
            textBytes(&b, 1);
            break;
        }
        case T::Text:
            textBytes(t.data, t.length);
            break;
        case T::Binary:
            binaryBytes(t.data, t.length);
            break;
        case T::End:
            break;
        }
    }
done:
    flushBytes();
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        if (showing())
            m_builder.addText(top().chr, QChar(0xFFFD));
    }
    m_builder.finish(top().para);
    return {};
}

void RtfParser::groupOpen()
{
    m_ignorable = false;
    if (m_groups.size() >= size_t(MaxDepth)) {
        ++m_overflowDepth;
        return;
    }
    Group g = m_groups.back();
    g.styleOwner = false;
    g.pictureOwner = false;
    g.fontTableOwner = false;
    g.fieldOwner = false;
    if (g.dest == Dest::StyleSheet) {
        g.dest = Dest::StyleEntry;
        g.styleOwner = true;
        g.chr = m_defaultChar;
        g.para = RtfParaState();
        m_styleNumber = 0;
        m_styleKind = 0;
        m_styleBasedOn = -1;
    }
    m_groups.push_back(g);
}

bool RtfParser::groupClose()
{
    m_ignorable = false;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return true;
    }
    if (m_groups.size() <= 1)
        return false; // a stray brace before the document group: nothing more to read
    const Group closing = m_groups.back();
    if (closing.styleOwner)
        storeStyle(closing);
    if (closing.dest == Dest::FontTable && m_fontOpen)
        finishFont();
    if (closing.pictureOwner)
        finishPicture();
    m_groups.pop_back();
    if (closing.fieldOwner)
        finishField(closing);
    if (closing.fontTableOwner)
        afterFontTable();
    if (m_groups.size() <= 1)
        return false; // the document's own group is closed; anything after it is ignored
    return true;
}

void RtfParser::skipDestination()
{
    // The whole group goes, whatever it holds, without touching the state stack.
    m_tok.skipGroup();
    if (m_overflowDepth > 0) {
        --m_overflowDepth; // the group was beyond the depth limit and has no state
        return;
    }
    if (m_groups.size() > 1) {
        const Group closing = m_groups.back();
        m_groups.pop_back();
        if (closing.fontTableOwner)
            afterFontTable();
    }
}

void RtfParser::controlWord(const RtfTokenizer::Token &t)
{
    const KwInfo *found = keywords().find(std::string_view(t.data, size_t(t.length)));
    const bool ignorable = m_ignorable;
    m_ignorable = false;
    if (!found) {
        if (ignorable)
            skipDestination();
        return;
    }
    const KwInfo info = *found;
    Group &g = top();
    const int p = t.parameter;

    switch (info.kw) {
    case Kw::Unknown:
        break;
    case Kw::SkipDest:
        skipDestination();
        break;
    case Kw::Footnote:
        ++m_footnotes;
        skipDestination();
        break;
    case Kw::FontTable:
        g.dest = Dest::FontTable;
        g.fontTableOwner = true;
        break;
    case Kw::ColorTable:
        g.dest = Dest::ColorTable;
        m_builder.colors.clear();
        m_red = m_green = m_blue = 0;
        m_colorSet = false;
        break;
    case Kw::StyleSheet:
        g.dest = Dest::StyleSheet;
        break;
    case Kw::Field:
        m_fields.push_back(Field{QString(), g.dest});
        g.field = int(m_fields.size()) - 1;
        g.fieldOwner = true;
        break;
    case Kw::FldInst:
        if (g.field < 0) {
            m_fields.push_back(Field{QString(), g.dest});
            g.field = int(m_fields.size()) - 1;
        }
        g.dest = Dest::FieldInst;
        break;
    case Kw::FldRslt:
        if (g.field >= 0) {
            Field &field = m_fields[size_t(g.field)];
            g.dest = field.outer;
            if (field.resultStart < 0) {
                flushBytes();
                field.resultStart = m_builder.written();
            }
            startHyperlink(g);
        }
        break;
    case Kw::Pict:
        if (g.dest != Dest::Normal || g.chr.hidden) {
            skipDestination();
            break;
        }
        g.dest = Dest::Picture;
        g.pictureOwner = true;
        m_picture.clear();
        m_pictureNibble = -1;
        m_pictureType = 0;
        m_pictureGoalW = m_pictureGoalH = 0;
        m_pictureScaleX = m_pictureScaleY = 100;
        break;
    case Kw::Upr:
        g.uprOuter = g.dest;
        g.dest = Dest::Upr;
        break;
    case Kw::Ud:
        if (g.dest == Dest::Upr)
            g.dest = g.uprOuter;
        break;
    case Kw::ListText:
        g.chr.label = true;
        break;
    case Kw::ShpPict:
        break;
    case Kw::Bin: {
        const RtfTokenizer::Token data = m_tok.binary(t.hasParameter ? p : 0);
        binaryBytes(data.data, data.length);
        break;
    }
    case Kw::U:
        if (t.hasParameter) {
            emitUnicode(p);
            m_fallbackSkip = g.uc;
        }
        break;
    case Kw::Uc:
        g.uc = static_cast<unsigned char>(t.hasParameter ? qBound(0, p, 16) : 1);
        break;
    case Kw::Ansi:
    case Kw::Mac:
    case Kw::Pc:
    case Kw::Pca:
    case Kw::AnsiCpg: {
        int cp = 1252;
        if (info.kw == Kw::Mac)
            cp = 10000;
        else if (info.kw == Kw::Pc)
            cp = 437;
        else if (info.kw == Kw::Pca)
            cp = 850;
        else if (info.kw == Kw::AnsiCpg)
            cp = RtfCodePage::normalise(t.hasParameter ? p : 1252);
        m_docCodePage = cp;
        m_defaultChar.codePage = fontCodePage(m_defaultChar.font);
        for (Group &x : m_groups) {
            if (x.chr.font < 0 || !m_fonts.contains(x.chr.font))
                x.chr.codePage = fontCodePage(x.chr.font);
        }
        break;
    }
    case Kw::Deff:
        m_defaultFont = t.hasParameter ? p : 0;
        if (!m_fonts.isEmpty())
            afterFontTable(); // written after the font table by some producers
        break;
    case Kw::F:
        if (g.dest == Dest::FontTable) {
            startFont(t.hasParameter ? p : 0);
        } else {
            g.chr.font = t.hasParameter ? p : 0;
            g.chr.codePage = fontCodePage(g.chr.font);
            if (g.chr.charClass == 2)
                g.chr.eastern = g.chr.font;
            else
                g.chr.western = -1;
        }
        break;
    case Kw::Loch:
    case Kw::Ltrch:
        g.chr.charClass = 0;
        break;
    case Kw::Hich:
        g.chr.charClass = 1;
        break;
    case Kw::Dbch:
        g.chr.charClass = 2;
        break;
    case Kw::Rtlch:
        g.chr.charClass = 3;
        break;
    case Kw::Af:
        // Associated fonts: Latin (\loch) and East Asian (\dbch) text each keep
        // their own; the code page still follows \f, which the bytes are written in.
        if (g.dest != Dest::Normal && g.dest != Dest::StyleEntry)
            break;
        if (g.chr.charClass == 0)
            g.chr.western = t.hasParameter ? p : 0;
        else if (g.chr.charClass == 2)
            g.chr.eastern = t.hasParameter ? p : 0;
        break;
    case Kw::FCharset:
        if (g.dest == Dest::FontTable && m_fontOpen)
            m_fonts[m_currentFont].charset = t.hasParameter ? p : 0;
        break;
    case Kw::Cpg:
        if (g.dest == Dest::FontTable && m_fontOpen)
            m_fonts[m_currentFont].cpg = t.hasParameter ? p : 0;
        break;
    case Kw::Red:
    case Kw::Green:
    case Kw::Blue:
        if (g.dest == Dest::ColorTable) {
            const int v = t.hasParameter ? qBound(0, p, 255) : 0;
            (info.kw == Kw::Red ? m_red : info.kw == Kw::Green ? m_green : m_blue) = v;
            m_colorSet = true;
        }
        break;
    case Kw::S:
        if (g.dest == Dest::StyleEntry) {
            m_styleNumber = t.hasParameter ? p : 0;
            m_styleKind = 0;
        } else if (g.dest == Dest::Normal && m_paraStyles.contains(t.hasParameter ? p : 0)) {
            g.para = RtfParaState();
            applyStyle(g, m_paraStyles, t.hasParameter ? p : 0, 0);
        }
        break;
    case Kw::SBasedOn:
        if (g.dest == Dest::StyleEntry)
            m_styleBasedOn = t.hasParameter ? p : -1;
        break;
    case Kw::Cs:
        if (g.dest == Dest::StyleEntry) {
            m_styleNumber = t.hasParameter ? p : 0;
            m_styleKind = 1;
        } else if (g.dest == Dest::Normal) {
            applyStyle(g, m_charStyles, t.hasParameter ? p : 0, 0);
        }
        break;
    case Kw::Ds:
    case Kw::Ts:
        if (g.dest == Dest::StyleEntry)
            m_styleKind = 2;
        break;
    case Kw::Plain: {
        const int anchor = g.chr.anchor;
        const bool label = g.chr.label;
        g.chr = m_defaultChar;
        g.chr.anchor = anchor;
        g.chr.label = label;
        break;
    }
    case Kw::B:
        g.chr.bold = flag(t);
        break;
    case Kw::I:
        g.chr.italic = flag(t);
        break;
    case Kw::Ul:
        g.chr.underline = flag(t) ? QTextCharFormat::SingleUnderline : QTextCharFormat::NoUnderline;
        break;
    case Kw::Uld:
        g.chr.underline = flag(t) ? QTextCharFormat::DotLine : QTextCharFormat::NoUnderline;
        break;
    case Kw::UlDash:
        g.chr.underline = flag(t) ? QTextCharFormat::DashUnderline : QTextCharFormat::NoUnderline;
        break;
    case Kw::UlDashD:
        g.chr.underline = flag(t) ? QTextCharFormat::DashDotLine : QTextCharFormat::NoUnderline;
        break;
    case Kw::UlDashDD:
        g.chr.underline = flag(t) ? QTextCharFormat::DashDotDotLine : QTextCharFormat::NoUnderline;
        break;
    case Kw::UlWave:
        g.chr.underline = flag(t) ? QTextCharFormat::WaveUnderline : QTextCharFormat::NoUnderline;
        break;
    case Kw::UlNone:
        g.chr.underline = QTextCharFormat::NoUnderline;
        break;
    case Kw::Strike:
    case Kw::StrikeD:
        g.chr.strike = flag(t);
        break;
    case Kw::Fs:
        // Half-points; zero or absurd sizes would make the layout useless.
        g.chr.size = (t.hasParameter && p > 0) ? qBound(2, p, 3276) : 24;
        break;
    case Kw::Cf:
        g.chr.color = t.hasParameter ? qMax(0, p) : 0;
        break;
    case Kw::Cb:
    case Kw::Highlight:
        g.chr.background = t.hasParameter ? qMax(0, p) : 0;
        break;
    case Kw::Super:
        g.chr.vertical = flag(t) ? 1 : 0;
        break;
    case Kw::Sub:
        g.chr.vertical = flag(t) ? 2 : 0;
        break;
    case Kw::NoSuperSub:
        g.chr.vertical = 0;
        break;
    case Kw::Up:
        g.chr.vertical = (!t.hasParameter || p > 0) ? 1 : 0;
        break;
    case Kw::Dn:
        g.chr.vertical = (!t.hasParameter || p > 0) ? 2 : 0;
        break;
    case Kw::V:
        g.chr.hidden = flag(t);
        break;
    case Kw::Deleted:
        g.chr.deleted = flag(t);
        break;
    case Kw::Caps:
        g.chr.caps = flag(t) ? 1 : 0;
        break;
    case Kw::SCaps:
        g.chr.caps = flag(t) ? 2 : 0;
        break;
    case Kw::Par:
        if (g.dest == Dest::Normal)
            paragraphBreak();
        break;
    case Kw::Pard:
        g.para = RtfParaState();
        break;
    case Kw::Ql:
        g.para.alignment = 0;
        break;
    case Kw::Qc:
        g.para.alignment = 1;
        break;
    case Kw::Qr:
        g.para.alignment = 2;
        break;
    case Kw::Qj:
        g.para.alignment = 3;
        break;
    case Kw::Li:
        g.para.leftIndent = twips(t);
        break;
    case Kw::Ri:
        g.para.rightIndent = twips(t);
        break;
    case Kw::Fi:
        g.para.firstIndent = twips(t);
        break;
    case Kw::Sb:
        g.para.spaceBefore = qMax(0, twips(t));
        break;
    case Kw::Sa:
        g.para.spaceAfter = qMax(0, twips(t));
        break;
    case Kw::Sl:
        // Beyond ten lines or below a tenth of one, spacing is noise, not layout.
        g.para.lineSpacing = t.hasParameter && qAbs(p) >= 24 && qAbs(p) <= 2400 ? p : 0;
        break;
    case Kw::SlMult:
        g.para.lineMultiple = flag(t);
        break;
    case Kw::PageBB:
        g.para.pageBreakBefore = flag(t);
        break;
    case Kw::Page:
        if (g.dest == Dest::Normal)
            m_builder.pageBreak();
        break;
    case Kw::Line:
        emitChar(0x2028);
        break;
    case Kw::Tab:
        emitChar('\t');
        break;
    case Kw::Sect:
        if (g.dest == Dest::Normal) {
            flushBytes();
            if (!m_builder.paragraphEmpty())
                paragraphBreak();
        }
        break;
    case Kw::Cell:
        if (g.dest == Dest::Normal)
            cellEnd();
        break;
    case Kw::NestCell:
        if (g.dest == Dest::Normal)
            paragraphBreak();
        break;
    case Kw::Row:
        m_cellIndex = 0;
        if (g.dest == Dest::Normal)
            m_builder.rowEnd();
        break;
    case Kw::Trowd:
        m_cellCovered.clear();
        m_nextCellCovered = false;
        m_cellIndex = 0;
        break;
    case Kw::Clmrg:
        m_nextCellCovered = true;
        break;
    case Kw::Cellx:
        if (m_cellCovered.size() < 4096)
            m_cellCovered.push_back(m_nextCellCovered);
        m_nextCellCovered = false;
        break;
    case Kw::Chftn:
        if (showing()) {
            flushBytes();
            m_builder.addText(g.chr, QString::number(m_footnotes + 1));
        }
        break;
    case Kw::Char:
        emitChar(info.ch);
        break;
    case Kw::PngBlip:
        if (g.dest == Dest::Picture)
            m_pictureType = 1;
        break;
    case Kw::JpegBlip:
        if (g.dest == Dest::Picture)
            m_pictureType = 2;
        break;
    case Kw::PicWGoal:
        if (g.dest == Dest::Picture)
            m_pictureGoalW = t.hasParameter ? qBound(0, p, MaxTwips) : 0;
        break;
    case Kw::PicHGoal:
        if (g.dest == Dest::Picture)
            m_pictureGoalH = t.hasParameter ? qBound(0, p, MaxTwips) : 0;
        break;
    case Kw::PicScaleX:
        if (g.dest == Dest::Picture)
            m_pictureScaleX = t.hasParameter ? qBound(1, p, 1000) : 100;
        break;
    case Kw::PicScaleY:
        if (g.dest == Dest::Picture)
            m_pictureScaleY = t.hasParameter ? qBound(1, p, 1000) : 100;
        break;
    }
}

void RtfParser::controlSymbol(unsigned char c)
{
    switch (c) {
    case '\\':
    case '{':
    case '}': {
        const char b = char(c);
        m_ignorable = false;
        textBytes(&b, 1);
        break;
    }
    case '*':
        m_ignorable = true;
        break;
    case '~':
        emitChar(0x00A0);
        break;
    case '-':
        emitChar(0x00AD);
        break;
    case '_':
        emitChar(0x2011);
        break;
    case '\n':
        if (top().dest == Dest::Normal)
            paragraphBreak();
        break;
    case '\t':
        emitChar('\t');
        break;
    default:
        break; // \: \| and unknown symbols show nothing
    }
}

void RtfParser::textBytes(const char *data, int length)
{
    Group &g = top();
    switch (g.dest) {
    case Dest::Normal:
        if (!g.chr.hidden && !g.chr.deleted)
            addBytes(data, length);
        break;
    case Dest::FontTable:
        for (int i = 0; i < length; ++i) {
            if (data[i] == ';') {
                finishFont();
            } else if (m_fontOpen) {
                if (m_fonts[m_currentFont].nameBytes.size() < 1024)
                    m_fonts[m_currentFont].nameBytes.append(data[i]);
            }
        }
        break;
    case Dest::ColorTable:
        for (int i = 0; i < length; ++i) {
            if (data[i] == ';')
                addColor();
        }
        break;
    case Dest::FieldInst:
        if (g.field >= 0 && m_fields[size_t(g.field)].instruction.size() < 4096)
            m_fields[size_t(g.field)].instruction.append(QLatin1String(data, length));
        break;
    case Dest::Picture:
        for (int i = 0; i < length; ++i) {
            const int v = RtfTokenizer::hexValue(static_cast<unsigned char>(data[i]));
            if (v < 0)
                continue;
            if (m_pictureNibble < 0) {
                m_pictureNibble = v;
            } else {
                m_picture.append(char(m_pictureNibble * 16 + v));
                m_pictureNibble = -1;
            }
        }
        break;
    case Dest::StyleSheet:
    case Dest::StyleEntry:
    case Dest::Upr:
        break;
    }
}

void RtfParser::binaryBytes(const char *data, int length)
{
    if (top().dest == Dest::Picture)
        m_picture.append(data, length);
}

void RtfParser::addBytes(const char *data, int length)
{
    const RtfCharState &s = top().chr;
    if (!m_bytes.isEmpty() && s != m_bytesState)
        flushBytes();
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        m_builder.addText(s, QChar(0xFFFD));
    }
    m_bytesState = s;
    m_bytes.append(data, length);
}

void RtfParser::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    m_builder.addBytes(m_bytesState, m_codePages, m_bytes.constData(), m_bytes.size());
    m_bytes.resize(0); // unlike clear(), keeps the buffer for the next run
}

void RtfParser::emitChar(char32_t c)
{
    Group &g = top();
    if (g.dest == Dest::FieldInst) {
        if (g.field >= 0 && c < 0x10000)
            m_fields[size_t(g.field)].instruction.append(QChar(char16_t(c)));
        return;
    }
    if (!showing())
        return;
    flushBytes();
    if (m_highSurrogate) {
        const char16_t high = m_highSurrogate;
        m_highSurrogate = 0;
        if (c >= 0xDC00 && c <= 0xDFFF) {
            const QChar pair[2] = {QChar(high), QChar(char16_t(c))};
            m_builder.addText(g.chr, QString(pair, 2));
            return;
        }
        m_builder.addText(g.chr, QChar(0xFFFD));
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
        m_highSurrogate = char16_t(c);
        return;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
        m_builder.addText(g.chr, QChar(0xFFFD)); // a low half on its own
        return;
    }
    if (c < 0x10000) {
        m_builder.addText(g.chr, QChar(char16_t(c)));
    } else {
        const QChar pair[2] = {QChar(QChar::highSurrogate(c)), QChar(QChar::lowSurrogate(c))};
        m_builder.addText(g.chr, QString(pair, 2));
    }
}

void RtfParser::emitUnicode(int value)
{
    // 16-bit signed values are how most writers spell code points above 32767.
    if (value < 0)
        value += 65536;
    if (value <= 0 || value > 0x10FFFF)
        return;
    if (value < 0x20 && value != '\t')
        return;
    emitChar(char32_t(value));
}

void RtfParser::paragraphBreak()
{
    flushBytes();
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        m_builder.addText(top().chr, QChar(0xFFFD));
    }
    m_builder.paragraphBreak(top().para);
}

void RtfParser::cellEnd()
{
    flushBytes();
    const int index = m_cellIndex++;
    // A cell covered by a horizontal merge has no place of its own in the text.
    if (index >= 0 && size_t(index) < m_cellCovered.size() && m_cellCovered[size_t(index)]
        && m_builder.paragraphEmpty())
        return;
    paragraphBreak();
}

void RtfParser::startFont(int number)
{
    if (m_fontOpen)
        finishFont();
    m_currentFont = number;
    m_fontOpen = true;
    Font &f = m_fonts[number];
    f = Font();
}

int RtfParser::fontCodePage(int number) const
{
    const auto it = m_fonts.constFind(number);
    if (it == m_fonts.constEnd() || it->codePage == 0)
        return m_docCodePage;
    return it->codePage;
}

void RtfParser::finishFont()
{
    if (!m_fontOpen)
        return;
    m_fontOpen = false;
    Font &f = m_fonts[m_currentFont];
    if (f.cpg > 0)
        f.codePage = RtfCodePage::normalise(f.cpg);
    else if (f.charset >= 0)
        f.codePage = RtfCodePage::fromCharset(f.charset);
    QString name;
    const int cp = f.codePage < 0 ? 1252 : (f.codePage ? f.codePage : m_docCodePage);
    m_codePages.decode(cp, f.nameBytes.constData(), f.nameBytes.size(), name);
    f.name = name.trimmed();
    // Old Windows names for the same face in another character set ("Arial CE",
    // "Times New Roman Cyr"): modern systems only know the face itself.
    static const char *const suffixes[] = {" CE", " Cyr", " Greek", " Tur", " Baltic", " (Hebrew)",
                                           " (Arabic)", " (Vietnamese)"};
    for (const char *suffix : suffixes) {
        if (f.name.endsWith(QLatin1String(suffix)) && f.name.size() > qsizetype(qstrlen(suffix))) {
            f.name.chop(qstrlen(suffix));
            break;
        }
    }
    f.nameBytes.clear();
    if (f.codePage == RtfCodePage::Symbol && f.name.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
        f.codePage = RtfCodePage::SymbolFont;
    m_builder.fontNames.insert(m_currentFont, f.name);
    m_builder.tablesChanged();
}

void RtfParser::afterFontTable()
{
    if (m_fontOpen)
        finishFont();
    // Text outside any \f is in the default font, which is only known now.
    m_haveDefaultFont = m_fonts.contains(m_defaultFont);
    if (m_haveDefaultFont) {
        m_defaultChar.font = m_defaultFont;
        m_defaultChar.codePage = fontCodePage(m_defaultFont);
    }
    for (Group &x : m_groups) {
        if (x.chr.font < 0 && m_haveDefaultFont)
            x.chr.font = m_defaultFont;
        x.chr.codePage = fontCodePage(x.chr.font);
    }
}

void RtfParser::addColor()
{
    if (m_builder.colors.size() >= 65536)
        return;
    m_builder.colors.push_back(m_colorSet ? QColor(m_red, m_green, m_blue) : QColor());
    m_builder.tablesChanged();
    m_red = m_green = m_blue = 0;
    m_colorSet = false;
}

void RtfParser::storeStyle(const Group &g)
{
    if (m_styleKind == 2)
        return;
    Style s{g.chr, g.para, m_styleBasedOn == m_styleNumber ? -1 : m_styleBasedOn};
    s.chr.label = false;
    s.chr.anchor = -1;
    if (m_styleKind == 0)
        m_paraStyles.insert(m_styleNumber, s);
    else
        m_charStyles.insert(m_styleNumber, s);
}

void RtfParser::applyStyle(Group &g, const QHash<int, Style> &styles, int number, int depth) const
{
    // What a style leaves unset comes from the style it is based on; chains are short
    // in practice and loops are cut by the depth limit.
    const auto it = styles.constFind(number);
    if (it == styles.constEnd())
        return;
    if (it->basedOn >= 0 && depth < 8)
        applyStyle(g, styles, it->basedOn, depth + 1);
    const RtfParaState d;
    const RtfParaState &s = it->para;
    if (s.alignment != d.alignment)
        g.para.alignment = s.alignment;
    if (s.leftIndent != d.leftIndent)
        g.para.leftIndent = s.leftIndent;
    if (s.rightIndent != d.rightIndent)
        g.para.rightIndent = s.rightIndent;
    if (s.firstIndent != d.firstIndent)
        g.para.firstIndent = s.firstIndent;
    if (s.spaceBefore != d.spaceBefore)
        g.para.spaceBefore = s.spaceBefore;
    if (s.spaceAfter != d.spaceAfter)
        g.para.spaceAfter = s.spaceAfter;
    if (s.lineSpacing != d.lineSpacing) {
        g.para.lineSpacing = s.lineSpacing;
        g.para.lineMultiple = s.lineMultiple;
    }
    if (s.pageBreakBefore != d.pageBreakBefore)
        g.para.pageBreakBefore = s.pageBreakBefore;
    applyCharDelta(g.chr, it->chr);
}

void RtfParser::applyCharDelta(RtfCharState &chr, const RtfCharState &style) const
{
    // A style stores what it sets; what it leaves at the default does not override.
    const RtfCharState &d = m_defaultChar;
    if (style.font != d.font) {
        chr.font = style.font;
        chr.codePage = style.codePage;
    }
    if (style.western != d.western)
        chr.western = style.western;
    if (style.eastern != d.eastern)
        chr.eastern = style.eastern;
    if (style.size != d.size)
        chr.size = style.size;
    if (style.color != d.color)
        chr.color = style.color;
    if (style.background != d.background)
        chr.background = style.background;
    if (style.underline != d.underline)
        chr.underline = style.underline;
    if (style.vertical != d.vertical)
        chr.vertical = style.vertical;
    if (style.caps != d.caps)
        chr.caps = style.caps;
    if (style.bold != d.bold)
        chr.bold = style.bold;
    if (style.italic != d.italic)
        chr.italic = style.italic;
    if (style.strike != d.strike)
        chr.strike = style.strike;
    if (style.hidden != d.hidden)
        chr.hidden = style.hidden;
}

void RtfParser::startHyperlink(Group &g)
{
    const QString &inst = m_fields[size_t(g.field)].instruction;
    const QString trimmed = inst.trimmed();
    if (!trimmed.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive))
        return;
    // HYPERLINK "target" [\l "bookmark"] and other switches.
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    QString target;
    QString bookmark;
    const QStringView rest = QStringView(trimmed).mid(9);
    auto it = quoted.globalMatch(rest);
    const int local = int(rest.indexOf(QLatin1String("\\l")));
    while (it.hasNext()) {
        const auto m = it.next();
        if (local >= 0 && m.capturedStart() > local) {
            if (bookmark.isEmpty())
                bookmark = m.captured(1);
        } else if (target.isEmpty()) {
            target = m.captured(1);
        }
    }
    if (target.isEmpty() && bookmark.isEmpty()) {
        const QString word = rest.trimmed().toString().section(QLatin1Char(' '), 0, 0);
        if (!word.isEmpty() && !word.startsWith(QLatin1Char('\\')))
            target = word;
    }
    if (!bookmark.isEmpty())
        target += QLatin1Char('#') + bookmark;
    if (target.isEmpty())
        return;
    m_builder.anchors.append(target);
    g.chr.anchor = int(m_builder.anchors.size()) - 1;
}

void RtfParser::finishField(const Group &g)
{
    // A SYMBOL field whose result was left empty still shows its character, in the
    // font it names when the font table has it.
    if (g.field < 0 || size_t(g.field) >= m_fields.size())
        return;
    const Field &field = m_fields[size_t(g.field)];
    if (field.outer != Dest::Normal || !showing())
        return;
    flushBytes();
    if (field.resultStart >= 0 && m_builder.written() != field.resultStart)
        return;
    const QString inst = field.instruction.trimmed();
    if (!inst.startsWith(QLatin1String("SYMBOL"), Qt::CaseInsensitive))
        return;
    const QStringList parts = inst.mid(6).simplified().split(QLatin1Char(' '));
    bool ok = false;
    const int code = parts.value(0).toInt(&ok, parts.value(0).startsWith(QLatin1String("0x")) ? 16 : 10);
    if (!ok || code <= 0 || code > 0xFFFF)
        return;
    RtfCharState chr = top().chr;
    const int f = int(parts.indexOf(QStringLiteral("\\f")));
    if (f >= 0) {
        const QString name = parts.value(f + 1).remove(QLatin1Char('"'));
        for (auto it = m_builder.fontNames.constBegin(); it != m_builder.fontNames.constEnd(); ++it) {
            if (it.value().compare(name, Qt::CaseInsensitive) == 0) {
                chr.font = it.key();
                chr.western = -1;
                break;
            }
        }
    }
    if (code < 256 && !parts.contains(QStringLiteral("\\u"))) {
        const char byte = char(code);
        QString text;
        m_codePages.decode(code < 0x80 ? 1252 : m_docCodePage, &byte, 1, text);
        m_builder.addText(chr, text);
    } else {
        m_builder.addText(chr, QString(QChar(char16_t(code))));
    }
}

void RtfParser::finishPicture()
{
    if (m_pictureType == 0 || m_picture.isEmpty())
        return;
    QImage image;
    if (!image.loadFromData(m_picture, m_pictureType == 1 ? "PNG" : "JPEG"))
        return; // what Qt cannot decode leaves no trace
    m_picture.clear();
    if (m_groups.size() < 2)
        return;
    const Group &parent = m_groups[m_groups.size() - 2];
    if (parent.dest != Dest::Normal || parent.chr.hidden)
        return;
    qreal w = m_pictureGoalW > 0 ? m_pictureGoalW * 96.0 / 1440.0 : image.width();
    qreal h = m_pictureGoalH > 0 ? m_pictureGoalH * 96.0 / 1440.0 : image.height();
    w = w * m_pictureScaleX / 100.0;
    h = h * m_pictureScaleY / 100.0;
    flushBytes();
    m_builder.addImage(parent.chr, image, w, h);
}
