#include "docx/docxbody.h"

#include "package/packagexml.h"
#include "rtf/rtfcodepage.h"

#include <QTextDocument>
#include <QTextOption>

namespace {

// Word's own limit is 63 columns; a row beyond this many cells is cut there.
constexpr int MaxRowCells = RtfTableLimits::MaxColumns;
// Twips in an English Metric Unit: 914400 a inch, 1440 twips.
constexpr qint64 EmuPerTwip = 635;
// A picture larger than this (twips, about 5.5 m) is given this size.
constexpr qint64 MaxPictureTwips = 31680 * 10;

bool is(const PackageXml &xml, const char *name)
{
    return xml.name() == QLatin1String(name);
}

bool symbolFont(const QString &name)
{
    return name.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive)
        || name.startsWith(QLatin1String("Webdings"), Qt::CaseInsensitive)
        || name.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0
        || name.startsWith(QLatin1String("Marlett"), Qt::CaseInsensitive);
}

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

RtfPicture::Kind pictureKind(const QString &name, const QByteArray &data)
{
    if (data.startsWith("\x89PNG"))
        return RtfPicture::Kind::Png;
    if (data.startsWith("\xFF\xD8"))
        return RtfPicture::Kind::Jpeg;
    if (data.size() > 44 && data.mid(40, 4) == " EMF")
        return RtfPicture::Kind::Emf;
    if (data.startsWith("\xD7\xCD\xC6\x9A") || name.endsWith(QLatin1String(".wmf"), Qt::CaseInsensitive))
        return RtfPicture::Kind::Wmf;
    if (name.endsWith(QLatin1String(".emf"), Qt::CaseInsensitive))
        return RtfPicture::Kind::Emf;
    return RtfPicture::Kind::Unknown; // GIF, BMP, TIFF: whatever the data turn out to be
}

} // namespace

DocxBody::DocxBody(Package &package, const QString &mainPart, QTextDocument *doc)
    : m_package(package)
    , m_mainPart(mainPart)
    , m_builder(doc)
{
    // Index 0 stands for "no colour" in a run's background.
    m_builder.colors.push_back(QColor());
    for (Package::Relationship &r : package.relationships(mainPart))
        m_rels.insert(r.id, r);
}

int DocxBody::fontIndex(const QString &name)
{
    if (name.isEmpty())
        return -1;
    const auto it = m_fontIds.constFind(name);
    if (it != m_fontIds.constEnd())
        return it.value();
    if (m_fontIds.size() >= 4096)
        return -1;
    const int id = int(m_fontIds.size());
    m_fontIds.insert(name, id);
    m_builder.fontNames.insert(id, name);
    return id;
}

int DocxBody::colorIndex(QRgb rgb)
{
    const auto it = m_colorIds.constFind(rgb);
    if (it != m_colorIds.constEnd())
        return it.value();
    if (m_builder.colors.size() >= 65536)
        return -1;
    m_builder.colors.push_back(QColor::fromRgb(rgb));
    const int id = int(m_builder.colors.size()) - 1;
    m_colorIds.insert(rgb, id);
    return id;
}

RtfCharState DocxBody::charState(const DocxRunProps &p)
{
    RtfCharState s;
    const QString latin = styles.font(p.font);
    s.font = fontIndex(latin);
    s.eastern = fontIndex(styles.font(p.eastFont, true));
    if (symbolFont(latin))
        s.codePage = latin.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0 ? RtfCodePage::SymbolFont
                                                                                       : RtfCodePage::Symbol;
    s.size = p.size;
    s.bold = p.bold;
    s.italic = p.italic;
    s.strike = p.strike;
    s.underline = p.underline;
    s.vertical = p.vertical;
    s.caps = p.caps ? 1 : p.smallCaps ? 2 : 0;
    s.hidden = p.hidden;
    if (!p.autoColor)
        s.color = colorIndex(p.color);
    if (!p.noBackground)
        s.background = qMax(0, colorIndex(p.background));
    if (m_inserted > 0 && !s.underline)
        s.underline = 1;
    if (m_deleted > 0)
        s.strike = true;
    if (!m_authors.empty())
        s.color = authorColor(m_authors.back());
    if (!m_anchors.empty())
        s.anchor = m_anchors.back();
    for (const Field &f : m_fields) {
        if (f.anchor >= 0)
            s.anchor = f.anchor;
    }
    return s;
}

