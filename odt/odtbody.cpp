#include "odt/odtbody.h"

#include "model/limits.h"
#include "model/listnumbers.h"
#include "package/package.h"
#include "package/packagexml.h"
#include "model/table.h"

#include <QTextDocument>
#include <QTextOption>

namespace {

using ModelLimits::MaxPictureTwips;
// A list nested deeper than ten levels stays at the tenth.
constexpr int MaxListLevel = 9;

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

QString number(int n, const QString &format)
{
    if (format == QLatin1String("a") || format == QLatin1String("A")) {
        if (n <= 0 || (n - 1) / 26 >= 64)
            return QString::number(n);
        return QString((n - 1) / 26 + 1, QChar(char16_t(format.at(0).unicode() + (n - 1) % 26)));
    }
    if (format == QLatin1String("i") || format == QLatin1String("I"))
        return ListNumbers::roman(n, format == QLatin1String("I"));
    if (format.isEmpty())
        return {};
    return QString::number(n);
}

} // namespace

OdtBody::OdtBody(Package *package, QTextDocument *doc)
    : m_package(package)
    , m_builder(doc)
{
    m_builder.colors.push_back(QColor()); // index 0: no background
}

CharState OdtBody::charState(const OdtTextProps &p)
{
    CharState s;
    s.font = m_builder.fontNumber(p.font.value_or(QString()));
    s.eastern = m_builder.fontNumber(p.eastFont.value_or(QString()));
    s.size = int(qRound(p.size.value_or(12.0) * 2));
    s.bold = p.bold.value_or(false);
    s.italic = p.italic.value_or(false);
    s.strike = p.strike.value_or(false);
    s.underline = p.underline.value_or(0);
    s.vertical = p.vertical.value_or(0);
    s.caps = p.caps.value_or(false) ? 1 : p.smallCaps.value_or(false) ? 2 : 0;
    s.hidden = p.hidden.value_or(false);
    // LibreOffice kerns the pairs of a face only where the styles say so.
    s.unkerned = !p.kerning.value_or(false);
    if (p.color && *p.color)
        s.color = m_builder.colorNumber(**p.color);
    if (p.background && *p.background)
        s.background = qMax(0, m_builder.colorNumber(**p.background));
    if (!m_anchors.empty())
        s.anchor = m_anchors.back();
    if (!m_deletionAuthor.isNull()) {
        s.strike = true;
        s.color = m_builder.authorColor(m_deletionAuthor);
    } else if (!m_insertions.empty()) {
        s.underline = s.underline ? s.underline : 1;
        s.color = m_builder.authorColor(m_insertions.back());
    }
    return s;
}

bool OdtBody::trackChange(PackageXml &xml)
{
    bool wrote = false;
    const auto change = m_changes.constFind(xml.attribute(u"change-id"));
    if (change != m_changes.constEnd()) {
        if (is(xml, "change") && !change->insertion && !change->deleted.isEmpty()) {
            m_deletionAuthor = change->author.isNull() ? QStringLiteral("") : change->author;
            m_runValid = false;
            addText(change->deleted, false);
            m_deletionAuthor = QString();
            m_runValid = false;
            wrote = true;
        } else if (is(xml, "change-start") && change->insertion && m_insertions.size() < 64) {
            m_insertions.push_back(change->author);
            m_runValid = false;
        } else if (is(xml, "change-end") && change->insertion && !m_insertions.empty()) {
            m_insertions.pop_back();
            m_runValid = false;
        }
    }
    xml.skip();
    return wrote;
}

