#include "rtf/rtfparser.h"

// The header tables: fonts, colours and styles.

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
        f.codePage = CodePage::normalise(f.cpg);
    else if (f.charset >= 0)
        f.codePage = CodePage::fromCharset(f.charset);
    QString name;
    const int cp = f.codePage < 0 ? 1252 : (f.codePage ? f.codePage : m_docCodePage);
    m_codePages.decode(cp, f.nameBytes.constData(), f.nameBytes.size(), name);
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
        m_builder.defaultFont = m_defaultFont;
        m_defaultChar.font = m_defaultFont;
        m_defaultChar.codePage = fontCodePage(m_defaultFont);
    }
    fontsChanged();
}

void RtfParser::refreshFont(Group &g)
{
    // The same for a group however many changes it missed: text outside any \f is in
    // the default font, and every font's code page is what the tables say now.
    g.fontGeneration = m_fontGeneration;
    if (g.chr.font < 0 && m_haveDefaultFont)
        g.chr.font = m_defaultFont;
    g.chr.codePage = fontCodePage(g.chr.font);
    ++m_stateUpdates;
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

void RtfParser::applyCharDelta(CharState &chr, const CharState &style) const
{
    // A style stores what it sets; what it leaves at the default does not override.
    const CharState &d = m_defaultChar;
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
