#include "rtf/rtfparser.h"

#include <string_view>

// Foot- and endnotes: the text of a note is not shown, its reference mark is, numbered
// as the document numbers that kind of note.

using RtfKeywords::Kw;

namespace {

enum Format { Arabic, AlphaLower, AlphaUpper, RomanLower, RomanUpper, Chicago };

// Whether the note whose \footnote word the probe has just read is an endnote: the
// note says so with \ftnalt among the words that open it.
bool isEndnote(RtfTokenizer probe)
{
    for (int i = 0; i < 32; ++i) {
        const RtfTokenizer::Token t = probe.next();
        if (t.type == RtfTokenizer::Type::Word) {
            if (std::string_view(t.data, size_t(t.length)) == "ftnalt")
                return true;
            if (std::string_view(t.data, size_t(t.length)) == "bin")
                return false;
        } else if (t.type == RtfTokenizer::Type::End || t.type == RtfTokenizer::Type::GroupClose
                   || (t.type == RtfTokenizer::Type::Text && QByteArray(t.data, t.length).trimmed().size() > 0)) {
            return false;
        }
    }
    return false;
}

QString roman(int n, bool upper)
{
    static const std::pair<int, const char *> parts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                                                         {90, "xc"},  {50, "l"},   {40, "xl"},  {10, "x"},   {9, "ix"},
                                                         {5, "v"},    {4, "iv"},   {1, "i"}};
    QString s;
    for (const auto &[value, letters] : parts) {
        for (; n >= value && s.size() < 32; n -= value)
            s += QLatin1String(letters);
    }
    return upper ? s.toUpper() : s;
}

// A note's label: 1, a, A, i, I or *, and after z (or the fourth symbol) the letter
// or symbol repeated, as word processors count.
QString label(int n, int format)
{
    if (n < 1 || format == Arabic || (format != RomanLower && format != RomanUpper && n > 26 * 8))
        return QString::number(n);
    switch (format) {
    case AlphaLower:
    case AlphaUpper:
        return QString((n - 1) / 26 + 1, QChar(char16_t((format == AlphaLower ? 'a' : 'A') + (n - 1) % 26)));
    case RomanLower:
    case RomanUpper:
        return n < 4000 ? roman(n, format == RomanUpper) : QString::number(n);
    case Chicago: {
        static const char16_t symbols[] = {u'*', u'\u2020', u'\u2021', u'\u00A7'};
        return QString((n - 1) / 4 + 1, QChar(symbols[(n - 1) % 4]));
    }
    default:
        return QString::number(n);
    }
}

} // namespace

void RtfParser::noteWord(const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t)
{
    switch (info.kw) {
    case Kw::Footnote:
        ++(isEndnote(m_tok) ? m_endnotes : m_footnotes);
        skipDestination();
        break;
    case Kw::NoteFormat:
        (info.ch >= 16 ? m_endnoteFormat : m_footnoteFormat) = int(info.ch % 16);
        break;
    case Kw::NoteStart:
        (info.ch ? m_endnoteStart : m_footnoteStart) = t.hasParameter ? qBound(0, t.parameter, 32767) : 1;
        break;
    default:
        break;
    }
}

QString RtfParser::noteMark() const
{
    // The mark comes before its note, and the note follows within a few tokens: look
    // ahead for it to know which kind of note the mark numbers.
    RtfTokenizer probe = m_tok;
    bool endnote = false;
    for (int i = 0; i < 32; ++i) {
        const RtfTokenizer::Token t = probe.next();
        if (t.type == RtfTokenizer::Type::End
            || (t.type == RtfTokenizer::Type::Text && QByteArray(t.data, t.length).trimmed().size() > 0))
            break;
        if (t.type == RtfTokenizer::Type::Word && std::string_view(t.data, size_t(t.length)) == "footnote") {
            endnote = isEndnote(probe);
            break;
        }
        if (t.type == RtfTokenizer::Type::Word && std::string_view(t.data, size_t(t.length)) == "bin")
            break;
    }
    return endnote ? label(m_endnoteStart + m_endnotes, m_endnoteFormat)
                   : label(m_footnoteStart + m_footnotes, m_footnoteFormat);
}
