#include "layout/textmetrics.h"

#include "base/layoutproperties.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QRawFont>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>

namespace TextMetrics {

namespace {

bool s_wordProcessor = true;
int s_changes = 0; // depth of the changes the document's layout is following

// The paragraph whose new formats are being reported to the document's layout.
struct Report
{
    const QTextDocument *doc = nullptr;
    int from = 0;
    int length = 0;
};
Report s_report;

// Marks the formats applyAdvances() gives, to tell them from others'.
constexpr int OwnFormat = QTextFormat::UserProperty + 0x4f72;

// Faces met so far. A document can name thousands of fonts; past this many the
// cache starts again.
constexpr qsizetype MaximumFaces = 4096;
QHash<QFont, Face> s_faces;

// The resolution Qt turns point sizes into pixels with.
qreal dotsPerInch()
{
    if (QCoreApplication::testAttribute(Qt::AA_Use96Dpi))
        return 96;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return qRound(screen->logicalDotsPerInchY());
    return 100;
}

int bigEndian16(const QByteArray &table, int at)
{
    return qint16(quint16((uchar(table.at(at)) << 8) | uchar(table.at(at + 1))));
}

// How far a line of the face reaches above and below its baseline, in the face's own
// units, as word processors take it: the line gap and the ascent of its horizontal
// header above, its descent below; or the typographic ones of its OS/2 table when
// the face asks for them. Both 0 when the face has neither.
struct Units
{
    int above = 0;
    int below = 0;
};
Units lineUnits(const QRawFont &raw)
{
    constexpr int UseTypoMetrics = 1 << 7;
    const QByteArray os2 = raw.fontTable("OS/2");
    if (os2.size() >= 74 && (bigEndian16(os2, 62) & UseTypoMetrics)) {
        const Units units{bigEndian16(os2, 72) + bigEndian16(os2, 68), -bigEndian16(os2, 70)};
        if (units.above > 0 && units.below >= 0)
            return units;
    }
    const QByteArray hhea = raw.fontTable("hhea");
    if (hhea.size() >= 10) {
        const Units units{bigEndian16(hhea, 8) + bigEndian16(hhea, 4), -bigEndian16(hhea, 6)};
        if (units.above > 0 && units.below >= 0)
            return units;
    }
    return {};
}

Face measure(const QFont &font)
{
    Face face;
    const QFontMetricsF qt(font);
    face.qtAscent = qt.ascent();
    face.qtDescent = qt.descent();
    qreal exact = font.pixelSize();
    qreal vertical = 1;
    if (font.pixelSize() <= 0) {
        // Qt's font database rounds the pixel size of a point size so.
        exact = font.pointSizeF() * dotsPerInch() / 72;
        const int rounded = qRound(std::floor(exact * 100 + 0.5) / 100);
        // A face with bitmaps only comes in sizes of its own: it is left as it is.
        if (rounded > 0 && exact != rounded && QFontInfo(font).pixelSize() == rounded) {
            vertical = exact / rounded;
            face.scale = exact / rounded;
        }
    }
    const QRawFont raw = QRawFont::fromFont(font);
    const Units units = raw.isValid() && raw.unitsPerEm() > 0 ? lineUnits(raw) : Units{};
    if (units.above > 0) {
        face.ascent = units.above * exact / raw.unitsPerEm();
        face.height = face.ascent + units.below * exact / raw.unitsPerEm();
    } else {
        // Without a header, as Qt has it at the size asked for.
        face.ascent = face.qtAscent * vertical;
        face.height = (face.qtAscent + face.qtDescent + qMax(qreal(0), qt.leading())) * vertical;
    }
    return face;
}

} // namespace

bool wordProcessorRules()
{
    return s_wordProcessor;
}

void setWordProcessorRules(bool on)
{
    s_wordProcessor = on;
}

const Face &face(const QFont &font)
{
    auto it = s_faces.constFind(font);
    if (it != s_faces.constEnd())
        return *it;
    if (s_faces.size() >= MaximumFaces)
        s_faces.clear();
    return *s_faces.insert(font, measure(font));
}

QFont laidOutFont(const QFont &font)
{
    if (!s_wordProcessor)
        return font;
    const qreal scale = face(font).scale;
    if (scale == 1)
        return font;
    QFont scaled = font;
    const bool absolute = font.letterSpacingType() == QFont::AbsoluteSpacing && font.letterSpacing() != 0;
    if (!absolute) {
        const qreal percent = font.letterSpacing() > 0 ? font.letterSpacing() : 100;
        scaled.setLetterSpacing(QFont::PercentageSpacing, percent * scale);
    }
    return scaled;
}

LineBox box(const Face &face)
{
    const qreal ascent = qMax(qreal(0), face.ascent);
    const qreal below = qMax(qreal(0), face.height - face.ascent);
    return {ascent, ascent + below};
}

LineBoxes::LineBoxes(const QTextBlock &block)
{
    const int start = block.position();
    int format = -1; // the last fragment's: fragments in one format are one run
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.charFormatIndex() == format)
            continue;
        format = fragment.charFormatIndex();
        const QFont font = fragment.charFormat().font();
        if (m_runs.empty() || !(font == m_font))
            m_runs.push_back({fragment.position() - start, face(font)});
        m_font = font;
    }
    if (m_runs.empty())
        m_runs.push_back({0, face(block.charFormat().font())});
}

