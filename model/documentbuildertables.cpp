#include "model/documentbuilder.h"
#include "model/limits.h"

#include <limits>

// The builder's table levels: the paragraphs of a cell gather at the level their
// paragraph properties name, rows gather into tables, and a table goes into the cell
// around it, or into the document, once the text leaves it.

int DocumentBuilder::clampLevel(int level) const
{
    return qBound(0, level, TableLimits::MaxNesting);
}

void DocumentBuilder::openLevel()
{
    Level level;
    level.table = std::make_unique<DocTable>();
    level.table->gridRule = tableGridRule;
    m_levels.push_back(std::move(level));
}

int DocumentBuilder::place(int level)
{
    level = clampLevel(level);
    closeLevels(level);
    if (level == 0) {
        if (sectionChanges()) {
            // In front of the paragraph just read.
            m_body.sections.push_back(m_bodyColumns);
            m_body.ops.insert(m_body.ops.begin() + qsizetype(m_paraOp), FlowOp{FlowOp::Section, int(m_body.sections.size()) - 1});
        }
        if (m_body.text.size() >= 16384 || m_body.ops.size() >= 1024)
            runBatch();
        return 0;
    }
    if (m_levels.empty()) {
        // A table starts: the body's paragraphs before it go in first. While tables
        // are open the body holds nothing but the paragraph being read.
        if (roomFor(m_body, 0, m_paraOp, 0))
            m_writer.write(m_body, 0, m_paraOp, m_bodyFlow);
        if (sectionChanges() && !m_outOfMemory)
            m_writer.startSection(m_bodyColumns, m_bodyFlow);
    }
    // A cell may start with a nested table, so a paragraph can open several levels
    // at once (and \itap may skip some: those levels get no row of their own and
    // their content stays in the cell around them).
    while (int(m_levels.size()) < level)
        openLevel();
    m_levels[size_t(level) - 1].table->content.append(m_body, m_paraOp, m_body.ops.size());
    m_body.clear();
    m_runStart = 0;
    m_paraOp = 0;
    return level;
}

void DocumentBuilder::cellEnd(const ParaState &para, int level)
{
    completeParagraph(para);
    level = place(qMax(1, level));
    Level &l = m_levels[size_t(level) - 1];
    const size_t end = l.table->content.ops.size();
    l.rowCells.push_back(TableCell{l.cellBegin, end});
    l.cellBegin = end;
}

void DocumentBuilder::rowEnd(int level, const RowDef *def)
{
    if (m_levels.empty())
        return; // no cell: nothing to end
    level = qBound(1, level, int(m_levels.size()));
    closeLevels(level);
    Level &l = m_levels[size_t(level) - 1];
    FlowContent &content = l.table->content;
    if (l.cellBegin < content.ops.size()) {
        // What stands between the last cell and the row's end is a cell of its own.
        l.rowCells.push_back(TableCell{l.cellBegin, content.ops.size()});
        l.cellBegin = content.ops.size();
    }
    if (l.rowCells.empty())
        return;

    // A table is gathered whole and written as one: the document must have the memory
    // for what is gathered so far.
    const qint64 cells = l.table->cellCount + qint64(l.rowCells.size());
    if (!m_headroom.allows(MemoryHeadroom::documentBytes(m_written, m_blocks + cells, m_runs + qint64(content.ops.size())))) {
        m_outOfMemory = true;
        return;
    }
    l.table->addRow(std::move(l.rowCells), def);
    l.rowCells.clear();
}

void DocumentBuilder::emitTable(std::unique_ptr<DocTable> table, int level)
{
    if (m_outOfMemory)
        return;
    if (level == 0) {
        if (roomFor(table->content, 0, table->content.ops.size(), table->cellCount))
            m_writer.writeTable(*table, m_bodyFlow);
        return;
    }
    FlowContent &into = m_levels[size_t(level) - 1].table->content;
    into.tables.push_back(std::move(table));
    into.ops.push_back(FlowOp{FlowOp::Table, int(into.tables.size()) - 1});
}

void DocumentBuilder::emitFlat(DocTable &table, size_t begin, int level)
{
    if (m_outOfMemory)
        return;
    if (level == 0) {
        if (roomFor(table.content, begin, table.content.ops.size(), 0))
            m_writer.write(table.content, begin, table.content.ops.size(), m_bodyFlow);
    } else {
        m_levels[size_t(level) - 1].table->content.append(table.content, begin, table.content.ops.size());
    }
}

