#pragma once

#include "base/codepage.h"
#include "model/content.h"
#include "model/documentwriter.h"
#include "model/fontfaces.h"
#include "model/memoryheadroom.h"
#include "model/states.h"
#include "model/table.h"

#include <QColor>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextOption>

#include <memory>
#include <unordered_map>
#include <vector>

class QImage;
class QTextDocument;

// Writes the reader's output into a document through one cursor inside one edit
// block. Text is gathered per format and goes in once per format change; a paragraph
// is held until its end says where it belongs (the body, or a table cell at some
// nesting level), and a paragraph mark only becomes a block when something follows
// it, so the mark that ends the last paragraph leaves no empty block behind.
// Tables are gathered row by row and go in whole, long ones in parts.
class DocumentBuilder final
{
public:
    explicit DocumentBuilder(QTextDocument *doc);
    ~DocumentBuilder();

    // How the tables built from here on lay rows of different edges on one grid.
    DocTable::GridRule tableGridRule = DocTable::GridRule::AllEdges;
    // The size of super- and subscripts, in percent of the text's (LayoutProperty::
    // ScriptSize); 0 for Qt's own.
    int scriptSize = 0;
    // For readers that name fonts and colours where they use them rather than in
    // tables up front: a font's number by its name and a colour's by its value, each
    // added to the tables the first time; -1 when the tables are full.
    int fontNumber(const QString &name);
    int colorNumber(QRgb rgb);
    // The colour of an author of tracked changes: each author one of its own, in the
    // order they come, dark enough to read on the page and far enough apart to tell.
    int authorColor(const QString &author);
    // Tables the reader fills while reading the header.
    QHash<int, QString> fontNames;
    int defaultFont = -1; // \deff, once the font table has it
    std::vector<QColor> colors; // invalid = automatic
    QStringList anchors;

    // The font or colour table changed: formats built so far may name old entries.
    void tablesChanged() { forgetFormats(); }

    // Tab stops, each list kept once: a paragraph state names its list by number.
    struct TabStop
    {
        int twips;
        int kind; // QTextOption::TabType
        int leader = 0; // LayoutProperty::Leader
    };
    int tabList(int list, TabStop stop);
    // How wide text is in twips in the face and size state draws it in, for a label
    // whose text follows it at a distance (an estimate without a GUI application).
    int textTwips(const CharState &state, const QString &text) const;
    void setDefaultTab(int twips) { m_defaultTab = twips; }
    // \widowctrl: widow and orphan control for the paragraphs that do not say.
    void setWidowControl(bool on)
    {
        m_widowControl = on;
        m_haveBlockFormat = false;
    }

    // Whether the paragraphs from here on set a run of spaces wider than its spaces
    // one by one (LayoutProperty::WideSpaceRuns).
    void setWideSpaceRuns(bool on)
    {
        m_wideSpaceRuns = on;
        m_haveBlockFormat = false;
    }
    // Whether the paragraphs from here on leave their faces' line gaps out of their
    // lines' heights (LayoutProperty::NoLineGap).
    void setNoLineGap(bool on)
    {
        m_noLineGap = on;
        m_haveBlockFormat = false;
    }
    // Whether the paragraphs from here on set Asian text as word processors set it
    // beside Western text (LayoutProperty::SpaceAsianFromWestern and
    // AsianFallbackByLanguage).
    void setAsianRules(bool on)
    {
        m_asianRules = on;
        m_haveBlockFormat = false;
    }

