#pragma once

#include "docx/docxproperties.h"
#include "docx/docxstyles.h"
#include "package/package.h"
#include "model/contextualspacing.h"
#include "model/documentbuilder.h"
#include "model/picturedecoder.h"
#include "model/table.h"

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

class PackageXml;
class PartStream;
class QTextDocument;

// Walks the main part's XML once, in document order, and hands paragraphs, runs,
// tables and pictures to the builder. Block content (paragraphs and tables) and run
// content each have their own reading; content controls, smart tags, custom XML and
// tracked insertions are looked through, and what only stands in for other content
// (alternate content's fallback, field codes, text boxes' text) is read once or not.
// Where a floating shape stands across the text column: left in twips from the
// column's edge, alignment 0 left, 1 centre, 2 right.
struct DocxPlacement
{
    int left = 0;
    unsigned char alignment = 0;
};

class DocxBody final
{
public:
    DocxBody(Package &package, const QString &mainPart, QTextDocument *doc);

    DocxStyles styles;
    DocxNumbering numbering;

    // The document's settings (word/settings.xml): the Word version whose layout the
    // document asks for.
    void readSettings(const QByteArray &settings);

    // Reads the main part's XML; false when it is not well formed.
    bool read(const QByteArray &xml);
    // Reads the main part as it inflates. The sections' columns and the text's width
    // are only known once the part is whole: a part still inflating is read as if it
    // had one column throughout and its text width is waited for when a table needs
    // it. Should the whole part then have columns, false with readAgain(): the
    // document is to be read anew, from the whole bytes.
    bool read(PartStream &part);
    bool readAgain() const { return m_again; }
    bool outOfMemory() const { return m_builder.outOfMemory(); }
    QString error() const { return m_error; }

private:
    struct Field
    {
        QString instruction;
        bool separated = false;
        int anchor = -1;
    };
    struct Cell
    {
        CellDef def;
        int span = 1;
    };

    void readBlocks(PackageXml &xml, int level);
    void readParagraph(PackageXml &xml, int level);
    void beginParagraph(int level);
    void readInline(PackageXml &xml);
    void readRun(PackageXml &xml);
    // A field's begin, separator (a hyperlink's target taken) or end; true when the
    // run's character state is to be made again.
    bool readFieldChar(PackageXml &xml);
    void readTable(PackageXml &xml, int level);
    void readRow(PackageXml &xml, int level, const std::vector<int> &grid, int indent, RowDef base);
    void readCell(PackageXml &xml, int level, std::vector<Cell> *cells);
    // Ends the cell at level with the paragraph that waits in it.
    void endCell(int level);
    // The sections' columns, read ahead: a section's properties come at its end, and
    // the builder needs them at its start.
    void readSections(const QByteArray &data);
    // The text's width in twips of the last section, whose w:sectPr ends the body, for
    // tables as wide as a share of it; 0 when the document does not say.
    static int lastTextWidth(const QByteArray &data);
    // Whether the part may give some section more than one column.
    static bool mayHaveColumns(const QByteArray &data);
    // Once the streamed part is whole (waiting for it): its text width, and whether
    // it is to be read again for its columns.
    void settle();
    int textWidth();
    void startSection(size_t index);
    void readDrawing(PackageXml &xml);
    void readPict(PackageXml &xml);
    using Placement = DocxPlacement;
    // A text box's content (w:txbxContent, just started), shown in place as the RTF
    // reader shows text boxes: in front of the paragraph that anchors it, placed by
    // at, framed unless its shape draws no outline.
    void readTextBox(PackageXml &xml, qint64 widthTwips, Placement at, bool framed);
    // A picture in the line, or, above, on its own in front of the paragraph that
    // anchors it (text only above and below it), placed by at.
    void addPicture(const QString &relId, qint64 widthTwips, qint64 heightTwips, bool above = false,
                    Placement at = {});
    void addText(const QString &text);
    // The paragraph that waits in a cell for what follows to say whether it ends it.
    void flushPending(int level);

    bool showing() const;
    // Within the result of a TOC field.
    bool inTableOfContents() const;
    CharState charState(const DocxRunProps &props);
    ParaState paraState(const DocxParaProps &props);
    BorderLine border(const DocxBorder &b);
    QString relationshipTarget(const QString &id, bool *external) const;

    Package &m_package;
    QString m_mainPart;
    DocumentBuilder m_builder;
    PictureDecoder m_pictures;
    QHash<QString, Package::Relationship> m_rels;
    QString m_error;

    // The paragraph being read.
    DocxParaProps m_para;     // resolved
    DocxRunProps m_paraRun;   // its style's run properties
    ParaState m_paraState;
    bool m_paraBegun = false;
    int m_level = 0;
    std::vector<std::optional<ParaState>> m_pending; // by table level
    // By table level: the table style's run properties, those of its first row, and
    // whether the row being read takes the first row's (tblLook says so).
    struct TableLook
    {
        DocxRunProps run;
        DocxRunProps firstRow;
        DocxParaProps para;
        DocxParaProps firstRowPara;
        bool firstRowShown = true;
        bool inFirstRow = false;
    };
    std::vector<TableLook> m_tableRun;
    // The space between paragraphs: the paragraph before's style and held space after
    // (contextual spacing), and whether it had HTML's spacing after it.
    ContextualSpacing<QString> m_spacing;
    bool m_previousAfterAuto = false;
    void spacingBetweenParagraphs(int level);

    // The run being read.
    CharState m_run;
    QString m_text; // the run's text, its room kept from one run to the next
    std::vector<Field> m_fields;
    std::vector<int> m_anchors; // hyperlinks that enclose the run, innermost last
    int m_inserted = 0;
    int m_deleted = 0;
    std::vector<QString> m_authors; // of the tracked changes that enclose the run
    int m_footnotes = 0;
    int m_endnotes = 0;
    int m_tableCells = 0;
    bool m_breakPending = false;
    bool m_afterTable = false; // the body's last block was a table
    // Word 2013's layout (compatibility mode 15 and later): a table's indent is where
    // its first cell's edge stands, not where that cell's text starts.
    bool m_indentAtCellEdge = false;
    // Word's own spacing between paragraphs (a settings part without
    // doNotUseHTMLParagraphAutoSpacing): the larger of the space after a paragraph
    // and the space before the next, not their sum.
    bool m_largerSpacing = false;
    int m_lastAfter = 0; // twips: the space after the paragraph before, as written
    int m_textBoxes = 0;       // text boxes open, one inside another
    struct Section
    {
        int columns = 1;
        int gap = 720;     // twips
        int height = 0;    // the page's body, twips
        int width = 0;     // the text's width, twips
        bool rule = false;
        bool continuous = false; // starts on the page of the section before
    };
    std::vector<Section> m_sections;
    int m_textWidth = 0;
    PartStream *m_part = nullptr; // the main part, while it is read as it inflates
    bool m_settled = true;        // what needs the whole part is known
    bool m_again = false;
    size_t m_section = 0;
};