void OdtBody::readTrackedChanges(PackageXml &xml)
{
    const int depth = xml.depth();
    QString id;
    Change change;
    int region = -1;
    bool inCreator = false;
    bool inParagraph = false;
    bool space = true;
    while (xml.next() && xml.depth() >= depth) {
        if (xml.isStart()) {
            if (is(xml, "changed-region")) {
                id = xml.attribute(u"text:1.0", u"id");
                if (id.isEmpty())
                    id = xml.attribute(u"id");
                change = Change();
                region = xml.depth();
            } else if (is(xml, "insertion")) {
                change.insertion = true;
            } else if (is(xml, "creator")) {
                inCreator = true;
            } else if (is(xml, "p") || is(xml, "h")) {
                if (!change.deleted.isEmpty())
                    change.deleted += QChar(0x2028);
                inParagraph = true;
                space = true;
            } else if (is(xml, "s") && inParagraph) {
                change.deleted += QLatin1Char(' ');
                space = false;
            } else if (is(xml, "tab") && inParagraph) {
                change.deleted += QLatin1Char('\t');
                space = false;
            }
        } else if (xml.isText()) {
            if (inCreator && change.author.size() < 256) {
                change.author += xml.text();
            } else if (inParagraph && change.deleted.size() < (1 << 20)) {
                for (const QChar c : xml.text()) {
                    if (isSpace(c)) {
                        if (!space)
                            change.deleted += QLatin1Char(' ');
                        space = true;
                    } else {
                        change.deleted += c;
                        space = false;
                    }
                }
            }
        } else if (xml.isEnd()) {
            if (is(xml, "creator")) {
                inCreator = false;
            } else if (is(xml, "p") || is(xml, "h")) {
                inParagraph = false;
            } else if (is(xml, "changed-region") && xml.depth() == region - 1) {
                if (!id.isEmpty() && m_changes.size() < 100000)
                    m_changes.insert(id, change);
                region = -1;
            }
        }
    }
}

void OdtBody::flushPending(int level)
{
    if (level > 0 && size_t(level) < m_pending.size() && m_pending[level]) {
        m_builder.paragraphBreak(*m_pending[level], level);
        m_pending[level].reset();
    }
}

void OdtBody::readSettings(PackageXml &xml)
{
    while (xml.next()) {
        if (xml.isStart())
            readSetting(xml);
    }
}

// A setting of the producer's that changes how the text is laid out.
void OdtBody::readSetting(PackageXml &xml)
{
    // OpenOffice on Unix left the faces' line gaps out of the lines; the documents it
    // wrote so ask LibreOffice to do the same.
    if (is(xml, "config-item") && xml.attribute(u"name") == QLatin1String("UnxForceZeroExtLeading") && xml.next() &&
        xml.isText())
        m_builder.setNoLineGap(xml.text().trimmed() == QLatin1String("true"));
}

bool OdtBody::read(PackageXml &xml)
{
    while (!xml.failed()) {
        if (xml.isStart() && is(xml, "text")) {
            readBlocks(xml, 0);
            break;
        }
        if (xml.isStart()) // a flat file's settings come before its text
            readSetting(xml);
        if (!xml.next())
            break;
    }
    if (xml.failed()) {
        m_error = xml.errorString();
        m_builder.abandon();
        return false;
    }
    m_builder.finish(ParaState(), 0);
    return true;
}

void OdtBody::readBlocks(PackageXml &xml, int level)
{
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || m_builder.outOfMemory())
            continue;
        if (is(xml, "p") || is(xml, "h")) {
            flushPending(level);
            readParagraph(xml, level);
        } else if (is(xml, "list")) {
            readList(xml, level);
        } else if (is(xml, "table") && xml.ns().endsWith(QLatin1String("table:1.0"))) {
            flushPending(level);
            readTable(xml, level + 1);
        } else if (is(xml, "tracked-changes")) {
            readTrackedChanges(xml);
        } else if (is(xml, "section") || is(xml, "index-body") || is(xml, "index-title") || is(xml, "table-of-content")
                   || is(xml, "alphabetical-index") || is(xml, "illustration-index") || is(xml, "table-index")
                   || is(xml, "object-index") || is(xml, "user-index") || is(xml, "bibliography")
                   || is(xml, "numbered-paragraph")) {
            readBlocks(xml, level);
        } else if (is(xml, "change") || is(xml, "change-start") || is(xml, "change-end")) {
            // Between paragraphs: a deleted paragraph shows as one of its own.
            if (is(xml, "change")) {
                flushPending(level);
                m_paraStyle.clear();
                m_paraBegun = false;
                m_space = true;
                m_level = level;
                m_text.assign(1, styles.text(QString()));
                m_runValid = false;
            }
            const bool wrote = trackChange(xml);
            if (is(xml, "change") || wrote) {
                if (!m_paraBegun)
                    beginParagraph();
                if (level == 0) {
                    m_builder.paragraphBreak(m_paraState, 0);
                } else {
                    if (m_pending.size() <= size_t(level))
                        m_pending.resize(size_t(level) + 1);
                    m_pending[level] = m_paraState;
                }
            }
        } else {
            xml.skip(); // declarations, tracked changes, forms, index sources, frames on the page
        }
    }
}

