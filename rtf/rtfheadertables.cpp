#include "rtf/rtfheadertables.h"

#include "rtf/rtfparser.h"

using RtfKeywords::Kw;
using RtfKeywords::KwInfo;

namespace {

// Old Windows named a face in another character set for its script ("Arial CE",
// "Times New Roman Cyr"), and the programs of that time wrote such fonts without a
// \fcharset: their bytes are in that script's code page. 0 for any other name.
int scriptCodePage(const QString &name)
{
    static const struct
    {
        const char *suffix;
        int codePage;
    } scripts[] = {{" CE", 1250},       {" Cyr", 1251},        {" Greek", 1253},         {" Tur", 1254},
                   {" Baltic", 1257},   {" (Hebrew)", 1255},   {" (Arabic)", 1256},      {" (Vietnamese)", 1258}};
    for (const auto &s : scripts) {
        const QLatin1String suffix(s.suffix);
        if (name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseInsensitive))
            return s.codePage;
    }
    return 0;
}

} // namespace

void RtfFontTable::word(RtfGroup &g, const KwInfo &info, const RtfTokenizer::Token &t)
{
    const int p = t.hasParameter ? t.parameter : 0;
    switch (info.kw) {
    case Kw::FontTable:
        g.dest = RtfDest::FontTable;
        g.fontTableOwner = true;
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
            cp = CodePage::normalise(t.hasParameter ? p : 1252);
        m_docCodePage = cp;
        m_parser.m_defaultChar.codePage = codePage(m_parser.m_defaultChar.font);
        m_parser.fontsChanged();
        break;
    }
    case Kw::Deff:
        m_defaultFont = p;
        if (!m_fonts.isEmpty())
            afterTable(); // written after the font table by some producers
        break;
    case Kw::F:
        if (g.dest == RtfDest::FontTable) {
            start(p);
        } else {
            if (g.dest == RtfDest::ListTable)
                m_parser.m_lists.levelFont(p);
            g.chr.font = p;
            g.chr.codePage = codePage(g.chr.font);
            if (g.chr.charClass == 2)
                g.chr.eastern = g.chr.font;
            else
                g.chr.western = -1;
        }
        break;
    case Kw::Af:
        // Associated fonts: Latin (\loch) and East Asian (\dbch) text each keep
        // their own; the code page still follows \f, which the bytes are written in.
        if (g.dest != RtfDest::Normal && g.dest != RtfDest::StyleEntry)
            break;
        if (g.chr.charClass == 0)
            g.chr.western = p;
        else if (g.chr.charClass == 2)
            g.chr.eastern = p;
        break;
    case Kw::FCharset:
        if (g.dest == RtfDest::FontTable && m_open)
            m_fonts[m_current].charset = p;
        break;
    case Kw::Cpg:
        if (g.dest == RtfDest::FontTable && m_open)
            m_fonts[m_current].cpg = p;
        break;
    default:
        break;
    }
}

void RtfFontTable::text(RtfGroup &, const char *data, int length)
{
    for (int i = 0; i < length; ++i) {
        if (data[i] == ';') {
            finish();
        } else if (m_open) {
            if (m_fonts[m_current].nameBytes.size() < 1024)
                m_fonts[m_current].nameBytes.append(data[i]);
        }
    }
}

void RtfFontTable::groupEnding(const RtfGroup &closing)
{
    if (closing.dest == RtfDest::FontTable && m_open)
        finish();
}

void RtfFontTable::groupEnded(const RtfGroup &closing)
{
    if (closing.fontTableOwner)
        afterTable();
}

const RtfFontTable::Font *RtfFontTable::font(int number) const
{
    const auto it = m_fonts.constFind(number);
    return it == m_fonts.constEnd() ? nullptr : &*it;
}

void RtfFontTable::start(int number)
{
    if (m_open)
        finish();
    m_current = number;
    m_open = true;
    Font &f = m_fonts[number];
    f = Font();
}

int RtfFontTable::codePage(int number) const
{
    const auto it = m_fonts.constFind(number);
    if (it == m_fonts.constEnd() || it->codePage == 0)
        return m_docCodePage;
    return it->codePage;
}

