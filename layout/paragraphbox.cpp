#include "layout/paragraphbox.h"

#include "base/layoutproperties.h"
#include "layout/paragraphlayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextDocument>
#include <QTextLayout>

#include <cmath>

namespace ParagraphBox {

namespace {

constexpr QTextFormat::Property BorderSides[4] = {LayoutProperty::BorderTop, LayoutProperty::BorderLeft,
                                                  LayoutProperty::BorderBottom, LayoutProperty::BorderRight};

// A leader is drawn only across this much, whatever a document says.
constexpr qreal MaxLeader = 20000;

void drawEdge(QPainter *painter, const QRectF &edge, const Border &b, bool horizontal, const QColor &text)
{
    const QColor color = b.color.isValid() ? b.color : text;
    if (b.style == LayoutProperty::Double) {
        // Two lines with the space of one between them.
        const qreal third = (horizontal ? edge.height() : edge.width()) / 3;
        if (horizontal) {
            painter->fillRect(QRectF(edge.left(), edge.top(), edge.width(), third), color);
            painter->fillRect(QRectF(edge.left(), edge.bottom() - third, edge.width(), third), color);
        } else {
            painter->fillRect(QRectF(edge.left(), edge.top(), third, edge.height()), color);
            painter->fillRect(QRectF(edge.right() - third, edge.top(), third, edge.height()), color);
        }
    } else if (b.style == LayoutProperty::Dotted || b.style == LayoutProperty::Dashed) {
        QPen pen(color, horizontal ? edge.height() : edge.width());
        pen.setStyle(b.style == LayoutProperty::Dotted ? Qt::DotLine : Qt::DashLine);
        pen.setCapStyle(Qt::FlatCap);
        painter->save();
        painter->setPen(pen);
        const QPointF c = edge.center();
        if (horizontal)
            painter->drawLine(QLineF(edge.left(), c.y(), edge.right(), c.y()));
        else
            painter->drawLine(QLineF(c.x(), edge.top(), c.x(), edge.bottom()));
        painter->restore();
    } else {
        painter->fillRect(edge, color);
    }
}

// The font a character of the block is drawn in, and its colour.
QTextCharFormat charFormatAt(const QTextBlock &block, int position)
{
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.position() <= position && position < f.position() + f.length())
            return f.charFormat();
    }
    return block.charFormat();
}

QFont fontOf(const QTextBlock &block, const QTextCharFormat &format)
{
    return format.font().resolve(block.document()->defaultFont());
}

QColor colorOf(const QTextCharFormat &format, const QColor &text)
{
    const QBrush fg = format.foreground();
    return fg.style() == Qt::NoBrush ? text : fg.color();
}

void drawLeader(QPainter *painter, int leader, qreal x0, qreal x1, qreal baseline, const QFont &font,
                const QColor &color)
{
    const QFontMetricsF fm(font);
    const qreal lw = qMax(qreal(1), fm.lineWidth());
    const qreal underline = baseline + qMax(qreal(1), fm.underlinePos());
    switch (leader) {
    case LayoutProperty::Dots:
    case LayoutProperty::Hyphens:
    case LayoutProperty::MiddleDots: {
        const QChar c = leader == LayoutProperty::Dots ? QLatin1Char('.')
                        : leader == LayoutProperty::Hyphens ? QLatin1Char('-') : QChar(0x00B7);
        const qreal w = fm.horizontalAdvance(c);
        if (w <= 0)
            return;
        // As many as the span holds, the last one right before the text after it.
        const int n = int(std::floor((x1 - x0 - w / 2) / w));
        if (n <= 0)
            return;
        painter->save();
        painter->setFont(font);
        painter->setPen(color);
        painter->drawText(QPointF(x1 - n * w, baseline), QString(n, c));
        painter->restore();
        break;
    }
    case LayoutProperty::Underline:
        painter->fillRect(QRectF(x0, underline, x1 - x0, lw), color);
        break;
    case LayoutProperty::ThickLine:
        painter->fillRect(QRectF(x0, underline, x1 - x0, 2 * lw), color);
        break;
    case LayoutProperty::DoubleLine:
        painter->fillRect(QRectF(x0, underline, x1 - x0, lw), color);
        painter->fillRect(QRectF(x0, underline + 2 * lw, x1 - x0, lw), color);
        break;
    default:
        break;
    }
}

// The leader of the stop a tab starting at x (from the line's start) goes to: the
// first stop beyond x, as Qt's layout takes it.
int leaderAfter(const QTextBlockFormat &format, const QVariantList &leaders, qreal x)
{
    for (const QTextOption::Tab &t : format.tabPositions()) {
        if (t.position <= x + 0.01)
            continue;
        for (qsizetype i = 0; i + 1 < leaders.size(); i += 2) {
            if (qAbs(leaders.at(i).toReal() - t.position) < 0.01)
                return leaders.at(i + 1).toInt();
        }
        return LayoutProperty::NoLeader;
    }
    return LayoutProperty::NoLeader;
}

} // namespace

Border borderOf(const QTextBlockFormat &format, Side side)
{
    const QVariantList v = format.property(BorderSides[side]).toList();
    if (v.size() < 4)
        return {};
    using ParagraphLayout::fixed;
    return {v.at(0).toInt(), fixed(qBound(0.0, v.at(1).toReal(), 100.0)), v.at(2).value<QColor>(),
            fixed(qBound(0.0, v.at(3).toReal(), 100.0))};
}

