#pragma once

#include "odt/odtstyles.h"
#include "model/documentbuilder.h"
#include "model/picturedecoder.h"

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

class Package;
struct CellDef;
class PackageXml;
class QTextDocument;

// Walks an OpenDocument text's body once, in document order, and hands paragraphs,
// spans, lists, tables and pictures to the builder that rich text is written with.
class OdtBody final
{
public:
    // package: where pictures are read from; null for a flat file.
    OdtBody(Package *package, QTextDocument *doc);

    OdtStyles styles;

    // Reads office:text from where the reader stands; false when the XML is not
    // well formed.
    bool read(PackageXml &xml);
    // Reads the settings part (settings.xml) of a package.
    void readSettings(PackageXml &xml);
    bool outOfMemory() const { return m_builder.outOfMemory(); }
    QString error() const { return m_error; }

private:
    struct ListContext
    {
        QString style;
        int level = -1; // 0-based nesting of text:list
        bool labelDue = false; // the item's first paragraph has not come yet
        bool header = false;
        std::optional<int> startValue;
    };
    struct Counters
    {
        int value[10] = {};
        bool used[10] = {};
    };

    void readSetting(PackageXml &xml);
    void readBlocks(PackageXml &xml, int level);
    void readParagraph(PackageXml &xml, int level);
    void readList(PackageXml &xml, int level);
    void readListItem(PackageXml &xml, int level, bool header);
    void readInline(PackageXml &xml);
    void readTable(PackageXml &xml, int level);
    void readRows(PackageXml &xml, int level, const std::vector<int> &widths, std::vector<int> *covered,
                  std::vector<int> *coveredSpan);
    void readFrame(PackageXml &xml);
    // text:tracked-changes: what each change region is, and a deletion's text.
    void readTrackedChanges(PackageXml &xml);
    // A change's mark (text:change, change-start, change-end, just started); true
    // when it wrote a deletion's text.
    bool trackChange(PackageXml &xml);
    // A frame's text box (draw:text-box, just started), in place in front of the
    // paragraph that anchors it, as the RTF reader shows text boxes: placed across
    // the column by alignment and left (as endTextBox takes them), with a frame and
    // padding unless the frame's style has no border.
    void readTextBox(PackageXml &xml, qint64 widthTwips, unsigned char alignment, int left, bool framed);
    // A picture that stands on its own between lines of text (anchored to its
    // paragraph, no text beside it): in front of that paragraph, placed across the
    // column as its frame says (alignment as RowDef's, left in twips); false when
    // it cannot be (boxes nested too deep) and goes in the line instead.
    bool placePictureAbove(const PictureDecoder::Result &picture, qint64 widthTwips, unsigned char alignment,
                           int left, const OdtFrameProps &frame);
    // A cell's borders, background, padding and vertical alignment from its style.
    void cellStyle(const QString &name, CellDef *cell);
    void endCell(int level);
    void addText(QStringView text, bool collapse);
    void beginParagraph();
    void flushPending(int level);
    QString label(const OdtListLevel &lvl, int level);
    static QString labelText(const OdtListLevel &lvl, const OdtListStyle *style, const Counters &c, int at);
    void outlineLabel(ParaState *para);
    void addLabel(const OdtListLevel &lvl, const QString &text, const CharState &state, ParaState *para);

    CharState charState(const OdtTextProps &props);

    Package *m_package;
    DocumentBuilder m_builder;
    PictureDecoder m_pictures;
    QString m_error;

    // The paragraph being read.
    QString m_paraStyle;
    ParaState m_paraState;
    bool m_paraBegun = false;
    bool m_space = true; // the last character written was white space (or none yet)
    int m_level = 0;
    std::vector<OdtTextProps> m_text; // the spans' properties, innermost last
    CharState m_run;
    bool m_runValid = false;
    std::vector<int> m_anchors;
    std::vector<std::optional<ParaState>> m_pending; // by table level

    std::vector<ListContext> m_lists;
    QHash<QString, Counters> m_counters; // by list style
    Counters m_outlineCounters;           // the headings' numbers
    int m_outlineLevel = 0;               // of the heading being read, 0 for a paragraph
    int m_tableCells = 0;
    int m_textBoxes = 0; // text boxes open, one inside another

    // Tracked changes as LibreOffice shows them: inserted text underlined, deleted
    // text struck where it was, each author in a colour of their own.
    struct Change
    {
        bool insertion = false;
        QString author;
        QString deleted; // a deletion's text, its paragraphs joined by line breaks
    };
    QHash<QString, Change> m_changes;
    std::vector<QString> m_insertions; // the authors of the insertions open, in order
    QString m_deletionAuthor;          // while a deletion's text is written
};