void OdtBody::readList(PackageXml &xml, int level)
{
    ListContext list;
    const QString style = xml.attribute(u"text:1.0", u"style-name");
    const bool outer = m_lists.empty();
    list.style = !style.isEmpty() || outer ? style : m_lists.back().style;
    list.level = outer ? 0 : qMin(m_lists.back().level + 1, MaxListLevel);
    const bool continues = xml.attribute(u"continue-numbering") == QLatin1String("true")
        || !xml.attribute(u"continue-list").isEmpty();
    if (outer && !continues)
        m_counters.remove(list.style);
    m_lists.push_back(list);
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || m_builder.outOfMemory())
            continue;
        if (is(xml, "list-item") || is(xml, "list-header")) {
            readListItem(xml, level, is(xml, "list-header"));
        } else {
            xml.skip();
        }
    }
    m_lists.pop_back();
}

void OdtBody::readListItem(PackageXml &xml, int level, bool header)
{
    ListContext &list = m_lists.back();
    list.labelDue = true;
    list.header = header;
    list.startValue.reset();
    const QString start = xml.attribute(u"start-value");
    if (!start.isEmpty())
        list.startValue = qBound(0, start.toInt(), 1 << 24);
    readBlocks(xml, level);
}

QString OdtBody::label(const OdtListLevel &lvl, int at)
{
    if (lvl.bullet)
        return lvl.bulletChar;
    ListContext &list = m_lists.back();
    Counters &c = m_counters[list.style];
    if (list.startValue)
        c.value[at] = *list.startValue;
    else if (!c.used[at])
        c.value[at] = lvl.start;
    else
        c.value[at] = qMin(c.value[at] + 1, 1 << 24);
    c.used[at] = true;
    for (int i = at + 1; i < 10; ++i)
        c.used[i] = false;
    return labelText(lvl, styles.listStyle(list.style), c, at);
}

QString OdtBody::labelText(const OdtListLevel &lvl, const OdtListStyle *style, const Counters &c, int at)
{
    QStringList numbers;
    for (int i = qMax(0, at - lvl.displayLevels + 1); i <= at; ++i) {
        const OdtListLevel &other = style ? style->levels[i] : lvl;
        const int value = c.used[i] ? c.value[i] : other.start;
        numbers << number(value, i == at ? lvl.format : other.format);
    }
    const QString body = numbers.join(QLatin1Char('.'));
    if (body.isEmpty() && lvl.format.isEmpty())
        return lvl.prefix + lvl.suffix;
    return lvl.prefix + body + lvl.suffix;
}

// A heading's number from the outline style, counted whether shown or not, and
// placed as the paragraph's label: where the level says its text stands, or (the
// older placing) the label's own width and the least distance after it.
void OdtBody::outlineLabel(ParaState *para)
{
    const OdtListStyle *outline = styles.outline();
    const int at = m_outlineLevel - 1;
    if (!outline || at < 0 || at >= 10)
        return;
    const OdtListLevel &lvl = outline->levels[at];
    Counters &c = m_outlineCounters;
    c.value[at] = c.used[at] ? qMin(c.value[at] + 1, 1 << 24) : lvl.start;
    c.used[at] = true;
    for (int i = at + 1; i < 10; ++i)
        c.used[i] = false;
    if (lvl.format.isEmpty())
        return;
    const QString text = labelText(lvl, outline, c, at);
    if (text.isEmpty())
        return;
    if (lvl.left)
        para->leftIndent = *lvl.left;
    if (lvl.first)
        para->firstIndent = *lvl.first;
    OdtTextProps props = m_text.front();
    props.underline = 0;
    props.overlay(lvl.text);
    CharState state = charState(props);
    state.label = true;
    state.anchor = -1;
    state.hidden = false;
    addLabel(lvl, text, state, para);
}

