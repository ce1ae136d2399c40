#include "rtf/rtfparser.h"

#include "model/listnumbers.h"

// Old-style list bullets (\pn), the list table (\listtable, \listoverridetable) and
// the labels made from it for the paragraphs of a list whose label the file does not
// spell out (\listtext): as LibreOffice numbers them, marked as labels like those the
// file gives.

using RtfKeywords::Kw;

namespace {
// Word processors have nine levels; more lists than this is no document.
constexpr int MaxLevels = 9;
constexpr size_t MaxLists = 4096;
constexpr int MaxLevelText = 64;
} // namespace

void RtfParser::listWord(const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t)
{
    Group &g = top();
    const int p = t.hasParameter ? t.parameter : 0;
    const bool inTable = g.dest == Dest::ListTable;
    ListLevel *level = inTable && m_listContext == 2 && !m_lists.empty() && !m_lists.back().levels.empty()
        ? &m_lists.back().levels.back()
        : nullptr;
    switch (info.kw) {
    case Kw::ListTable:
        if (g.dest != Dest::Normal) {
            skipDestination();
            return;
        }
        g.dest = Dest::ListTable;
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
            g.dest = Dest::LevelText;
            level->text.clear();
            level->hasText = true;
        }
        break;
    case Kw::Ls:
        if (inTable && m_listContext == 3 && size_t(m_listOverrides.size()) < MaxLists)
            m_listOverrides.insert(p, m_overrideId);
        else if (g.dest == Dest::Normal)
            g.ls = qMax(0, p);
        break;
    case Kw::Ilvl:
        if (g.dest == Dest::Normal)
            g.ilvl = static_cast<signed char>(qBound(0, p, MaxLevels - 1));
        break;
    default:
        break;
    }
}

void RtfParser::listNumberEnded()
{
    // The bullet's font is the list's (\pnf), whatever font the label was written in
    // before it (\pntext): a glyph number of a symbol font draws no digit or letter.
    // Where the paragraph spells no label out, its bullet is the list's one symbol
    // (\pntxtb).
    if (!m_pnBullet || m_pnFont < 0)
        return;
    const auto font = m_fonts.constFind(m_pnFont);
    if (font == m_fonts.constEnd())
        return;
    if (font->codePage != CodePage::Symbol && font->codePage != CodePage::SymbolFont
        && !FontFaces::isSymbolFace(font->name))
        return;
    const QString bullet = m_pnText.trimmed();
    if (bullet.size() == 1 && !m_builder.paragraphHasLabel() && m_builder.paragraphEmpty() && showing()) {
        CharState state = top().chr;
        state.label = true;
        state.anchor = -1;
        state.font = m_pnFont;
        state.western = -1;
        state.codePage = fontCodePage(m_pnFont);
        m_builder.addText(state, bullet + QLatin1Char('\t'));
    }
    m_builder.labelInSymbolFont(font->name);
}

void RtfParser::addLevelText(const QString &text)
{
    if (m_lists.empty() || m_lists.back().levels.empty())
        return;
    QString &s = m_lists.back().levels.back().text;
    if (s.size() < MaxLevelText)
        s += text.left(MaxLevelText - s.size());
}

ParaState RtfParser::listed(const ParaState &para) const
{
    ParaState p = para;
    const Group &g = m_groups.back();
    if (g.ls <= 0 || !m_builder.paragraphHasLabel())
        return p;
    const auto listId = m_listOverrides.constFind(g.ls);
    const auto index = listId == m_listOverrides.constEnd() ? m_listIndex.constEnd() : m_listIndex.constFind(*listId);
    if (index == m_listIndex.constEnd())
        return p;
    const ListDef &list = m_lists[size_t(*index)];
    p.labelRight = g.ilvl < int(list.levels.size()) && list.levels[size_t(g.ilvl)].right;
    return p;
}

void RtfParser::makeListLabel()
{
    m_paraLabelDone = true;
    const Group &g = m_groups.back();
    if (g.ls <= 0 || g.dest != Dest::Normal)
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
    if (level.nfc == ListNumbers::None || !level.hasText || m_builder.paragraphHasLabel())
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
        state.codePage = fontCodePage(level.font);
    }
    m_builder.addText(state, label);
}