int DocxBody::authorColor(const QString &author)
{
    // Each author of tracked changes in a colour of their own, in the order they
    // come: dark enough to read on the page, far enough apart to tell.
    static constexpr QRgb palette[] = {0xB8860B, 0x1F4E9C, 0x3A7D1C, 0x6A2C91, 0xB0170E, 0x00787A, 0x7A6F00, 0x35556B, 0xC05A00};
    const auto it = m_authorColors.constFind(author);
    if (it != m_authorColors.constEnd())
        return it.value();
    const int index = colorIndex(palette[size_t(m_authorColors.size()) % std::size(palette)]);
    if (m_authorColors.size() < 1024)
        m_authorColors.insert(author, index);
    return index;
}

RtfBorder DocxBody::border(const DocxBorder &b)
{
    RtfBorder r;
    r.given = true;
    r.style = b.style;
    r.width = b.width;
    r.color = b.autoColor ? -1 : colorIndex(b.color);
    return r;
}

RtfParaState DocxBody::paraState(const DocxParaProps &p)
{
    RtfParaState s;
    s.alignment = p.alignment;
    s.leftIndent = p.left;
    s.rightIndent = p.right;
    s.firstIndent = p.first;
    s.spaceBefore = qMax(0, p.before);
    s.spaceAfter = qMax(0, p.after);
    if (p.has(DocxParaProps::Line)) {
        if (p.lineRule == 0) {
            s.lineSpacing = p.line == 240 ? 0 : qBound(1, p.line, 240 * 100);
            s.lineMultiple = s.lineSpacing != 0;
        } else {
            s.lineSpacing = p.lineRule == 2 ? -qAbs(p.line) : qAbs(p.line);
        }
    }
    s.pageBreakBefore = p.pageBreak;
    s.keepNext = p.keepNext;
    s.widows = p.has(DocxParaProps::Widows) ? (p.widows ? 1 : 0) : -1;
    int list = -1;
    for (const DocxTabStop &stop : p.tabs)
        list = m_builder.tabList(list, {stop.position, stop.kind, stop.leader});
    s.tabs = list;
    for (int i = 0; i < 4; ++i) {
        const DocxBorder &b = p.borders[i];
        if (!b.style)
            continue;
        s.borders[i].style = b.style;
        s.borders[i].width = b.width;
        s.borders[i].space = b.space;
        s.borders[i].color = b.autoColor ? -1 : colorIndex(b.color);
    }
    if (!p.noShading)
        s.shadeBack = colorIndex(p.shading);
    return s;
}

QString DocxBody::relationshipTarget(const QString &id, bool *external) const
{
    const auto it = m_rels.constFind(id);
    if (it == m_rels.constEnd())
        return {};
    *external = it->external;
    return it->target;
}

bool DocxBody::showing() const
{
    for (const Field &f : m_fields) {
        if (!f.separated)
            return false;
    }
    return true;
}

void DocxBody::addText(const QString &text)
{
    // Hidden text is left out, as the word processor shows it by default.
    if (!showing() || text.isEmpty() || m_run.hidden)
        return;
    if (!m_paraBegun)
        beginParagraph(m_level);
    m_builder.addText(m_run, text);
}

void DocxBody::flushPending(int level)
{
    if (level > 0 && size_t(level) < m_pending.size() && m_pending[level]) {
        m_builder.paragraphBreak(*m_pending[level], level);
        m_pending[level].reset();
    }
}

