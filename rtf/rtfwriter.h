#pragma once

#include "rtf/rtfcontent.h"

#include <QColor>
#include <QTextCharFormat>

#include <vector>

class QTextCursor;
class QTextTableCellFormat;
struct RtfGrid;
struct RtfGridCell;
struct RtfTable;

// Writes gathered content into the document at a cursor: paragraphs, runs, images,
// and tables, which go in whole, each cell filled in document order.
class RtfWriter final
{
public:
    RtfWriter(QTextCursor &cursor, const std::vector<QTextCharFormat> &formats, const std::vector<QColor> &colors);

    // Ops [begin, end) of content, continuing the flow of the frame the cursor is in.
    void write(RtfContent &content, size_t begin, size_t end, RtfFlow &flow);
    void writeTable(RtfTable &table, RtfFlow &flow);

private:
    // A table no grid can hold: its cells as paragraphs, as a reader without tables shows them.
    void writeFlat(RtfTable &table, RtfFlow &flow);
    QTextTableCellFormat cellFormat(const RtfTable &table, const RtfGrid &grid, const RtfGridCell &cell) const;
    QColor color(int index, const QColor &automatic) const;

    QTextCursor &m_cursor;
    const std::vector<QTextCharFormat> &m_formats;
    const std::vector<QColor> &m_colors;
};
