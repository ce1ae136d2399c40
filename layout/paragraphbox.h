#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QTextBlock>
#include <QTextFormat>

class QPainter;

// What word processors draw around and along a paragraph that Qt's text layout does
// not: the box of its borders and shading, the leaders across its tabs, the second
// line of a doubled underline.
namespace ParagraphBox {

// A paragraph's border on one side, as the producer set it.
struct Border
{
    int style = 0; // LayoutProperty::BorderStyle, 0 for none
    qreal width = 0;
    QColor color;
    qreal space = 0; // from the text
};

enum Side { Top, Left, Bottom, Right };

Border borderOf(const QTextBlockFormat &format, Side side);
bool hasBorders(const QTextBlockFormat &format);

// Paragraphs one after another with the same borders and indents share one box: no
// border between them.
bool sameBox(const QTextBlock &a, const QTextBlock &b);

// What the box takes above and below the paragraph's lines: its border and the
// border's distance from the text, where the box starts or ends.
qreal above(const QTextBlock &block, const QTextBlockFormat &format);
qreal below(const QTextBlock &block, const QTextBlockFormat &format);
// How far the lines stand in from the paragraph's margins for its side borders.
qreal inset(const QTextBlockFormat &format, Side side);

// Shading and borders of the box, under the text; box is in painter coordinates.
// top and bottom say whether the box starts and ends at this paragraph.
void drawBox(QPainter *painter, const QRectF &box, const QTextBlockFormat &format, bool top, bool bottom,
             const QColor &text);

// Leaders across the tabs that end at a stop with one, and the second line of doubled
// underlines, over the text; offset is where the layout's origin is drawn.
void drawOverText(QPainter *painter, const QPointF &offset, const QTextBlock &block, const QColor &text,
                  const QRectF &clip);

} // namespace ParagraphBox