// A label and what follows it: in the older placing, a tab to where the text starts,
// the least distance after the label or the hanging indent where the label fits
// before it; else the level's tab, space or nothing.
void OdtBody::addLabel(const OdtListLevel &lvl, const QString &text, const CharState &state, ParaState *para)
{
    if (!text.isEmpty())
        m_builder.addText(state, text);
    if (lvl.oldPlacing) {
        // A tab to where the label ends would go on to the next stop: with no
        // distance to keep, the text follows the label.
        const int labelEnd = para->leftIndent + para->firstIndent + m_builder.textTwips(state, text);
        if (labelEnd < para->leftIndent || lvl.minDistance > 0) {
            const int stop = qMax(labelEnd + lvl.minDistance, para->leftIndent);
            para->tabs = m_builder.tabList(para->tabs, {stop, QTextOption::LeftTab});
            m_builder.addText(state, QChar('\t'));
        }
    } else if (lvl.follow == 't') {
        m_builder.addText(state, QChar('\t'));
    } else if (lvl.follow == 's') {
        m_builder.addText(state, QChar(' '));
    }
}

void OdtBody::beginParagraph()
{
    m_paraBegun = true;
    OdtParaProps p = styles.paragraph(m_paraStyle);
    const OdtListLevel *lvl = nullptr;
    int at = 0;
    if (!m_lists.empty()) {
        const ListContext &list = m_lists.back();
        at = list.level;
        const OdtStyles::Style *own = styles.style(m_paraStyle);
        QString listStyle = list.style;
        if (listStyle.isEmpty() && own)
            listStyle = own->listStyle;
        if (const OdtListStyle *style = styles.listStyle(listStyle)) {
            lvl = &style->levels[at];
            if (lvl->left)
                p.left = *lvl->left + p.left.value_or(0) * 0;
            if (lvl->first)
                p.first = *lvl->first;
        }
    }
    ParaState s;
    s.alignment = p.alignment.value_or(0);
    s.leftIndent = p.left.value_or(0);
    s.rightIndent = p.right.value_or(0);
    s.firstIndent = p.first.value_or(0);
    s.spaceBefore = qMax(0, p.before.value_or(0));
    s.spaceAfter = qMax(0, p.after.value_or(0));
    s.lineSpacing = p.line.value_or(0);
    s.lineMultiple = p.lineMultiple.value_or(false) && s.lineSpacing != 0;
    s.pageBreakBefore = p.pageBreak.value_or(false);
    s.keepNext = p.keepNext.value_or(false);
    s.widows = p.widows ? *p.widows : -1;
    if (p.tabs) {
        int list = -1;
        for (const OdtTab &tab : *p.tabs)
            list = m_builder.tabList(list, {tab.position + s.leftIndent, tab.kind, tab.leader});
        s.tabs = list;
    }
    if (p.background && *p.background)
        s.shadeBack = m_builder.colorNumber(**p.background);
    m_paraState = s;
    if (lvl && !m_lists.empty() && m_lists.back().labelDue && !m_lists.back().header) {
        m_lists.back().labelDue = false;
        const QString text = label(*lvl, at);
        OdtTextProps props = m_text.front();
        props.underline = 0;
        props.overlay(lvl->text);
        CharState state = charState(props);
        state.label = true;
        state.anchor = -1;
        state.hidden = false;
        addLabel(*lvl, text, state, &m_paraState);
    } else if (!m_lists.empty()) {
        m_lists.back().labelDue = false;
    } else if (m_outlineLevel > 0) {
        outlineLabel(&m_paraState);
    }
}