void DocxBody::readSections(const QByteArray &data)
{
    // Most documents have one column throughout: the second reading is for those
    // that say otherwise.
    if (!data.contains(":cols ") || !data.contains(":num="))
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
                section.columns = qBound(1, DocxProps::number(xml.attribute(u"num"), 1), RtfTableLimits::MaxColumns);
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

void DocxBody::startSection(size_t index)
{
    m_section = index;
    if (index >= m_sections.size())
        return;
    const Section &s = m_sections[index];
    m_builder.setColumns(s.columns, s.gap, s.height, s.rule, s.continuous);
}

bool DocxBody::read(const QByteArray &data)
{
    readSections(data);
    startSection(0);
    PackageXml xml(data);
    while (xml.next()) {
        if (xml.isStart() && is(xml, "body")) {
            readBlocks(xml, 0);
            break;
        }
    }
    if (xml.failed()) {
        m_error = xml.errorString();
        m_builder.abandon();
        return false;
    }
    m_builder.finish(RtfParaState(), 0);
    return true;
}

void DocxBody::readBlocks(PackageXml &xml, int level)
{
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || m_builder.outOfMemory())
            continue;
        if (is(xml, "p")) {
            flushPending(level);
            readParagraph(xml, level);
        } else if (is(xml, "tbl")) {
            flushPending(level);
            readTable(xml, level + 1);
            m_afterTable = level == 0;
        } else if (is(xml, "sdt") || is(xml, "sdtContent") || is(xml, "customXml") || is(xml, "ins")
                   || is(xml, "moveTo") || is(xml, "smartTag") || is(xml, "Fallback")) {
            readBlocks(xml, level);
        } else if (is(xml, "del") || is(xml, "moveFrom")) {
            ++m_deleted;
            m_authors.push_back(xml.attribute(u"author"));
            readBlocks(xml, level);
            m_authors.pop_back();
            --m_deleted;
        } else if (is(xml, "sectPr")) {
            xml.skip();
        } else if (!is(xml, "AlternateContent")) {
            xml.skip(); // properties, bookmarks, a choice whose fallback follows
        } else {
            readBlocks(xml, level); // its Choice is skipped, its Fallback read
        }
    }
}

void DocxBody::beginParagraph(int level)
{
    m_paraBegun = true;
    m_level = level;
    const DocxNumbering::Level *list = m_para.numId > 0 ? numbering.level(m_para.numId, m_para.level) : nullptr;
    m_paraState = paraState(m_para);
    if (list && showing()) {
        const QString label = numbering.next(m_para.numId, m_para.level);
        if (!label.isEmpty() || list->suffix == 't') {
            DocxRunProps labelProps = m_paraRun;
            labelProps.overlay(m_para.mark);
            labelProps.hidden = false;
            labelProps.underline = 0;
            labelProps.overlay(list->run);
            RtfCharState state = charState(labelProps);
            state.label = true;
            state.anchor = -1;
            state.hidden = false;
            if (!label.isEmpty())
                m_builder.addText(state, label);
            if (list->suffix == 't')
                m_builder.addText(state, QChar('\t'));
            else if (list->suffix == 's')
                m_builder.addText(state, QChar(' '));
        }
    }
}

void DocxBody::readParagraph(PackageXml &xml, int level)
{
    m_paraBegun = false;
    m_level = level;
    DocxParaProps direct;
    const int depth = xml.depth();
    bool sectionEnds = false;
    bool propsRead = false;
    auto resolve = [&] {
        if (propsRead)
            return;
        propsRead = true;
        // Defaults, table style, paragraph style, then the numbering level's indents
        // and the paragraph's own properties.
        DocxParaProps props = styles.paragraph(direct.style);
        const int numId = direct.has(DocxParaProps::NumId) ? direct.numId : props.numId;
        const int ilvl = direct.has(DocxParaProps::Level) ? direct.level : props.level;
        if (const DocxNumbering::Level *list = numId > 0 ? numbering.level(numId, ilvl) : nullptr) {
            DocxParaProps levelProps = list->para;
            levelProps.given &= DocxParaProps::Left | DocxParaProps::Right | DocxParaProps::First;
            props.overlay(levelProps);
        }
        props.overlay(direct);
        props.numId = numId;
        props.level = ilvl;
        m_para = std::move(props);
        std::optional<DocxRunProps> table;
        if (level > 0 && size_t(level) < m_tableRun.size()) {
            const TableLook &look = m_tableRun[level];
            table = look.run;
            if (look.inFirstRow && look.firstRowShown)
                table->overlay(look.firstRow);
        }
        m_paraRun = styles.paragraphRun(direct.style, table ? &*table : nullptr);
    };
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || m_builder.outOfMemory())
            continue;
        if (xml.depth() == depth + 1 && is(xml, "pPr")) {
            DocxProps::readPara(xml, &direct);
            continue;
        }
        resolve();
        if (!m_paraBegun)
            beginParagraph(level);
        readInline(xml);
    }
    resolve();
    if (!m_paraBegun)
        beginParagraph(level);
    sectionEnds = direct.sectionEnds;
    const bool afterTable = std::exchange(m_afterTable, false);
    if (sectionEnds && level == 0 && m_builder.paragraphEmpty() && !afterTable) {
        // An empty paragraph that only carries a section's properties is the break
        // between sections, no paragraph of the text (as LibreOffice reads it);
        // after a table it stays, as the paragraph a table needs after it.
        m_builder.sectionBreak();
        startSection(m_section + 1);
        if (std::exchange(m_breakPending, false))
            m_builder.pageBreak();
        return;
    }
    if (level == 0) {
        m_builder.paragraphBreak(m_paraState, 0);
    } else {
        if (m_pending.size() <= size_t(level))
            m_pending.resize(size_t(level) + 1);
        m_pending[level] = m_paraState;
    }
    if (sectionEnds && level == 0) {
        m_builder.sectionBreak();
        startSection(m_section + 1);
    }
    if (m_breakPending) {
        m_breakPending = false;
        m_builder.pageBreak();
    }
}

