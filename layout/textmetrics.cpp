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

#include <fontconfig/fontconfig.h>

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

// The advances of a face's glyphs in its own units, from its horizontal metrics.
struct Advances
{
    QByteArray table; // hmtx: (advance, left bearing) pairs of 16 bits each
    int count = 0;    // glyphs with an advance of their own; the rest take the last one's
    int unitsPerEm = 0;

    qreal at(quint32 glyph) const
    {
        const int offset = 4 * int(qMin(glyph, quint32(count - 1)));
        return (uchar(table.at(offset)) << 8) | uchar(table.at(offset + 1));
    }
};

const Advances &advancesOf(const QRawFont &raw)
{
    static QHash<QString, Advances> s_advances;
    const QString key = raw.familyName() + QLatin1Char('\n') + raw.styleName();
    auto it = s_advances.constFind(key);
    if (it != s_advances.constEnd())
        return *it;
    if (s_advances.size() >= MaximumFaces)
        s_advances.clear();
    Advances advances;
    const QByteArray hhea = raw.fontTable("hhea");
    advances.table = raw.fontTable("hmtx");
    if (hhea.size() >= 36 && raw.unitsPerEm() > 0) {
        advances.count = qMin(int(quint16(bigEndian16(hhea, 34))), int(advances.table.size() / 4));
        advances.unitsPerEm = int(raw.unitsPerEm());
    }
    if (advances.count <= 0)
        advances = {};
    return *s_advances.insert(key, advances);
}

