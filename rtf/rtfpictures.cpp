#include "rtf/rtfparser.h"

#include "model/limits.h"
#include "rtf/rtflimits.h"

// Pictures and the shapes that frame them. Every picture in the text is shown once:
// decoded when Qt can, otherwise as a placeholder of its size. A shape shows the
// picture of its picture property and the text of its text box, or else the pictures
// and text boxes of its result (the fallback written for readers without shapes);
// its other contents stay out of the text. A continuous editor cannot float a text
// box: it stands in front of the paragraph that anchors it, framed as a one-cell
// table. Old drawing objects (\do) are shapes whose text box is all that shows.

using RtfKeywords::Kw;

void RtfParser::startPicture(Group &g)
{
    bool shown = g.dest == Dest::Normal && !g.chr.hidden;
    if (g.dest == Dest::Shape && !g.chr.hidden && m_shapePictureFrom && m_groups.size() >= m_shapePictureFrom
        && !m_shapes.empty() && (m_shapeResult || !m_shapes.back().hasPicture))
        shown = true;
    if (!shown) {
        skipDestination();
        return;
    }
    g.dest = Dest::Picture;
    g.pictureOwner = true;
    m_picture = Picture();
    m_pictureNibble = -1;
}

void RtfParser::pictureWord(Kw kw, const RtfTokenizer::Token &t)
{
    Picture &p = m_picture;
    const int value = t.hasParameter ? t.parameter : 0;
    switch (kw) {
    case Kw::PngBlip:
        p.kind = Picture::Kind::Png;
        break;
    case Kw::JpegBlip:
        p.kind = Picture::Kind::Jpeg;
        break;
    case Kw::EmfBlip:
        p.kind = Picture::Kind::Emf;
        break;
    case Kw::WmfBlip:
        p.kind = Picture::Kind::Wmf;
        break;
    case Kw::MacPict:
        p.kind = Picture::Kind::MacPict;
        break;
    case Kw::PmMetafile:
        p.kind = Picture::Kind::Os2Metafile;
        break;
    case Kw::DibBitmap:
        p.kind = Picture::Kind::Dib;
        break;
    case Kw::WBitmap:
        p.kind = Picture::Kind::Wbitmap;
        break;
    case Kw::WbmBitsPixel:
        p.bitsPerPixel = qBound(1, value, 32);
        break;
    case Kw::WbmWidthBytes:
        p.widthBytes = qMax(0, value);
        break;
    case Kw::PicW:
        p.width = qMax(0, value);
        break;
    case Kw::PicH:
        p.height = qMax(0, value);
        break;
    case Kw::PicWGoal:
        p.goalWidth = qBound(0, value, ModelLimits::MaxTwips);
        break;
    case Kw::PicHGoal:
        p.goalHeight = qBound(0, value, ModelLimits::MaxTwips);
        break;
    case Kw::PicScaleX:
        p.scaleX = t.hasParameter ? qBound(1, value, RtfLimits::MaxPictureScale) : 100;
        break;
    case Kw::PicScaleY:
        p.scaleY = t.hasParameter ? qBound(1, value, RtfLimits::MaxPictureScale) : 100;
        break;
    default:
        break;
    }
}

void RtfParser::finishPicture()
{
    const PictureDecoder::Result result = m_pictureDecoder.decode(m_picture);
    m_picture = Picture(); // the data can be megabytes: not kept past the picture
    if (result.image.isNull() || m_groups.size() < 2)
        return;
    const Group &parent = m_groups[m_groups.size() - 2];
    flushBytes();
    listLabelBefore();
    m_builder.addImage(parent.chr, result.image, result.displaySize.width(), result.displaySize.height(),
                       result.placeholder);
    // A shape shows one picture, and the shapes around it then need no fallback either.
    for (OpenShape &shape : m_shapes)
        shape.hasPicture = true;
}

void RtfParser::startTextBox(Group &g)
{
    OpenShape &shape = m_shapes.back();
    // The box's paragraphs gather one level below the paragraph it stands in, as
    // the one cell of a table of their own.
    const int level = qMin(shape.anchorLevel + 1, int(TableLimits::MaxNesting));
    flushBytes();
    m_builder.beginTextBox(shape.anchorLevel);
    m_textBoxLevels.push_back(level);
    shape.hasPicture = true; // the result repeats the box for readers without shapes
    g.dest = Dest::Normal;
    g.textBoxOwner = true;
    g.intbl = false;
    g.itap = -1;
    g.para = ParaState();
}

void RtfParser::endTextBox(const Group &closing)
{
    flushBytes();
    // The shape's width when its edges came before its text (a drawing object tells
    // its size only after the text box: it gets the default width).
    int width = 0;
    if (!m_shapes.empty())
        width = m_shapes.back().right - m_shapes.back().left;
    m_builder.endTextBox(closing.para, tableLevel(), m_textBoxLevels.back() - 1, width);
    m_textBoxLevels.pop_back();
}

void RtfParser::shapeWord(Kw kw, const RtfTokenizer::Token &t)
{
    Group &g = top();
    const int value = t.hasParameter ? qBound(-ModelLimits::MaxTwips, t.parameter, ModelLimits::MaxTwips) : 0;
    switch (kw) {
    case Kw::Shp:
        if ((g.dest != Dest::Normal && g.dest != Dest::Shape) || g.chr.hidden) {
            skipDestination();
            break;
        }
        if (g.dest == Dest::Normal) {
            // The paragraph anchors the shape: it is a paragraph of the document even
            // where the shape shows nothing, the last one included.
            flushBytes();
            m_builder.anchorShape();
        }
        m_shapes.push_back(OpenShape{m_groups.size(), false, tableLevel()});
        g.dest = Dest::Shape;
        break;
    case Kw::ShpTxt:
        // A picture frame that showed its picture repeats it in its text box.
        if (g.dest != Dest::Shape || m_shapes.empty() || m_shapes.back().depth > m_groups.size()
            || m_shapes.back().hasPicture) {
            skipDestination();
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
            skipDestination();
        else
            g.dest = Dest::Shape;
        break;
    case Kw::ShpRslt:
        if (m_shapes.empty() || m_shapes.back().hasPicture) {
            skipDestination();
            break;
        }
        g.dest = Dest::Shape;
        m_shapePictureFrom = m_groups.size();
        m_shapeResult = true;
        break;
    case Kw::Sp:
        if (g.dest != Dest::Shape)
            skipDestination();
        break;
    case Kw::Sn:
        if (g.dest != Dest::Shape) {
            skipDestination();
            break;
        }
        g.dest = Dest::ShapeName;
        m_shapePropertyName.clear();
        break;
    case Kw::Sv:
        // Of all the properties only the picture ("pib") is shown.
        if (g.dest != Dest::Shape || m_shapes.empty() || m_shapePropertyName.trimmed() != "pib") {
            skipDestination();
            break;
        }
        m_shapePictureFrom = m_groups.size();
        m_shapeResult = false;
        break;
    default:
        break;
    }
}

void RtfParser::shapeGroupsClosed()
{
    if (m_shapePictureFrom > m_groups.size())
        m_shapePictureFrom = 0;
    while (!m_shapes.empty() && m_shapes.back().depth > m_groups.size())
        m_shapes.pop_back();
}
