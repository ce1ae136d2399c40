#pragma once

#include "base/codepage.h"
#include "base/failure.h"
#include "model/documentbuilder.h"
#include "model/picturedecoder.h"
#include "model/states.h"
#include "model/table.h"
#include "rtf/rtfkeywords.h"
#include "rtf/rtftokenizer.h"

#include <QByteArray>
#include <QHash>

#include <array>
#include <vector>

class QTextDocument;

// Reads the token stream, keeps the group state on an explicit stack (input depth
// never turns into call depth) and tells the builder what to write.
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
    enum class Dest : unsigned char {
        Normal,
        FontTable,
        ColorTable,
        StyleSheet,
        StyleEntry,
        FieldInst,
        Picture,
        Upr,
        Shape,     // inside a shape: nothing shows but the shape's own picture
        ShapeName, // the name of a shape property
        NestTableProps, // the definition of a nested row
        ListNumber,     // an old-style list's description (\pn)
        PnText,         // the text before its number, or its bullet (\pntxtb)
        ListTable,      // the list table or the list override table
        LevelText,      // a list level's label template
    };

    struct Group
    {
        CharState chr;
        ParaState para;
        Dest dest = Dest::Normal;
        Dest uprOuter = Dest::Normal;
        bool styleOwner = false;
        bool pictureOwner = false;
        bool fontTableOwner = false;
        bool fieldOwner = false;
        bool nestedResultOwner = false; // opened the result of a field inside an instruction
        bool textBoxOwner = false;      // opened a text box's text
        bool listNumberOwner = false;   // opened a \pn
        unsigned char uc = 1;
        bool intbl = false;     // the paragraph is in a table
        signed char itap = -1;  // its nesting level, -1 = not given
        int field = -1;
        int ls = 0;           // the paragraph's list (\ls), 0 for none
        signed char ilvl = 0; // its level in the list
        // The font generation this state's font and code page were resolved in.
        unsigned fontGeneration = 0;
    };

    struct Font
    {
        QByteArray nameBytes;
        QString name;
        int charset = -1;
        int cpg = 0;
        int codePage = 0; // resolved when the entry ends; 0 = the document's
    };

    struct Style
    {
        CharState chr;
        ParaState para;
        int basedOn = -1;
    };

    struct Field
    {
        QString instruction;
        Dest outer = Dest::Normal;
        qint64 resultStart = -1; // output count when the result began, -1 before
        CharState resultChr;  // the result's formatting, for a result left empty
        bool hasResultChr = false;
        int anchor = -1;         // hyperlink target of every result, -1 for none
        int parent = -1;         // the field in whose instruction this one stands, -1 for none
        // Where the results of the fields inside the instruction stand in it.
        std::vector<std::pair<qsizetype, qsizetype>> nestedResults;
    };
    static Field fieldIn(const Group &g)
    {
        Field field;
        field.outer = g.dest;
        field.parent = g.dest == Dest::FieldInst ? g.field : -1;
        return field;
    }

    void groupOpen();
    bool groupClose(); // false once the document's own group is closed
    void controlWord(const RtfTokenizer::Token &t);
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
    void sectionWord(const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t);
    void columnsChanged();
    // The section's page: width, height, left, right, top and bottom margins, twips.
    int page(int which) const;

    // Tables and tab stops (rtfparsertable.cpp).
    void tableWord(const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t);
    int tableLevel() const;
    void paragraphBorderWord(const RtfKeywords::KwInfo &info, int p);
    RowDef &rowDef();

    void startFont(int number);
    void finishFont();
    int fontCodePage(int number) const;
    void afterFontTable();
    void addColor();
    void storeStyle(const Group &g);
    void applyCharDelta(CharState &chr, const CharState &style) const;
    void applyStyle(Group &g, const QHash<int, Style> &styles, int number, int depth) const;
    int hyperlinkAnchor(const QString &instruction);
    void finishField(const Group &g);
    void addInstructionBytes(const Group &g, const char *data, int length);
    void flushInstruction();
    QString symbolText(const QString &instruction, CharState &chr);
    void noteWord(const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t);
    QString noteMark() const;
    void listNumberEnded();
    // The list table and labels made from it (rtflists.cpp).
    void listWord(const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t);
    void addLevelText(const QString &text);
    // Content of a paragraph is about to be written: a paragraph of a list whose
    // label the file does not spell out (\listtext) gets it first.
    void listLabelBefore()
    {
        if (!m_paraLabelDone)
            makeListLabel();
    }
    void makeListLabel();
    void startPicture(Group &g);
    void pictureWord(RtfKeywords::Kw kw, const RtfTokenizer::Token &t);
    void releaseField(const Group &closing);
    void finishPicture();
    void shapeWord(RtfKeywords::Kw kw, const RtfTokenizer::Token &t);
    void startTextBox(Group &g);
    void endTextBox(const Group &closing);
    void shapeGroupsClosed();
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

    // The paragraph's state as its list sets it: a label at a level justified right
    // ends at the first line's indent.
    ParaState listed(const ParaState &para) const;
    // The state the paragraph ending now takes, from what held where its text was.
    ParaState endingParagraph();
    void noteParagraphText();

    int m_docCodePage = 1252;
    int m_defaultFont = -1;
    bool m_haveDefaultFont = false;
    CharState m_defaultChar;

    // bytes waiting to be decoded, all in the same state and code page
    QByteArray m_bytes;
    CharState m_bytesState;

    QHash<int, Font> m_fonts;
    int m_currentFont = -1;
    bool m_fontOpen = false;

    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorSet = false;

    QHash<int, Style> m_paraStyles;
    QHash<int, Style> m_charStyles;
    int m_styleNumber = 0;
    int m_styleKind = 0; // 0 paragraph, 1 character, 2 other
    int m_styleBasedOn = -1;

    std::vector<Field> m_fields; // the fields whose groups are open, innermost last
    QHash<QString, int> m_anchorIds; // hyperlink target -> index in the builder's anchors
    // Instruction bytes waiting to be decoded in their font's code page, so that
    // double-byte characters written as two \'hh stay whole.
    QByteArray m_instructionBytes;
    int m_instructionField = -1;
    int m_instructionCodePage = 0;
    // Notes met so far, their first numbers and their formats (RtfNotes::Format).
    int m_footnotes = 0;
    int m_endnotes = 0;
    int m_footnoteStart = 1;
    int m_endnoteStart = 1;
    int m_footnoteFormat = 0;
    int m_endnoteFormat = 3; // lower roman unless the document says otherwise
    // The \pn being read: its font (\pnf, -1 for none) and whether it draws bullets.
    int m_pnFont = -1;
    bool m_pnBullet = false;
    QString m_pnText; // \pntxtb
    // The list table: each list's levels, and the lists the paragraphs name (\ls).
    struct ListLevel
    {
        int nfc = 0;
        int start = 1;
        int font = -1;
        int follow = 0; // 0 a tab, 1 a space, 2 nothing
        bool right = false; // \leveljc2: the label ends at the first line's indent
        QString text;   // the template: characters below 9 stand for the levels' numbers
        bool hasText = false;
    };
    struct ListDef
    {
        int id = 0;
        std::vector<ListLevel> levels;
        std::array<int, 9> counters{}; // the last number shown per level, 0 = none yet
    };
    std::vector<ListDef> m_lists;
    QHash<int, int> m_listOverrides; // \ls -> \listid
    QHash<int, int> m_listIndex;     // \listid -> index in m_lists
    int m_listContext = 0;           // 1 in a \list, 2 in its \listlevel, 3 in a \listoverride
    int m_overrideId = 0;
    int m_overrideLs = 0;
    bool m_paraLabelDone = false;    // the paragraph being read has its label, or needs none
    // The paragraph state where the paragraph being read got its first text, and its
    // alignment where it got its last.
    ParaState m_firstTextPara;
    int m_lastTextAlignment = 0;
    bool m_paraHasText = false;

    // Row definitions: [0] for rows at the top level, [1] for nested rows, whose
    // definition comes after their cells.
    RowDef m_rowDefs[2];
    bool m_rowDefSeen[2] = {false, false};
    CellDef m_cellDef;           // the cell the next \cellx ends
    BorderLine *m_border = nullptr;  // what the border words describe now
    int m_padding[2][4][2] = {};    // per definition and edge: \trpadd value, unit
    int m_cellPadding[4][2] = {{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}};   // per edge of the next cell: \clpad value, unit (-1 = none given)
    int m_widthAfter[2][2] = {};    // per definition: \trwWidthA value, unit
    bool m_rowHasCells[2] = {false, false}; // per definition: a cell of the row has ended
    int m_tabKind = 0;              // QTextOption::TabType of the next \tx
    int m_tabLeader = 0;            // LayoutProperty::Leader of the next \tx
    int m_paraBorders = 0;          // the paragraph's sides the border words describe now, by bit

    // The document's page (\paperw, \paperh, \margl, \margr, \margt, \margb), twips,
    // as word processors take it where the document does not say, and the section's.
    int m_page[6] = {12240, 15840, 1800, 1800, 1440, 1440};
    SectionState m_section;

    Picture m_picture;
    int m_pictureNibble = -1;
    // Hex digits right after a picture group are its data when a damaged header closed
    // the group too early: 1 = a picture just closed, 2 = such data is being dropped.
    unsigned char m_orphanData = 0;
    PictureDecoder m_pictureDecoder;

    // Shapes open around the reader, innermost last, with whether they have shown
    // their picture. From the group depth m_shapePictureFrom on, a picture belongs to
    // the innermost shape's picture property (only one is shown) or, when
    // m_shapeResult, to its result (all are shown); 0 for neither.
    struct OpenShape
    {
        size_t depth;
        bool hasPicture; // or its text box: the fallback result is not needed
        int anchorLevel; // the table level of the paragraph it stands in
        int left = 0;    // twips
        int right = 0;
    };
    std::vector<OpenShape> m_shapes;
    // The table levels the open text boxes' contents start at, innermost last.
    std::vector<int> m_textBoxLevels;
    size_t m_shapePictureFrom = 0;
    bool m_shapeResult = false;
    QByteArray m_shapePropertyName;
};