bool hasBorders(const QTextBlockFormat &format)
{
    for (const QTextFormat::Property p : BorderSides) {
        if (format.hasProperty(p))
            return true;
    }
    return false;
}

bool sameBox(const QTextBlock &a, const QTextBlock &b)
{
    if (!a.isValid() || !b.isValid())
        return false;
    const QTextBlockFormat fa = a.blockFormat(), fb = b.blockFormat();
    for (const QTextFormat::Property p : BorderSides) {
        if (fa.property(p) != fb.property(p))
            return false;
    }
    if (fa.leftMargin() != fb.leftMargin() || fa.rightMargin() != fb.rightMargin())
        return false;
    const QTextDocument *doc = a.document();
    return doc->frameAt(a.position()) == doc->frameAt(b.position());
}

qreal above(const QTextBlock &block, const QTextBlockFormat &format)
{
    const Border b = borderOf(format, Top);
    return b.style && !sameBox(block.previous(), block) ? b.width + b.space : 0;
}

qreal below(const QTextBlock &block, const QTextBlockFormat &format)
{
    const Border b = borderOf(format, Bottom);
    return b.style && !sameBox(block, block.next()) ? b.width + b.space : 0;
}

qreal inset(const QTextBlockFormat &format, Side side)
{
    const Border b = borderOf(format, side);
    return b.style ? b.width + b.space : 0;
}

void drawBox(QPainter *painter, const QRectF &box, const QTextBlockFormat &format, bool top, bool bottom,
             const QColor &text)
{
    if (!box.isValid())
        return;
    const QBrush background = format.background();
    if (background != Qt::NoBrush)
        painter->fillRect(box, background);
    const Border t = borderOf(format, Top), l = borderOf(format, Left), b = borderOf(format, Bottom),
                 r = borderOf(format, Right);
    if (t.style && top)
        drawEdge(painter, QRectF(box.left(), box.top(), box.width(), t.width), t, true, text);
    if (b.style && bottom)
        drawEdge(painter, QRectF(box.left(), box.bottom() - b.width, box.width(), b.width), b, true, text);
    if (l.style)
        drawEdge(painter, QRectF(box.left(), box.top(), l.width, box.height()), l, false, text);
    if (r.style)
        drawEdge(painter, QRectF(box.right() - r.width, box.top(), r.width, box.height()), r, false, text);
}

void drawOverText(QPainter *painter, const QPointF &offset, const QTextBlock &block, const QColor &text,
                  const QRectF &clip)
{
    const QTextLayout *tl = block.layout();
    const QTextBlockFormat format = block.blockFormat();
    const QVariantList leaders = format.property(LayoutProperty::TabLeaders).toList();
    const QString s = block.text();
    const bool doubled = [&] {
        for (const QTextLayout::FormatRange &r : block.textFormats()) {
            if (r.format.boolProperty(LayoutProperty::DoubleUnderline))
                return true;
        }
        return false;
    }();
    if ((leaders.isEmpty() || block.textDirection() == Qt::RightToLeft) && !doubled)
        return;
    const QList<QTextLayout::FormatRange> formats = doubled ? block.textFormats() : QList<QTextLayout::FormatRange>();
    for (int i = 0; i < tl->lineCount(); ++i) {
        const QTextLine line = tl->lineAt(i);
        const QRectF rect = line.rect().translated(offset);
        if (clip.isValid() && (rect.bottom() < clip.top() || rect.top() > clip.bottom()))
            continue;
        const int start = line.textStart(), end = start + line.textLength();
        const qreal baseline = offset.y() + line.y() + line.ascent();
        if (!leaders.isEmpty() && block.textDirection() != Qt::RightToLeft) {
            for (int at = start; at < end; ++at) {
                if (s.at(at) != QLatin1Char('\t'))
                    continue;
                const qreal x0 = ParagraphLayout::cursorX(line, at), x1 = ParagraphLayout::cursorX(line, at + 1);
                const int leader = leaderAfter(format, leaders, x0 - line.x());
                if (leader == LayoutProperty::NoLeader || x1 - x0 < 1 || x1 - x0 > MaxLeader)
                    continue;
                const QTextCharFormat f = charFormatAt(block, block.position() + at);
                drawLeader(painter, leader, offset.x() + x0, offset.x() + x1, baseline, fontOf(block, f),
                           colorOf(f, text));
            }
        }
        for (const QTextLayout::FormatRange &r : formats) {
            if (!r.format.boolProperty(LayoutProperty::DoubleUnderline))
                continue;
            const int from = qMax(start, r.start), to = qMin(end, r.start + r.length);
            if (from >= to)
                continue;
            // The second line below the one Qt draws, one line's width apart.
            const QFontMetricsF fm(fontOf(block, r.format));
            const qreal lw = qMax(qreal(1), fm.lineWidth());
            const qreal x0 = ParagraphLayout::cursorX(line, from), x1 = ParagraphLayout::cursorX(line, to);
            const QColor color = r.format.underlineColor().isValid() ? r.format.underlineColor() : colorOf(r.format, text);
            painter->fillRect(QRectF(offset.x() + qMin(x0, x1), baseline + qMax(qreal(1), fm.underlinePos()) + 2 * lw,
                                     qAbs(x1 - x0), lw),
                              color);
        }
    }
}

} // namespace ParagraphBox