// How far a line of the face reaches above and below its baseline, in the face's own
// units, as word processors take it: the line gap and the ascent of its horizontal
// header above, its descent below; or the typographic ones of its OS/2 table when
// the face asks for them. Both 0 when the face has neither.
struct Units
{
    int above = 0;
    int below = 0;
    int gap = 0; // of above: the line gap (external leading) over the ascent
};
Units lineUnits(const QRawFont &raw)
{
    constexpr int UseTypoMetrics = 1 << 7;
    const QByteArray os2 = raw.fontTable("OS/2");
    if (os2.size() >= 74 && (bigEndian16(os2, 62) & UseTypoMetrics)) {
        const Units units{bigEndian16(os2, 72) + bigEndian16(os2, 68), -bigEndian16(os2, 70), qMax(0, bigEndian16(os2, 72))};
        if (units.above > 0 && units.below >= 0)
            return units;
    }
    const QByteArray hhea = raw.fontTable("hhea");
    if (hhea.size() >= 10) {
        const Units units{bigEndian16(hhea, 8) + bigEndian16(hhea, 4), -bigEndian16(hhea, 6), qMax(0, bigEndian16(hhea, 8))};
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
        face.gap = units.gap * exact / raw.unitsPerEm();
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

qreal advanceShortfall(const QList<QGlyphRun> &runs, const QFont &font)
{
    const qreal percent =
        font.letterSpacingType() == QFont::PercentageSpacing && font.letterSpacing() > 0 ? font.letterSpacing() : 100;
    // As Qt scales an advance of v 64ths: v + ((percent - 100) * v) / 100, each
    // product and quotient in 64ths.
    const qint64 spacing = qRound64(percent * 64) - 100 * 64;
    qreal shortfall = 0;
    for (const QGlyphRun &run : runs) {
        const QRawFont raw = run.rawFont();
        const Advances &advances = advancesOf(raw);
        if (advances.count == 0)
            continue;
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> laid = raw.advancesForGlyphIndexes(glyphs);
        const qreal perUnit = raw.pixelSize() / advances.unitsPerEm * percent / 100;
        for (qsizetype i = 0; i < glyphs.size() && i < laid.size(); ++i) {
            const qint64 v = qRound64(laid.at(i).x() * 64);
            const qint64 scaled = v + ((spacing * v + 32) >> 6) / 100;
            shortfall += advances.at(glyphs.at(i)) * perUnit - qreal(scaled) / 64;
        }
    }
    return shortfall;
}

LineBox box(const Face &face, bool noGap)
{
    const qreal ascent = qMax(qreal(0), face.ascent - (noGap ? face.gap : 0));
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
        const QTextCharFormat charFormat = fragment.charFormat();
        const QFont font = charFormat.font();
        const bool object = charFormat.isImageFormat() || charFormat.objectType() != QTextFormat::NoObject ||
                            charFormat.verticalAlignment() != QTextCharFormat::AlignNormal ||
                            charFormat.baselineOffset() != 0;
        const bool cjk = charFormat.boolProperty(LayoutProperty::CjkLanguage);
        if (m_runs.empty() || !(font == m_font) || object || m_runs.back().object || cjk != m_runs.back().cjk)
            m_runs.push_back({fragment.position() - start, face(font), object, cjk, font});
        m_font = font;
    }
    if (m_runs.empty())
        m_runs.push_back({0, face(block.charFormat().font()), false, false, block.charFormat().font()});
    m_text = block.text();
    m_byLanguage = block.blockFormat().boolProperty(LayoutProperty::AsianFallbackByLanguage);
    m_noGap = block.blockFormat().boolProperty(LayoutProperty::NoLineGap);
}

namespace {

// Ideographs, kana, hangul and their punctuation and full-width forms.
bool isAsianText(char32_t c)
{
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

} // namespace

bool LineBoxes::onlyAsianFallsBack(int start, int end) const
{
    end = qMin(end, int(m_text.size()));
    size_t run = m_at;
    QRawFont raw;
    size_t rawRun = m_runs.size();
    bool asian = false;
    for (int i = start; i < end; ++i) {
        while (run + 1 < m_runs.size() && m_runs[run + 1].start <= i)
            ++run;
        char32_t c = m_text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < end && m_text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(m_text.at(i), m_text.at(i + 1));
            ++i;
        }
        if (c <= 0x7F || QChar::isSpace(c) || QChar::category(c) == QChar::Other_Format)
            continue;
        if (rawRun != run) {
            raw = QRawFont::fromFont(m_runs[run].font);
            rawRun = run;
        }
        if (raw.isValid() && raw.supportsCharacter(c))
            continue;
        if (!isAsianText(c) || m_runs[run].cjk)
            return false;
        asian = true;
    }
    return asian;
}

LineBox LineBoxes::box(int start, int end, qreal qtAscent, qreal qtDescent)
{
    while (m_at + 1 < m_runs.size() && m_runs[m_at + 1].start <= start)
        ++m_at;
    qreal ascent = 0;
    qreal below = 0;
    qreal faceAscent = 0;
    qreal faceDescent = 0;
    bool objects = false;
    for (size_t i = m_at; i < m_runs.size() && (i == m_at || m_runs[i].start < end); ++i) {
        const Face &f = m_runs[i].face;
        const LineBox own = TextMetrics::box(f, m_noGap);
        ascent = qMax(ascent, own.ascent);
        below = qMax(below, own.height - own.ascent);
        faceAscent = qMax(faceAscent, f.qtAscent);
        faceDescent = qMax(faceDescent, f.qtDescent);
        objects = objects || m_runs[i].object;
    }
    // What stands higher or lower than the faces (a picture, a fallback face, a
    // superscript) keeps the room Qt gives it; but ideographs, kana and hangul that a
    // fallback face draws (those of a Japanese font the system does not have, in Droid
    // Sans Fallback) may leave the line as high as the faces (AsianFallbackByLanguage).
    constexpr qreal Slack = 1.0 / 64;
    if (m_byLanguage && (qtAscent > faceAscent + Slack || qtDescent > faceDescent + Slack) && !objects &&
        onlyAsianFallsBack(start, end))
        return {ascent, ascent + below};
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

// Characters of Asian text that stand apart from Western letters and digits:
// ideographs, kana, hangul, and the full- and half-width letters and digits.
bool isAsianLetter(char32_t c)
{
    return (c >= 0x1100 && c <= 0x11FF)       // hangul jamo
           || (c >= 0x3005 && c <= 0x3007)    // iteration mark, closing mark, ideographic zero
           || (c >= 0x3040 && c <= 0x30FF)    // hiragana, katakana
           || (c >= 0x3130 && c <= 0x318F)    // hangul compatibility jamo
           || (c >= 0x31F0 && c <= 0x31FF)    // katakana extensions
           || (c >= 0x3400 && c <= 0x4DBF)    // extension A
           || (c >= 0x4E00 && c <= 0x9FFF)    // unified ideographs
           || (c >= 0xAC00 && c <= 0xD7AF)    // hangul syllables
           || (c >= 0xF900 && c <= 0xFAFF)    // compatibility ideographs
           || (c >= 0xFF10 && c <= 0xFF19)    // full-width digits
           || (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A) // full-width letters
           || (c >= 0xFF66 && c <= 0xFFDC)    // half-width katakana and hangul
           || (c >= 0x20000 && c <= 0x3FFFF); // supplementary ideographs
}

// Letters and digits of the scripts set with Latin text (not those that run right to
// left or need shaping of their own).
bool isWesternLetter(char32_t c)
{
    if (!QChar::isLetterOrNumber(c) || isAsianLetter(c))
        return false;
    switch (QChar::script(c)) {
    case QChar::Script_Common:
    case QChar::Script_Inherited:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
    case QChar::Script_Armenian:
    case QChar::Script_Georgian:
        return true;
    default:
        return false;
    }
}

// A fifth of the larger size between an ideograph, kana or hangul and a Western letter
// or digit beside it (see LayoutProperty::SpaceAsianFromWestern), as an absolute
// letter spacing on the character before the boundary; measured on LibreOffice's
// pages, at 10 and 20 points, either size the larger.
void spaceAsianFromWestern(const QTextBlock &block, const LayoutText &text, QList<QTextLayout::FormatRange> &wanted)
{
    const QString chars = block.text();
    const int start = block.position();
    enum Kind { Other, Asian, Western };
    const auto kindAt = [&chars](qsizetype i, qsizetype *next) {
        char32_t c = chars.at(i).unicode();
        *next = i + 1;
        if (c < 0x80) // most text, at once
            return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') ? Western : Other;
        if (QChar::isHighSurrogate(c) && i + 1 < chars.size() && chars.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(chars.at(i), chars.at(i + 1));
            *next = i + 2;
        }
        return isAsianLetter(c) ? Asian : isWesternLetter(c) ? Western : Other;
    };
    // The fragments' formats by position, looked up in order.
    QTextBlock::iterator it = block.begin();
    const auto fragmentAt = [&](qsizetype at) {
        while (!it.atEnd()) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() - start + fragment.length() > at)
                return fragment;
            ++it;
        }
        return QTextFragment();
    };
    struct Size
    {
        qreal em = 0;
        qreal scale = 1;    // of the laid-out font, 1 where it has a spacing of its own
        qreal spacing = 0;  // the format's own absolute letter spacing
    };
    QHash<int, Size> sizes; // by format
    const auto sizeOf = [&sizes](const QTextFragment &fragment) {
        auto known = sizes.constFind(fragment.charFormatIndex());
        if (known == sizes.constEnd()) {
            const QFont font = fragment.charFormat().font();
            const qreal em = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * dotsPerInch() / 72;
            const bool absolute = font.letterSpacingType() == QFont::AbsoluteSpacing && font.letterSpacing() != 0;
            known = sizes.insert(fragment.charFormatIndex(),
                                 {em, absolute ? 1 : face(font).scale, absolute ? font.letterSpacing() : 0});
        }
        return *known;
    };
    qsizetype next = 0;
    Kind previous = chars.isEmpty() ? Other : kindAt(0, &next);
    for (qsizetype i = 0; next < chars.size();) {
        qsizetype after = 0;
        const Kind kind = kindAt(next, &after);
        if (previous != Other && kind != Other && previous != kind) {
            const QTextFragment first = fragmentAt(i);
            const QTextFragment second = fragmentAt(next);
            if (first.isValid() && second.isValid()) {
                const Size a = sizeOf(first);
                const Size b = sizeOf(second);
                // An absolute spacing takes the place of the format's own and of the
                // scaling one of the laid-out font.
                qreal extra = qMax(a.em, b.em) / 5 + a.spacing;
                if (a.scale != 1)
                    extra += QFontMetricsF(first.charFormat().font()).horizontalAdvance(chars.mid(i, next - i)) * (a.scale - 1);
                QTextCharFormat own = ownFormat();
                own.setFontLetterSpacingType(QFont::AbsoluteSpacing);
                own.setFontLetterSpacing(extra);
                wanted.append({text.at(int(i)), int(next - i), own});
            }
        }
        previous = kind;
        i = next;
        next = after;
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
        if (block.blockFormat().boolProperty(LayoutProperty::SpaceAsianFromWestern))
            spaceAsianFromWestern(block, text, wanted);
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

namespace {

// Type 1 files are left out of the system's fonts, as LibreOffice and GTK leave them
// out: the URW faces that stand for Times, Helvetica and Courier come as Type 1 and
// OpenType files both, and the Type 1 one lacks the pairs the face kerns and the
// measures of its lines. Done before Qt reads the system's fonts, in every program
// that lays text out so.
void preferOpenTypeFiles()
{
    FcConfig *config = FcInitLoadConfig();
    if (!config)
        return;
    static const char rule[] = "<?xml version=\"1.0\"?><fontconfig><selectfont><rejectfont><pattern>"
                               "<patelt name=\"fontformat\"><string>Type 1</string></patelt>"
                               "</pattern></rejectfont></selectfont></fontconfig>";
    if (FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8 *>(rule), FcFalse) &&
        FcConfigBuildFonts(config))
        FcConfigSetCurrent(config); // which takes a reference of its own
    FcConfigDestroy(config);
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(preferOpenTypeFiles)
