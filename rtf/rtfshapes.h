#pragma once

#include "rtf/rtfdestination.h"

#include <QByteArray>

#include <vector>

// Shapes (\shp, \shpgrp) and old drawing objects (\do): a shape shows the picture of
// its picture property and the text of its text box, or else the pictures and text
// boxes of its result (the fallback written for readers without shapes); its other
// contents stay out of the text.
class RtfShapes final : public RtfDestination
{
public:
    using RtfDestination::RtfDestination;

    void word(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t) override;
    // The name of a shape property.
    void text(RtfGroup &g, const char *data, int length) override;
    // Ends the text box a group opened.
    void groupEnding(const RtfGroup &closing) override;
    void groupEnded(const RtfGroup &closing) override;

    // Whether a picture in group g shows, as the one picture of the innermost shape
    // or part of its result.
    bool showsPicture(const RtfGroup &g) const;
    // A picture was shown: the shapes around it need no fallback.
    void pictureShown();
    // The table level the innermost open text box's contents start at, 0 outside any.
    int textBoxLevel() const { return m_textBoxLevels.empty() ? 0 : m_textBoxLevels.back(); }

private:
    void startTextBox(RtfGroup &g);
    void endTextBox(const RtfGroup &closing);

    // Shapes open around the reader, innermost last, with whether they have shown
    // their picture. From the group depth m_pictureFrom on, a picture belongs to the
    // innermost shape's picture property (only one is shown) or, when m_result, to
    // its result (all are shown); 0 for neither.
    struct OpenShape
    {
        size_t depth;
        bool hasPicture; // or its text box: the fallback result is not needed
        int anchorLevel; // the table level of the paragraph it stands in
        int left = 0;    // twips
        int right = 0;
    };
    std::vector<OpenShape> m_shapes;
    // The table levels the open text boxes' contents start at, innermost last.
    std::vector<int> m_textBoxLevels;
    size_t m_pictureFrom = 0;
    bool m_result = false;
    QByteArray m_propertyName;
};
