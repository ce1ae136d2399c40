#include "rtf/rtfparser.h"

#include "model/limits.h"

#include <QTextOption>

// Tables and tab stops: which table level a paragraph belongs to, the ends of cells
// and rows, and the row definitions (\trowd ... \cellx) with their borders, shading
// and merges.

using RtfKeywords::Kw;

int RtfParser::tableLevel() const
{
    const Group &g = m_groups.back();
    const int own = qMax(int(g.itap), g.intbl ? 1 : 0);
    // A text box's paragraphs are a cell of their own, one level below its anchor.
    return m_textBoxLevels.empty() ? own : m_textBoxLevels.back() + own;
}

RowDef &RtfParser::rowDef()
{
    // A nested row's definition stands in its \nesttableprops group, after its cells.
    const bool nested = top().dest == Dest::NestTableProps || tableLevel() >= 2;
    return m_rowDefs[nested ? 1 : 0];
}

void RtfParser::cellEnd(int level)
{
    flushBytes();
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        m_builder.addText(top().chr, QChar(0xFFFD));
    }
    if (showing())
        listLabelBefore();
    m_builder.cellEnd(endingParagraph(), level);
    m_paraLabelDone = false;
    m_rowHasCells[level >= 2 ? 1 : 0] = true;
}

void RtfParser::paragraphBorderWord(const RtfKeywords::KwInfo &info, int p)
{
    Group &g = top();
    for (int side = 0; side < 4; ++side) {
        if (!(m_paraBorders & (1 << side)))
            continue;
        ParaBorder &b = g.para.borders[side];
        switch (info.kw) {
        case Kw::BrdrStyle:
            b.style = static_cast<unsigned char>(info.ch);
            break;
        case Kw::BrdrW:
            b.width = static_cast<short>(qBound(0, p, 255));
            break;
        case Kw::BrdrCf:
            b.color = qMax(0, p);
            break;
        default:
            b.space = static_cast<short>(qBound(0, p, 1440));
            break;
        }
    }
}

