#include "rtf/rtfpictures.h"

#include "model/limits.h"
#include "rtf/rtflimits.h"
#include "rtf/rtfparser.h"

using RtfKeywords::Kw;
using RtfKeywords::KwInfo;

void RtfPictures::word(RtfGroup &g, const KwInfo &info, const RtfTokenizer::Token &t)
{
    switch (info.kw) {
    case Kw::Pict:
        start(g);
        break;
    case Kw::PngBlip:
    case Kw::JpegBlip:
    case Kw::EmfBlip:
    case Kw::WmfBlip:
    case Kw::MacPict:
    case Kw::PmMetafile:
    case Kw::DibBitmap:
    case Kw::WBitmap:
        // A picture whose \pict was lost: the group is still the picture, and its
        // hex data no text.
        if (g.dest == RtfDest::Normal) {
            start(g);
            if (m_parser.top().dest != RtfDest::Picture)
                break;
        }
        [[fallthrough]];
    default:
        if (g.dest == RtfDest::Picture)
            property(info.kw, t);
        break;
    }
}

void RtfPictures::text(RtfGroup &, const char *data, int length)
{
    for (int i = 0; i < length; ++i) {
        const int v = RtfTokenizer::hexValue(static_cast<unsigned char>(data[i]));
        if (v < 0)
            continue;
        if (m_nibble < 0) {
            m_nibble = v;
        } else {
            m_picture.data.append(char(m_nibble * 16 + v));
            m_nibble = -1;
        }
    }
}

void RtfPictures::groupEnding(const RtfGroup &closing)
{
    if (closing.pictureOwner)
        finish();
}

void RtfPictures::start(RtfGroup &g)
{
    const bool shown = (g.dest == RtfDest::Normal && !g.chr.hidden) || m_parser.m_shapes.showsPicture(g);
    if (!shown) {
        m_parser.skipDestination();
        return;
    }
    g.dest = RtfDest::Picture;
    g.pictureOwner = true;
    m_picture = Picture();
    m_nibble = -1;
}

void RtfPictures::property(Kw kw, const RtfTokenizer::Token &t)
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

void RtfPictures::finish()
{
    const PictureDecoder::Result result = m_decoder.decode(m_picture);
    m_picture = Picture(); // the data can be megabytes: not kept past the picture
    const std::vector<RtfGroup> &groups = m_parser.m_groups;
    if (result.image.isNull() || groups.size() < 2)
        return;
    const RtfGroup &parent = groups[groups.size() - 2];
    m_parser.flushBytes();
    m_parser.listLabelBefore();
    m_parser.m_builder.addImage(parent.chr, result.image, result.displaySize.width(), result.displaySize.height(),
                                result.placeholder);
    m_parser.m_shapes.pictureShown();
}

