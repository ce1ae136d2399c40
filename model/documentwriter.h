#pragma once

#include "model/content.h"
#include "model/table.h"

#include <QColor>
#include <QTextCharFormat>
#include <QVariantList>

#include <array>
#include <vector>

class QTextCursor;
class QTextTableCellFormat;

// Writes gathered content into the document at a cursor: paragraphs, runs, images,
// and tables, which go in whole, each cell filled in document order.
class DocumentWriter final
{
public:
    DocumentWriter(QTextCursor &cursor, const std::vector<QTextCharFormat> &formats, const std::vector<QColor> &colors);

    // Ops [begin, end) of content, continuing the flow of the frame the cursor is in.
    void write(FlowContent &content, size_t begin, size_t end, FlowEnd &flow);
    void writeTable(DocTable &table, FlowEnd &flow);
    // A section starts in the body: the cursor leaves the frame of the section before
    // it, if that had columns (balancing its last columns where this one goes on on
    // the same page), and enters a frame of its own if this one has.
    void startSection(const SectionColumns &columns, FlowEnd &flow);
    // The body ends: out of the last section's frame, if any.
    void endSections(FlowEnd &flow);
    qint64 cellsMoved() const { return m_cellsMoved; }

private:
    // Rows fromRow to toRow of the table's grid, its cells first to end, as one QTextTable.
    void writePart(DocTable &table, const TableGrid &grid, const std::vector<std::array<BorderLine, 4>> &edges,
                   size_t first, size_t end, int fromRow, int toRow, FlowEnd &flow);
    // A table no grid can hold: its cells as paragraphs, as a reader without tables shows them.
    void writeFlat(DocTable &table, FlowEnd &flow);
    void makeRoomLeft(qreal left);
    // Whether the cursor is in the page's flow: the root frame or a section's columns,
    // not a table's cell.
    bool inPage() const;
    // Whether the cursor is in a section's frame of columns.
    bool inColumns() const;
    // Out of the frame of a section with columns, if the cursor is in one; true if it was.
    bool leaveColumns(FlowEnd &flow);
    static void markStructural(QTextCursor &cursor);
    // Whether the paragraph opened by op i of content, up to end, holds nothing.
    static bool emptyParagraph(const FlowContent &content, size_t i, size_t end);
    // The character format of the mark of a cell's first paragraph where that
    // paragraph is empty, or -1.
    static int emptyFirstMark(const FlowContent &content, const GridCell &cell);
    // The borders a cell draws: top, left, bottom, right.
    using Edges = std::array<BorderLine, 4>;
    static std::vector<Edges> drawnEdges(const DocTable &table, const TableGrid &grid);
    static QVariantList rowHeights(const DocTable &table, const TableGrid &grid);
    QTextTableCellFormat cellFormat(const DocTable &table, const GridCell &cell, const Edges &edges) const;
    QColor color(int index, const QColor &automatic) const;

    QTextCursor &m_cursor;
    const std::vector<QTextCharFormat> &m_formats;
    const std::vector<QColor> &m_colors;
    qint64 m_cellsMoved = 0;
};