void OdtBody::addText(QStringView text, bool collapse)
{
    if (text.isEmpty())
        return;
    if (!m_paraBegun)
        beginParagraph();
    if (!m_runValid) {
        m_run = charState(m_text.back());
        m_runValid = true;
    }
    if (m_run.hidden)
        return;
    if (!collapse) {
        m_builder.addText(m_run, text.toString());
        m_space = false;
        return;
    }
    // White space runs are one space, and none at the paragraph's start.
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isSpace(c)) {
            if (!m_space)
                out += QLatin1Char(' ');
            m_space = true;
        } else {
            out += c;
            m_space = false;
        }
    }
    if (!out.isEmpty())
        m_builder.addText(m_run, out);
}

void OdtBody::readParagraph(PackageXml &xml, int level)
{
    m_paraStyle = xml.attribute(u"text:1.0", u"style-name");
    // A heading outside lists takes its level's number; a heading marked as a list
    // header takes none.
    m_outlineLevel = 0;
    if (is(xml, "h") && xml.attribute(u"is-list-header") != QLatin1String("true")) {
        const QString outlineLevel = xml.attribute(u"outline-level");
        m_outlineLevel = outlineLevel.isEmpty() ? 1 : qBound(0, outlineLevel.toInt(), 10);
    }
    m_paraBegun = false;
    m_space = true;
    m_level = level;
    m_text.assign(1, styles.text(m_paraStyle));
    m_runValid = false;
    beginParagraph();
    readInline(xml);
    if (level == 0) {
        // The paragraph's mark is in the paragraph style's font: an empty paragraph
        // is as high as that font's line.
        CharState mark = charState(m_text.front());
        mark.hidden = false;
        mark.anchor = -1;
        m_builder.setMark(mark);
        m_builder.paragraphBreak(m_paraState, 0);
    } else {
        if (m_pending.size() <= size_t(level))
            m_pending.resize(size_t(level) + 1);
        m_pending[level] = m_paraState;
    }
}

// The content of the element just started: text, spans, links, spaces, tabs, line
// breaks, notes' citations, fields (their current value) and pictures.
void OdtBody::readInline(PackageXml &xml)
{
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (m_builder.outOfMemory())
            continue;
        if (xml.isText()) {
            addText(xml.text(), true);
            continue;
        }
        if (!xml.isStart())
            continue;
        if (is(xml, "span")) {
            OdtTextProps props = m_text.back();
            styles.span(xml.attribute(u"text:1.0", u"style-name"), &props);
            if (m_text.size() < 256) {
                m_text.push_back(props);
                m_runValid = false;
                readInline(xml);
                m_text.pop_back();
                m_runValid = false;
            } else {
                readInline(xml);
            }
        } else if (is(xml, "a")) {
            const QString href = xml.attribute(u"href");
            const bool linked = !href.isEmpty() && m_builder.anchors.size() < 65536;
            if (linked) {
                m_builder.anchors.append(href);
                m_anchors.push_back(int(m_builder.anchors.size()) - 1);
                m_runValid = false;
            }
            OdtTextProps props = m_text.back();
            // A link that names no style of its own looks as the document's links
            // do, or as LibreOffice draws them when the document has no such style.
            QString linkStyle = xml.attribute(u"text:1.0", u"style-name");
            if (linkStyle.isEmpty())
                linkStyle = QStringLiteral("Internet_20_link");
            if (styles.style(linkStyle)) {
                styles.span(linkStyle, &props);
            } else {
                props.underline = 1;
                props.color = std::optional<QRgb>(0x000080);
            }
            m_text.push_back(props);
            readInline(xml);
            m_text.pop_back();
            if (linked)
                m_anchors.pop_back();
            m_runValid = false;
        } else if (is(xml, "s")) {
            const QString count = xml.attribute(u"c");
            const int n = count.isEmpty() ? 1 : qBound(1, count.toInt(), 1024);
            addText(QString(n, QLatin1Char(' ')), false);
            xml.skip();
        } else if (is(xml, "tab")) {
            addText(u"\t", false);
            xml.skip();
        } else if (is(xml, "line-break")) {
            addText(u"\u2028", false);
            m_space = true;
            xml.skip();
        } else if (is(xml, "note")) {
            const int d = xml.depth();
            while (xml.next() && xml.depth() >= d) {
                if (!xml.isStart())
                    continue;
                if (is(xml, "note-citation")) {
                    OdtTextProps props = m_text.back();
                    props.vertical = 1;
                    m_text.push_back(props);
                    m_runValid = false;
                    readInline(xml);
                    m_text.pop_back();
                    m_runValid = false;
                } else {
                    xml.skip(); // the note's text goes with the notes, not here
                }
            }
        } else if (is(xml, "frame")) {
            readFrame(xml);
        } else if (is(xml, "change") || is(xml, "change-start") || is(xml, "change-end")) {
            trackChange(xml);
        } else if (is(xml, "annotation") || is(xml, "annotation-end") || is(xml, "ruby-text")
                   || is(xml, "soft-page-break") || is(xml, "bookmark") || is(xml, "bookmark-start")
                   || is(xml, "bookmark-end") || is(xml, "reference-mark") || is(xml, "toc-mark")
                   || is(xml, "alphabetical-index-mark") || is(xml, "custom-shape") || is(xml, "rect")
                   || is(xml, "line") || is(xml, "ellipse") || is(xml, "g") || is(xml, "connector")) {
            xml.skip();
        } else {
            readInline(xml); // fields show their current value; ruby's base, meta, hidden
        }
    }
}