void DocumentBuilder::closeLevels(int level)
{
    while (int(m_levels.size()) > level) {
        Level l = std::move(m_levels.back());
        m_levels.pop_back();
        const int parent = int(m_levels.size());
        DocTable *table = l.table.get();
        // A row without its end (\row missing) is no row: its cells stay paragraphs.
        const size_t partial = l.rowCells.empty() ? l.cellBegin : l.rowCells.front().begin;
        if (!table->rows.empty()) {
            if (parent == 0) {
                if (roomFor(table->content, 0, table->content.ops.size(), table->cellCount))
                    m_writer.writeTable(*table, m_bodyFlow);
            } else {
                emitTable(std::move(l.table), parent); // the parent's content owns it now
            }
        }
        emitFlat(*table, partial, parent);
    }
}

void DocumentBuilder::beginTextBox(int anchorLevel)
{
    flushText();
    Suspended waiting;
    if (m_paraOpen) {
        waiting.open = true;
        waiting.hasContent = m_paraHasContent;
        waiting.content.append(m_body, m_paraOp, m_body.ops.size());
        m_body.ops.resize(m_paraOp);
        m_paraOpen = false;
    }
    m_suspended.push_back(std::move(waiting));
    // Deeper tables end before the paragraph that anchors the box, as they would at
    // its end: the box must not join one of their rows.
    closeLevels(clampLevel(anchorLevel));
}

void DocumentBuilder::addPictureAbove(const CharState &state, const QImage &image, qreal width, qreal height,
                                      bool placeholder, const ParaState &para, int anchorLevel, qint64 widthTwips,
                                      int left, unsigned char alignment)
{
    beginTextBox(anchorLevel);
    addImage(state, image, width, height, placeholder);
    // Fifteen twips to a pixel at 96 dots an inch.
    const qint64 twips = widthTwips > 0 ? widthTwips : qint64(width * 15);
    endTextBox(para, anchorLevel + 1, anchorLevel, int(qBound(qint64(1), twips, qint64(std::numeric_limits<int>::max()))), left,
               alignment, false);
}

void DocumentBuilder::endTextBox(const ParaState &para, int level, int anchorLevel, int width, int left,
                                 unsigned char alignment, bool framed)
{
    anchorLevel = clampLevel(anchorLevel);
    const int boxLevel = clampLevel(anchorLevel + 1);
    if (m_paraOpen && !paragraphEmpty()) {
        completeParagraph(para);
        place(level);
    } else if (m_paraOpen) {
        m_body.ops.resize(m_paraOp); // no empty paragraph after the box's last mark
        m_paraOpen = false;
    }
    if (boxLevel > anchorLevel && int(m_levels.size()) >= boxLevel) {
        closeLevels(boxLevel);
        Level &l = m_levels[size_t(boxLevel) - 1];
        if (l.table->rows.empty() && l.cellBegin < l.table->content.ops.size()) {
            // The box's content is the one cell of a bordered row of its width.
            RowDef def;
            CellDef cell;
            cell.right = width > 0 ? width : TableLimits::TextBoxWidth;
            for (BorderLine &b : cell.borders) {
                b.given = true;
                b.style = framed ? BorderLine::Single : BorderLine::None;
            }
            def.padding[CellDef::Top] = def.padding[CellDef::Bottom] = framed ? 72 : 0;
            def.padding[CellDef::Left] = def.padding[CellDef::Right] = framed ? 144 : 0;
            // A row's left is where its text starts: the box's frame stands at left.
            if (left > 0) {
                def.left = qBound(0, left, ModelLimits::MaxTwips) + def.padding[CellDef::Left];
                cell.right += def.left;
            }
            def.alignment = alignment <= 2 ? alignment : 0;
            def.cells.push_back(cell);
            l.table->textBox = true;
            rowEnd(boxLevel, &def);
        }
        closeLevels(anchorLevel);
    }
    if (m_suspended.empty())
        return;
    Suspended waiting = std::move(m_suspended.back());
    m_suspended.pop_back();
    if (waiting.open) {
        flushText();
        m_paraOp = m_body.ops.size();
        m_body.append(waiting.content, 0, waiting.content.ops.size());
        m_runStart = m_body.text.size();
        m_paraOpen = true;
        m_paraHasContent = waiting.hasContent;
    }
}