// One element of a paragraph's content, just started.
void DocxBody::readInline(PackageXml &xml)
{
    if (is(xml, "r")) {
        readRun(xml);
        return;
    }
    const int depth = xml.depth();
    auto children = [&] {
        while (xml.next() && xml.depth() >= depth) {
            if (xml.isStart())
                readInline(xml);
        }
    };
    if (is(xml, "hyperlink")) {
        bool external = false;
        QString target = relationshipTarget(xml.attribute(u"relationships", u"id"), &external);
        const QString anchor = xml.attribute(u"anchor");
        if (!anchor.isEmpty())
            target += QLatin1Char('#') + anchor;
        const bool linked = !target.isEmpty() && m_builder.anchors.size() < 65536;
        if (linked) {
            m_builder.anchors.append(target);
            m_anchors.push_back(int(m_builder.anchors.size()) - 1);
        }
        children();
        if (linked)
            m_anchors.pop_back();
    } else if (is(xml, "ins") || is(xml, "moveTo") || is(xml, "del") || is(xml, "moveFrom")) {
        const bool inserted = is(xml, "ins") || is(xml, "moveTo");
        ++(inserted ? m_inserted : m_deleted);
        m_authors.push_back(xml.attribute(u"author"));
        children();
        m_authors.pop_back();
        --(inserted ? m_inserted : m_deleted);
    } else if (is(xml, "fldSimple")) {
        const QString instruction = xml.attribute(u"instr").trimmed();
        Field field;
        field.separated = true;
        if (instruction.startsWith(QLatin1String("HYPERLINK"))) {
            const QString target = instruction.section(QLatin1Char('"'), 1, 1);
            if (!target.isEmpty() && m_builder.anchors.size() < 65536) {
                m_builder.anchors.append(target);
                field.anchor = int(m_builder.anchors.size()) - 1;
            }
        }
        m_fields.push_back(field);
        children();
        m_fields.pop_back();
    } else if (is(xml, "smartTag") || is(xml, "customXml") || is(xml, "sdt") || is(xml, "sdtContent")
               || is(xml, "AlternateContent") || is(xml, "Fallback") || is(xml, "bdo") || is(xml, "dir")) {
        children();
    } else if (is(xml, "oMath") || is(xml, "oMathPara")) {
        xml.skip(); // equations become objects in other readers: nothing of their text
    } else {
        xml.skip(); // properties of content controls, bookmarks, comments, a Choice
    }
}