void OdtBody::readFrame(PackageXml &xml)
{
    const int depth = xml.depth();
    const qint64 width = OdtStyles::twips(xml.attribute(u"width"));
    const qint64 height = OdtStyles::twips(xml.attribute(u"height"));
    const QString anchorType = xml.attribute(u"anchor-type");
    const OdtFrameProps frame = styles.frame(xml.attribute(u"style-name"));
    const int x = OdtStyles::twips(xml.attribute(u"x"));
    const QString pos = frame.horizontalPos.value_or(QString());
    const unsigned char alignment = pos == QLatin1String("center") ? 1 : pos == QLatin1String("right") ? 2 : 0;
    const int left = pos == QLatin1String("from-left") ? qBound(0, x, int(MaxPictureTwips)) : 0;
    QByteArray data;
    QString name;
    bool found = false;
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart())
            continue;
        if (is(xml, "image") && !found) {
            found = true;
            const QString href = xml.attribute(u"href");
            if (!href.isEmpty()) {
                QString part = href.startsWith(QLatin1String("./")) ? href.mid(2) : href;
                if (m_package && !part.contains(QLatin1String("://")) && !part.startsWith(QLatin1String(".."))
                    && !part.startsWith(QLatin1Char('/'))) {
                    name = part;
                    if (const auto bytes = m_package->read(part))
                        data = *bytes;
                }
                xml.skip();
            } else {
                // A flat file holds the picture in base 64.
                const int d = xml.depth();
                QByteArray base64;
                while (xml.next() && xml.depth() >= d) {
                    if (xml.isText() && base64.size() < (qsizetype(64) << 20))
                        base64 += xml.text().toLatin1();
                }
                data = QByteArray::fromBase64(base64);
            }
        } else if (is(xml, "text-box")) {
            readTextBox(xml, width, alignment, left, frame.bordered.value_or(true));
        } else if (is(xml, "object") || is(xml, "object-ole")) {
            xml.skip(); // an embedded object: its replacement picture follows
        }
    }
    if (data.isEmpty())
        return;
    Picture picture;
    picture.data = data;
    picture.kind = data.startsWith("\x89PNG")     ? Picture::Kind::Png
        : data.startsWith("\xFF\xD8")             ? Picture::Kind::Jpeg
        : data.startsWith("\xD7\xCD\xC6\x9A")     ? Picture::Kind::Wmf
        : data.size() > 44 && data.mid(40, 4) == " EMF" ? Picture::Kind::Emf
                                                        : Picture::Kind::Unknown;
    picture.goalWidth = int(qBound<qint64>(0, width, MaxPictureTwips));
    picture.goalHeight = int(qBound<qint64>(0, height, MaxPictureTwips));
    const PictureDecoder::Result result = m_pictures.decode(picture);
    if (result.image.isNull())
        return;
    // A picture anchored to its paragraph with no text beside it stands above the
    // paragraph's text; one that text flows around stays in the line, where its
    // paragraph's first line starts beside it as it does around the frame.
    if ((anchorType == QLatin1String("paragraph") || anchorType == QLatin1String("char"))
        && frame.wrap.value_or(QString()) == QLatin1String("none")) {
        if (placePictureAbove(result, width, alignment, left, frame))
            return;
    }
    if (!m_paraBegun)
        beginParagraph();
    if (!m_runValid) {
        m_run = charState(m_text.back());
        m_runValid = true;
    }
    m_builder.addImage(m_run, result.image, result.displaySize.width(), result.displaySize.height(), result.placeholder);
    m_space = false;
}

