#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QTextLayout>

#include <vector>

class QTextBlock;

// How the document's text is measured: as word processors measure it, at the size the
// document asks for, rather than as Qt does.
//   - Qt lays text out with a font engine of a whole pixel size: 8 pt at 96 dpi is
//     drawn at 11 pixels instead of 10.67, 10 pt at 13 instead of 13.33, so words are
//     2 to 3 % too wide or too narrow and lines break elsewhere. The glyphs keep Qt's
//     size; their advances are scaled to the size asked for, by a percentage letter
//     spacing that the layout gives each run of its paragraphs (never the document:
//     what is saved, copied and shown in the font dialog keeps its formats).
//   - A line reaches as far above its baseline as the largest line gap plus ascent of
//     its faces, and as far below as their largest descent: those of each face's
//     horizontal header, or its typographic ones when the face asks for them, at the
//     size asked for, without rounding. Qt takes other ascents and descents, at the
//     whole pixel size, puts the line gap below and rounds the line up to whole pixels.
//   - A proportional line height scales that height and adds below the text; a
//     minimum one adds above it; an exact one puts the baseline four fifths down.
//     The space after a paragraph adds to the space before the next instead of
//     overlapping it.
// Qt's own rules hold everywhere else. setWordProcessorRules(false) lays out what is
// laid out from then on (a document opened after) by Qt's rules alone, as Qt's own
// document layout does.
namespace TextMetrics {

bool wordProcessorRules();
void setWordProcessorRules(bool on);

struct Face
{
    qreal scale = 1;     // from Qt's advances to those at the size asked for
    qreal qtAscent = 0;  // of Qt's font engine, at the whole pixel size
    qreal qtDescent = 0;
    qreal ascent = 0;    // at the size asked for: from the line's top to the baseline
    qreal height = 0;    // the line's height at the size asked for, ascent included
    qreal gap = 0;       // of the ascent: the face's line gap (LayoutProperty::NoLineGap)
};

// The measures of the face font stands for (a document's font: point sizes at the
// screen's resolution). Kept once worked out.
const Face &face(const QFont &font);

// The font the document's text is laid out and drawn with: font with its advances
// at the size asked for.
QFont laidOutFont(const QFont &font);

// How much wider the glyphs of runs are at the size asked for than Qt lays them out,
// in pixels. Qt rounds each advance to a 64th of a pixel at its font engine's whole
// pixel size, and cuts it down again where the percentage letter spacing of font (as
// laidOutFont() gives it) scales it to the size asked for: a long line comes out a
// pixel or two narrower than word processors measure it. Kerning is left as Qt has it.
qreal advanceShortfall(const QList<QGlyphRun> &runs, const QFont &font);

// The height and the baseline of a line whose text is in the faces given, and whose
// Qt line has the ascent and descent given (a picture, a superscript or a fallback
// face can make it higher than its faces; see LayoutProperty::AsianFallbackByLanguage
// for the fallback face of ideographs).
struct LineBox
{
    qreal ascent = 0;
    qreal height = 0;
};
// A line in one face alone; without the face's line gap where noGap
// (LayoutProperty::NoLineGap).
LineBox box(const Face &face, bool noGap = false);
class LineBoxes final
{
public:
    // The runs of the paragraph's text and their faces.
    explicit LineBoxes(const QTextBlock &block);
    // The line over [start, end) of the paragraph's text.
    LineBox box(int start, int end, qreal qtAscent, qreal qtDescent);

private:
    struct Run
    {
        int start = 0;
        Face face;
        bool object = false; // a picture, or text raised or lowered
        bool cjk = false;    // Asian text in Chinese, Japanese or Korean
        QFont font;
    };
    // Whether the characters of [start, end) that the faces lack are all Asian text.
    bool onlyAsianFallsBack(int start, int end) const;

    std::vector<Run> m_runs;
    size_t m_at = 0;
    QFont m_font;
    QString m_text;
    bool m_byLanguage = false; // LayoutProperty::AsianFallbackByLanguage
    bool m_noGap = false;      // LayoutProperty::NoLineGap
};

// Gives the paragraph's layout the formats that scale its advances (and keeps the
// formats others gave it, such as an input method's). Returns whether they changed.
// A change outside a change of the document is reported to the document's layout
// at once, as its own (see isOwnReport()).
bool applyAdvances(const QTextBlock &block);
// Reports formats others gave the paragraph's layout as applyAdvances() reports its own.
void reportFormats(const QTextBlock &block);

// Whether the document's layout is told of a change by that report, and whether the
// change is the report alone. A change of the document still pending (an edit block
// left open while a paragraph is laid out) comes along with it, merged into one
// range, and is then reported no more by the document.
bool isReport(const QTextDocument *doc);
bool isOwnReport(const QTextDocument *doc, int from, int oldLength, int length);

// While the document's layout follows a change the document reports, formats given
// to paragraphs join that change and are not reported again.
class ChangeScope final
{
public:
    ChangeScope();
    ~ChangeScope();
    ChangeScope(const ChangeScope &) = delete;
    ChangeScope &operator=(const ChangeScope &) = delete;
};

} // namespace TextMetrics