LineBox LineBoxes::box(int start, int end, qreal qtAscent, qreal qtDescent)
{
    while (m_at + 1 < m_runs.size() && m_runs[m_at + 1].start <= start)
        ++m_at;
    qreal ascent = 0;
    qreal below = 0;
    qreal faceAscent = 0;
    qreal faceDescent = 0;
    for (size_t i = m_at; i < m_runs.size() && (i == m_at || m_runs[i].start < end); ++i) {
        const Face &f = m_runs[i].face;
        ascent = qMax(ascent, f.ascent);
        below = qMax(below, f.height - f.ascent);
        faceAscent = qMax(faceAscent, f.qtAscent);
        faceDescent = qMax(faceDescent, f.qtDescent);
    }
    // What stands higher or lower than the faces (a picture, a fallback font, a
    // superscript) keeps the room Qt gives it.
    constexpr qreal Slack = 1.0 / 64;
    if (qtAscent > faceAscent + Slack)
        ascent = qMax(ascent, qtAscent);
    if (qtDescent > faceDescent + Slack)
        below = qMax(below, qtDescent);
    return {ascent, ascent + below};
}

namespace {

void report(const QTextBlock &block)
{
    if (s_changes > 0)
        return; // the change being followed takes it in
    auto *doc = const_cast<QTextDocument *>(block.document());
    const Report outer = s_report;
    s_report = {doc, block.position(), block.length()};
    doc->markContentsDirty(block.position(), block.length());
    s_report = outer;
}

} // namespace

