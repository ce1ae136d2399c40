#include "docx/docxbody.h"

#include "docx/docxbodyxml.h"
#include "package/packagexml.h"
#include "package/partstream.h"

// Pictures (DrawingML and VML), text boxes, and the sections' columns read ahead.

using namespace DocxBodyXml;

namespace {

// A length of a VML style ("72pt", "1.5in", "2cm", "96px"), in twips; 0 when none.
qint64 vmlLength(const QString &style, const QString &property)
{
    for (const QString &part : style.split(QLatin1Char(';'))) {
        const qsizetype colon = part.indexOf(QLatin1Char(':'));
        if (colon < 0 || part.left(colon).trimmed() != property)
            continue;
        QString value = part.mid(colon + 1).trimmed();
        double factor = 20.0; // points when no unit is given
        if (value.endsWith(QLatin1String("pt"))) {
            value.chop(2);
        } else if (value.endsWith(QLatin1String("in"))) {
            value.chop(2);
            factor = 1440.0;
        } else if (value.endsWith(QLatin1String("cm"))) {
            value.chop(2);
            factor = 1440.0 / 2.54;
        } else if (value.endsWith(QLatin1String("mm"))) {
            value.chop(2);
            factor = 144.0 / 2.54;
        } else if (value.endsWith(QLatin1String("px"))) {
            value.chop(2);
            factor = 15.0;
        }
        bool ok = false;
        const double v = value.toDouble(&ok);
        return ok && v > 0 ? qint64(qMin(v * factor, double(MaxPictureTwips))) : 0;
    }
    return 0;
}

Picture::Kind pictureKind(const QString &name, const QByteArray &data)
{
    if (data.startsWith("\x89PNG"))
        return Picture::Kind::Png;
    if (data.startsWith("\xFF\xD8"))
        return Picture::Kind::Jpeg;
    if (data.size() > 44 && data.mid(40, 4) == " EMF")
        return Picture::Kind::Emf;
    if (data.startsWith("\xD7\xCD\xC6\x9A") || name.endsWith(QLatin1String(".wmf"), Qt::CaseInsensitive))
        return Picture::Kind::Wmf;
    if (name.endsWith(QLatin1String(".emf"), Qt::CaseInsensitive))
        return Picture::Kind::Emf;
    return Picture::Kind::Unknown; // GIF, BMP, TIFF: whatever the data turn out to be
}

} // namespace

void DocxBody::readSections(const QByteArray &data)
{
    // Most documents have one column throughout: the second reading is for those
    // that say otherwise.
    if (!mayHaveColumns(data))
        return;
    PackageXml xml(data);
    while (xml.next()) {
        if (!xml.isStart() || !is(xml, "sectPr"))
            continue;
        Section section;
        int page[6] = {12240, 15840, 1440, 1440, 1440, 1440}; // width, height, margins l r t b
        const int depth = xml.depth();
        while (xml.next() && xml.depth() >= depth) {
            if (!xml.isStart())
                continue;
            if (is(xml, "cols")) {
                section.columns = qBound(1, DocxProps::number(xml.attribute(u"num"), 1), TableLimits::MaxColumns);
                section.gap = qBound(0, DocxProps::number(xml.attribute(u"space"), 720), 31680);
                section.rule = xml.attribute(u"sep") == QLatin1String("1") || xml.attribute(u"sep") == QLatin1String("true");
            } else if (is(xml, "type")) {
                section.continuous = xml.attribute(u"val") == QLatin1String("continuous");
            } else if (is(xml, "pgSz")) {
                page[0] = qBound(0, DocxProps::number(xml.attribute(u"w"), page[0]), 31680 * 4);
                page[1] = qBound(0, DocxProps::number(xml.attribute(u"h"), page[1]), 31680 * 4);
            } else if (is(xml, "pgMar")) {
                const char16_t *names[] = {u"left", u"right", u"top", u"bottom"};
                for (int i = 0; i < 4; ++i)
                    page[2 + i] = qBound(0, qAbs(DocxProps::number(xml.attribute(QStringView(names[i])), page[2 + i])), 31680);
            }
        }
        section.width = page[0] - page[2] - page[3];
        section.height = qMax(0, page[1] - page[4] - page[5]);
        // Gaps that leave the columns less room than themselves shrink to half the
        // text's width, shared by them (as for RTF).
        const int gaps = section.columns - 1;
        if (gaps > 0 && section.width > 0 && qint64(section.gap) * gaps > section.width / 2)
            section.gap = section.width / (2 * gaps);
        if (m_sections.size() < 65536)
            m_sections.push_back(section);
    }
}

bool DocxBody::mayHaveColumns(const QByteArray &data)
{
    return data.contains(":cols ") && data.contains(":num=");
}

