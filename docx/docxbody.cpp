#include "docx/docxbody.h"

#include "docx/docxbodyxml.h"
#include "package/packagexml.h"
#include "package/partstream.h"
#include "base/codepage.h"

#include <QTextDocument>
#include <QTextOption>

using namespace DocxBodyXml;

namespace {

bool symbolFont(const QString &name)
{
    return name.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive)
        || name.startsWith(QLatin1String("Webdings"), Qt::CaseInsensitive)
        || name.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0
        || name.startsWith(QLatin1String("Marlett"), Qt::CaseInsensitive);
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

CharState DocxBody::charState(const DocxRunProps &p)
{
    CharState s;
    const QString latin = styles.font(p.font);
    s.font = m_builder.fontNumber(latin);
    s.eastern = m_builder.fontNumber(styles.font(p.eastFont, true));
    if (symbolFont(latin))
        s.codePage = latin.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0 ? CodePage::SymbolFont
                                                                                       : CodePage::Symbol;
    s.size = p.size;
    s.bold = p.bold;
    s.italic = p.italic;
    s.strike = p.strike;
    s.underline = p.underline;
    s.vertical = p.vertical;
    s.caps = p.caps ? 1 : p.smallCaps ? 2 : 0;
    s.hidden = p.hidden;
    if (!p.autoColor)
        s.color = m_builder.colorNumber(p.color);
    if (!p.noBackground)
        s.background = qMax(0, m_builder.colorNumber(p.background));
    if (m_inserted > 0 && !s.underline)
        s.underline = 1;
    if (m_deleted > 0)
        s.strike = true;
    if (!m_authors.empty())
        s.color = m_builder.authorColor(m_authors.back());
    if (!m_anchors.empty())
        s.anchor = m_anchors.back();
    for (const Field &f : m_fields) {
        if (f.anchor >= 0)
            s.anchor = f.anchor;
    }
    return s;
}

BorderLine DocxBody::border(const DocxBorder &b)
{
    BorderLine r;
    r.given = true;
    r.style = b.style;
    r.width = b.width;
    r.color = b.autoColor ? -1 : m_builder.colorNumber(b.color);
    return r;
}

ParaState DocxBody::paraState(const DocxParaProps &p)
{
    ParaState s;
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
        s.borders[i].color = b.autoColor ? -1 : m_builder.colorNumber(b.color);
    }
    // Word keeps the text of a bordered paragraph at its indents: the side borders and
    // their distance from the text stand outside them, in the margin where the
    // paragraph has no indent.
    s.bordersOutside = true;
    if (!p.noShading)
        s.shadeBack = m_builder.colorNumber(p.shading);
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

bool DocxBody::inTableOfContents() const
{
    return std::any_of(m_fields.begin(), m_fields.end(), [](const Field &f) {
        return f.separated && QStringView(f.instruction).trimmed().startsWith(QLatin1String("TOC"));
    });
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

void DocxBody::readSettings(const QByteArray &settings)
{
    PackageXml xml(settings);
    bool htmlSpacing = true;
    while (xml.next()) {
        if (!xml.isStart())
            continue;
        if (is(xml, "compatSetting") && xml.attribute(u"name") == QLatin1String("compatibilityMode"))
            m_indentAtCellEdge = DocxProps::number(xml.attribute(u"val"), 0) >= 15;
        else if (is(xml, "doNotUseHTMLParagraphAutoSpacing"))
            htmlSpacing = xml.attribute(u"val") == QLatin1String("0") || xml.attribute(u"val") == QLatin1String("false");
    }
    m_largerSpacing = !xml.failed() && htmlSpacing;
}

bool DocxBody::read(const QByteArray &data)
{
    readSections(data);
    m_textWidth = lastTextWidth(data);
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
    m_builder.finish(ParaState(), 0);
    return true;
}

bool DocxBody::read(PartStream &part)
{
    // A part already whole (a small one) is read as a whole one is.
    if (part.complete()) {
        if (!part.waitComplete()) {
            m_error = part.failure();
            m_builder.abandon();
            return false;
        }
        return read(part.bytes());
    }
    m_part = &part;
    m_settled = false;
    PackageXml xml(part);
    while (!m_again && xml.next()) {
        if (xml.isStart() && is(xml, "body")) {
            readBlocks(xml, 0);
            break;
        }
    }
    // The rest of the part is inflated even when the body ended before it: an entry
    // that lies about its size fails whole.
    const bool whole = part.waitComplete();
    if (whole && !m_settled)
        settle();
    if (m_again || !whole || xml.failed()) {
        if (!m_again)
            m_error = xml.errorString();
        m_builder.abandon();
        return false;
    }
    m_builder.finish(ParaState(), 0);
    return true;
}

void DocxBody::readBlocks(PackageXml &xml, int level)
{
    const int depth = xml.depth();
    while (!m_again && xml.next() && xml.depth() >= depth) {
        // Checked between the body's blocks: a part that turns out to need reading
        // again is left at once.
        if (level == 0 && !m_settled && m_part->complete()) {
            settle();
            if (m_again)
                break;
        }
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
            CharState state = charState(labelProps);
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
        const TableLook *look = level > 0 && size_t(level) < m_tableRun.size() ? &m_tableRun[level] : nullptr;
        // In the first row, what the table style gives it over the style's own.
        DocxParaProps tablePara;
        if (look) {
            tablePara = look->para;
            if (look->inFirstRow && look->firstRowShown)
                tablePara.overlay(look->firstRowPara);
        }
        DocxParaProps props = styles.paragraph(direct.style, look ? &tablePara : nullptr);
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
    // The mark that ends the paragraph: an empty paragraph is as high as its font.
    DocxRunProps mark = m_paraRun;
    mark.overlay(m_para.mark);
    CharState markState = charState(mark);
    markState.hidden = false;
    markState.anchor = -1;
    m_builder.setMark(markState);
    spacingBetweenParagraphs(level);
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

void DocxBody::spacingBetweenParagraphs(int level)
{
    const bool follows = m_spacing.follows(level);
    // HTML's spacing, as Word and LibreOffice show it: 14 pt whatever the value,
    // the space between two such paragraphs once.
    constexpr int AutoSpace = 280;
    if (m_para.beforeAuto)
        m_paraState.spaceBefore = follows && m_previousAfterAuto ? 0 : AutoSpace;
    if (m_para.afterAuto)
        m_paraState.spaceAfter = AutoSpace;
    const int ownBefore = m_paraState.spaceBefore;
    m_spacing.apply(m_paraState, level, m_para.style, m_para.contextual);
    if (m_largerSpacing && follows && m_paraState.spaceBefore > 0) {
        // What apply() added to the paragraph's own space before is the space after
        // the one before, held back from it: the larger of the two is the gap.
        const int held = m_paraState.spaceBefore - ownBefore;
        m_paraState.spaceBefore = qMax(qMax(held, 0), ownBefore - m_lastAfter);
    }
    m_lastAfter = m_paraState.spaceAfter;
    m_previousAfterAuto = m_para.afterAuto;
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
            // A table of contents' entries are links, in the link style that Word
            // (and LibreOffice after it) does not show there.
            if (!direct.style.isEmpty() && !(styles.isHyperlinkStyle(direct.style) && inTableOfContents()))
                styles.characterRun(direct.style, &props);
            props.overlay(direct);
            haveState = false;
            continue;
        }
        state();
        if (is(xml, "t") || is(xml, "delText")) {
            m_text.resize(0);
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (xml.isText())
                    m_text += xml.text();
            }
            addText(m_text);
        } else if (is(xml, "instrText")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (xml.isText() && !m_fields.empty() && m_fields.back().instruction.size() < 4096)
                    m_fields.back().instruction += xml.text();
            }
        } else if (is(xml, "fldChar")) {
            if (readFieldChar(xml))
                haveState = false;
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
                const CharState saved = m_run;
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
        } else if (is(xml, "pict") || is(xml, "object")) {
            // An embedded object shows the picture its VML shape previews it with,
            // as the word processor does where it cannot run the object's program.
            readPict(xml);
        } else if (is(xml, "AlternateContent")) {
            // The fallback is what older readers show; read only it.
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (!xml.isStart())
                    continue;
                if (is(xml, "Choice")) {
                    xml.skip();
                } else if (is(xml, "pict") || is(xml, "object")) {
                    readPict(xml);
                } else if (is(xml, "drawing")) {
                    readDrawing(xml);
                } else if (!is(xml, "Fallback")) {
                    xml.skip();
                }
            }
        } else {
            xml.skip(); // comments' marks, page breaks Word laid out
        }
    }
}

bool DocxBody::readFieldChar(PackageXml &xml)
{
    bool changed = false;
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
        changed = true;
    } else if (type == QLatin1String("end") && !m_fields.empty()) {
        m_fields.pop_back();
        changed = true;
    }
    xml.skip();
    return changed;
}

