#pragma once

#include "rtf/rtfcontent.h"
#include "rtf/rtftable.h"

#include <QColor>
#include <QTextCharFormat>
#include <QVariantList>

#include <array>
#include <vector>

class QTextCursor;
class QTextTableCellFormat;

// Writes gathered content into the document at a cursor: paragraphs, runs, images,
// and tables, which go in whole, each cell filled in document order.
class RtfWriter final
{
public:
    RtfWriter(QTextCursor &cursor, const std::vector<QTextCharFormat> &formats, const std::vector<QColor> &colors);

    // Ops [begin, end) of content, continuing the flow of the frame the cursor is in.
    void write(RtfContent &content, size_t begin, size_t end, RtfFlow &flow);
    void writeTable(RtfTable &table, RtfFlow &flow);
    // A section starts in the body: the cursor leaves the frame of the section before
    // it, if that had columns (balancing its last columns where this one goes on on
    // the same page), and enters a frame of its own if this one has.
    void startSection(const RtfColumns &columns, RtfFlow &flow);
    // The body ends: out of the last section's frame, if any.
    void endSections(RtfFlow &flow);
    qint64 cellsMoved() const { return m_cellsMoved; }

private:
    // Rows fromRow to toRow of the table's grid, its cells first to end, as one QTextTable.
    void writePart(RtfTable &table, const RtfGrid &grid, const std::vector<std::array<RtfBorder, 4>> &edges,
                   size_t first, size_t end, int fromRow, int toRow, RtfFlow &flow);
    // A table no grid can hold: its cells as paragraphs, as a reader without tables shows them.
    void writeFlat(RtfTable &table, RtfFlow &flow);
    void makeRoomLeft(qreal left);
    // Whether the cursor is in the page's flow: the root frame or a section's columns,
    // not a table's cell.
    bool inPage() const;
    // Whether the cursor is in a section's frame of columns.
    bool inColumns() const;
    // Out of the frame of a section with columns, if the cursor is in one; true if it was.
    bool leaveColumns(RtfFlow &flow);
    static void markStructural(QTextCursor &cursor);
    // The borders a cell draws: top, left, bottom, right.
    using Edges = std::array<RtfBorder, 4>;
    static std::vector<Edges> drawnEdges(const RtfTable &table, const RtfGrid &grid);
    static QVariantList rowHeights(const RtfTable &table, const RtfGrid &grid);
    QTextTableCellFormat cellFormat(const RtfTable &table, const RtfGridCell &cell, const Edges &edges) const;
    QColor color(int index, const QColor &automatic) const;

    QTextCursor &m_cursor;
    const std::vector<QTextCharFormat> &m_formats;
    const std::vector<QColor> &m_colors;
    qint64 m_cellsMoved = 0;
};