void DocxBody::settle()
{
    m_settled = true;
    if (!m_part || !m_part->waitComplete())
        return; // the reader meets the failure
    const QByteArray data = m_part->bytes();
    m_textWidth = lastTextWidth(data);
    m_again = mayHaveColumns(data);
}

int DocxBody::textWidth()
{
    if (!m_settled)
        settle();
    return m_textWidth;
}

int DocxBody::lastTextWidth(const QByteArray &data)
{
    // Only the last w:sectPr is read, as a fragment with the prefixes it may use.
    qsizetype at = data.lastIndexOf("sectPr");
    qsizetype open = -1;
    for (int tries = 0; at > 0 && tries < 2; ++tries) {
        const qsizetype lt = data.lastIndexOf('<', at);
        if (lt < 0 || at - lt > 32)
            return 0;
        if (data.at(lt + 1) != '/') {
            open = lt;
            break;
        }
        at = data.lastIndexOf("sectPr", lt);
    }
    if (open < 0)
        return 0;
    const qsizetype colon = data.indexOf(':', open);
    const qsizetype close = data.indexOf("sectPr>", open + 7);
    if (colon < 0 || close < 0 || colon > open + 16 || close - open > 1 << 16)
        return 0;
    const QByteArray prefix = data.mid(open + 1, colon - open - 1);
    const QByteArray fragment = "<f xmlns:" + prefix + "=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        + data.mid(open, close + 7 - open) + "</f>";
    PackageXml xml(fragment);
    int page[3] = {12240, 1440, 1440}; // width, left and right margins
    while (xml.next()) {
        if (!xml.isStart())
            continue;
        if (is(xml, "pgSz")) {
            page[0] = qBound(0, DocxProps::number(xml.attribute(u"w"), page[0]), 31680 * 4);
        } else if (is(xml, "pgMar")) {
            page[1] = qBound(0, qAbs(DocxProps::number(xml.attribute(u"left"), page[1])), 31680);
            page[2] = qBound(0, qAbs(DocxProps::number(xml.attribute(u"right"), page[2])), 31680);
        }
    }
    return xml.failed() ? 0 : qMax(0, page[0] - page[1] - page[2]);
}

void DocxBody::startSection(size_t index)
{
    m_section = index;
    if (index >= m_sections.size())
        return;
    const Section &s = m_sections[index];
    m_builder.setColumns(s.columns, s.gap, s.height, s.rule, s.continuous);
}

void DocxBody::readDrawing(PackageXml &xml)
{
    const int depth = xml.depth();
    qint64 cx = 0;
    qint64 cy = 0;
    QString blip;
    Placement at;
    bool topAndBottom = false; // a floating shape with text only above and below it
    bool outlined = true;
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart())
            continue;
        if (is(xml, "positionH")) {
            const QString from = xml.attribute(u"relativeFrom");
            const bool column = from == QLatin1String("column") || from == QLatin1String("margin");
            const int d = xml.depth();
            QString element;
            while (xml.next() && xml.depth() >= d) {
                if (xml.isStart()) {
                    element = xml.name().toString();
                } else if (xml.isText() && column && element == QLatin1String("align")) {
                    const QStringView a = xml.text();
                    at.alignment = a == QLatin1String("center") ? 1 : a == QLatin1String("right") || a == QLatin1String("outside") ? 2 : 0;
                } else if (xml.isText() && column && element == QLatin1String("posOffset")) {
                    at.left = int(qBound<qint64>(0, xml.text().toLongLong() / EmuPerTwip, MaxPictureTwips));
                }
            }
            continue;
        }
        if (is(xml, "extent") && cx == 0) {
            cx = qBound<qint64>(0, xml.attribute(u"cx").toLongLong(), MaxPictureTwips * EmuPerTwip);
            cy = qBound<qint64>(0, xml.attribute(u"cy").toLongLong(), MaxPictureTwips * EmuPerTwip);
        } else if (is(xml, "wrapTopAndBottom")) {
            topAndBottom = true;
        } else if (is(xml, "ln")) {
            // The shape's outline: none when it is not filled.
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (xml.isStart() && is(xml, "noFill"))
                    outlined = false;
            }
        } else if (is(xml, "blip") && blip.isEmpty()) {
            blip = xml.attribute(u"relationships", u"embed");
        } else if (is(xml, "txbxContent")) {
            readTextBox(xml, cx / EmuPerTwip, at, outlined);
        }
    }
    if (!blip.isEmpty())
        addPicture(blip, cx / EmuPerTwip, cy / EmuPerTwip, topAndBottom, at);
}

