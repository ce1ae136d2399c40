#pragma once

#include <algorithm>
#include <cstring>

// Formatting state a reader carries (in RTF, per group) and hands the builder. Plain
// values only: a group opening copies it, so it must stay cheap to copy and compare.

struct CharState
{
    int font = -1;       // number in the font table, -1 for none; decides the code page
    int western = -1;    // font for Latin text when \loch\af names another, -1 = font
    int eastern = -1;    // font for East Asian text (\dbch), -1 = none
    int size = 24;       // half-points
    int color = -1;      // colour table index, -1 = automatic
    int background = 0;  // colour table index, 0 = none
    int anchor = -1;     // index of a hyperlink target, -1 for none
    int codePage = 1252; // code page of the font in force
    unsigned char underline = 0; // QTextCharFormat::UnderlineStyle, or DoubleUnderline
    static constexpr unsigned char DoubleUnderline = 15;
    unsigned char vertical = 0;  // 0 normal, 1 superscript, 2 subscript, 3 raised, 4 lowered
    unsigned char caps = 0;      // bits: 1 all caps, 2 small caps (all caps wins)
    unsigned char charClass = 0; // \loch 0, \hich 1, \dbch 2, \rtlch 3: what \af and \f name
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool hidden = false;
    bool deleted = false;
    bool label = false;
    bool unkerned = false; // \kerning0: no pair kerning (kerned otherwise, at any size)
    bool cjkLanguage = false; // \langfe names Chinese, Japanese or Korean

    bool operator==(const CharState &o) const
    {
        return font == o.font && western == o.western && eastern == o.eastern && size == o.size && color == o.color && background == o.background
            && anchor == o.anchor && codePage == o.codePage && underline == o.underline
            && vertical == o.vertical && caps == o.caps && charClass == o.charClass && bold == o.bold && italic == o.italic
            && strike == o.strike && hidden == o.hidden && deleted == o.deleted && label == o.label
            && unkerned == o.unkerned && cjkLanguage == o.cjkLanguage;
    }
    bool operator!=(const CharState &o) const { return !(*this == o); }
};

// For looking states up in hash tables.
struct CharStateHash
{
    size_t operator()(const CharState &s) const noexcept
    {
        size_t h = size_t(s.font) * 1000003u;
        const int parts[] = {s.western, s.eastern, s.size, s.color, s.background, s.anchor, s.codePage,
                             s.underline | s.vertical << 4 | s.caps << 8 | s.charClass << 10 | s.bold << 12
                                 | s.italic << 13 | s.strike << 14 | s.hidden << 15 | s.deleted << 16
                                 | s.label << 17 | s.unkerned << 18 | s.cjkLanguage << 19};
        for (const int p : parts)
            h = (h ^ size_t(unsigned(p))) * 1099511628211ull;
        return h;
    }
};

// A border of a paragraph (\brdrt, \brdrb, \brdrl, \brdrr, \box) with the words
// after it.
struct ParaBorder
{
    unsigned char style = 0; // BorderLine::Style: none, single, double, dotted, dashed
    short width = 0;         // \brdrw, twips
    short space = 0;         // \brsp: from the text, twips
    int color = -1;          // \brdrcf, -1 = automatic

    bool operator==(const ParaBorder &o) const
    {
        return style == o.style && width == o.width && space == o.space && color == o.color;
    }
    bool operator!=(const ParaBorder &o) const { return !(*this == o); }
};

struct ParaState
{
    int alignment = 0; // 0 left, 1 centre, 2 right, 3 justified
    int leftIndent = 0;  // twips
    int rightIndent = 0; // twips
    int firstIndent = 0; // twips
    int spaceBefore = 0; // twips
    int spaceAfter = 0;  // twips
    int lineSpacing = 0; // \sl: twips, negative = exactly, 0 = single
    bool lineMultiple = false; // \slmult1: lineSpacing is in 240ths of a line
    bool pageBreakBefore = false;
    bool keepNext = false; // \keepn: in the same column as the next paragraph's first lines
    signed char widows = -1; // \widctlpar 1, \nowidctlpar 0, -1 as the document says (\widowctrl)
    int tabs = -1;       // the builder's tab stop list, -1 = none
    ParaBorder borders[4]; // top, left, bottom, right
    int shadeBack = -1;  // \cbpat: colour table index, -1 = none
    int shadeFore = -1;  // \cfpat
    int shading = 0;     // \shading: hundredths of a per cent of \cfpat over \cbpat
    bool labelRight = false; // its \listtext label ends at the first line's indent (\leveljc2)
    bool bordersOutside = false; // side borders stand outside the indents, the text at them

    bool sameBoxAs(const ParaState &o) const
    {
        return std::equal(borders, borders + 4, o.borders) && bordersOutside == o.bordersOutside && shadeBack == o.shadeBack && shadeFore == o.shadeFore
            && shading == o.shading;
    }
    bool operator==(const ParaState &o) const
    {
        return alignment == o.alignment && leftIndent == o.leftIndent && rightIndent == o.rightIndent
            && firstIndent == o.firstIndent && spaceBefore == o.spaceBefore
            && spaceAfter == o.spaceAfter && lineSpacing == o.lineSpacing
            && lineMultiple == o.lineMultiple && pageBreakBefore == o.pageBreakBefore && keepNext == o.keepNext
            && widows == o.widows && tabs == o.tabs && labelRight == o.labelRight
            && sameBoxAs(o);
    }
    bool operator!=(const ParaState &o) const { return !(*this == o); }
};

// The page of the section being read and its newspaper columns, in twips. \sectd
// brings back these values; a section starts with those of the one before.
struct SectionState
{
    // The section's own page: width, height, left, right, top and bottom margins,
    // -1 where the document's hold.
    int page[6] = {-1, -1, -1, -1, -1, -1};
    int columns = 1;   // \colsN
    int gap = 720;     // \colsxN
    bool rule = false; // \linebetcol
    bool continuous = false; // \sbknone: the section goes on on the page of the one before
    // How high its headers and footers stand (\header, \headerl, \headerr, \headerf,
    // then the footers), 0 where it has none, and their distance from the page's edge.
    int bands[8] = {};
    int headerY = 720; // \headery
    int footerY = 720; // \footery
    bool titlePage = false; // \titlepg: the first page has its own header and footer
};