namespace {

// Where a position of the paragraph's text stands in its layout's text, which holds
// an input method's text being composed besides.
struct LayoutText
{
    int preeditAt = 0;
    int preedit = 0;
    int at(int position) const { return preedit > 0 && position >= preeditAt ? position + preedit : position; }
};

QTextCharFormat ownFormat()
{
    QTextCharFormat own;
    own.setProperty(OwnFormat, true);
    return own;
}

// Super- and subscripts as word processors draw them, where the format gives their
// size (Qt's own is two thirds of the whole points): a small one with its top at the
// text's top and its foot a little below the baseline, by baseline offsets Qt takes
// as shares of the small face's height; one of the whole size (raised or lowered by
// a distance of its own) moved by about the distance usually given (3 points at 12).
constexpr qreal SuperRaise = 57;
constexpr qreal SubDrop = -15;
constexpr qreal WholeRaise = 22;
constexpr qreal WholeDrop = -22;

// What the layout lays a format out in on top of it: the letter spacing that gives the
// face its print widths, and the size and offset of super- and subscripts; empty for
// nothing of its own.
QTextCharFormat laidOutFormat(const QTextCharFormat &format)
{
    QTextCharFormat own;
    QFont font = format.font();
    const QTextCharFormat::VerticalAlignment align = format.verticalAlignment();
    const bool escaped = align == QTextCharFormat::AlignSuperScript || align == QTextCharFormat::AlignSubScript;
    const bool super = align == QTextCharFormat::AlignSuperScript;
    const int size = format.intProperty(LayoutProperty::ScriptSize);
    if (escaped && size >= 100) {
        own.setVerticalAlignment(QTextCharFormat::AlignNormal);
        own.setBaselineOffset(super ? WholeRaise : WholeDrop);
    } else if (escaped && size > 0 && font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * size / 100);
        own.setVerticalAlignment(QTextCharFormat::AlignNormal);
        own.setFontPointSize(font.pointSizeF());
        own.setBaselineOffset(super ? SuperRaise : SubDrop);
    } else if (escaped) {
        return own; // no size given, or one in pixels: Qt's own
    }
    const QFont scaled = laidOutFont(font);
    if (scaled.letterSpacing() != font.letterSpacing() || scaled.letterSpacingType() != font.letterSpacingType()) {
        own.setFontLetterSpacingType(QFont::PercentageSpacing);
        own.setFontLetterSpacing(scaled.letterSpacing());
    }
    if (!own.isEmpty())
        own.setProperty(OwnFormat, true);
    return own;
}

// The formats the paragraph's own formats are laid out in on top of them (see
// laidOutFormat()), where they have any.
void scaleAdvances(const QTextBlock &block, const LayoutText &text, QList<QTextLayout::FormatRange> &wanted)
{
    const int start = block.position();
    const qsizetype others = wanted.size();
    // Worked out once a format (a long paragraph has thousands of fragments in a few formats).
    QHash<int, QTextCharFormat> owns;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        auto known = owns.constFind(fragment.charFormatIndex());
        if (known == owns.constEnd())
            known = owns.insert(fragment.charFormatIndex(), laidOutFormat(fragment.charFormat()));
        if (known->isEmpty())
            continue;
        const QTextCharFormat &own = *known;
        const int at = text.at(fragment.position() - start);
        if (wanted.size() > others) {
            QTextLayout::FormatRange &last = wanted.last();
            if (last.start + last.length == at && last.format == own) {
                last.length += fragment.length();
                continue;
            }
        }
        wanted.append({at, fragment.length(), own});
    }
}

// What a space of a run takes more than Qt draws it with: a sixth of the face's size,
// and what its laid-out font would have scaled (Qt's word spacing is added once a
// run, and an absolute spacing takes the place of a scaling one).
qreal widenedSpace(const QFont &font)
{
    const qreal em = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * dotsPerInch() / 72;
    const qreal scale = face(font).scale;
    const qreal scaled = scale == 1 ? 0 : QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')) * (scale - 1);
    return em / 6 + scaled;
}

// LibreOffice sets the spaces of a run in Courier and Courier New as wide as one
// alone (measured on its pages: not in Liberation Mono or Nimbus Mono PS named so).
bool keepsSpaces(const QFont &font)
{
    const QString family = font.family();
    return family.compare(QLatin1String("Courier"), Qt::CaseInsensitive) == 0 ||
           family.compare(QLatin1String("Courier New"), Qt::CaseInsensitive) == 0;
}

