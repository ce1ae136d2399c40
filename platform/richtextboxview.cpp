// How the editor shows its document: the boxes the caret and the selection stand
// in, the text control's requests to show and to paint a part of the document, and
// the view that holds its text, or the document's end, while heights above change.
#include "platform/richtextbox.h"

#include "layout/documentlayout.h"
#include "layout/paragraphlayout.h"

#include <QAbstractTextDocumentLayout>
#include <QMetaMethod>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <cmath>

QRectF RichTextBox::lineBoxAt(int position) const
{
    DocumentLayout *layout = documentLayout();
    const QTextBlock block = document()->findBlock(position);
    if (!layout || !block.isValid())
        return QRectF();
    const QRectF bounds = layout->blockBoundingRect(block); // lays the paragraph out when it is not
    if (!block.layout() || block.layout()->lineCount() == 0)
        return QRectF();
    return ParagraphLayout::caretBox(block, position, cursorWidth()).translated(bounds.topLeft());
}

QRectF RichTextBox::caretRect() const
{
    const QRectF box = lineBoxAt(textCursor().position());
    if (box.isNull())
        return QRectF();
    return box.translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
}

QVariant RichTextBox::inputMethodQuery(Qt::InputMethodQuery query) const
{
    QVariant value = QTextEdit::inputMethodQuery(query);
    if (query == Qt::ImCursorRectangle && value.userType() == QMetaType::QRectF) {
        const QRectF caret = caretRect();
        if (caret.isValid()) {
            QRectF r = value.toRectF();
            r.setTop(caret.top());
            r.setBottom(caret.bottom());
            value = r;
        }
    }
    return value;
}

void RichTextBox::showPart(const QRectF &rect)
{
    // The control asks for the caret's rectangle: Qt's line rectangle at its place.
    QRectF r = rect;
    const QTextCursor cursor = textCursor();
    const QTextBlock block = cursor.block();
    if (DocumentLayout *layout = documentLayout(); layout && block.isValid()) {
        const QRectF bounds = layout->blockBoundingRect(block);
        const QTextLine line = block.layout()->lineForTextPosition(cursor.position() - block.position());
        constexpr qreal Near = 1.0 / 64;
        if (line.isValid() && qAbs(bounds.top() + line.y() - r.top()) < Near && qAbs(line.height() - r.height()) < Near) {
            const QRectF box = lineBoxAt(cursor.position());
            if (box.isValid()) {
                // On the document's first line, the view shows the page from its top.
                const bool first = block == document()->firstBlock() && line.lineNumber() == 0;
                r.setTop(first ? 0 : box.top());
                r.setBottom(box.bottom());
                // Scrolled here to the fraction of a pixel: the control would round the
                // box to whole pixels and leave a part of it out.
                QScrollBar *bar = verticalScrollBar();
                const int height = viewport()->height();
                if (r.top() < bar->value())
                    bar->setValue(int(std::floor(r.top())));
                else if (r.bottom() > bar->value() + height)
                    bar->setValue(int(std::ceil(r.bottom() - height)));
            }
        }
    }
    scrollToShow(r);
}

void RichTextBox::paintPart(const QRectF &rect)
{
    QRectF r = rect;
    DocumentLayout *layout = documentLayout();
    if (layout && r.isValid() && r.height() < viewport()->height()) {
        for (const qreal y : {r.top(), r.bottom()}) {
            const QRectF box = lineBoxAt(layout->hitTest(QPointF(r.center().x(), y), Qt::FuzzyHit));
            if (box.isValid())
                r = r.united(QRectF(r.left(), box.top(), r.width(), box.height()));
        }
        // A selection over paragraphs in columns: Qt asks for the rows between its ends,
        // which leave out the rest of the columns the selection runs down.
        if (r.height() > 2 * lineBoxAt(textCursor().position()).height()) {
            for (const qreal y : {r.top(), r.bottom()})
                r = r.united(layout->bandRect(QPointF(r.center().x(), y)));
        }
    }
    repaintDocumentRect(r);
}

bool RichTextBox::answerTextControl(QObject *control, const char *signal, const char *qtSlot, const char *slot)
{
    const QMetaObject *from = control->metaObject();
    const QMetaObject *to = metaObject();
    const int request = from->indexOfSignal(signal);
    const int qtAnswer = to->indexOfSlot(qtSlot);
    const int answer = to->indexOfSlot(slot);
    if (request < 0 || qtAnswer < 0 || answer < 0)
        return false;
    if (!disconnect(control, from->method(request), this, to->method(qtAnswer)))
        return false;
    return bool(connect(control, from->method(request), this, to->method(answer)));
}

