#pragma once

#include <QtGlobal>

// Whether some tag of an XML text has more than PackageLimits::MaxXmlAttributes
// attributes, counted by their '=' outside quotes; comments, CDATA sections and
// processing instructions are passed over, so that what they hold is not counted.
// The text may come in pieces, as a part inflates: each call looks at what was
// added since the last (the bytes before stay where they were), and a comment or a
// tag cut at a piece's edge is taken up where it was left.
class TagScan final
{
public:
    // Looks at data[0, size) past what the calls before saw; complete: no more bytes
    // follow. True once a tag with too many attributes has been seen.
    bool tooManyAttributes(const char *data, qsizetype size, bool complete);

private:
    enum State : unsigned char { Outside, Comment, CData, Instruction, Tag };
    qsizetype m_at = 0; // where the next call goes on from
    State m_state = Outside;
    char m_quote = 0;   // in a tag: the quote of the value being passed, or 0
    int m_equals = 0;   // in a tag: its signs so far
    bool m_tooMany = false;
};