void DocxBody::readRun(PackageXml &xml)
{
    const int depth = xml.depth();
    DocxRunProps props = m_paraRun;
    bool haveState = false;
    auto state = [&] {
        if (!haveState) {
            m_run = charState(props);
            haveState = true;
        }
    };
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || xml.depth() != depth + 1 || m_builder.outOfMemory())
            continue;
        if (is(xml, "rPr")) {
            DocxRunProps direct;
            DocxProps::readRun(xml, &direct);
            if (!direct.style.isEmpty())
                styles.characterRun(direct.style, &props);
            props.overlay(direct);
            haveState = false;
            continue;
        }
        state();
        if (is(xml, "t") || is(xml, "delText")) {
            QString text;
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (xml.isText())
                    text += xml.text();
            }
            addText(text);
        } else if (is(xml, "instrText")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (xml.isText() && !m_fields.empty() && m_fields.back().instruction.size() < 4096)
                    m_fields.back().instruction += xml.text();
            }
        } else if (is(xml, "fldChar")) {
            const QString type = xml.attribute(u"fldCharType");
            if (type == QLatin1String("begin")) {
                if (m_fields.size() < 64)
                    m_fields.push_back(Field());
            } else if (type == QLatin1String("separate") && !m_fields.empty()) {
                Field &f = m_fields.back();
                f.separated = true;
                const QString instruction = f.instruction.trimmed();
                if (instruction.startsWith(QLatin1String("HYPERLINK"))) {
                    QString target = instruction.section(QLatin1Char('"'), 1, 1);
                    const qsizetype l = instruction.indexOf(QLatin1String("\\l"));
                    if (target.isEmpty() && l >= 0)
                        target = QLatin1Char('#') + instruction.mid(l + 2).section(QLatin1Char('"'), 1, 1);
                    if (!target.isEmpty() && m_builder.anchors.size() < 65536) {
                        m_builder.anchors.append(target);
                        f.anchor = int(m_builder.anchors.size()) - 1;
                    }
                }
                haveState = false;
            } else if (type == QLatin1String("end") && !m_fields.empty()) {
                m_fields.pop_back();
                haveState = false;
            }
            xml.skip();
        } else if (is(xml, "tab") || is(xml, "ptab")) {
            addText(QStringLiteral("\t"));
            xml.skip();
        } else if (is(xml, "br") || is(xml, "cr")) {
            const QString type = xml.attribute(u"type");
            if (type == QLatin1String("page"))
                m_breakPending = true;
            else if (type != QLatin1String("column"))
                addText(QString(QChar(0x2028)));
            xml.skip();
        } else if (is(xml, "noBreakHyphen")) {
            addText(QString(QChar(0x2011)));
            xml.skip();
        } else if (is(xml, "softHyphen")) {
            addText(QString(QChar(0x00AD)));
            xml.skip();
        } else if (is(xml, "sym")) {
            bool ok = false;
            // The character as given: LibreOffice shows 00DA as itself, F0DA in the
            // private-use range where symbol fonts keep their glyphs.
            const uint c = xml.attribute(u"char").toUInt(&ok, 16);
            if (ok && c > 0 && c < 0x10000) {
                DocxRunProps symbol = props;
                symbol.font = xml.attribute(u"font");
                symbol.given |= DocxRunProps::Font;
                const RtfCharState saved = m_run;
                m_run = charState(symbol);
                addText(QString(QChar(char16_t(c))));
                m_run = saved;
            }
            xml.skip();
        } else if (is(xml, "footnoteReference") || is(xml, "endnoteReference")) {
            const bool custom = xml.attribute(u"customMarkFollows") == QLatin1String("1")
                || xml.attribute(u"customMarkFollows") == QLatin1String("true");
            const int n = is(xml, "footnoteReference") ? ++m_footnotes : ++m_endnotes;
            if (!custom) {
                const bool endnote = is(xml, "endnoteReference");
                addText(endnote ? DocxNumberFormat::format(n, QStringLiteral("lowerRoman")) : QString::number(n));
            }
            xml.skip();
        } else if (is(xml, "drawing")) {
            readDrawing(xml);
        } else if (is(xml, "pict")) {
            readPict(xml);
        } else if (is(xml, "AlternateContent")) {
            // The fallback is what older readers show; read only it.
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (!xml.isStart())
                    continue;
                if (is(xml, "Choice")) {
                    xml.skip();
                } else if (is(xml, "pict")) {
                    readPict(xml);
                } else if (is(xml, "drawing")) {
                    readDrawing(xml);
                } else if (!is(xml, "Fallback")) {
                    xml.skip();
                }
            }
        } else {
            xml.skip(); // comments' marks, page breaks Word laid out, objects
        }
    }
}

