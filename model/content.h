#pragma once

#include <QString>
#include <QTextBlockFormat>
#include <QTextImageFormat>

#include <memory>
#include <vector>

struct DocTable;

// The newspaper columns of a section. A section of more than one column goes into a
// frame of its own, which carries them for the layout.
struct SectionColumns
{
    int count = 1;
    qreal gap = 0;    // between two columns, pixels
    qreal height = 0; // a band's: the page's body, pixels; 0 = balanced
    bool rule = false; // a line between the columns
    bool continuous = false; // the section goes on on the page of the one before
};

// What the reader has gathered but not yet written: text and the operations that
// put it into a document. The body of the document and every table cell are filled
// from such a list, so a paragraph can still go into a cell once its end tells
// where it belongs.
struct FlowOp
{
    enum Kind : unsigned char {
        Para,  // a paragraph starts: format = block format index, charFormat = its char format id
        Text,  // format = char format id, start/length in the content's text
        Image, // format = index in images
        Table, // format = index in tables
        Section, // a section starts (body only): format = index in sections
    } kind;
    int format = -1;
    int charFormat = -1;
    qsizetype start = 0;
    qsizetype length = 0;
};

struct FlowContent
{
    QString text;
    std::vector<FlowOp> ops;
    std::vector<QTextBlockFormat> blockFormats;
    std::vector<QTextImageFormat> images;
    std::vector<std::unique_ptr<DocTable>> tables;
    std::vector<SectionColumns> sections;

    FlowContent();
    ~FlowContent();
    FlowContent(FlowContent &&) noexcept;
    FlowContent &operator=(FlowContent &&) noexcept;

    // Appends ops [begin, end) of other with what they refer to; tables are moved.
    void append(FlowContent &other, size_t begin, size_t end);
    // True when ops [begin, end) hold nothing but empty paragraphs.
    bool blank(size_t begin, size_t end) const;
    void clear();
};

// Where the next paragraph or table of a body or cell goes: a frame starts with one
// empty block, and a table is always followed by one.
enum class FlowEnd : unsigned char {
    Empty,          // nothing written yet: the frame's first block is free
    AfterParagraph, // a paragraph ends the flow: the next one needs a block of its own
    AfterTable,     // a table ends the flow: the block after it is free
};
