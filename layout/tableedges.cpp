#include "layout/tableedges.h"

namespace TableLayout {

QTextFormat::Property styleProperty(Edge e)
{
    switch (e) {
    case Edge::Top: return QTextFormat::TableCellTopBorderStyle;
    case Edge::Bottom: return QTextFormat::TableCellBottomBorderStyle;
    case Edge::Left: return QTextFormat::TableCellLeftBorderStyle;
    case Edge::Right: break;
    }
    return QTextFormat::TableCellRightBorderStyle;
}

QTextFormat::Property widthProperty(Edge e)
{
    switch (e) {
    case Edge::Top: return QTextFormat::TableCellTopBorder;
    case Edge::Bottom: return QTextFormat::TableCellBottomBorder;
    case Edge::Left: return QTextFormat::TableCellLeftBorder;
    case Edge::Right: break;
    }
    return QTextFormat::TableCellRightBorder;
}

QTextFormat::Property brushProperty(Edge e)
{
    switch (e) {
    case Edge::Top: return QTextFormat::TableCellTopBorderBrush;
    case Edge::Bottom: return QTextFormat::TableCellBottomBorderBrush;
    case Edge::Left: return QTextFormat::TableCellLeftBorderBrush;
    case Edge::Right: break;
    }
    return QTextFormat::TableCellRightBorderBrush;
}

QTextFormat::Property paddingProperty(Edge e)
{
    switch (e) {
    case Edge::Top: return QTextFormat::TableCellTopPadding;
    case Edge::Bottom: return QTextFormat::TableCellBottomPadding;
    case Edge::Left: return QTextFormat::TableCellLeftPadding;
    case Edge::Right: break;
    }
    return QTextFormat::TableCellRightPadding;
}

namespace {

Edge opposite(Edge e)
{
    switch (e) {
    case Edge::Top: return Edge::Bottom;
    case Edge::Bottom: return Edge::Top;
    case Edge::Left: return Edge::Right;
    case Edge::Right: break;
    }
    return Edge::Left;
}

QTextTableCell adjacent(const QTextTable *table, const QTextTableCell &cell, Edge e)
{
    switch (e) {
    case Edge::Top: return table->cellAt(cell.row() - 1, cell.column());
    case Edge::Bottom: return table->cellAt(cell.row() + cell.rowSpan(), cell.column());
    case Edge::Left: return table->cellAt(cell.row(), cell.column() - 1);
    case Edge::Right: break;
    }
    return table->cellAt(cell.row(), cell.column() + cell.columnSpan());
}

} // namespace

EdgeData cellEdge(const QTextTable *table, const QTextTableCell &cell, Edge e, bool grid)
{
    EdgeData d;
    d.cell = cell;
    d.edge = e;
    if (!cell.isValid())
        return d;
    const QTextTableCellFormat f = cell.format().toTableCellFormat();
    if (f.hasProperty(styleProperty(e))) {
        d.width = f.hasProperty(widthProperty(e)) ? f.doubleProperty(widthProperty(e)) : 3;
        d.explicitly = true;
    } else if (grid) {
        const bool outermost = (e == Edge::Left && cell.column() == 0) || (e == Edge::Top && cell.row() == 0) ||
                               (e == Edge::Right && cell.column() + cell.columnSpan() >= table->columns()) ||
                               (e == Edge::Bottom && cell.row() + cell.rowSpan() >= table->rows());
        const qreal border = table->format().border();
        d.width = outermost && border > 1 ? border : 1;
    }
    return d;
}

EdgeData axisEdge(const QTextTable *table, const QTextTableCell &cell, Edge e, bool collapse, bool grid)
{
    EdgeData d = cellEdge(table, cell, e, grid);
    if (!collapse)
        return d;
    const EdgeData other = cellEdge(table, adjacent(table, cell, e), opposite(e), grid);
    return other.width > d.width ? other : d;
}

} // namespace TableLayout