    void addText(const CharState &state, const QString &text);
    // Bytes in the state's code page, decoded straight into the text waiting to go in.
    void addBytes(const CharState &state, CodePage &codePages, const char *bytes, qsizetype n);
    void addText(const CharState &state, QChar c);
    // The list of the paragraph being written draws its bullet in the symbol font
    // named font, whatever font its label was written in.
    void labelInSymbolFont(const QString &font);
    // The paragraph being written is in no list after all: the label it spelled out,
    // while nothing has followed it, goes.
    void dropLabel();
    // The same image added twice is stored once.
    void addImage(const CharState &state, const QImage &image, qreal width, qreal height, bool placeholder = false);
    // The character format of the mark that ends the paragraph being written (RTF's
    // state at \par or \cell): an empty paragraph is as high as its mark's font, one
    // with text as its text. For the next paragraph end only.
    void setMark(const CharState &state)
    {
        m_markState = state;
        m_haveMark = true;
    }
    // Ends a paragraph; level is its table nesting level (0 = the body).
    void paragraphBreak(const ParaState &para, int level = 0);
    // Ends a paragraph and the table cell it ends, at a nesting level from 1.
    void cellEnd(const ParaState &para, int level);
    // Ends a table row at a nesting level from 1; def describes its cells, if any was given.
    void rowEnd(int level, const RowDef *def);
    // A text box starts in a paragraph at the table level anchorLevel: that paragraph
    // waits while the box's own paragraphs gather one level below it.
    void beginTextBox(int anchorLevel);
    // The text box ends (its last paragraph, if open, at level): it goes in as a framed
    // one-cell table of the width given (twips, 0 = a default), in front of the
    // paragraph that anchors it, which then goes on; left (twips from the column's
    // edge) and alignment (as RowDef's) place it across the column. Unframed, it has
    // neither border nor padding: a picture that stands between lines of text.
    void endTextBox(const ParaState &para, int level, int anchorLevel, int width, int left = 0,
                    unsigned char alignment = 0, bool framed = true);
    // A picture on its own, without frame, in front of the paragraph being written at
    // the table level anchorLevel (which then goes on): a text box of the picture's
    // width (twips; 0 = its display width) placed as endTextBox places one, its one
    // paragraph as para says.
    void addPictureAbove(const CharState &state, const QImage &image, qreal width, qreal height, bool placeholder,
                         const ParaState &para, int anchorLevel, qint64 widthTwips, int left, unsigned char alignment);
    // A shape is anchored in the paragraph being written: it counts as content.
    void anchorShape();
    // True when the paragraph being written has a list label (\listtext, \pntext).
    bool paragraphHasLabel() const { return m_paraOpen && m_labelFrom >= 0; }
    // True when the paragraph being written has neither text nor images yet.
    bool paragraphEmpty() const
    {
        return !m_paraOpen || (!m_paraHasContent && m_body.text.size() == m_runStart);
    }
    void finish(const ParaState &para, int level);
    // Characters and images written so far.
    qint64 written() const { return m_written; }
    // Character formats built so far.
    qint64 formatsBuilt() const { return m_formatsBuilt; }
    // Table cells that merging cells moved.
    qint64 cellsMoved() const { return m_writer.cellsMoved(); }
    // The memory for the document ran out: nothing more is written, the load fails.
    bool outOfMemory() const { return m_outOfMemory; }
    // Drops whatever waits to be written, after a failure.
    void abandon();
    void pageBreak() { m_breakBefore = true; }
    // The section being read has count newspaper columns, gap apart, in bands as high
    // as the page's body (twips); continuous: it starts on the page of the section
    // before. A section keeps the columns it has at its first paragraph or table.
    void setColumns(int count, int gap, int height, bool rule, bool continuous);
    // A section ends: what follows belongs to the next one.
    void sectionBreak() { m_sectionStarts = true; }

private:
    // A table being gathered at one nesting level, with its row and cell in progress.
    struct Level
    {
        std::unique_ptr<DocTable> table;
        std::vector<TableCell> rowCells;
        size_t cellBegin = 0;
    };

    void forgetFormats();
    // Whether the document has memory for ops [begin, end) of content and cells more
    // table cells; when it has not, the load is abandoned.
    bool roomFor(const FlowContent &content, size_t begin, size_t end, qint64 cells);
    void flushText();
    void runBatch();
    void openParagraph();
    void completeParagraph(const ParaState &para);
    int place(int level);
    // Content goes into the body: true when it starts a section whose columns differ
    // from the body's so far, or whose columns need a frame of their own.
    bool sectionChanges();
    int blockFormat(const ParaState &para);
    QList<QTextOption::Tab> columnTabs(const ParaState &para, int left, int first, QVariantList *leaders) const;
    void setBox(QTextBlockFormat &format, const ParaState &para) const;
    QTextCharFormat charFormat(const CharState &state) const;
    int formatId(const CharState &state);
    int lookUpFormatId(const CharState &state);
    void startRun(const CharState &state);
    void labelSymbols(const CharState &state, qsizetype from);

