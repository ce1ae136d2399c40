#include "layout/paragraphlayout.h"

#include "layout/paragraphbox.h"
#include "layout/paragraphlines.h"
#include "layout/textmetrics.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QTextList>

#include <vector>

namespace ParagraphLayout {

namespace {

void drawListMarker(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
                    const QTextBlock &block, QTextList *list)
{
    QTextLayout *tl = block.layout();
    if (tl->lineCount() == 0)
        return;
    const QTextCharFormat charFormat = block.charFormat();
    const QFont font = TextMetrics::laidOutFont(charFormat.font());
    const QFontMetricsF metrics(font);
    const Qt::LayoutDirection dir = block.textDirection();
    const QRectF first = tl->lineAt(0).naturalTextRect();
    QPointF pos = origin + first.topLeft();
    if (dir == Qt::RightToLeft)
        pos.rx() += first.width();
    const int style = list->format().style();
    QString text;
    QSizeF size;
    if (style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle ||
        style == QTextListFormat::ListSquare) {
        size = QSizeF(metrics.lineSpacing() / 3, metrics.lineSpacing() / 3);
    } else {
        text = list->itemText(block);
        size = QSizeF(metrics.horizontalAdvance(text), metrics.height());
    }
    const qreal space = metrics.horizontalAdvance(QLatin1Char(' '));
    QRectF r(pos, size);
    r.translate(dir == Qt::LeftToRight ? -space - size.width() : space, metrics.height() / 2 - size.height() / 2);
    QBrush fg = charFormat.foreground();
    if (fg == Qt::NoBrush)
        fg = context.palette.text();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(fg, 0));
    switch (style) {
    case QTextListFormat::ListDisc:
        painter->setBrush(fg);
        painter->drawEllipse(r);
        break;
    case QTextListFormat::ListCircle:
        painter->drawEllipse(r);
        break;
    case QTextListFormat::ListSquare:
        painter->fillRect(r, fg);
        break;
    default:
        painter->setFont(font);
        painter->drawText(QPointF(r.left(), pos.y() + metrics.ascent()), text);
        break;
    }
    painter->restore();
}

// The paragraph's box, relative to its layout's origin: from its left margin to its
// right one, from its top border to its bottom one, and on over the space to the next
// paragraph when that one shares the box.
QRectF boxRect(const QTextBlock &block, const QTextBlockFormat &format, const QRectF &bounds)
{
    const QTextLayout *tl = block.layout();
    if (tl->lineCount() == 0)
        return bounds;
    const QTextLine first = tl->lineAt(0);
    const QTextLine last = tl->lineAt(tl->lineCount() - 1);
    const bool rtl = block.textDirection() == Qt::RightToLeft;
    const qreal indent = fixed(format.textIndent());
    const qreal left = first.x() - (rtl ? 0 : indent) - ParagraphBox::inset(format, ParagraphBox::Left);
    const qreal right = first.x() + first.width() + (rtl ? indent : 0) + ParagraphBox::inset(format, ParagraphBox::Right);
    const bool bordered = ParagraphBox::hasBorders(format);
    qreal adjustment = 0, height = 0, lineBottom = 0;
    lineHeights(format, last, &adjustment, &height, &lineBottom);
    qreal bottom = qMax(bounds.bottom(), last.y() + adjustment + qMax(height, lineBottom));
    if (bordered) {
        bottom += ParagraphBox::below(block, format);
        const QTextBlock next = block.next();
        if (ParagraphBox::sameBox(block, next) && next.isVisible())
            bottom += gap(format.bottomMargin(), next.blockFormat().topMargin());
    }
    const qreal top = bordered ? qMin(qreal(0), bounds.top()) : bounds.top();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// The runs of the paragraph's lines that stand one below the other, as [first, end)
// line numbers: more than one where the paragraph goes on in another column.
std::vector<std::pair<int, int>> lineRuns(const QTextBlock &block)
{
    const QTextLayout *tl = block.layout();
    std::vector<std::pair<int, int>> runs;
    // A line in the same column as the one before it starts at the same x (the first
    // line's indent aside); one in another column a column's width or more away.
    const qreal indent = block.textDirection() == Qt::RightToLeft ? 0 : fixed(block.blockFormat().textIndent());
    int start = 0;
    for (int i = 1; i < tl->lineCount(); ++i) {
        const qreal x = tl->lineAt(i - 1).x() - (i == 1 ? indent : 0);
        if (qAbs(tl->lineAt(i).x() - x) > 1) {
            runs.emplace_back(start, i);
            start = i;
        }
    }
    if (tl->lineCount() > 0)
        runs.emplace_back(start, tl->lineCount());
    return runs;
}

// Where a selection of [start, end) of the paragraph lies across a line: from the
// edge of its first character on the line to the edge of its last, the whole text of
// the line when it covers it (the paragraph's end counts as a character of its last
// line). False when it does not reach the line.
bool selectionOnLine(const QTextLine &line, bool last, bool rtl, int start, int end, qreal *x0, qreal *x1)
{
    const int from = line.textStart();
    const int to = from + line.textLength();
    if (qMax(start, from) >= qMin(end, to + (last ? 1 : 0)))
        return false;
    const QRectF text = line.naturalTextRect();
    const qreal a = start <= from ? (rtl ? text.right() : text.left()) : cursorX(line, start);
    const qreal b = end >= to ? (rtl ? text.left() : text.right()) : cursorX(line, end);
    *x0 = qMin(a, b);
    *x1 = qMax(a, b);
    return true;
}

// Draws the paragraph's text with its selections, each line's part of a selection as
// high as the line's box: Qt would fill its own line rectangles, which overlap the
// lines around them under word processors' heights. The backgrounds are filled here;
// the text is drawn once, in its own colours outside the selections, in theirs inside.
void drawSelected(QPainter *painter, const QPointF &origin, const QTextBlock &block,
                  const QList<QTextLayout::FormatRange> &selections, const QRectF &clip)
{
    const QTextLayout *tl = block.layout();
    const QPointF offset = origin - tl->position();
    const QTextBlockFormat format = block.blockFormat();
    const bool rtl = block.textDirection() == Qt::RightToLeft;
    TextMetrics::LineBoxes faces(block);
    QPainterPath recoloured;
    const int lines = tl->lineCount();
    for (int i = 0; i < lines; ++i) {
        const QTextLine line = tl->lineAt(i);
        const QRectF qt = line.rect().translated(origin);
        if (clip.isValid() && (qt.bottom() + qt.height() < clip.top() || qt.top() - qt.height() > clip.bottom()))
            continue;
        const QRectF box = wordProcessorBox(faces, format, line).translated(origin);
        for (const QTextLayout::FormatRange &range : selections) {
            qreal x0 = 0, x1 = 0;
            if (!selectionOnLine(line, i + 1 == lines, rtl, range.start, range.start + range.length, &x0, &x1))
                continue;
            const QRectF r(origin.x() + x0, box.top(), x1 - x0, box.height());
            if (range.format.background().style() != Qt::NoBrush)
                painter->fillRect(r, range.format.background());
            if (range.format.foreground().style() != Qt::NoBrush)
                recoloured.addRect(r);
        }
    }
    if (recoloured.isEmpty()) {
        tl->draw(painter, offset, {}, clip);
        return;
    }
    recoloured.setFillRule(Qt::WindingFill);
    const QRectF bounds = tl->boundingRect().translated(origin).adjusted(-1000, -1000, 1000, 1000);
    QPainterPath outside;
    outside.addRect(clip.isValid() ? clip.united(recoloured.boundingRect()) : bounds.united(recoloured.boundingRect()));
    outside = outside.subtracted(recoloured);
    painter->save();
    painter->setClipPath(outside, Qt::IntersectClip);
    tl->draw(painter, offset, {}, clip);
    painter->restore();
    // Inside, the selections' colours, over the backgrounds already there: an empty
    // brush keeps the text's own background from covering them.
    QList<QTextLayout::FormatRange> foreground;
    for (QTextLayout::FormatRange range : selections) {
        range.format.setProperty(QTextFormat::BackgroundBrush, QBrush());
        foreground.append(range);
    }
    painter->save();
    painter->setClipPath(recoloured, Qt::IntersectClip);
    tl->draw(painter, offset, foreground, clip);
    painter->restore();
}

// The caret as high as its line's box, drawn as Qt draws its own: inverting what is
// under it where the paint engine can.
void drawCaret(QPainter *painter, const QPointF &origin, const QTextBlock &block, int at, int width)
{
    const QRectF box = caretBox(block, block.position() + at, width).translated(origin);
    if (box.isEmpty())
        return;
    const QPainter::CompositionMode mode = painter->compositionMode();
    if (painter->paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
        painter->setCompositionMode(QPainter::RasterOp_NotDestination);
    painter->fillRect(box, painter->pen().brush());
    painter->setCompositionMode(mode);
}

} // namespace

void draw(QPainter *painter, const QPointF &origin, const QAbstractTextDocumentLayout::PaintContext &context,
          const QTextBlock &block, int cursorWidth, const QRectF &clip)
{
    // Its line lies under the table: a selection or a caret there would show on the table.
    if (isStructural(block))
        return;
    const QTextLayout *tl = block.layout();
    // QTextLayout draws at offset + its own position; the position may be far away
    // (absolute) while origin is near the painter's origin.
    const QPointF offset = origin - tl->position();
    QRectF r = tl->boundingRect();
    r.translate(origin);
    if (!block.isVisible())
        return;
    const QTextBlockFormat format = block.blockFormat();
    const bool ruler = format.hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth);
    // Shading and borders behind the whole paragraph, as word processors draw them.
    const bool boxed = !ruler && (format.background() != Qt::NoBrush || ParagraphBox::hasBorders(format));
    const QRectF box = boxed ? boxRect(block, format, tl->boundingRect()).translated(origin) : QRectF();
    const QRectF drawn = boxed ? r.united(box) : r;
    if (clip.isValid() && (drawn.bottom() < clip.y() || drawn.top() > clip.bottom()))
        return;
    if (boxed) {
        const bool top = !ParagraphBox::sameBox(block.previous(), block);
        const bool bottom = !ParagraphBox::sameBox(block, block.next());
        const QColor text = context.palette.color(QPalette::Text);
        const std::vector<std::pair<int, int>> runs = lineRuns(block);
        if (runs.size() < 2) {
            ParagraphBox::drawBox(painter, box, format, top, bottom, text);
        } else {
            // Its lines go on in another column: a piece of the box around each run of
            // them, open where the paragraph goes on.
            const std::vector<QRectF> lines = lineBoxes(block);
            const bool rtl = block.textDirection() == Qt::RightToLeft;
            const qreal base = runs[0].second > 1 ? tl->lineAt(1).x()
                                                  : tl->lineAt(0).x() - (rtl ? 0 : fixed(format.textIndent()));
            const qreal below = ParagraphBox::hasBorders(format) ? ParagraphBox::below(block, format) : 0;
            for (size_t k = 0; k < runs.size(); ++k) {
                const QRectF &first = lines[size_t(runs[k].first)];
                const QRectF &last = lines[size_t(runs[k].second - 1)];
                const qreal dx = k == 0 ? 0 : tl->lineAt(runs[k].first).x() - base;
                // The box's top is the first run's own: the layout's bounds reach up to
                // the lines at the top of the next column.
                const qreal y0 = origin.y() + (k == 0 && ParagraphBox::hasBorders(format) ? qMin(qreal(0), first.top())
                                                                                         : first.top());
                const qreal y1 = origin.y() + last.bottom() + (k + 1 == runs.size() ? below : 0);
                const QRectF piece(box.left() + dx, y0, box.width(), y1 - y0);
                ParagraphBox::drawBox(painter, piece, format, top && k == 0, bottom && k + 1 == runs.size(), text);
            }
        }
    }

    QList<QTextLayout::FormatRange> selections;
    bool fullWidth = false; // a line highlighted across the page, which Qt draws
    const int start = block.position();
    const int length = block.length();
    for (const QAbstractTextDocumentLayout::Selection &range : context.selections) {
        const int selStart = range.cursor.selectionStart() - start;
        const int selEnd = range.cursor.selectionEnd() - start;
        if (selStart < length && selEnd > 0 && selEnd > selStart) {
            selections.append({selStart, selEnd - selStart, range.format});
        } else if (!range.cursor.hasSelection() && range.format.hasProperty(QTextFormat::FullWidthSelection) &&
                   block.contains(range.cursor.position())) {
            const QTextLine line = tl->lineForTextPosition(range.cursor.position() - start);
            QTextLayout::FormatRange o{line.textStart(), line.textLength(), range.format};
            if (o.start + o.length == length - 1)
                ++o.length; // the paragraph's end
            selections.append(o);
            fullWidth = true;
        }
    }
    if (QTextList *list = block.textList())
        drawListMarker(painter, origin, context, block, list);

    const QPen oldPen = painter->pen();
    painter->setPen(context.palette.color(QPalette::Text));
    // Under word processors' heights the selections and the caret keep to the lines' boxes.
    const bool boxes = TextMetrics::wordProcessorRules() && !fullWidth;
    if (boxes && !selections.isEmpty())
        drawSelected(painter, origin, block, selections, clip);
    else
        tl->draw(painter, offset, selections, clip);
    ParagraphBox::drawOverText(painter, origin, block, context.palette.color(QPalette::Text), clip);
    const int cursor = context.cursorPosition;
    if ((cursor >= start && cursor < start + length) || (cursor < -1 && !tl->preeditAreaText().isEmpty())) {
        const int at = cursor < -1 ? tl->preeditAreaPosition() - (cursor + 2) : cursor - start;
        if (TextMetrics::wordProcessorRules() && cursor >= 0 && tl->lineCount() > 0)
            drawCaret(painter, origin, block, at, cursorWidth);
        else
            tl->drawCursor(painter, offset, at, cursorWidth);
    }
    if (format.hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth)) {
        const qreal ruler = format.lengthProperty(QTextFormat::BlockTrailingHorizontalRulerWidth).value(r.width());
        const QColor color = format.hasProperty(QTextFormat::BackgroundBrush)
                                 ? qvariant_cast<QBrush>(format.property(QTextFormat::BackgroundBrush)).color()
                                 : context.palette.color(QPalette::Dark);
        painter->setPen(color);
        const qreal y = block.length() == 1 ? r.top() + r.height() / 2 : r.bottom();
        const qreal middle = r.left() + r.width() / 2;
        painter->drawLine(QLineF(middle - ruler / 2, y, middle + ruler / 2, y));
    }
    painter->setPen(oldPen);
}

} // namespace ParagraphLayout
