// A section's page and its newspaper columns (\sectd, \pgwsxn, \colsN, ...), which
// the builder starts a frame of columns for.
#include "rtf/rtfparser.h"

#include "model/limits.h"
#include "rtf/rtfheaderfooter.h"
#include "rtf/rtfkeywords.h"

using RtfKeywords::Kw;
using RtfKeywords::KwInfo;

void RtfParser::sectionWord(const Group &g, const KwInfo &info, const RtfTokenizer::Token &t)
{
    if (info.kw == Kw::HeaderFooter) {
        // Not shown; its height is read on a copy of the tokenizer, then it is skipped.
        if (g.dest == Dest::Normal) {
            const auto [spacing, multiple] = m_styleSheet.defaultLineSpacing();
            m_section.bands[info.ch % 8] =
                RtfHeaderFooter::height(m_tok, page(0) - page(2) - page(3), spacing, multiple);
            columnsChanged();
        }
        skipDestination();
        return;
    }
    if (g.dest != Dest::Normal)
        return;
    const int p = t.parameter;
    switch (info.kw) {
    case Kw::PaperSize:
    case Kw::PaperMargin: {
        const bool size = info.kw == Kw::PaperSize;
        const int which = size ? int(info.ch) % 2 : 2 + int(info.ch) % 4;
        const bool own = info.ch >= (size ? 2u : 4u);
        // A page of no size, or a negative margin, is none given.
        if (!t.hasParameter || p < (size ? 1 : 0))
            return;
        (own ? m_section.page : m_page)[which] = qMin(p, ModelLimits::MaxTwips);
        break;
    }
    case Kw::Sectd:
        m_section = SectionState();
        break;
    case Kw::Cols:
        // No columns, or a number no page holds: one column, or as many as still do.
        m_section.columns = t.hasParameter ? qBound(1, p, ModelLimits::MaxColumns) : 1;
        break;
    case Kw::ColsX:
        m_section.gap = t.hasParameter && p >= 0 ? qMin(p, ModelLimits::MaxTwips) : SectionState().gap;
        break;
    case Kw::LineBetCol:
        m_section.rule = t.on();
        break;
    case Kw::SectBreak:
        m_section.continuous = info.ch == 1;
        break;
    case Kw::HeaderFooterY:
        if (t.hasParameter && p >= 0)
            (info.ch == 0 ? m_section.headerY : m_section.footerY) = qMin(p, ModelLimits::MaxTwips);
        break;
    case Kw::TitlePage:
        m_section.titlePage = t.on();
        break;
    default:
        return;
    }
    columnsChanged();
}

int RtfParser::page(int which) const
{
    return m_section.page[which] >= 0 ? m_section.page[which] : m_page[which];
}

void RtfParser::columnsChanged()
{
    // A band of columns is as high as the page's body: between the margins, or where
    // a header or footer higher than its margin leaves room pushes the body away from
    // the edge. The first page has its own header and footer under \titlepg; a band
    // holds what every page holds. A page whose margins leave no body has its columns
    // balanced.
    const auto edge = [](int margin, int distance, int band) { return band > 0 ? qMax(margin, distance + band) : margin; };
    const auto bodyOf = [&](bool first) {
        const int *b = m_section.bands;
        const int header = first ? b[3] : qMax(b[0], qMax(b[1], b[2]));
        const int footer = first ? b[7] : qMax(b[4], qMax(b[5], b[6]));
        return page(1) - edge(page(4), m_section.headerY, header) - edge(page(5), m_section.footerY, footer);
    };
    const int body = m_section.titlePage ? qMin(bodyOf(true), bodyOf(false)) : bodyOf(false);
    // Gaps that leave the columns less room than themselves shrink to half the text's
    // width, shared by them.
    const int width = page(0) - page(2) - page(3);
    const int gaps = m_section.columns - 1;
    int gap = m_section.gap;
    if (gaps > 0 && width > 0 && qint64(gap) * gaps > width / 2)
        gap = width / (2 * gaps);
    m_builder.setColumns(m_section.columns, gap, body > 0 ? body : 0, m_section.rule, m_section.continuous);
}
