#include "rtf/rtfheaderfooter.h"

#include "model/limits.h"
#include "rtf/rtflimits.h"

#include <QtGlobal>

#include <string_view>
#include <vector>

namespace RtfHeaderFooter {

namespace {

constexpr int DefaultSize = 24; // half points

// What the estimate knows of the text read so far.
struct Estimate
{
    Estimate(int width, int defaultSpacing, bool defaultMultiple)
        : width(width), defaultSpacing(defaultSpacing), defaultMultiple(defaultMultiple), spacing(defaultSpacing),
          multiple(defaultMultiple)
    {
    }

    const int width;
    const int defaultSpacing;
    const bool defaultMultiple;
    std::vector<int> sizes{DefaultSize}; // the font size of each group open
    qint64 total = 0;
    int before = 0, after = 0, spacing;
    bool multiple, inTable = false;
    bool tableLast = false; // a row ended, and no paragraph since
    int largest = 0; // the largest size of the text on the paragraph's line so far
    qint64 advance = 0; // how far its characters reach, in twips
    qint64 spaces = 0;  // the spaces after them, which take room only where more follows
    qint64 cell = 0, row = 0;

    int result() const { return int(qMin(total, qint64(ModelLimits::MaxTwips))); }

    // \pard: the paragraph's own spacing gone, the default style's back.
    void plainParagraph()
    {
        before = after = 0;
        spacing = defaultSpacing;
        multiple = defaultMultiple;
        inTable = false;
    }

    // The paragraph ending now: its lines and the space around it.
    qint64 paragraph()
    {
        const int size = largest > 0 ? largest : sizes.back();
        qint64 line = qint64(size) * 23 / 2; // 1.15 times the size: half points to twips
        // In a cell, LibreOffice gives the lines of a multiple spacing twice the room
        // above single that it gives them in a paragraph (1.3 lines at 1.15, 2 at 1.5).
        if (spacing > 0 && multiple && inTable && spacing > 240)
            line = line * (2 * spacing - 240) / 240;
        else if (spacing > 0)
            line = multiple ? line * spacing / 240 : qMax(line, qint64(spacing));
        else if (spacing < 0)
            line = -qint64(spacing);
        const qint64 lines = inTable || width <= 0 ? 1 : qBound(qint64(1), (advance + width - 1) / width, qint64(1000));
        largest = 0;
        advance = 0;
        spaces = 0;
        return line * lines + before + after;
    }

    // An em is ten twips a half point: a space a quarter of it, another character half.
    // Spaces that end a paragraph hang past its edge, as word processors let them: a
    // paragraph of blanks underlined to make a rule is one line.
    void text(const char *data, int length)
    {
        largest = qMax(largest, sizes.back());
        for (int i = 0; i < length; ++i) {
            if (data[i] == ' ') {
                spaces += qint64(sizes.back()) * 10 / 4;
                continue;
            }
            advance += spaces + qint64(sizes.back()) * 20 / 4;
            spaces = 0;
        }
    }

    // A last paragraph without its mark; after a table, the paragraph that word
    // processors keep there, at the size of the row's end.
    void end()
    {
        if (tableLast && largest == 0)
            plainParagraph();
        if (largest > 0 || tableLast)
            total += paragraph();
    }

    void word(const RtfTokenizer::Token &t, RtfTokenizer &tok)
    {
        const std::string_view word(t.data, size_t(t.length));
        const int p = t.parameter;
        if (word == "bin" && t.hasParameter)
            tok.binary(p);
        else if (word == "fs")
            sizes.back() = t.hasParameter && p > 0 ? qMin(p, 3276) : DefaultSize;
        else if (word == "plain")
            sizes.back() = DefaultSize;
        else if (word == "pard")
            plainParagraph();
        else if (word == "sb")
            before = qBound(0, p, ModelLimits::MaxTwips);
        else if (word == "sa")
            after = qBound(0, p, ModelLimits::MaxTwips);
        else if (word == "sl")
            spacing = qBound(-ModelLimits::MaxTwips, p, ModelLimits::MaxTwips);
        else if (word == "slmult")
            multiple = !t.hasParameter || p != 0;
        else if (word == "intbl")
            inTable = true;
        else if (word == "par") {
            tableLast = false;
            if (inTable)
                cell += paragraph();
            else
                total += paragraph();
        } else if (word == "cell") {
            row = qMax(row, cell + paragraph());
            cell = 0;
        } else if (word == "row") {
            total += row;
            row = 0;
            largest = 0;
            tableLast = true;
        }
    }
};

} // namespace

int height(RtfTokenizer tok, int width, int defaultSpacing, bool defaultMultiple)
{
    using T = RtfTokenizer::Type;
    constexpr int MaxDepth = 64;
    Estimate e(width, defaultSpacing, defaultMultiple);
    int depth = 0, beyond = 0;
    for (int tokens = 0; tokens < RtfLimits::MaxHeaderFooterTokens; ++tokens) {
        const RtfTokenizer::Token t = tok.next();
        switch (t.type) {
        case T::End:
            return e.result();
        case T::GroupOpen:
            if (depth >= MaxDepth) {
                ++beyond;
                break;
            }
            ++depth;
            e.sizes.push_back(e.sizes.back());
            break;
        case T::GroupClose:
            if (beyond > 0) {
                --beyond;
                break;
            }
            if (depth == 0) {
                e.end();
                return e.result();
            }
            --depth;
            e.sizes.pop_back();
            break;
        case T::Text:
            e.text(t.data, t.length);
            break;
        case T::Hex:
            e.largest = qMax(e.largest, e.sizes.back());
            e.advance += e.spaces + qint64(e.sizes.back()) * 5;
            e.spaces = 0;
            break;
        case T::Word:
            e.word(t, tok);
            break;
        case T::Binary:
        case T::Symbol:
            break;
        }
    }
    return e.result();
}

} // namespace RtfHeaderFooter
