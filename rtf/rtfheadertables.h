#pragma once

#include "rtf/rtfdestination.h"

#include <QByteArray>
#include <QHash>
#include <QString>

// The header tables: fonts, colours and styles.

// The font table (\fonttbl) and the code pages text is written in: the document's
// (\ansicpg), each font's, and a group's font (\f) with its associated fonts (\af).
class RtfFontTable final : public RtfDestination
{
public:
    struct Font
    {
        QByteArray nameBytes;
        QString name;
        int charset = -1;
        int cpg = 0;
        int codePage = 0; // resolved when the entry ends; 0 = the document's
    };

    using RtfDestination::RtfDestination;

    void word(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t) override;
    void text(RtfGroup &g, const char *data, int length) override;
    void groupEnding(const RtfGroup &closing) override;
    void groupEnded(const RtfGroup &closing) override;

    // The code page of a font's text: its own, or else the document's.
    int codePage(int number) const;
    int documentCodePage() const { return m_docCodePage; }
    // The font of text outside any \f, once the table has it.
    bool hasDefaultFont() const { return m_haveDefaultFont; }
    int defaultFont() const { return m_defaultFont; }
    const Font *font(int number) const;

private:
    void start(int number);
    void finish();
    void afterTable();

    QHash<int, Font> m_fonts;
    int m_current = -1;
    bool m_open = false;
    int m_docCodePage = 1252;
    int m_defaultFont = -1;
    bool m_haveDefaultFont = false;
};

// The colour table (\colortbl): entry 0 is the automatic colour until a table says
// more.
class RtfColorTable final : public RtfDestination
{
public:
    using RtfDestination::RtfDestination;

    void word(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t) override;
    void text(RtfGroup &g, const char *data, int length) override;

private:
    void add();

    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_set = false;
};

// The style sheet, and the styles a group takes (\s, \cs) from it.
class RtfStyleSheet final : public RtfDestination
{
public:
    using RtfDestination::RtfDestination;

    void word(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t) override;
    // A style's name, up to the ';' that ends it.
    void text(RtfGroup &g, const char *data, int length) override;
    // A group opens in the style sheet: a style's entry, from the defaults.
    void entryOpened(RtfGroup &g);
    void groupEnding(const RtfGroup &closing) override;
    // The line spacing of the default paragraph style (\s0), which a paragraph that
    // gives none has: \sl, and whether it is in 240ths of a line (\slmult1).
    std::pair<int, bool> defaultLineSpacing() const
    {
        const auto it = m_paraStyles.constFind(0);
        return it == m_paraStyles.cend() ? std::pair<int, bool>{0, false}
                                         : std::pair<int, bool>{it->para.lineSpacing, it->para.lineMultiple};
    }

private:
    struct Style
    {
        CharState chr;
        ParaState para;
        int basedOn = -1;
        // Named "heading 1" to "heading 9" and based on no style the sheet had
        // defined before it: LibreOffice takes it for its own heading of that level,
        // which puts 12 pt above the paragraph and 6 pt below where the style gives
        // neither (a heading based on the Normal style listed before it, as Word
        // writes them, keeps the Normal style's spacing).
        bool builtInHeading = false;
    };

    // The built-in heading's space above and below for a paragraph of the style
    // number, where neither the style nor one it is based on sets it.
    void headingSpacing(RtfGroup &g, int number) const;
    void applyStyle(RtfGroup &g, const QHash<int, Style> &styles, int number, int depth) const;
    void applyCharDelta(CharState &chr, const CharState &style) const;

    QHash<int, Style> m_paraStyles;
    QHash<int, Style> m_charStyles;
    int m_number = 0;
    int m_kind = 0; // 0 paragraph, 1 character, 2 other
    int m_basedOn = -1;
    QByteArray m_name;
    bool m_nameEnded = false;
};
