#pragma once

#include "rtf/rtfgroup.h"
#include "rtf/rtfkeywords.h"
#include "rtf/rtftokenizer.h"

class RtfParser;

// A part of the reader that owns the state of one kind of destination (the font
// table, the fields, the pictures, ...). The parser keeps the groups and routes to
// it the control words the keyword table gives it, the text of the groups that read
// into it, and the end of the groups whose work it marked as its own.
class RtfDestination
{
public:
    explicit RtfDestination(RtfParser &parser)
        : m_parser(parser)
    {
    }
    virtual ~RtfDestination() = default;
    RtfDestination(const RtfDestination &) = delete;
    RtfDestination &operator=(const RtfDestination &) = delete;

    // One of its control words, in the open group g.
    virtual void word(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t) = 0;
    // Text bytes of a group that reads into it.
    virtual void text(RtfGroup & /*g*/, const char * /*data*/, int /*length*/) {}
    // A character given by a control word (\u, \emdash, ...) in such a group.
    virtual void character(RtfGroup & /*g*/, char32_t /*c*/) {}
    // A group it marked as its own closes: still the open group in groupEnding, gone
    // from the stack in groupEnded.
    virtual void groupEnding(const RtfGroup & /*closing*/) {}
    virtual void groupEnded(const RtfGroup & /*closing*/) {}

protected:
    RtfParser &m_parser;
};