void RtfFontTable::finish()
{
    if (!m_open)
        return;
    m_open = false;
    Font &f = m_fonts[m_current];
    if (f.cpg > 0)
        f.codePage = CodePage::normalise(f.cpg);
    else if (f.charset >= 0)
        f.codePage = CodePage::fromCharset(f.charset);
    QString name;
    const int cp = f.codePage < 0 ? 1252 : (f.codePage ? f.codePage : m_docCodePage);
    m_parser.m_codePages.decode(cp, f.nameBytes.constData(), f.nameBytes.size(), name);
    f.name = name.trimmed();
    if (f.codePage == 0)
        f.codePage = scriptCodePage(f.name);
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
    if (f.codePage == CodePage::Symbol && f.name.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
        f.codePage = CodePage::SymbolFont;
    m_parser.m_builder.fontNames.insert(m_current, f.name);
    m_parser.m_builder.tablesChanged();
}

void RtfFontTable::afterTable()
{
    if (m_open)
        finish();
    // Text outside any \f is in the default font, which is only known now.
    m_haveDefaultFont = m_fonts.contains(m_defaultFont);
    if (m_haveDefaultFont) {
        m_parser.m_builder.defaultFont = m_defaultFont;
        m_parser.m_defaultChar.font = m_defaultFont;
        m_parser.m_defaultChar.codePage = codePage(m_defaultFont);
    }
    m_parser.fontsChanged();
}

void RtfColorTable::word(RtfGroup &g, const KwInfo &info, const RtfTokenizer::Token &t)
{
    if (info.kw == Kw::ColorTable) {
        g.dest = RtfDest::ColorTable;
        m_parser.m_builder.colors.clear();
        m_red = m_green = m_blue = 0;
        m_set = false;
    } else if (g.dest == RtfDest::ColorTable) {
        const int v = t.hasParameter ? qBound(0, t.parameter, 255) : 0;
        (info.kw == Kw::Red ? m_red : info.kw == Kw::Green ? m_green : m_blue) = v;
        m_set = true;
    }
}

void RtfColorTable::text(RtfGroup &, const char *data, int length)
{
    for (int i = 0; i < length; ++i) {
        if (data[i] == ';')
            add();
    }
}

void RtfColorTable::add()
{
    DocumentBuilder &builder = m_parser.m_builder;
    if (builder.colors.size() >= 65536)
        return;
    builder.colors.push_back(m_set ? QColor(m_red, m_green, m_blue) : QColor());
    builder.tablesChanged();
    m_red = m_green = m_blue = 0;
    m_set = false;
}

void RtfStyleSheet::word(RtfGroup &g, const KwInfo &info, const RtfTokenizer::Token &t)
{
    const int p = t.hasParameter ? t.parameter : 0;
    switch (info.kw) {
    case Kw::StyleSheet:
        g.dest = RtfDest::StyleSheet;
        break;
    case Kw::S:
        if (g.dest == RtfDest::StyleEntry) {
            m_number = p;
            m_kind = 0;
        } else if (g.dest == RtfDest::Normal && m_paraStyles.contains(p)) {
            g.style = p;
            g.para = ParaState();
            applyStyle(g, m_paraStyles, p, 0);
            headingSpacing(g, p);
        }
        break;
    case Kw::SBasedOn:
        if (g.dest == RtfDest::StyleEntry)
            m_basedOn = t.hasParameter ? p : -1;
        break;
    case Kw::Cs:
        if (g.dest == RtfDest::StyleEntry) {
            m_number = p;
            m_kind = 1;
        } else if (g.dest == RtfDest::Normal) {
            applyStyle(g, m_charStyles, p, 0);
        }
        break;
    case Kw::Ds:
    case Kw::Ts:
        if (g.dest == RtfDest::StyleEntry)
            m_kind = 2;
        break;
    default:
        break;
    }
}

void RtfStyleSheet::entryOpened(RtfGroup &g)
{
    g.dest = RtfDest::StyleEntry;
    g.styleOwner = true;
    g.chr = m_parser.m_defaultChar;
    g.para = ParaState();
    m_number = 0;
    m_kind = 0;
    m_basedOn = -1;
    m_name.clear();
    m_nameEnded = false;
}

void RtfStyleSheet::text(RtfGroup &, const char *data, int length)
{
    // Only a short name is of interest; the rest is kept out of memory.
    for (int i = 0; i < length && !m_nameEnded; ++i) {
        if (data[i] == ';')
            m_nameEnded = true;
        else if (m_name.size() < 32)
            m_name.append(data[i]);
    }
}

namespace {

bool isHeadingName(const QByteArray &name)
{
    // "heading 1" to "heading 9", in any case.
    const QByteArray n = name.trimmed().toLower();
    return n.size() == 9 && n.startsWith("heading ") && n.at(8) >= '1' && n.at(8) <= '9';
}

} // namespace

void RtfStyleSheet::groupEnding(const RtfGroup &closing)
{
    if (!closing.styleOwner || m_kind == 2)
        return;
    Style s{closing.chr, closing.para, m_basedOn == m_number ? -1 : m_basedOn};
    s.builtInHeading = m_kind == 0 && isHeadingName(m_name) && (s.basedOn < 0 || !m_paraStyles.contains(s.basedOn));
    s.chr.label = false;
    s.chr.anchor = -1;
    if (m_kind == 0)
        m_paraStyles.insert(m_number, s);
    else
        m_charStyles.insert(m_number, s);
}

void RtfStyleSheet::applyStyle(RtfGroup &g, const QHash<int, Style> &styles, int number, int depth) const
{
    // What a style leaves unset comes from the style it is based on; chains are short
    // in practice and loops are cut by the depth limit.
    const auto it = styles.constFind(number);
    if (it == styles.constEnd())
        return;
    if (it->basedOn >= 0 && depth < 8)
        applyStyle(g, styles, it->basedOn, depth + 1);
    const ParaState d;
    const ParaState &s = it->para;
    // What the style sets, told from what a paragraph has by default.
    const auto take = [&](auto ParaState::*field) {
        if (s.*field != d.*field)
            g.para.*field = s.*field;
    };
    take(&ParaState::alignment);
    // A paragraph's indents and the space above and below it are its own: \pard
    // sets them to none, and word processors writing the style's number keep them
    // so where the paragraph does not give them again (LibreOffice indents such a
    // paragraph of a style of \li720\fi851 not at all).
    if (s.lineSpacing != d.lineSpacing) {
        g.para.lineSpacing = s.lineSpacing;
        g.para.lineMultiple = s.lineMultiple;
    }
    take(&ParaState::pageBreakBefore);
    take(&ParaState::keepNext);
    take(&ParaState::widows);
    take(&ParaState::tabs);
    for (int side = 0; side < 4; ++side) {
        if (s.borders[side] != d.borders[side])
            g.para.borders[side] = s.borders[side];
    }
    take(&ParaState::shadeBack);
    take(&ParaState::shadeFore);
    take(&ParaState::shading);
    applyCharDelta(g.chr, it->chr);
}

void RtfStyleSheet::headingSpacing(RtfGroup &g, int number) const
{
    bool before = false, after = false;
    for (int depth = 0; depth < 8; ++depth) {
        const auto it = m_paraStyles.constFind(number);
        if (it == m_paraStyles.constEnd())
            return;
        // The paragraph's own spacing stands where a style of the chain sets one:
        // \pard gave it none, as for the style's indents.
        before = before || it->para.spaceBefore != 0;
        after = after || it->para.spaceAfter != 0;
        if (it->builtInHeading) {
            if (!before)
                g.para.spaceBefore = 240;
            if (!after)
                g.para.spaceAfter = 120;
            g.para.keepNext = true;
            return;
        }
        if (it->basedOn < 0)
            return;
        number = it->basedOn;
    }
}

void RtfStyleSheet::applyCharDelta(CharState &chr, const CharState &style) const
{
    // A style stores what it sets; what it leaves at the default does not override.
    const CharState &d = m_parser.m_defaultChar;
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
