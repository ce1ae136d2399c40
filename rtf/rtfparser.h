#pragma once

#include "base/codepage.h"
#include "base/failure.h"
#include "model/contextualspacing.h"
#include "model/documentbuilder.h"
#include "model/states.h"
#include "rtf/rtffields.h"
#include "rtf/rtfgroup.h"
#include "rtf/rtfheadertables.h"
#include "rtf/rtfkeywords.h"
#include "rtf/rtflists.h"
#include "rtf/rtfpictures.h"
#include "rtf/rtfshapes.h"
#include "rtf/rtftables.h"
#include "rtf/rtftokenizer.h"

#include <QByteArray>

#include <array>
#include <vector>

class QTextDocument;

// Reads the token stream, keeps the group state on an explicit stack (input depth
// never turns into call depth), hands each control word, each group's text and the
// end of each group to the destination that owns its state, and tells the builder
// what to write.
class RtfParser final
{
public:
    RtfParser(const QByteArray &data, qsizetype start, QTextDocument *doc);

    Failure run();
    // After an allocation failed during run(): drops what waits to be written and
    // tells the failure.
    Failure outOfMemory();

    // What the read cost, for tests and benchmarks that bound hostile input.
    qint64 stateUpdates() const { return m_stateUpdates; }
    int convertersOpened() const { return m_codePages.opened(); }
    int linkTargets() const { return int(m_builder.anchors.size()); }
    qint64 formatsBuilt() const { return m_builder.formatsBuilt(); }
    qint64 cellsMoved() const { return m_builder.cellsMoved(); }

private:
    friend class RtfFontTable;
    friend class RtfColorTable;
    friend class RtfStyleSheet;
    friend class RtfLists;
    friend class RtfFields;
    friend class RtfPictures;
    friend class RtfShapes;
    friend class RtfTables;

    using Dest = RtfDest;
    using Group = RtfGroup;

    void groupOpen();
    bool groupClose(); // false once the document's own group is closed
    void controlWord(const RtfTokenizer::Token &t);
    // The words the parser reads itself: the group's own state, Unicode, sections and
    // notes (bodyWord), and breaks and characters (textWord).
    void bodyWord(Group &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t);
    void textWord(Group &g, const RtfKeywords::KwInfo &info);
    void controlSymbol(unsigned char c);
    void textBytes(const char *data, int length);
    void binaryBytes(const char *data, int length);

    void addBytes(const char *data, int length);
    void flushBytes();
    void emitChar(char32_t c);
    void emitUnicode(int value);
    void paragraphBreak();
    void cellEnd(int level);
    // The page and the section's columns.
    void sectionWord(const Group &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t);
    void columnsChanged();
    // The section's page: width, height, left, right, top and bottom margins, twips.
    int page(int which) const;

    // The table level of the paragraph being read.
    int tableLevel() const;
    // The state the paragraph ending now takes, from what held where its text was.
    ParaState endingParagraph();
    // The paragraph's space before and after, with the contextual spacing applied
    // against the paragraph before it at the same table level.
    ParaState spaced(ParaState para, int level);
    ContextualSpacing<int> m_spacing; // styles by number (\s)
    void noteParagraphText();

    void noteWord(const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t);
    QString noteMark() const;
    // Content of a paragraph is about to be written: a paragraph of a list whose
    // label the file does not spell out (\listtext) gets it first, then the spaces
    // held in front of its label.
    void listLabelBefore()
    {
        m_lists.labelBefore();
        if (!m_leadingSpaces.isEmpty())
            addLeadingSpaces();
    }
    void addLeadingSpaces();
    void skipDestination();

    // The open group, its font brought up to date first: a change of the document's
    // code page or default font reaches each group when it is next used, rather than
    // rewriting every open group at once (up to MaxDepth of them, at every change).
    Group &top()
    {
        Group &g = m_groups.back();
        if (g.fontGeneration != m_fontGeneration)
            refreshFont(g);
        return g;
    }
    void refreshFont(Group &g);
    void fontsChanged() { ++m_fontGeneration; }
    bool showing() const
    {
        const Group &g = m_groups.back();
        return g.dest == Dest::Normal && !g.chr.hidden && !g.chr.deleted;
    }

    RtfTokenizer m_tok;
    CodePage m_codePages;
    DocumentBuilder m_builder;
    std::vector<Group> m_groups;
    qint64 m_overflowDepth = 0;
    bool m_ignorable = false;
    int m_fallbackSkip = 0;
    char16_t m_highSurrogate = 0;

    unsigned m_fontGeneration = 0;
    qint64 m_stateUpdates = 0;

    CharState m_defaultChar;
    RtfFontTable m_fontTable{*this};
    RtfColorTable m_colorTable{*this};
    RtfStyleSheet m_styleSheet{*this};
    RtfLists m_lists{*this};
    RtfFields m_fields{*this};
    RtfPictures m_pictures{*this};
    RtfShapes m_shapes{*this};
    RtfTables m_tables{*this};
    // Who reads a control word, by its route, and a group's text, by its destination:
    // null for the parser itself.
    std::array<RtfDestination *, RtfKeywords::RouteCount> m_routes{};
    std::array<RtfDestination *, RtfDestCount> m_readers{};

    // bytes waiting to be decoded, all in the same state and code page
    QByteArray m_bytes;
    CharState m_bytesState;
    // Spaces that open a list's paragraph before its label (\listtext): the label
    // comes first, as the list draws it at the start of the paragraph, and they
    // follow it.
    QByteArray m_leadingSpaces;
    CharState m_leadingState;

    // Notes met so far, their first numbers and their formats (RtfNotes::Format).
    int m_footnotes = 0;
    int m_endnotes = 0;
    int m_footnoteStart = 1;
    int m_endnoteStart = 1;
    int m_footnoteFormat = 0;
    int m_endnoteFormat = 3; // lower roman unless the document says otherwise
    // The document's page (\paperw, \paperh, \margl, \margr, \margt, \margb), twips,
    // as word processors take it where the document does not say, and the section's.
    int m_page[6] = {12240, 15840, 1800, 1800, 1440, 1440};
    SectionState m_section;

    // The paragraph state where the paragraph being read got its first text, and its
    // alignment where it got its last.
    ParaState m_firstTextPara;
    int m_lastTextAlignment = 0;
    bool m_paraHasText = false;
    // Hex digits right after a picture group are its data when a damaged header closed
    // the group too early: 1 = a picture just closed, 2 = such data is being dropped.
    unsigned char m_orphanData = 0;
};
