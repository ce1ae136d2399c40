#pragma once

#include "model/table.h"
#include "rtf/rtfdestination.h"

// Tables and tab stops: the ends of cells and rows, the row definitions (\trowd ...
// \cellx) with their borders, shading and merges, a paragraph's borders and shading,
// and its tab stops.
class RtfTables final : public RtfDestination
{
public:
    using RtfDestination::RtfDestination;

    void word(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t) override;

private:
    // The words of the paragraph in force; false for a word of a row's definition.
    bool paragraphWord(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t);
    void paragraphBorderWord(RtfGroup &g, const RtfKeywords::KwInfo &info, int p);
    void rowWord(const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t);
    void cellWord(const RtfKeywords::KwInfo &info, int p);
    void cellEnd(int level);
    RowDef &rowDef();

    // Row definitions: [0] for rows at the top level, [1] for nested rows, whose
    // definition comes after their cells.
    RowDef m_rowDefs[2];
    bool m_rowDefSeen[2] = {false, false};
    CellDef m_cellDef;              // the cell the next \cellx ends
    BorderLine *m_border = nullptr; // what the border words describe now
    int m_padding[2][4][2] = {};    // per definition and edge: \trpadd value, unit
    int m_cellPadding[4][2] = {{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}; // per edge of the next cell: \clpad value, unit (-1 = none given)
    int m_widthAfter[2][2] = {};            // per definition: \trwWidthA value, unit
    bool m_rowHasCells[2] = {false, false}; // per definition: a cell of the row has ended
    int m_tabKind = 0;     // QTextOption::TabType of the next \tx
    int m_tabLeader = 0;   // LayoutProperty::Leader of the next \tx
    int m_paraBorders = 0; // the paragraph's sides the border words describe now, by bit
};