// A sixth of the size of each space's face more for the spaces of a run of two or
// more (see LayoutProperty::WideSpaceRuns); measured on LibreOffice's pages, Times
// New Roman at 10 and 12 points and Arial at 12 alike.
void widenSpaceRuns(const QTextBlock &block, const LayoutText &text, QList<QTextLayout::FormatRange> &wanted)
{
    const QString chars = block.text();
    const int start = block.position();
    QTextBlock::iterator it = block.begin();
    QHash<int, qreal> widths; // what a space takes more in each format, 0 for nothing
    for (qsizetype i = 0; i < chars.size();) {
        if (chars.at(i) != QLatin1Char(' ')) {
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < chars.size() && chars.at(end) == QLatin1Char(' '))
            ++end;
        // The run in the formats it crosses, each space widened by its own size.
        for (qsizetype at = i; end - i > 1 && at < end && !it.atEnd();) {
            const QTextFragment fragment = it.fragment();
            const qsizetype fragmentEnd = fragment.position() - start + fragment.length();
            if (fragmentEnd <= at) {
                ++it;
                continue;
            }
            const qsizetype from = at;
            const qsizetype to = qMin(end, fragmentEnd);
            at = to;
            auto known = widths.constFind(fragment.charFormatIndex());
            if (known == widths.constEnd()) {
                const QFont font = fragment.charFormat().font();
                known = widths.insert(fragment.charFormatIndex(), keepsSpaces(font) ? 0 : widenedSpace(font));
            }
            if (*known == 0)
                continue;
            QTextCharFormat own = ownFormat();
            own.setFontLetterSpacingType(QFont::AbsoluteSpacing);
            own.setFontLetterSpacing(*known);
            wanted.append({text.at(int(from)), int(to - from), own});
        }
        i = end;
    }
}

// Small capitals as LibreOffice sets them: the capitals of lower-case letters at four
// fifths of the size (measured on its pages, Liberation Serif at 12 points and
// Liberation Sans at 10 alike), where Qt draws them at seven tenths.
void smallCapitals(const QTextBlock &block, const LayoutText &text, QList<QTextLayout::FormatRange> &wanted)
{
    constexpr qreal Fraction = 0.8;
    const QString chars = block.text();
    const int start = block.position();
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        if (format.fontCapitalization() != QFont::SmallCaps)
            continue;
        QFont small = format.font();
        if (small.pointSizeF() > 0)
            small.setPointSizeF(small.pointSizeF() * Fraction);
        else
            small.setPixelSize(qMax(1, qRound(small.pixelSize() * Fraction)));
        QTextCharFormat own = ownFormat();
        own.setFont(small, QTextCharFormat::FontPropertiesSpecifiedOnly);
        own.setFontCapitalization(QFont::AllUppercase);
        const QFont scaled = laidOutFont(small);
        own.setFontLetterSpacingType(scaled.letterSpacingType());
        own.setFontLetterSpacing(scaled.letterSpacing() > 0 ? scaled.letterSpacing() : 100);
        const int from = fragment.position() - start;
        const int end = qMin(int(chars.size()), from + fragment.length());
        for (int i = from; i < end;) {
            int j = i;
            while (j < end && chars.at(j).isLower())
                ++j;
            if (j > i)
                wanted.append({text.at(i), j - i, own});
            i = j + 1;
        }
    }
}

} // namespace

bool applyAdvances(const QTextBlock &block)
{
    QTextLayout *layout = block.layout();
    const QList<QTextLayout::FormatRange> current = layout->formats();
    QList<QTextLayout::FormatRange> wanted;
    for (const QTextLayout::FormatRange &range : current) {
        if (!range.format.hasProperty(OwnFormat))
            wanted.append(range);
    }
    if (s_wordProcessor) {
        const LayoutText text{layout->preeditAreaPosition(), int(layout->preeditAreaText().size())};
        scaleAdvances(block, text, wanted);
        smallCapitals(block, text, wanted);
        if (block.blockFormat().boolProperty(LayoutProperty::WideSpaceRuns))
            widenSpaceRuns(block, text, wanted);
    }
    if (wanted == current)
        return false;
    layout->setFormats(wanted);
    report(block);
    return true;
}

void reportFormats(const QTextBlock &block)
{
    report(block);
}

bool isReport(const QTextDocument *doc)
{
    return s_report.doc == doc;
}

bool isOwnReport(const QTextDocument *doc, int from, int oldLength, int length)
{
    return s_report.doc == doc && from == s_report.from && oldLength == s_report.length && length == s_report.length;
}

ChangeScope::ChangeScope()
{
    ++s_changes;
}

ChangeScope::~ChangeScope()
{
    --s_changes;
}

} // namespace TextMetrics
