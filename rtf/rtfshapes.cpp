#include "rtf/rtfshapes.h"

#include "model/limits.h"
#include "rtf/rtfparser.h"

// A continuous editor cannot float a text box: it stands in front of the paragraph
// that anchors it, framed as a one-cell table. Old drawing objects (\do) are shapes
// whose text box is all that shows.

using RtfKeywords::Kw;
using RtfKeywords::KwInfo;

void RtfShapes::startTextBox(RtfGroup &g)
{
    OpenShape &shape = m_shapes.back();
    // The box's paragraphs gather one level below the paragraph it stands in, as
    // the one cell of a table of their own.
    const int level = qMin(shape.anchorLevel + 1, int(TableLimits::MaxNesting));
    m_parser.flushBytes();
    m_parser.m_builder.beginTextBox(shape.anchorLevel);
    m_textBoxLevels.push_back(level);
    shape.hasPicture = true; // the result repeats the box for readers without shapes
    g.dest = RtfDest::Normal;
    g.textBoxOwner = true;
    g.intbl = false;
    g.itap = -1;
    g.para = ParaState();
}

void RtfShapes::endTextBox(const RtfGroup &closing)
{
    m_parser.flushBytes();
    // The shape's width when its edges came before its text (a drawing object tells
    // its size only after the text box: it gets the default width).
    int width = 0;
    if (!m_shapes.empty())
        width = m_shapes.back().right - m_shapes.back().left;
    m_parser.m_builder.endTextBox(closing.para, m_parser.tableLevel(), m_textBoxLevels.back() - 1, width);
    m_textBoxLevels.pop_back();
}

void RtfShapes::word(RtfGroup &g, const KwInfo &info, const RtfTokenizer::Token &t)
{
    const int value = t.hasParameter ? qBound(-ModelLimits::MaxTwips, t.parameter, ModelLimits::MaxTwips) : 0;
    switch (info.kw) {
    case Kw::Shp:
        if ((g.dest != RtfDest::Normal && g.dest != RtfDest::Shape) || g.chr.hidden) {
            m_parser.skipDestination();
            break;
        }
        if (g.dest == RtfDest::Normal) {
            // The paragraph anchors the shape: it is a paragraph of the document even
            // where the shape shows nothing, the last one included.
            m_parser.flushBytes();
            m_parser.m_builder.anchorShape();
        }
        m_shapes.push_back(OpenShape{m_parser.m_groups.size(), false, m_parser.tableLevel()});
        g.dest = RtfDest::Shape;
        break;
    case Kw::ShpTxt:
        // A picture frame that showed its picture repeats it in its text box.
        if (g.dest != RtfDest::Shape || m_shapes.empty() || m_shapes.back().depth > m_parser.m_groups.size()
            || m_shapes.back().hasPicture) {
            m_parser.skipDestination();
            break;
        }
        startTextBox(g);
        break;
    case Kw::ShpLeft:
        if (!m_shapes.empty())
            m_shapes.back().left = value;
        break;
    case Kw::ShpRight:
        if (!m_shapes.empty())
            m_shapes.back().right = value;
        break;
    case Kw::DpXSize:
        if (!m_shapes.empty()) {
            m_shapes.back().left = 0;
            m_shapes.back().right = value;
        }
        break;
    case Kw::ShpInst:
        if (m_shapes.empty())
            m_parser.skipDestination();
        else
            g.dest = RtfDest::Shape;
        break;
    case Kw::ShpRslt:
        if (m_shapes.empty() || m_shapes.back().hasPicture) {
            m_parser.skipDestination();
            break;
        }
        g.dest = RtfDest::Shape;
        m_pictureFrom = m_parser.m_groups.size();
        m_result = true;
        break;
    case Kw::Sp:
        if (g.dest != RtfDest::Shape)
            m_parser.skipDestination();
        break;
    case Kw::Sn:
        if (g.dest != RtfDest::Shape) {
            m_parser.skipDestination();
            break;
        }
        g.dest = RtfDest::ShapeName;
        m_propertyName.clear();
        break;
    case Kw::Sv:
        // Of all the properties only the picture ("pib") is shown.
        if (g.dest != RtfDest::Shape || m_shapes.empty() || m_propertyName.trimmed() != "pib") {
            m_parser.skipDestination();
            break;
        }
        m_pictureFrom = m_parser.m_groups.size();
        m_result = false;
        break;
    default:
        break;
    }
}

void RtfShapes::groupEnded(const RtfGroup &)
{
    const size_t depth = m_parser.m_groups.size();
    if (m_pictureFrom > depth)
        m_pictureFrom = 0;
    while (!m_shapes.empty() && m_shapes.back().depth > depth)
        m_shapes.pop_back();
}

void RtfShapes::text(RtfGroup &, const char *data, int length)
{
    if (m_propertyName.size() + length <= 64)
        m_propertyName.append(data, length);
}

void RtfShapes::groupEnding(const RtfGroup &closing)
{
    if (closing.textBoxOwner)
        endTextBox(closing);
}

bool RtfShapes::showsPicture(const RtfGroup &g) const
{
    return g.dest == RtfDest::Shape && !g.chr.hidden && m_pictureFrom && m_parser.m_groups.size() >= m_pictureFrom
        && !m_shapes.empty() && (m_result || !m_shapes.back().hasPicture);
}

void RtfShapes::pictureShown()
{
    // A shape shows one picture, and the shapes around it then need no fallback either.
    for (OpenShape &shape : m_shapes)
        shape.hasPicture = true;
}