void DocxBody::readPict(PackageXml &xml)
{
    const int depth = xml.depth();
    qint64 width = 0;
    qint64 height = 0;
    Placement at;
    bool topAndBottom = false;
    bool outlined = true;
    QString image;
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart())
            continue;
        if (is(xml, "shape") && width == 0) {
            const QString style = xml.attribute(u"style");
            width = vmlLength(style, QStringLiteral("width"));
            height = vmlLength(style, QStringLiteral("height"));
            const QString stroked = xml.attribute(u"stroked");
            outlined = stroked != QLatin1String("f") && stroked != QLatin1String("false");
            // A floating shape across the text: aligned, or at its left margin.
            if (style.contains(QLatin1String("position:absolute"))) {
                const bool text = !style.contains(QLatin1String("mso-position-horizontal-relative:page"));
                if (style.contains(QLatin1String("mso-position-horizontal:center")))
                    at.alignment = 1;
                else if (style.contains(QLatin1String("mso-position-horizontal:right")))
                    at.alignment = 2;
                else if (text)
                    at.left = int(qBound<qint64>(0, vmlLength(style, QStringLiteral("margin-left")), MaxPictureTwips));
            }
        } else if (is(xml, "wrap")) {
            topAndBottom = xml.attribute(u"type") == QLatin1String("topAndBottom");
        } else if (is(xml, "imagedata") && image.isEmpty()) {
            image = xml.attribute(u"relationships", u"id");
        } else if (is(xml, "txbxContent")) {
            readTextBox(xml, width, at, outlined);
        }
    }
    if (!image.isEmpty())
        addPicture(image, width, height, topAndBottom, at);
}

void DocxBody::readTextBox(PackageXml &xml, qint64 widthTwips, Placement at, bool framed)
{
    // Boxes in boxes, or in a field's code, are not shown: their text is left out.
    if (!showing() || m_textBoxes >= 4 || m_level + 2 > TableLimits::MaxNesting) {
        xml.skip();
        return;
    }
    if (!m_paraBegun)
        beginParagraph(m_level);
    // The anchoring paragraph goes on after the box: what its reading holds is kept.
    const DocxParaProps para = m_para;
    const DocxRunProps paraRun = m_paraRun;
    const ParaState paraState = m_paraState;
    const CharState run = m_run;
    const int anchor = m_level;
    std::vector<Field> fields;
    std::swap(fields, m_fields);
    std::vector<int> anchors;
    std::swap(anchors, m_anchors);
    const bool breakPending = std::exchange(m_breakPending, false);
    ++m_textBoxes;
    m_builder.beginTextBox(anchor);
    const int level = anchor + 1;
    if (m_pending.size() <= size_t(level))
        m_pending.resize(size_t(level) + 1);
    m_pending[level].reset();
    readBlocks(xml, level);
    const ParaState last = m_pending[level] ? *m_pending[level] : ParaState();
    m_pending[level].reset();
    m_builder.endTextBox(last, level, anchor, int(qBound<qint64>(0, widthTwips, MaxPictureTwips)), at.left, at.alignment,
                         framed);
    --m_textBoxes;
    m_para = para;
    m_paraRun = paraRun;
    m_paraState = paraState;
    m_run = run;
    m_level = anchor;
    m_paraBegun = true;
    m_fields = std::move(fields);
    m_anchors = std::move(anchors);
    m_breakPending = breakPending;
}

void DocxBody::addPicture(const QString &relId, qint64 widthTwips, qint64 heightTwips, bool above, Placement at)
{
    if (!showing())
        return;
    bool external = true;
    const QString part = relationshipTarget(relId, &external);
    if (part.isEmpty() || external)
        return; // a linked picture is never fetched
    const std::optional<QByteArray> data = m_package.read(part);
    if (!data)
        return;
    Picture picture;
    picture.data = *data;
    picture.kind = pictureKind(part, picture.data);
    picture.goalWidth = int(qMin(widthTwips, MaxPictureTwips));
    picture.goalHeight = int(qMin(heightTwips, MaxPictureTwips));
    const PictureDecoder::Result result = m_pictures.decode(picture);
    if (result.image.isNull())
        return;
    if (!m_paraBegun)
        beginParagraph(m_level);
    if (!above || m_textBoxes >= 4 || m_level + 2 > TableLimits::MaxNesting) {
        m_builder.addImage(m_run, result.image, result.displaySize.width(), result.displaySize.height(), result.placeholder);
        return;
    }
    m_builder.addPictureAbove(m_run, result.image, result.displaySize.width(), result.displaySize.height(),
                              result.placeholder, ParaState(), m_level, qMin(widthTwips, MaxPictureTwips), at.left,
                              at.alignment);
}