void DocxBody::readDrawing(PackageXml &xml)
{
    const int depth = xml.depth();
    qint64 cx = 0;
    qint64 cy = 0;
    QString blip;
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart())
            continue;
        if (is(xml, "extent") && cx == 0) {
            cx = qBound<qint64>(0, xml.attribute(u"cx").toLongLong(), MaxPictureTwips * EmuPerTwip);
            cy = qBound<qint64>(0, xml.attribute(u"cy").toLongLong(), MaxPictureTwips * EmuPerTwip);
        } else if (is(xml, "blip") && blip.isEmpty()) {
            blip = xml.attribute(u"relationships", u"embed");
        } else if (is(xml, "txbxContent")) {
            readTextBox(xml, cx / EmuPerTwip);
        }
    }
    if (!blip.isEmpty())
        addPicture(blip, cx / EmuPerTwip, cy / EmuPerTwip);
}

void DocxBody::readPict(PackageXml &xml)
{
    const int depth = xml.depth();
    qint64 width = 0;
    qint64 height = 0;
    QString image;
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart())
            continue;
        if (is(xml, "shape") && width == 0) {
            const QString style = xml.attribute(u"style");
            width = vmlLength(style, QStringLiteral("width"));
            height = vmlLength(style, QStringLiteral("height"));
        } else if (is(xml, "imagedata") && image.isEmpty()) {
            image = xml.attribute(u"relationships", u"id");
        } else if (is(xml, "txbxContent")) {
            readTextBox(xml, width);
        }
    }
    if (!image.isEmpty())
        addPicture(image, width, height);
}

void DocxBody::readTextBox(PackageXml &xml, qint64 widthTwips)
{
    // Boxes in boxes, or in a field's code, are not shown: their text is left out.
    if (!showing() || m_textBoxes >= 4 || m_level + 2 > RtfTableLimits::MaxNesting) {
        xml.skip();
        return;
    }
    if (!m_paraBegun)
        beginParagraph(m_level);
    // The anchoring paragraph goes on after the box: what its reading holds is kept.
    const DocxParaProps para = m_para;
    const DocxRunProps paraRun = m_paraRun;
    const RtfParaState paraState = m_paraState;
    const RtfCharState run = m_run;
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
    const RtfParaState last = m_pending[level] ? *m_pending[level] : RtfParaState();
    m_pending[level].reset();
    m_builder.endTextBox(last, level, anchor, int(qBound<qint64>(0, widthTwips, MaxPictureTwips)));
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

void DocxBody::addPicture(const QString &relId, qint64 widthTwips, qint64 heightTwips)
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
    RtfPicture picture;
    picture.data = *data;
    picture.kind = pictureKind(part, picture.data);
    picture.goalWidth = int(qMin(widthTwips, MaxPictureTwips));
    picture.goalHeight = int(qMin(heightTwips, MaxPictureTwips));
    const RtfPictureDecoder::Result result = m_pictures.decode(picture);
    if (result.image.isNull())
        return;
    if (!m_paraBegun)
        beginParagraph(m_level);
    m_builder.addImage(m_run, result.image, result.displaySize.width(), result.displaySize.height(), result.placeholder);
}

