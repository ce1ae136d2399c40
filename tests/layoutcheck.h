#pragma once

// Checks of the editor's document layout against itself: every paragraph's lines
// fit the text it has, and what the layout shows once complete is what a layout
// made from scratch for a copy of the document, at the same width, shows: the
// paragraphs' rects and lines, the document's size, carets and hit tests.

#include "layout/documentlayout.h"

#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QTextDocument>
#include <QTextLayout>

#include <memory>

namespace LayoutCheck {

inline QString describe(const QTextBlock &block)
{
    return QStringLiteral("paragraph %1 (position %2, %3 characters)")
        .arg(block.blockNumber())
        .arg(block.position())
        .arg(block.length() - 1);
}

// The first paragraph whose lines were made for another text, or "". The paragraph
// the layout is laying out over slices has the first of its lines only.
inline QString staleLines(const QTextDocument *doc)
{
    const auto *layout = qobject_cast<const DocumentLayout *>(doc->documentLayout());
    const QTextBlock unfinished = layout ? layout->unfinishedBlock() : QTextBlock();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const QTextLayout *tl = b.layout();
        const int lines = tl->lineCount();
        if (lines == 0)
            continue;
        int at = 0;
        for (int i = 0; i < lines; ++i) {
            const QTextLine line = tl->lineAt(i);
            if (line.textStart() != at)
                return describe(b) + QStringLiteral(": line %1 starts at %2, not %3").arg(i).arg(line.textStart()).arg(at);
            at += line.textLength();
        }
        if (b == unfinished ? at > b.length() : at != b.length() - 1 && at != b.length())
            return describe(b) + QStringLiteral(": its lines hold %1 characters").arg(at);
    }
    return QString();
}

// Lays out what is pending until nothing is.
inline void complete(DocumentLayout *layout)
{
    while (layout->layoutPending(QDeadlineTimer(QDeadlineTimer::Forever))) {
    }
}

struct Fresh
{
    std::unique_ptr<QTextDocument> doc;
    DocumentLayout *layout = nullptr;
};

// What a copy of the document lost, as far as a layout can see: "" when nothing.
inline QString copyDiffers(const QTextDocument *doc, const QTextDocument *copy)
{
    const auto plain = [](QTextFormat f) {
        f.clearProperty(QTextFormat::ObjectIndex);
        return f;
    };
    QTextBlock b = copy->begin();
    for (QTextBlock a = doc->begin(); a.isValid() && b.isValid(); a = a.next(), b = b.next()) {
        if (plain(a.blockFormat()) != plain(b.blockFormat()) || plain(a.charFormat()) != plain(b.charFormat()) ||
            bool(a.textList()) != bool(b.textList())) {
            QString what;
            const auto differ = [&what](const QTextFormat &x, const QTextFormat &y, const char *kind) {
                const QMap<int, QVariant> px = x.properties();
                const QMap<int, QVariant> py = y.properties();
                for (auto it = px.begin(); it != px.end(); ++it) {
                    if (py.value(it.key()) != it.value())
                        what += QStringLiteral(" %1 0x%2").arg(QLatin1String(kind)).arg(it.key(), 0, 16);
                }
                for (auto it = py.begin(); it != py.end(); ++it) {
                    if (!px.contains(it.key()))
                        what += QStringLiteral(" %1 +0x%2").arg(QLatin1String(kind)).arg(it.key(), 0, 16);
                }
            };
            differ(plain(a.blockFormat()), plain(b.blockFormat()), "block");
            differ(plain(a.charFormat()), plain(b.charFormat()), "char");
            return describe(a) + QStringLiteral(": its copy has another format:") + what;
        }
        QTextBlock::iterator j = b.begin();
        for (QTextBlock::iterator i = a.begin(); !i.atEnd(); ++i, ++j) {
            if (j.atEnd() || i.fragment().length() != j.fragment().length() ||
                plain(i.fragment().charFormat()) != plain(j.fragment().charFormat()))
                return describe(a) + QStringLiteral(": a piece of its copy has another format");
        }
    }
    return QString();
}

// A copy of the document laid out whole by a layout of its own.
inline Fresh freshLayout(const QTextDocument *doc)
{
    Fresh f;
    f.doc.reset(doc->clone());
    f.doc->setUndoRedoEnabled(false);
    {
        // The copy takes the first paragraph's formats from the document it is made
        // in, not from the one copied.
        QTextCursor first(f.doc.get());
        QTextBlockFormat format = doc->begin().blockFormat();
        format.setProperty(QTextFormat::ObjectIndex, f.doc->begin().blockFormat().property(QTextFormat::ObjectIndex));
        first.setBlockFormat(format);
        first.setBlockCharFormat(doc->begin().charFormat());
    }
    f.layout = new DocumentLayout(f.doc.get());
    f.doc->setDocumentLayout(f.layout);
    complete(f.layout);
    return f;
}

