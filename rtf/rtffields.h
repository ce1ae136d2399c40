#pragma once

#include "rtf/rtfdestination.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <utility>
#include <vector>

// Fields (\field, \fldinst, \fldrslt): hyperlinks become anchors, and fields without
// a stored result still show what their instruction says.
class RtfFields final : public RtfDestination
{
public:
    using RtfDestination::RtfDestination;

    void word(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t) override;
    void text(RtfGroup &g, const char *data, int length) override;
    void character(RtfGroup &g, char32_t c) override;
    // For a group that names a field (RtfGroup::field).
    void groupEnding(const RtfGroup &closing) override;
    void groupEnded(const RtfGroup &closing) override;
    // A group that names a field went unread.
    void release(const RtfGroup &closing);

private:
    struct Field
    {
        QString instruction;
        RtfDest outer = RtfDest::Normal;
        qint64 resultStart = -1; // output count when the result began, -1 before
        CharState resultChr;     // the result's formatting, for a result left empty
        bool hasResultChr = false;
        int anchor = -1; // hyperlink target of every result, -1 for none
        int parent = -1; // the field in whose instruction this one stands, -1 for none
        // Where the results of the fields inside the instruction stand in it.
        std::vector<std::pair<qsizetype, qsizetype>> nestedResults;
    };
    static Field fieldIn(const RtfGroup &g)
    {
        Field field;
        field.outer = g.dest;
        field.parent = g.dest == RtfDest::FieldInst ? g.field : -1;
        return field;
    }

    void result(RtfGroup &g);
    int hyperlinkAnchor(const QString &instruction);
    void finish(const RtfGroup &g);
    void flushInstruction();
    QString symbolText(const QString &instruction, CharState &chr);

    std::vector<Field> m_fields;     // the fields whose groups are open, innermost last
    QHash<QString, int> m_anchorIds; // hyperlink target -> index in the builder's anchors
    // Instruction bytes waiting to be decoded in their font's code page, so that
    // double-byte characters written as two \'hh stay whole.
    QByteArray m_instructionBytes;
    int m_instructionField = -1;
    int m_instructionCodePage = 0;
};
