#include "model/content.h"

#include "model/table.h"

FlowContent::FlowContent() = default;
FlowContent::~FlowContent() = default;
FlowContent::FlowContent(FlowContent &&) noexcept = default;
FlowContent &FlowContent::operator=(FlowContent &&) noexcept = default;

void FlowContent::append(FlowContent &other, size_t begin, size_t end)
{
    for (size_t i = begin; i < end; ++i) {
        FlowOp op = other.ops[i];
        switch (op.kind) {
        case FlowOp::Para:
            if (op.format < 0)
                break; // a paragraph still being read: its format comes at its end
            blockFormats.push_back(other.blockFormats[size_t(op.format)]);
            op.format = int(blockFormats.size()) - 1;
            break;
        case FlowOp::Text: {
            const qsizetype start = text.size();
            text.append(QStringView(other.text).mid(op.start, op.length));
            op.start = start;
            break;
        }
        case FlowOp::Image:
            images.push_back(other.images[size_t(op.format)]);
            op.format = int(images.size()) - 1;
            break;
        case FlowOp::Table:
            tables.push_back(std::move(other.tables[size_t(op.format)]));
            op.format = int(tables.size()) - 1;
            break;
        case FlowOp::Section:
            sections.push_back(other.sections[size_t(op.format)]);
            op.format = int(sections.size()) - 1;
            break;
        }
        ops.push_back(op);
    }
}

bool FlowContent::blank(size_t begin, size_t end) const
{
    for (size_t i = begin; i < end; ++i) {
        if (ops[i].kind != FlowOp::Para && ops[i].kind != FlowOp::Section)
            return false;
    }
    return true;
}

void FlowContent::clear()
{
    text.resize(0); // unlike clear(), keeps the buffer
    ops.clear();
    blockFormats.clear();
    images.clear();
    tables.clear();
    sections.clear();
}
