#include "rtf/rtflists.h"

#include "rtf/rtfparser.h"

#include "model/listnumbers.h"

// Old-style list bullets (\pn), the list table (\listtable, \listoverridetable) and
// the labels made from it for the paragraphs of a list whose label the file does not
// spell out (\listtext): as LibreOffice numbers them, marked as labels like those the
// file gives.

using RtfKeywords::Kw;
using RtfKeywords::KwInfo;

namespace {
// Word processors have nine levels; more lists than this is no document.
constexpr int MaxLevels = 9;
constexpr size_t MaxLists = 4096;
constexpr int MaxLevelText = 64;
} // namespace

void RtfLists::word(RtfGroup &g, const KwInfo &info, const RtfTokenizer::Token &t)
{
    if (info.kw >= Kw::ListTable && info.kw <= Kw::Ilvl)
        tableWord(g, info, t);
    else
        listNumberWord(g, info, t);
}

void RtfLists::listNumberWord(RtfGroup &g, const KwInfo &info, const RtfTokenizer::Token &t)
{
    switch (info.kw) {
    case Kw::Pn:
        if (g.dest != RtfDest::Normal) {
            m_parser.skipDestination();
            break;
        }
        g.dest = RtfDest::ListNumber;
        g.listNumberOwner = true;
        m_pnFont = -1;
        m_pnBullet = false;
        m_pnText.clear();
        break;
    case Kw::PnTextBefore:
        if (g.dest == RtfDest::ListNumber)
            g.dest = RtfDest::PnText;
        else
            m_parser.skipDestination();
        break;
    case Kw::PnFont:
        if (g.dest == RtfDest::ListNumber)
            m_pnFont = t.parameter;
        break;
    case Kw::PnBullet:
        if (g.dest == RtfDest::ListNumber)
            m_pnBullet = true;
        break;
    default:
        break;
    }
}

void RtfLists::text(RtfGroup &g, const char *data, int length)
{
    const RtfFontTable &fonts = m_parser.m_fontTable;
    if (g.dest == RtfDest::LevelText) {
        QString text;
        m_parser.m_codePages.decode(fonts.documentCodePage(), data, length, text);
        addLevelText(text);
    } else if (g.dest == RtfDest::PnText && m_pnText.size() < 16) {
        const int cp = m_pnFont >= 0 ? fonts.codePage(m_pnFont) : fonts.documentCodePage();
        m_parser.m_codePages.decode(cp, data, qMin(length, 16), m_pnText);
    }
}

void RtfLists::character(RtfGroup &g, char32_t c)
{
    if (c >= 0x10000)
        return;
    if (g.dest == RtfDest::LevelText)
        addLevelText(QString(QChar(char16_t(c))));
    else if (g.dest == RtfDest::PnText && m_pnText.size() < 16)
        m_pnText += QChar(char16_t(c));
}

void RtfLists::levelFont(int font)
{
    if (m_listContext == 2 && !m_lists.back().levels.empty())
        m_lists.back().levels.back().font = font;
}

void RtfLists::tableWord(RtfGroup &g, const KwInfo &info, const RtfTokenizer::Token &t)
{
    const int p = t.parameter;
    const bool inTable = g.dest == RtfDest::ListTable;
    ListLevel *level = inTable && m_listContext == 2 && !m_lists.empty() && !m_lists.back().levels.empty()
        ? &m_lists.back().levels.back()
        : nullptr;
    switch (info.kw) {
    case Kw::ListTable:
        if (g.dest != RtfDest::Normal) {
            m_parser.skipDestination();
            return;
        }
        g.dest = RtfDest::ListTable;
        m_listContext = 0;
        break;
    case Kw::List:
        if (inTable && m_lists.size() < MaxLists) {
            m_lists.emplace_back();
            m_listContext = 1;
        }
        break;
    case Kw::ListLevel:
        if (inTable && (m_listContext == 1 || m_listContext == 2) && !m_lists.empty()
            && m_lists.back().levels.size() < size_t(MaxLevels)) {
            m_lists.back().levels.emplace_back();
            m_listContext = 2;
        }
        break;
    case Kw::ListId:
        if (inTable && m_listContext == 3)
            m_overrideId = p;
        else if (inTable && (m_listContext == 1 || m_listContext == 2) && !m_lists.empty()) {
            m_lists.back().id = p;
            m_listIndex.insert(p, int(m_lists.size()) - 1);
        }
        break;
    case Kw::ListOverride:
        if (inTable) {
            m_listContext = 3;
            m_overrideId = 0;
        }
        break;
    case Kw::LevelNfc:
        if (level)
            level->nfc = qBound(0, p, 255);
        break;
    case Kw::LevelStartAt:
        if (level)
            level->start = qBound(0, p, 32767);
        break;
    case Kw::LevelFollow:
        if (level)
            level->follow = qBound(0, p, 2);
        break;
    case Kw::LevelJc:
        if (level)
            level->right = p == 2;
        break;
    case Kw::LevelText:
        if (level) {
            g.dest = RtfDest::LevelText;
            level->text.clear();
            level->hasText = true;
        }
        break;
    case Kw::Ls:
        if (inTable && m_listContext == 3 && size_t(m_listOverrides.size()) < MaxLists)
            m_listOverrides.insert(p, m_overrideId);
        else if (g.dest == RtfDest::Normal)
            setLs(g, p);
        break;
    case Kw::Ilvl:
        if (g.dest == RtfDest::Normal)
            g.ilvl = static_cast<signed char>(qBound(0, p, MaxLevels - 1));
        break;
    default:
        break;
    }
}

