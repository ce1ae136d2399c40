#pragma once

#include "model/states.h"

// The space between paragraphs as word processors apply contextual spacing: none
// between two paragraphs of one style where the second asks for none, and the space
// after a paragraph that asks for none held back until the next one tells whether its
// style differs. Paragraphs follow each other only at one table level. Style is what
// names a paragraph's style in the format read.
template <typename Style>
class ContextualSpacing
{
public:
    // Whether a paragraph at this level follows the one before.
    bool follows(int level) const { return m_level == level; }

    // Takes the paragraph's spacing, in a paragraph at this level and of this style.
    void apply(ParaState &para, int level, const Style &style, bool contextual)
    {
        const bool sameStyle = follows(level) && m_style == style;
        if (contextual && sameStyle)
            para.spaceBefore = 0;
        if (follows(level) && !sameStyle)
            para.spaceBefore += m_heldAfter;
        m_level = level;
        m_style = style;
        m_heldAfter = 0;
        if (contextual) {
            m_heldAfter = para.spaceAfter;
            para.spaceAfter = 0;
        }
    }

private:
    int m_level = -1;
    Style m_style{};
    int m_heldAfter = 0; // twips
};