int RichTextBox::horizontalOffset() const
{
    const QScrollBar *bar = horizontalScrollBar();
    return isRightToLeft() ? bar->maximum() - bar->value() : bar->value();
}

void RichTextBox::scrollToShow(const QRectF &rect)
{
    const QRect r = rect.toRect();
    QScrollBar *across = horizontalScrollBar();
    QScrollBar *down = verticalScrollBar();
    // A rectangle past the scroll range's end (the document grew with a key and the
    // range has not caught up yet): the editor brings the range up to date from the
    // layout's size first, as it does whenever the layout reports one.
    if ((down->isVisible() && down->maximum() < r.bottom()) || (across->isVisible() && across->maximum() < r.right())) {
        if (QAbstractTextDocumentLayout *layout = document()->documentLayout())
            emit layout->documentSizeChanged(layout->documentSize());
    }
    const int width = viewport()->width();
    const int height = viewport()->height();
    const int left = horizontalOffset();
    if (r.x() < left)
        across->setValue(isRightToLeft() ? across->maximum() - r.x() : r.x());
    else if (r.x() + r.width() > left + width)
        across->setValue(isRightToLeft() ? across->maximum() - (r.x() + r.width() - width) : r.x() + r.width() - width);
    if (r.y() < down->value())
        down->setValue(r.y());
    else if (r.y() + r.height() > down->value() + height)
        down->setValue(r.y() + r.height() - height);
}

void RichTextBox::repaintDocumentRect(const QRectF &rect)
{
    if (!rect.isValid()) {
        viewport()->update();
        return;
    }
    const int left = horizontalOffset();
    const int top = verticalScrollBar()->value();
    QRect r = rect.intersected(QRectF(left, top, viewport()->width(), viewport()->height())).toAlignedRect();
    if (r.isEmpty())
        return;
    viewport()->update(r.translated(-left, -top));
}

void RichTextBox::followShift(qreal dy)
{
    // The pixels on the screen already show the text at its new place: the scroll
    // bar moves without the scroll area scrolling them.
    QScrollBar *bar = verticalScrollBar();
    const qreal exact = bar->value() + dy + m_drift;
    int value = int(std::lround(exact));
    m_drift = exact - value;
    if (m_fromEnd >= 0 && value > bar->maximum() - m_fromEnd) {
        value = bar->maximum() - m_fromEnd;
        m_drift = 0;
    }
    moveViewQuietly(value);
}

void RichTextBox::moveViewQuietly(int value)
{
    QScrollBar *bar = verticalScrollBar();
    const int before = bar->value();
    {
        const QSignalBlocker blocker(bar);
        bar->setValue(value);
    }
    m_unscrolled += bar->value() - before;
}

void RichTextBox::scrollContentsBy(int dx, int dy)
{
    // The scroll area counts from the value it last saw; what the view moved by
    // quietly since then is not to be scrolled again.
    if (dy != 0) {
        dy += m_unscrolled;
        m_unscrolled = 0;
    }
    QTextEdit::scrollContentsBy(dx, dy);
}

void RichTextBox::noteEnd()
{
    // Only the document's bottom margin may be out of view, as Ctrl+End leaves it.
    const QScrollBar *bar = verticalScrollBar();
    const DocumentLayout *layout = documentLayout();
    const int margin = layout ? int(std::ceil(layout->bottomEdge())) : 0;
    const int fromEnd = bar->maximum() - bar->value();
    m_fromEnd = bar->maximum() > 0 && fromEnd <= margin ? fromEnd : -1;
}

void RichTextBox::keepEnd()
{
    // Heights found for what was estimated, or a scroll bar that came or went, move
    // the end of the scroll range: a view that showed the document's end follows it.
    if (m_fromEnd < 0)
        return;
    // The view is painted again whole: what its pixels show may have moved or not.
    QScrollBar *bar = verticalScrollBar();
    moveViewQuietly(bar->maximum() - m_fromEnd);
    m_drift = 0;
    if (DocumentLayout *layout = documentLayout())
        layout->setViewTop(bar->value());
    viewport()->update();
}

void RichTextBox::forgetEnd()
{
    m_fromEnd = -1;
}
