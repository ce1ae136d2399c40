// The document's geometry and the estimated heights of what is not laid out yet, and
// the view's anchor: the entry the view's top stands in, which keeps the text on the
// screen where it is while heights above it become known.
#include "layout/documentlayout.h"

#include <QTextDocument>
#include <QTextFrame>

#include <cmath>

DocumentLayout::Geometry DocumentLayout::readGeometry() const
{
    const QTextDocument *doc = document();
    const QTextFrameFormat f = doc->rootFrame()->frameFormat();
    const qreal edge = std::round(f.border()) + std::round(f.padding());
    Geometry g;
    g.left = std::round(f.leftMargin()) + edge;
    g.right = std::round(f.rightMargin()) + edge;
    g.top = std::round(f.topMargin()) + edge;
    g.bottom = std::round(f.bottomMargin()) + edge;
    g.width = qMax(qreal(0), doc->pageSize().width() - g.left - g.right);
    return g;
}

DocumentLayout::Estimates DocumentLayout::currentEstimates() const
{
    constexpr double Enough = 16;
    Estimates e;
    e.lineHeight = m_learned.lines >= Enough ? m_learned.height / m_learned.lines : m_lineHeight;
    e.charsPerLine = m_learned.longLines >= Enough ? m_learned.longChars / m_learned.longLines
                                                   : qMax(qreal(8), m_geometry.width / m_charWidth);
    e.gap = m_learned.paragraphs >= Enough ? m_learned.gaps / m_learned.paragraphs : 0;
    return e;
}

float DocumentLayout::estimate(int length) const
{
    const qreal lines = qMax(qreal(1), std::ceil(qreal(length) / qMax(qreal(1), m_estimates.charsPerLine)));
    return float(lines * m_estimates.lineHeight + m_estimates.gap);
}

void DocumentLayout::refineEstimates(bool always)
{
    const Estimates now = currentEstimates();
    const auto differs = [](qreal a, qreal b) { return qAbs(a - b) > 0.15 * qMax(qAbs(a), qAbs(b)); };
    if (!always && !differs(now.lineHeight, m_estimates.lineHeight) &&
        !differs(now.charsPerLine, m_estimates.charsPerLine) && qAbs(now.gap - m_estimates.gap) < 2)
        return;
    m_estimates = now;
    const double grown = m_index.reestimate([this](const FlowIndex::Entry &e) {
        return e.frame ? e.content : estimate(int(e.width));
    }, viewIndex());
    shiftView(grown);
}

void DocumentLayout::setViewTop(qreal y)
{
    if (y == m_viewTop)
        return;
    m_viewTop = y;
    m_viewIndex = -1;
}

int DocumentLayout::viewIndex() const
{
    if (m_viewIndex < 0)
        m_viewIndex = m_viewTop <= m_geometry.top ? 0 : qMax(0, m_index.atY(m_viewTop - m_geometry.top).index);
    return m_viewIndex;
}

void DocumentLayout::setEntry(int index, const FlowIndex::Entry &entry) const
{
    const FlowIndex::Entry before = m_index.at(index);
    const int view = viewIndex();
    m_index.set(index, entry);
    // What lies above the view moves it, and so does the gap above the entry the view
    // begins in: it lies above the entry's text. When that entry itself grows or
    // shrinks (laid out at last), the view keeps its place in it proportionally: the
    // top of the view never ends up beyond an entry that shrank under it.
    if (index < view) {
        shiftView(entry.height() - before.height());
    } else if (index == view) {
        double dy = double(entry.gap) - double(before.gap);
        if (entry.content != before.content && before.content > 0) {
            const double contentTop = m_geometry.top + m_index.locate(index).top + entry.gap;
            const double into = m_viewTop + dy - contentTop;
            if (into > 0) {
                const double fraction = qMin(1.0, into / double(before.content));
                dy += fraction * (double(entry.content) - double(before.content));
            }
        }
        shiftView(dy);
    }
}

void DocumentLayout::shiftView(double dy) const
{
    if (dy == 0)
        return;
    if (m_batching) {
        m_batchedShift += dy;
        return;
    }
    // The view moves within the scroll range: a range that grows is reported first,
    // one that shrinks after (shrunk first, it would push the view up on its own).
    // The top known here moves before either: an editor that keeps its view at the
    // document's end sets it anew as the range grows.
    auto *self = const_cast<DocumentLayout *>(this);
    self->m_viewTop += dy;
    if (dy > 0)
        self->reportSize();
    emit self->viewShifted(dy);
    if (dy < 0)
        self->reportSize();
}
