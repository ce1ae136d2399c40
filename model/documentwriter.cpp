#include "model/documentwriter.h"

#include "base/layoutproperties.h"
#include "base/textmarks.h"
#include "model/table.h"

#include <QTextCursor>
#include <QTextFrame>

DocumentWriter::DocumentWriter(QTextCursor &cursor, const std::vector<QTextCharFormat> &formats, const std::vector<QColor> &colors)
    : m_cursor(cursor)
    , m_formats(formats)
    , m_colors(colors)
{
}

void DocumentWriter::write(FlowContent &content, size_t begin, size_t end, FlowEnd &flow)
{
    for (size_t i = begin; i < end; ++i) {
        const FlowOp &op = content.ops[i];
        switch (op.kind) {
        case FlowOp::Para: {
            const QTextBlockFormat *given = &content.blockFormats[size_t(op.format)];
            QTextBlockFormat inCell;
            const qreal start = given->leftMargin() + given->textIndent();
            if (start < 0) {
                // A first line hanging left of the column: the page's margin holds it,
                // a cell's edge does not.
                if (inPage()) {
                    makeRoomLeft(start);
                } else {
                    inCell = *given;
                    inCell.setTextIndent(-given->leftMargin());
                    given = &inCell;
                }
            }
            const QTextBlockFormat &format = *given;
            if (flow == FlowEnd::AfterParagraph) {
                // Both formats given: asking the cursor for them costs more than the insertion.
                m_cursor.insertBlock(format, op.charFormat >= 0 ? m_formats[size_t(op.charFormat)] : QTextCharFormat());
            } else {
                // The frame's first block, or the one a table leaves after it; that one,
                // left empty, is as high as its own character format. (A cell's empty
                // first block has its mark's font from the cell's format: see
                // writePart.)
                m_cursor.setBlockFormat(format);
                if (emptyParagraph(content, i, end) && flow == FlowEnd::AfterTable && op.charFormat >= 0)
                    m_cursor.setBlockCharFormat(m_formats[size_t(op.charFormat)]);
            }
            flow = FlowEnd::AfterParagraph;
            break;
        }
        case FlowOp::Text:
            // A view into the gathered text: the document copies it, nothing else is allocated.
            m_cursor.insertText(QString::fromRawData(content.text.constData() + op.start, op.length),
                                m_formats[size_t(op.format)]);
            break;
        case FlowOp::Image:
            m_cursor.insertImage(content.images[size_t(op.format)]);
            break;
        case FlowOp::Table:
            writeTable(*content.tables[size_t(op.format)], flow);
            break;
        case FlowOp::Section:
            startSection(content.sections[size_t(op.format)], flow);
            break;
        }
    }
}

bool DocumentWriter::emptyParagraph(const FlowContent &content, size_t i, size_t end)
{
    return i + 1 == end || content.ops[i + 1].kind == FlowOp::Para || content.ops[i + 1].kind == FlowOp::Table;
}

bool DocumentWriter::inColumns() const
{
    const QTextFrame *frame = m_cursor.currentFrame();
    return frame != m_cursor.document()->rootFrame() && frame->frameFormat().hasProperty(LayoutProperty::ColumnCount);
}

bool DocumentWriter::inPage() const
{
    return m_cursor.currentFrame() == m_cursor.document()->rootFrame() || inColumns();
}

void DocumentWriter::markStructural(QTextCursor &cursor)
{
    QTextBlockFormat format;
    format.setProperty(TextMarks::Structural, true);
    cursor.setBlockFormat(format);
}

bool DocumentWriter::leaveColumns(FlowEnd &flow)
{
    if (!inColumns())
        return false;
    // The block after the frame is free, as after a table.
    m_cursor.setPosition(m_cursor.currentFrame()->lastPosition() + 1);
    flow = FlowEnd::AfterTable;
    return true;
}

void DocumentWriter::startSection(const SectionColumns &columns, FlowEnd &flow)
{
    QTextFrame *before = m_cursor.currentFrame();
    if (leaveColumns(flow) && columns.continuous) {
        // The section goes on on the page of the one before: that one's columns end
        // balanced above it.
        QTextFrameFormat format = before->frameFormat();
        format.setProperty(LayoutProperty::ColumnsBalanced, true);
        before->setFrameFormat(format);
    }
    if (columns.count < 2)
        return;
    // The frame's start ends the block the cursor is in; where no paragraph stands
    // there, that block is one only the frame needs (as in front of a table).
    if (flow != FlowEnd::AfterParagraph)
        markStructural(m_cursor);
    QTextFrameFormat format;
    format.setMargin(0);
    format.setBorder(0);
    format.setPadding(0);
    format.setProperty(LayoutProperty::ColumnCount, columns.count);
    format.setProperty(LayoutProperty::ColumnGap, columns.gap);
    format.setProperty(LayoutProperty::ColumnHeight, columns.height);
    format.setProperty(LayoutProperty::ColumnRule, columns.rule);
    m_cursor.insertFrame(format);
    flow = FlowEnd::Empty;
}

void DocumentWriter::endSections(FlowEnd &flow)
{
    // Nothing follows the last section's frame: the block Qt keeps after it is no
    // paragraph of the document.
    if (leaveColumns(flow))
        markStructural(m_cursor);
}

QColor DocumentWriter::color(int index, const QColor &automatic) const
{
    if (index >= 0 && size_t(index) < m_colors.size() && m_colors[size_t(index)].isValid())
        return m_colors[size_t(index)];
    return automatic;
}