    // Table levels (documentbuildertables.cpp).
    int clampLevel(int level) const;
    void openLevel();
    void closeLevels(int level);
    void emitTable(std::unique_ptr<DocTable> table, int level);
    void emitFlat(DocTable &table, size_t begin, int level);

    QTextDocument *m_doc;
    QTextCursor m_cursor;
    MemoryHeadroom m_headroom;
    qint64 m_blocks = 0; // inserted so far, with m_runs, for the memory estimate
    qint64 m_runs = 0;
    bool m_outOfMemory = false;
    DocumentWriter m_writer;

    // The body's paragraphs wait here and go into the document together: parsing and
    // inserting in turns, run by run, keeps evicting each other's data from the
    // processor caches and makes every insertion dearer. The paragraph being read is
    // at the end, from its Para op on.
    FlowContent m_body;
    FlowEnd m_bodyFlow = FlowEnd::Empty;
    qsizetype m_runStart = 0; // where the run being gathered starts in m_body.text
    // The list label of the paragraph being read, in m_body.text; -1 for none yet.
    qsizetype m_labelFrom = -1;
    qsizetype m_labelTo = -1;
    size_t m_paraOp = 0;      // the Para op of the paragraph being read
    bool m_paraOpen = false;
    bool m_paraHasContent = false;
    std::vector<Level> m_levels; // [0] is nesting level 1
    // The paragraphs that text boxes interrupted, innermost last: their ops so far.
    struct Suspended
    {
        FlowContent content;
        bool open = false;
        bool hasContent = false;
    };
    std::vector<Suspended> m_suspended;

    CharState m_textState;
    CharState m_markState;
    bool m_haveMark = false;
    int m_textFormat = -1;
    ParaState m_blockState;
    QTextBlockFormat m_blockFormat; // built for m_blockState
    bool m_haveBlockFormat = false;
    // The last few states looked up, most recent first: runs mostly alternate
    // between two or three states, which this answers without hashing.
    struct Recent
    {
        CharState state;
        int id = -1;
    };
    Recent m_recent[4];
    int m_images = 0;
    QHash<qint64, QString> m_imageNames; // by QImage::cacheKey()
    qint64 m_written = 0;
    qint64 m_formatsBuilt = 0;
    bool m_breakBefore = false; // the next paragraph starts a page
    SectionColumns m_columns;       // as the section's words say now
    SectionColumns m_bodyColumns;   // those of the section the body's content goes into
    bool m_sectionStarts = true; // the next content of the body starts a section
    bool m_blockHasBreak = false;
    int m_defaultTab = 720;
    bool m_widowControl = false;
    bool m_wideSpaceRuns = false;
    bool m_noLineGap = false;
    bool m_asianRules = false;
    std::vector<QList<QTextOption::Tab>> m_tabLists;
    std::vector<QList<int>> m_tabLeaders; // each list's stops' leaders
    QHash<QByteArray, int> m_tabListIds;
    // Formats already built: documents switch between a handful of formats, and
    // reusing the same format object spares Qt from hashing it again. States that
    // look the same share an id, so their text goes in as one run. Ids stay valid
    // while anything that names them waits to be written.
    std::unordered_map<CharState, int, CharStateHash> m_formatIds;
    std::unordered_map<CharState, int, CharStateHash> m_keyIds;
    std::vector<QTextCharFormat> m_formats;
    mutable FontFaces m_faces;
    // What fontNumber, colorNumber and authorColor gave so far.
    QHash<QString, int> m_fontNumbers;
    QHash<QRgb, int> m_colorNumbers;
    QHash<QString, int> m_authorColors;
};