void DocxBody::readTable(PackageXml &xml, int level)
{
    const int depth = xml.depth();
    if (level > RtfTableLimits::MaxNesting) {
        // Deeper tables than any document holds: their text goes on at this level.
        readBlocks(xml, level - 1);
        return;
    }
    if (m_tableRun.size() <= size_t(level))
        m_tableRun.resize(size_t(level) + 1);
    m_tableRun[level] = TableLook();
    std::vector<int> grid;
    int indent = 0;
    RtfRowDef base;
    base.gap = 108;
    int rows = 0;
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || xml.depth() != depth + 1 || m_builder.outOfMemory())
            continue;
        if (is(xml, "tblPr")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (!xml.isStart())
                    continue;
                if (is(xml, "tblStyle")) {
                    m_tableRun[level].run = styles.tableRun(xml.attribute(u"val"));
                    m_tableRun[level].firstRow = styles.tableFirstRowRun(xml.attribute(u"val"));
                } else if (is(xml, "tblLook")) {
                    // Either the flag of its own or bit 0x20 of the older hexadecimal value.
                    const QString first = xml.attribute(u"firstRow");
                    const QString val = xml.attribute(u"val");
                    if (!first.isEmpty())
                        m_tableRun[level].firstRowShown = first == QLatin1String("1") || first == QLatin1String("true");
                    else if (!val.isEmpty())
                        m_tableRun[level].firstRowShown = val.toUInt(nullptr, 16) & 0x20;
                } else if (is(xml, "tblInd")) {
                    indent = DocxProps::number(xml.attribute(u"w"), 0);
                } else if (is(xml, "jc")) {
                    const QString v = xml.attribute(u"val");
                    base.alignment = v == QLatin1String("center") ? 1 : v == QLatin1String("right") || v == QLatin1String("end") ? 2 : 0;
                } else if (is(xml, "tblBorders")) {
                    const int b = xml.depth();
                    while (xml.next() && xml.depth() >= b) {
                        if (!xml.isStart())
                            continue;
                        const QStringView n = xml.name();
                        const int edge = n == QLatin1String("top") ? RtfRowDef::Top
                            : n == QLatin1String("left") || n == QLatin1String("start") ? RtfRowDef::Left
                            : n == QLatin1String("bottom") ? RtfRowDef::Bottom
                            : n == QLatin1String("right") || n == QLatin1String("end") ? RtfRowDef::Right
                            : n == QLatin1String("insideH") ? RtfRowDef::InsideH
                            : n == QLatin1String("insideV") ? RtfRowDef::InsideV
                                                            : -1;
                        if (edge >= 0)
                            base.borders[edge] = border(DocxProps::border(xml));
                    }
                } else if (is(xml, "tblCellMar")) {
                    const int b = xml.depth();
                    while (xml.next() && xml.depth() >= b) {
                        if (!xml.isStart())
                            continue;
                        const QStringView n = xml.name();
                        const int edge = n == QLatin1String("top") ? RtfCellDef::Top
                            : n == QLatin1String("left") || n == QLatin1String("start") ? RtfCellDef::Left
                            : n == QLatin1String("bottom") ? RtfCellDef::Bottom
                            : n == QLatin1String("right") || n == QLatin1String("end") ? RtfCellDef::Right
                                                                                        : -1;
                        if (edge >= 0)
                            base.padding[edge] = qBound(0, DocxProps::number(xml.attribute(u"w"), 0), 1440 * 4);
                    }
                }
            }
        } else if (is(xml, "tblGrid")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (xml.isStart() && is(xml, "gridCol") && grid.size() < size_t(MaxRowCells))
                    grid.push_back(qBound(0, DocxProps::number(xml.attribute(u"w"), 0), 31680));
            }
        } else if (is(xml, "tr")) {
            m_tableRun[level].inFirstRow = rows++ == 0;
            readRow(xml, level, grid, indent, base);
        } else if (is(xml, "sdt") || is(xml, "customXml") || is(xml, "sdtContent")) {
            // Rows inside a content control: read as rows of this table.
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (xml.isStart() && is(xml, "tr")) {
                    m_tableRun[level].inFirstRow = rows++ == 0;
                    readRow(xml, level, grid, indent, base);
                }
            }
        } else {
            xml.skip();
        }
    }
    if (size_t(level) < m_pending.size())
        m_pending[level].reset();
}