inline QString compareLines(const QTextBlock &a, const QTextBlock &b)
{
    const QTextLayout *x = a.layout();
    const QTextLayout *y = b.layout();
    if (x->lineCount() != y->lineCount())
        return describe(a) + QStringLiteral(": %1 lines, fresh %2").arg(x->lineCount()).arg(y->lineCount());
    for (int i = 0; i < x->lineCount(); ++i) {
        const QTextLine l = x->lineAt(i);
        const QTextLine m = y->lineAt(i);
        if (l.textStart() != m.textStart() || l.textLength() != m.textLength() || l.position() != m.position() ||
            l.width() != m.width() || l.naturalTextWidth() != m.naturalTextWidth() || l.height() != m.height()) {
            return describe(a) + QStringLiteral(": line %1 is %2+%3 at (%4, %5) %6 wide (natural %7) %8 high, "
                                                "fresh %9+%10 at (%11, %12) %13 wide (natural %14) %15 high")
                                     .arg(i)
                                     .arg(l.textStart())
                                     .arg(l.textLength())
                                     .arg(l.x())
                                     .arg(l.y())
                                     .arg(l.width())
                                     .arg(l.naturalTextWidth())
                                     .arg(l.height())
                                     .arg(m.textStart())
                                     .arg(m.textLength())
                                     .arg(m.x())
                                     .arg(m.y())
                                     .arg(m.width())
                                     .arg(m.naturalTextWidth())
                                     .arg(m.height());
        }
    }
    return QString();
}

inline QString rectText(const QRectF &r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Where a caret at position stands, as the editor draws it.
inline QRectF caretRect(const QTextDocument *doc, int position)
{
    const QTextBlock block = doc->findBlock(position);
    const QRectF r = doc->documentLayout()->blockBoundingRect(block);
    const QTextLine line = block.layout()->lineForTextPosition(position - block.position());
    if (!line.isValid())
        return QRectF(r.topLeft(), QSizeF(1, 10));
    return QRectF(r.x() + line.cursorToX(position - block.position()), r.y() + line.y(), 1, line.height());
}

// Compares the complete layout of doc with a fresh one: every paragraph, the size,
// then carets at some positions and hits at some points. "" when they agree.
inline QString compareWithFresh(QTextDocument *doc, int samples, quint32 seed)
{
    QAbstractTextDocumentLayout *mine = doc->documentLayout();
    const Fresh fresh = freshLayout(doc);
    if (fresh.doc->characterCount() != doc->characterCount() || fresh.doc->blockCount() != doc->blockCount())
        return QStringLiteral("the copy has %1 characters in %2 paragraphs, the document %3 in %4")
            .arg(fresh.doc->characterCount())
            .arg(fresh.doc->blockCount())
            .arg(doc->characterCount())
            .arg(doc->blockCount());
    if (const QString lost = copyDiffers(doc, fresh.doc.get()); !lost.isEmpty())
        return QStringLiteral("the copy is not faithful: ") + lost;
    QTextBlock a = doc->begin();
    for (QTextBlock b = fresh.doc->begin(); b.isValid(); b = b.next(), a = a.next()) {
        const QRectF ra = mine->blockBoundingRect(a);
        const QRectF rb = fresh.layout->blockBoundingRect(b);
        if (ra != rb) {
            QString above;
            if (a.previous().isValid()) {
                above = QStringLiteral(" (the paragraph above: %1, fresh %2)")
                            .arg(rectText(mine->blockBoundingRect(a.previous())),
                                 rectText(fresh.layout->blockBoundingRect(b.previous())));
            }
            return describe(a) + QStringLiteral(": rect %1, fresh %2").arg(rectText(ra), rectText(rb)) + above;
        }
        const QString lines = compareLines(a, b);
        if (!lines.isEmpty())
            return lines;
    }
    if (mine->documentSize() != fresh.layout->documentSize()) {
        return QStringLiteral("document size %1x%2, fresh %3x%4")
            .arg(mine->documentSize().width())
            .arg(mine->documentSize().height())
            .arg(fresh.layout->documentSize().width())
            .arg(fresh.layout->documentSize().height());
    }
    QRandomGenerator random(seed);
    const int length = doc->characterCount();
    const QSizeF size = mine->documentSize();
    for (int i = 0; i < samples; ++i) {
        const int position = random.bounded(length);
        const QRectF ca = caretRect(doc, position);
        const QRectF cb = caretRect(fresh.doc.get(), position);
        if (ca != cb)
            return QStringLiteral("caret at %1: %2, fresh %3").arg(position).arg(rectText(ca), rectText(cb));
        // Anywhere, or exactly on the edge between a paragraph and the next.
        QPointF p(random.bounded(size.width() + 40) - 20, random.bounded(size.height() + 40) - 20);
        if (i % 2) {
            const QRectF r = mine->blockBoundingRect(doc->findBlock(position));
            p.setY(i % 4 == 1 ? r.bottom() : r.top());
        }
        for (Qt::HitTestAccuracy accuracy : {Qt::FuzzyHit, Qt::ExactHit}) {
            const int ha = mine->hitTest(p, accuracy);
            const int hb = fresh.layout->hitTest(p, accuracy);
            if (ha != hb)
                return QStringLiteral("hit at (%1, %2)%3: %4, fresh %5")
                    .arg(p.x())
                    .arg(p.y())
                    .arg(accuracy == Qt::ExactHit ? QStringLiteral(" exact") : QString())
                    .arg(ha)
                    .arg(hb);
        }
    }
    return QString();
}

} // namespace LayoutCheck