void RtfLists::setLs(RtfGroup &g, int p)
{
    g.ls = qMax(0, p);
    // A paragraph that names a list the file does not define is in no list: the
    // label it spelled out before (\pntext, \listtext) is not shown either, as
    // LibreOffice reads it.
    if (p > 0 && !m_listOverrides.contains(p) && m_parser.showing())
        m_parser.m_builder.dropLabel();
}

void RtfLists::groupEnded(const RtfGroup &closing)
{
    if (closing.listNumberOwner)
        listNumberEnded();
}

void RtfLists::listNumberEnded()
{
    // The bullet's font is the list's (\pnf), whatever font the label was written in
    // before it (\pntext): a glyph number of a symbol font draws no digit or letter.
    // Where the paragraph spells no label out, its bullet is the list's one symbol
    // (\pntxtb).
    if (!m_pnBullet || m_pnFont < 0)
        return;
    const RtfFontTable::Font *font = m_parser.m_fontTable.font(m_pnFont);
    if (!font)
        return;
    if (font->codePage != CodePage::Symbol && font->codePage != CodePage::SymbolFont
        && !FontFaces::isSymbolFace(font->name))
        return;
    const QString bullet = m_pnText.trimmed();
    DocumentBuilder &builder = m_parser.m_builder;
    if (bullet.size() == 1 && !builder.paragraphHasLabel() && builder.paragraphEmpty() && m_parser.showing()) {
        CharState state = m_parser.top().chr;
        state.label = true;
        state.anchor = -1;
        state.font = m_pnFont;
        state.western = -1;
        state.codePage = m_parser.m_fontTable.codePage(m_pnFont);
        builder.addText(state, bullet + QLatin1Char('\t'));
    }
    builder.labelInSymbolFont(font->name);
}

void RtfLists::addLevelText(const QString &text)
{
    if (m_lists.empty() || m_lists.back().levels.empty())
        return;
    QString &s = m_lists.back().levels.back().text;
    if (s.size() < MaxLevelText)
        s += text.left(MaxLevelText - s.size());
}

ParaState RtfLists::listed(const ParaState &para) const
{
    ParaState p = para;
    const RtfGroup &g = m_parser.m_groups.back();
    if (g.ls <= 0 || !m_parser.m_builder.paragraphHasLabel())
        return p;
    const auto listId = m_listOverrides.constFind(g.ls);
    const auto index = listId == m_listOverrides.constEnd() ? m_listIndex.constEnd() : m_listIndex.constFind(*listId);
    if (index == m_listIndex.constEnd())
        return p;
    const ListDef &list = m_lists[size_t(*index)];
    p.labelRight = g.ilvl < int(list.levels.size()) && list.levels[size_t(g.ilvl)].right;
    return p;
}

void RtfLists::makeLabel()
{
    m_paraLabelDone = true;
    const RtfGroup &g = m_parser.m_groups.back();
    if (g.ls <= 0 || g.dest != RtfDest::Normal)
        return;
    const auto listId = m_listOverrides.constFind(g.ls);
    if (listId == m_listOverrides.constEnd())
        return;
    const auto index = m_listIndex.constFind(*listId);
    ListDef *list = index == m_listIndex.constEnd() ? nullptr : &m_lists[size_t(*index)];
    const int at = g.ilvl;
    if (!list || at >= int(list->levels.size()))
        return;
    const ListLevel &level = list->levels[size_t(at)];
    int &count = list->counters[size_t(at)];
    count = count == 0 ? qMax(1, level.start) : count + 1;
    for (int deeper = at + 1; deeper < MaxLevels; ++deeper)
        list->counters[size_t(deeper)] = 0;
    // An item whose label the file spells out still counts.
    if (level.nfc == ListNumbers::None || !level.hasText || m_parser.m_builder.paragraphHasLabel())
        return;
    // The template: its first character is its length; characters below 9 stand
    // for the numbers of those levels.
    const QString &tpl = level.text;
    const int length = tpl.isEmpty() ? 0 : qMin(int(tpl.at(0).unicode()), int(tpl.size()) - 1);
    const bool bullet = level.nfc == ListNumbers::Bullet;
    QString label;
    for (int i = 1; i <= length; ++i) {
        const char16_t c = tpl.at(i).unicode();
        if (c < MaxLevels && bullet) {
            // A bullet that names a number is a plain bullet.
            label = QString(QChar(0x2022));
            break;
        }
        if (c < MaxLevels) {
            const int k = c;
            if (k < int(list->levels.size())) {
                const ListLevel &other = list->levels[size_t(k)];
                const int value = list->counters[size_t(k)] ? list->counters[size_t(k)] : qMax(1, other.start);
                label += ListNumbers::format(value, other.nfc == ListNumbers::Bullet ? 0 : other.nfc);
            }
        } else {
            label += QChar(c);
        }
    }
    if (level.follow == 0)
        label += QLatin1Char('\t');
    else if (level.follow == 1)
        label += QLatin1Char(' ');
    if (label.isEmpty())
        return;
    CharState state = g.chr;
    state.label = true;
    state.hidden = state.deleted = false;
    state.anchor = -1;
    if (level.font >= 0) {
        state.font = level.font;
        state.western = -1;
        state.codePage = m_parser.m_fontTable.codePage(level.font);
    }
    m_parser.m_builder.addText(state, label);
}