void DocxBody::readRow(PackageXml &xml, int level, const std::vector<int> &grid, int indent, RtfRowDef def)
{
    const int depth = xml.depth();
    std::vector<Cell> cells;
    int before = 0;
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || xml.depth() != depth + 1 || m_builder.outOfMemory())
            continue;
        if (is(xml, "trPr") || is(xml, "tblPrEx")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (!xml.isStart())
                    continue;
                if (is(xml, "gridBefore")) {
                    before = qBound(0, DocxProps::number(xml.attribute(u"val"), 0), MaxRowCells);
                } else if (is(xml, "trHeight")) {
                    const int h = qBound(0, DocxProps::number(xml.attribute(u"val"), 0), 31680);
                    def.height = xml.attribute(u"hRule") == QLatin1String("exact") ? -h : h;
                } else if (is(xml, "jc")) {
                    const QString v = xml.attribute(u"val");
                    def.alignment = v == QLatin1String("center") ? 1 : v == QLatin1String("right") || v == QLatin1String("end") ? 2 : 0;
                }
            }
        } else if (is(xml, "tc")) {
            readCell(xml, level, &cells);
        } else if (is(xml, "sdt") || is(xml, "customXml") || is(xml, "sdtContent")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (xml.isStart() && is(xml, "tc"))
                    readCell(xml, level, &cells);
            }
        } else {
            xml.skip();
        }
    }
    if (cells.size() == size_t(MaxRowCells))
        endCell(level);
    if (cells.empty())
        return;
    // Boundaries from the grid: a cell spans its columns' widths; where the grid has
    // no more columns, the cell's own width or a default.
    const auto columnWidth = [&](size_t i) { return i < grid.size() && grid[i] > 0 ? grid[i] : RtfTableLimits::DefaultCellWidth; };
    int x = indent;
    size_t column = 0;
    for (; column < size_t(before); ++column)
        x += columnWidth(column);
    def.left = x;
    def.cells.clear();
    for (Cell &cell : cells) {
        for (int i = 0; i < cell.span; ++i)
            x += columnWidth(column++);
        cell.def.right = x;
        def.cells.push_back(cell.def);
    }
    m_builder.rowEnd(level, &def);
}

void DocxBody::readCell(PackageXml &xml, int level, std::vector<Cell> *cells)
{
    const int depth = xml.depth();
    Cell cell;
    bool contentRead = false;
    if (cells->size() >= size_t(MaxRowCells) || ++m_tableCells > (1 << 22)) {
        // No row is this wide and no document this large: the cell's text goes into
        // the row's last cell, which stays open until the row ends.
        flushPending(level);
        readBlocks(xml, level);
        return;
    }
    const bool lastAllowed = cells->size() + 1 == size_t(MaxRowCells);
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart())
            continue;
        if (xml.depth() == depth + 1 && is(xml, "tcPr")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (!xml.isStart())
                    continue;
                if (is(xml, "gridSpan")) {
                    cell.span = qBound(1, DocxProps::number(xml.attribute(u"val"), 1), MaxRowCells);
                } else if (is(xml, "vMerge")) {
                    cell.def.vMerge = xml.attribute(u"val") == QLatin1String("restart") ? 1 : 2;
                } else if (is(xml, "shd")) {
                    QRgb fill = 0;
                    if (DocxProps::color(xml.attribute(u"fill"), &fill))
                        cell.def.background = colorIndex(fill);
                } else if (is(xml, "vAlign")) {
                    const QString v = xml.attribute(u"val");
                    cell.def.vAlign = v == QLatin1String("center") ? 1 : v == QLatin1String("bottom") ? 2 : 0;
                } else if (is(xml, "tcBorders")) {
                    const int b = xml.depth();
                    while (xml.next() && xml.depth() >= b) {
                        if (!xml.isStart())
                            continue;
                        const QStringView n = xml.name();
                        const int edge = n == QLatin1String("top") ? RtfCellDef::Top
                            : n == QLatin1String("left") || n == QLatin1String("start") ? RtfCellDef::Left
                            : n == QLatin1String("bottom") ? RtfCellDef::Bottom
                            : n == QLatin1String("right") || n == QLatin1String("end") ? RtfCellDef::Right
                                                                                        : -1;
                        if (edge >= 0)
                            cell.def.borders[edge] = border(DocxProps::border(xml));
                    }
                }
            }
            continue;
        }
        if (m_builder.outOfMemory())
            continue;
        contentRead = true;
        if (is(xml, "p")) {
            flushPending(level);
            readParagraph(xml, level);
        } else if (is(xml, "tbl")) {
            flushPending(level);
            readTable(xml, level + 1);
        } else if (is(xml, "sdt") || is(xml, "customXml") || is(xml, "sdtContent") || is(xml, "ins")) {
            readBlocks(xml, level);
        } else {
            xml.skip();
        }
    }
    (void)contentRead;
    cells->push_back(cell);
    if (!lastAllowed)
        endCell(level);
}

void DocxBody::endCell(int level)
{
    if (m_pending.size() <= size_t(level))
        m_pending.resize(size_t(level) + 1);
    const RtfParaState last = m_pending[level] ? *m_pending[level] : RtfParaState();
    m_pending[level].reset();
    m_builder.cellEnd(last, level);
}
