#include "rtf/rtfcontent.h"

#include "rtf/rtftable.h"

RtfContent::RtfContent() = default;
RtfContent::~RtfContent() = default;
RtfContent::RtfContent(RtfContent &&) noexcept = default;
RtfContent &RtfContent::operator=(RtfContent &&) noexcept = default;

void RtfContent::append(RtfContent &other, size_t begin, size_t end)
{
    for (size_t i = begin; i < end; ++i) {
        RtfOp op = other.ops[i];
        switch (op.kind) {
        case RtfOp::Para:
            if (op.format < 0)
                break; // a paragraph still being read: its format comes at its end
            blockFormats.push_back(other.blockFormats[size_t(op.format)]);
            op.format = int(blockFormats.size()) - 1;
            break;
        case RtfOp::Text: {
            const qsizetype start = text.size();
            text.append(QStringView(other.text).mid(op.start, op.length));
            op.start = start;
            break;
        }
        case RtfOp::Image:
            images.push_back(other.images[size_t(op.format)]);
            op.format = int(images.size()) - 1;
            break;
        case RtfOp::Table:
            tables.push_back(std::move(other.tables[size_t(op.format)]));
            op.format = int(tables.size()) - 1;
            break;
        case RtfOp::Section:
            sections.push_back(other.sections[size_t(op.format)]);
            op.format = int(sections.size()) - 1;
            break;
        }
        ops.push_back(op);
    }
}

bool RtfContent::blank(size_t begin, size_t end) const
{
    for (size_t i = begin; i < end; ++i) {
        if (ops[i].kind != RtfOp::Para && ops[i].kind != RtfOp::Section)
            return false;
    }
    return true;
}

void RtfContent::clear()
{
    text.resize(0); // unlike clear(), keeps the buffer
    ops.clear();
    blockFormats.clear();
    images.clear();
    tables.clear();
    sections.clear();
}
