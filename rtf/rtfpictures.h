#pragma once

#include "model/picturedecoder.h"
#include "rtf/rtfdestination.h"

// Pictures (\pict): every picture in the text is shown once, decoded when Qt can,
// otherwise as a placeholder of its size.
class RtfPictures final : public RtfDestination
{
public:
    using RtfDestination::RtfDestination;

    void word(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t) override;
    // The picture's data as hex digits.
    void text(RtfGroup &g, const char *data, int length) override;
    // The picture's data as it is (\bin).
    void binary(const char *data, int length) { m_picture.data.append(data, length); }
    void groupEnding(const RtfGroup &closing) override;

private:
    void start(RtfGroup &g);
    void property(RtfKeywords::Kw kw, const RtfTokenizer::Token &t);
    void finish();

    Picture m_picture;
    int m_nibble = -1;
    PictureDecoder m_decoder;
};
