#include "rtf/rtfwriter.h"

#include "rtf/rtftable.h"

#include <QTextCursor>

RtfWriter::RtfWriter(QTextCursor &cursor, const std::vector<QTextCharFormat> &formats, const std::vector<QColor> &colors)
    : m_cursor(cursor)
    , m_formats(formats)
    , m_colors(colors)
{
}

void RtfWriter::write(RtfContent &content, size_t begin, size_t end, RtfFlow &flow)
{
    for (size_t i = begin; i < end; ++i) {
        const RtfOp &op = content.ops[i];
        switch (op.kind) {
        case RtfOp::Para: {
            const QTextBlockFormat *given = &content.blockFormats[size_t(op.format)];
            QTextBlockFormat inCell;
            const qreal start = given->leftMargin() + given->textIndent();
            if (start < 0) {
                // A first line hanging left of the column: the page's margin holds it,
                // a cell's edge does not.
                if (m_cursor.currentFrame() == m_cursor.document()->rootFrame()) {
                    makeRoomLeft(start);
                } else {
                    inCell = *given;
                    inCell.setTextIndent(-given->leftMargin());
                    given = &inCell;
                }
            }
            const QTextBlockFormat &format = *given;
            if (flow == RtfFlow::AfterParagraph) {
                // Both formats given: asking the cursor for them costs more than the insertion.
                m_cursor.insertBlock(format, op.charFormat >= 0 ? m_formats[size_t(op.charFormat)] : QTextCharFormat());
            } else {
                // The frame's first block, or the one a table leaves after it.
                m_cursor.setBlockFormat(format);
            }
            flow = RtfFlow::AfterParagraph;
            break;
        }
        case RtfOp::Text:
            // A view into the gathered text: the document copies it, nothing else is allocated.
            m_cursor.insertText(QString::fromRawData(content.text.constData() + op.start, op.length),
                                m_formats[size_t(op.format)]);
            break;
        case RtfOp::Image:
            m_cursor.insertImage(content.images[size_t(op.format)]);
            break;
        case RtfOp::Table:
            writeTable(*content.tables[size_t(op.format)], flow);
            break;
        }
    }
}

QColor RtfWriter::color(int index, const QColor &automatic) const
{
    if (index >= 0 && size_t(index) < m_colors.size() && m_colors[size_t(index)].isValid())
        return m_colors[size_t(index)];
    return automatic;
}