bool OdtBody::placePictureAbove(const PictureDecoder::Result &picture, qint64 widthTwips, unsigned char alignment,
                                int left, const OdtFrameProps &frame)
{
    if (m_textBoxes >= 4 || m_level + 2 > TableLimits::MaxNesting)
        return false;
    if (!m_paraBegun)
        beginParagraph();
    if (!m_runValid) {
        m_run = charState(m_text.back());
        m_runValid = true;
    }
    ParaState para;
    para.spaceBefore = frame.marginTop.value_or(0);
    para.spaceAfter = frame.marginBottom.value_or(0);
    m_builder.addPictureAbove(m_run, picture.image, picture.displaySize.width(), picture.displaySize.height(),
                              picture.placeholder, para, m_level, qMin(widthTwips, MaxPictureTwips), left, alignment);
    m_runValid = false;
    return true;
}

void OdtBody::readTextBox(PackageXml &xml, qint64 widthTwips, unsigned char alignment, int left, bool framed)
{
    if (m_textBoxes >= 4 || m_level + 2 > TableLimits::MaxNesting) {
        xml.skip();
        return;
    }
    if (!m_paraBegun)
        beginParagraph();
    // The anchoring paragraph goes on after the box: what its reading holds is kept.
    const QString paraStyle = m_paraStyle;
    const ParaState paraState = m_paraState;
    const bool space = m_space;
    const int anchor = m_level;
    std::vector<OdtTextProps> text;
    std::swap(text, m_text);
    std::vector<int> anchors;
    std::swap(anchors, m_anchors);
    std::vector<ListContext> lists;
    std::swap(lists, m_lists);
    ++m_textBoxes;
    m_builder.beginTextBox(anchor);
    const int level = anchor + 1;
    if (m_pending.size() <= size_t(level))
        m_pending.resize(size_t(level) + 1);
    m_pending[level].reset();
    readBlocks(xml, level);
    const ParaState last = m_pending[level] ? *m_pending[level] : ParaState();
    m_pending[level].reset();
    m_builder.endTextBox(last, level, anchor, int(qBound<qint64>(0, widthTwips, MaxPictureTwips)), left, alignment,
                         framed);
    --m_textBoxes;
    m_paraStyle = paraStyle;
    m_paraState = paraState;
    m_paraBegun = true;
    m_space = space;
    m_level = anchor;
    m_text = std::move(text);
    m_anchors = std::move(anchors);
    m_lists = std::move(lists);
    m_runValid = false;
}

void OdtBody::endCell(int level)
{
    if (m_pending.size() <= size_t(level))
        m_pending.resize(size_t(level) + 1);
    const ParaState last = m_pending[level] ? *m_pending[level] : ParaState();
    m_pending[level].reset();
    m_builder.cellEnd(last, level);
}