void RtfParser::tableWord(const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t)
{
    Group &g = top();
    const int p = t.hasParameter ? t.parameter : 0;
    const bool body = g.dest == Dest::Normal;
    switch (info.kw) {
    case Kw::Intbl:
        g.intbl = !t.hasParameter || p != 0;
        return;
    case Kw::Itap:
        g.itap = static_cast<signed char>(qBound(0, p, TableLimits::MaxNesting));
        return;
    case Kw::Cell:
        if (body)
            cellEnd(1);
        return;
    case Kw::NestCell:
        if (body)
            cellEnd(qMax(2, tableLevel()));
        return;
    case Kw::Row:
        if (body) {
            flushBytes();
            m_builder.rowEnd(1, m_rowDefSeen[0] ? &m_rowDefs[0] : nullptr);
            m_rowHasCells[0] = false;
        }
        return;
    case Kw::NestRow:
        if (body || g.dest == Dest::NestTableProps) {
            flushBytes();
            m_builder.rowEnd(qMax(2, tableLevel()), m_rowDefSeen[1] ? &m_rowDefs[1] : nullptr);
            m_rowHasCells[1] = false;
        }
        return;
    case Kw::NestTableProps:
        if (body)
            g.dest = Dest::NestTableProps;
        else
            skipDestination();
        return;
    case Kw::Tx:
        if (body || g.dest == Dest::StyleEntry)
            g.para.tabs = m_builder.tabList(g.para.tabs, {p, m_tabKind, m_tabLeader});
        m_tabKind = QTextOption::LeftTab;
        m_tabLeader = 0;
        return;
    case Kw::TabKind:
        m_tabKind = int(info.ch);
        return;
    case Kw::TabLeader:
        m_tabLeader = int(info.ch);
        return;
    case Kw::TabBar:
        // A bar tab draws a line and stops no text: nothing to show it with.
        m_tabKind = QTextOption::LeftTab;
        m_tabLeader = 0;
        return;
    case Kw::ParaShade:
        if (body || g.dest == Dest::StyleEntry) {
            if (info.ch == 2)
                g.para.shading = qBound(0, p, 10000);
            else
                (info.ch == 0 ? g.para.shadeBack : g.para.shadeFore) = qMax(0, p);
        }
        return;
    case Kw::BrdrOther:
        // A paragraph's border: the border words after it describe it until another
        // border is named.
        m_border = nullptr;
        m_paraBorders = info.ch < 4 ? 1 << info.ch : info.ch == 4 ? 15 : 0;
        if (body || g.dest == Dest::StyleEntry) {
            for (int side = 0; side < 4; ++side) {
                if (m_paraBorders & (1 << side))
                    g.para.borders[side] = ParaBorder();
            }
        }
        return;
    case Kw::BrdrStyle:
    case Kw::BrdrW:
    case Kw::BrdrCf:
    case Kw::BrdrSpace:
        if (m_paraBorders) {
            if (body || g.dest == Dest::StyleEntry)
                paragraphBorderWord(info, p);
            return;
        }
        break;
    case Kw::DefTab:
        if (t.hasParameter && p > 0)
            m_builder.setDefaultTab(p);
        return;
    default:
        break;
    }

    // The words that describe rows and cells: only in the body and nested row
    // definitions (table styles in the style sheet are not read).
    if (!body && g.dest != Dest::NestTableProps) {
        m_border = nullptr;
        return;
    }
    RowDef &def = rowDef();
    const int slot = &def == &m_rowDefs[1] ? 1 : 0;
    switch (info.kw) {
    case Kw::Trowd:
        def = RowDef();
        m_rowDefSeen[slot] = true;
        m_cellDef = CellDef();
        m_border = nullptr;
        std::fill(&m_padding[slot][0][0], &m_padding[slot][0][0] + 8, 0);
        std::fill(&m_cellPadding[0][0], &m_cellPadding[0][0] + 8, -1);
        m_widthAfter[slot][0] = m_widthAfter[slot][1] = 0;
        break;
    case Kw::Cellx:
        m_cellDef.right = t.hasParameter ? qBound(-ModelLimits::MaxTwips, p, 4 * ModelLimits::MaxTwips) : 0;
        if (def.cells.size() < size_t(TableLimits::MaxColumns))
            def.cells.push_back(m_cellDef);
        else
            def.tooWide = true;
        m_rowDefSeen[slot] = true;
        m_cellDef = CellDef();
        m_border = nullptr;
        std::fill(&m_cellPadding[0][0], &m_cellPadding[0][0] + 8, -1);
        break;
    case Kw::TrLeft:
        def.left = qBound(-ModelLimits::MaxTwips, p, ModelLimits::MaxTwips);
        break;
    case Kw::TrGaph:
        def.gap = qBound(0, p, 1440);
        break;
    case Kw::RowAlign:
        def.alignment = static_cast<unsigned char>(info.ch);
        break;
    case Kw::TrPadd:
    case Kw::TrPaddUnit: {
        // The value and its unit come in either order; only twips (unit 3) are read.
        int(&side)[2] = m_padding[slot][info.ch];
        side[info.kw == Kw::TrPadd ? 0 : 1] = p;
        def.padding[info.ch] = side[1] == 3 ? qBound(0, side[0], 1440) : -1;
        break;
    }
    case Kw::ClPad:
    case Kw::ClPadUnit: {
        // As for the row: either order; a unit of 0 means the value is not to be read.
        int(&side)[2] = m_cellPadding[info.ch];
        side[info.kw == Kw::ClPad ? 0 : 1] = p;
        m_cellDef.padding[info.ch] = side[0] >= 0 && side[1] != 0 ? qBound(0, side[0], 1440) : -1;
        break;
    }
    case Kw::TrRh:
        def.height = qBound(-ModelLimits::MaxTwips, p, ModelLimits::MaxTwips);
        break;
    case Kw::ClHeight:
        m_cellDef.height = qBound(0, p, ModelLimits::MaxTwips);
        break;
    case Kw::TrWidthAfter: {
        // The width and its unit come in either order; only twips (unit 3) are read.
        int(&after)[2] = m_widthAfter[slot];
        after[info.ch] = p;
        def.after = after[1] == 3 ? qBound(0, after[0], ModelLimits::MaxTwips) : 0;
        def.afterShown = def.after > 0 && m_rowHasCells[slot];
        break;
    }
    case Kw::TrBrdr:
        m_paraBorders = 0;
        m_border = &def.borders[info.ch];
        m_border->given = true;
        break;
    case Kw::ClBrdr:
        m_paraBorders = 0;
        m_border = &m_cellDef.borders[info.ch];
        m_border->given = true;
        break;
    case Kw::BrdrStyle:
        if (m_border)
            m_border->style = static_cast<unsigned char>(info.ch);
        break;
    case Kw::BrdrW:
        if (m_border)
            m_border->width = static_cast<short>(qBound(0, p, 255));
        break;
    case Kw::BrdrCf:
        if (m_border)
            m_border->color = qMax(0, p);
        break;
    case Kw::ClCbPat:
        m_cellDef.background = qMax(0, p);
        break;
    case Kw::ClCfPat:
        m_cellDef.foreground = qMax(0, p);
        break;
    case Kw::ClShdng:
        m_cellDef.shading = qBound(0, p, 10000);
        break;
    case Kw::ClVertAl:
        m_cellDef.vAlign = static_cast<unsigned char>(info.ch);
        break;
    case Kw::ClMerge:
        m_cellDef.hMerge = static_cast<unsigned char>(info.ch);
        break;
    case Kw::ClVMerge:
        m_cellDef.vMerge = static_cast<unsigned char>(info.ch);
        break;
    default:
        break;
    }
}
