#pragma once

#include "layout/paragraphlayout.h"

#include <QTextTable>

#include <cmath>

// What the table layout and its drawing share: cell edges as Qt sizes them, and
// lengths cut as Qt's fixed-point arithmetic cuts them.
namespace TableLayout {

enum class Edge { Top, Bottom, Left, Right };

QTextFormat::Property styleProperty(Edge e);
QTextFormat::Property widthProperty(Edge e);
QTextFormat::Property brushProperty(Edge e);
QTextFormat::Property paddingProperty(Edge e);

// How Qt sizes a cell's edge: a border set in the cell's format (3 pixels when only
// its style is set); otherwise, with a collapsed grid, 1 pixel, or the table's border
// on the outside when that is wider.
struct EdgeData
{
    qreal width = 0;
    bool explicitly = false;
    QTextTableCell cell; // whose format styles the edge, and which of its edges
    Edge edge = Edge::Top;
};

EdgeData cellEdge(const QTextTable *table, const QTextTableCell &cell, Edge e, bool grid);
// The edge shared by two cells when borders collapse: the wider one.
EdgeData axisEdge(const QTextTable *table, const QTextTableCell &cell, Edge e, bool collapse, bool grid);

inline qreal roundFixed(qreal v)
{
    return std::floor(v + 0.5);
}

// A length divided as Qt divides it, in 64ths of a pixel, the rest cut off.
inline qreal divideFixed(qreal v, int by)
{
    return std::trunc(ParagraphLayout::fixed(v) * 64 / by) / 64;
}

inline qreal halfFixed(qreal v)
{
    return divideFixed(v, 2);
}

} // namespace TableLayout
