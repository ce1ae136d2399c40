#include "odt/odtstyles.h"

#include "model/limits.h"
#include "package/packagexml.h"

#include <QTextOption>

namespace {

std::optional<QRgb> colour(const QString &text)
{
    if (text.size() == 7 && text.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const uint v = text.mid(1).toUInt(&ok, 16);
        if (ok)
            return QRgb(v);
    }
    return std::nullopt;
}

unsigned char lineKind(const QString &style, const QString &type)
{
    if (style.isEmpty() || style == QLatin1String("none"))
        return 0;
    if (type == QLatin1String("double"))
        return 15; // CharState::DoubleUnderline
    if (style == QLatin1String("dotted"))
        return 3;
    if (style == QLatin1String("dash") || style == QLatin1String("long-dash"))
        return 2;
    if (style == QLatin1String("dot-dash"))
        return 4;
    if (style == QLatin1String("dot-dot-dash"))
        return 5;
    if (style == QLatin1String("wave"))
        return 6;
    return 1;
}

void readTextProps(const PackageXml &xml, OdtTextProps *t, const QHash<QString, QString> &faces)
{
    const QString weight = xml.attribute(u"font-weight");
    if (!weight.isEmpty())
        t->bold = weight == QLatin1String("bold") || weight.toInt() >= 600;
    const QString style = xml.attribute(u"font-style");
    if (!style.isEmpty())
        t->italic = style == QLatin1String("italic") || style == QLatin1String("oblique");
    const QString under = xml.attribute(u"text-underline-style");
    if (!under.isEmpty())
        t->underline = lineKind(under, xml.attribute(u"text-underline-type"));
    const QString through = xml.attribute(u"text-line-through-style");
    if (!through.isEmpty())
        t->strike = through != QLatin1String("none");
    const QString size = xml.attribute(u"font-size");
    if (size.endsWith(QLatin1Char('%'))) {
        bool ok = false;
        const double p = size.chopped(1).toDouble(&ok);
        if (ok && p > 0 && p < 10000)
            t->sizePercent = p;
    } else if (!size.isEmpty()) {
        const int tw = OdtStyles::twips(size, -1);
        if (tw > 0)
            t->size = qBound(1.0, tw / 20.0, 1638.0);
    }
    const QString color = xml.attribute(u"color");
    if (!color.isEmpty())
        t->color = colour(color);
    if (xml.attribute(u"use-window-font-color") == QLatin1String("true"))
        t->color = std::optional<QRgb>();
    const QString back = xml.attribute(u"background-color");
    if (!back.isEmpty())
        t->background = colour(back);
    QString font = xml.attribute(u"style:1.0", u"font-name");
    if (!font.isEmpty())
        font = faces.value(font, font);
    if (font.isEmpty())
        font = xml.attribute(u"xsl-fo-compatible:1.0", u"font-family");
    if (!font.isEmpty()) {
        font.remove(QLatin1Char('\''));
        t->font = font;
    }
    QString east = xml.attribute(u"font-name-asian");
    if (!east.isEmpty())
        t->eastFont = faces.value(east, east);
    const QString variant = xml.attribute(u"font-variant");
    if (!variant.isEmpty())
        t->smallCaps = variant == QLatin1String("small-caps");
    const QString transform = xml.attribute(u"text-transform");
    if (!transform.isEmpty())
        t->caps = transform == QLatin1String("uppercase");
    const QString position = xml.attribute(u"text-position");
    if (!position.isEmpty()) {
        const QString first = position.section(QLatin1Char(' '), 0, 0);
        t->vertical = first == QLatin1String("super") ? 1
            : first == QLatin1String("sub")           ? 2
            : first.startsWith(QLatin1Char('-'))      ? 2
            : first == QLatin1String("0%") || first == QLatin1String("0") ? 0
                                                                          : 1;
    }
    const QString kerning = xml.attribute(u"letter-kerning");
    if (!kerning.isEmpty())
        t->kerning = kerning == QLatin1String("true");
    const QString display = xml.attribute(u"display");
    if (!display.isEmpty())
        t->hidden = display == QLatin1String("none");
}

void readParaProps(PackageXml &xml, OdtParaProps *p)
{
    const QString align = xml.attribute(u"text-align");
    if (!align.isEmpty()) {
        p->alignment = align == QLatin1String("center") ? 1
            : align == QLatin1String("end") || align == QLatin1String("right") ? 2
            : align == QLatin1String("justify") ? 3
                                                : 0;
    }
    const auto length = [&](const char16_t *name, std::optional<int> *into) {
        const QString v = xml.attribute(QStringView(name));
        if (!v.isEmpty())
            *into = OdtStyles::twips(v);
    };
    length(u"margin-left", &p->left);
    length(u"margin-right", &p->right);
    length(u"text-indent", &p->first);
    length(u"margin-top", &p->before);
    length(u"margin-bottom", &p->after);
    const QString line = xml.attribute(u"line-height");
    if (line.endsWith(QLatin1Char('%'))) {
        const int percent = line.chopped(1).toInt();
        if (percent > 0) {
            p->line = percent == 100 ? 0 : qMin(percent * 240 / 100, 240 * 100);
            p->lineMultiple = percent != 100;
        }
    } else if (!line.isEmpty() && line != QLatin1String("normal")) {
        p->line = -qAbs(OdtStyles::twips(line));
        p->lineMultiple = false;
    }
    const QString least = xml.attribute(u"line-height-at-least");
    if (!least.isEmpty()) {
        p->line = qAbs(OdtStyles::twips(least));
        p->lineMultiple = false;
    }
    if (xml.attribute(u"break-before") == QLatin1String("page"))
        p->pageBreak = true;
    const QString keep = xml.attribute(u"keep-with-next");
    if (!keep.isEmpty())
        p->keepNext = keep == QLatin1String("always");
    const QString widows = xml.attribute(u"widows");
    if (!widows.isEmpty())
        p->widows = widows.toInt() > 0 ? 1 : 0;
    const QString back = xml.attribute(u"background-color");
    if (!back.isEmpty())
        p->background = colour(back);
    // The tab stops are the properties' children.
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || !is(xml, "tab-stop"))
            continue;
        if (!p->tabs)
            p->tabs.emplace();
        if (p->tabs->size() >= 64)
            continue;
        OdtTab tab;
        tab.position = OdtStyles::twips(xml.attribute(u"position"));
        const QString type = xml.attribute(u"type");
        tab.kind = type == QLatin1String("center") ? QTextOption::CenterTab
            : type == QLatin1String("right")       ? QTextOption::RightTab
            : type == QLatin1String("char")        ? QTextOption::DelimiterTab
                                                   : QTextOption::LeftTab;
        const QString leader = xml.attribute(u"leader-text");
        const QString leaderStyle = xml.attribute(u"leader-style");
        tab.leader = leader == QLatin1String(".") || leaderStyle == QLatin1String("dotted") ? 1
            : leader == QLatin1String("-") || leaderStyle == QLatin1String("dash") ? 2
            : leader == QLatin1String("_") || leaderStyle == QLatin1String("solid") ? 3
                                                                                    : 0;
        p->tabs->push_back(tab);
    }
}

// "0.5pt solid #000000", "0.06pt double #808080", "none": the parts in any order.
OdtBorder border(const QString &text)
{
    OdtBorder b;
    const QStringList parts = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part.startsWith(QLatin1Char('#')))
            b.color = colour(part);
        else if (part == QLatin1String("solid"))
            b.style = 1;
        else if (part == QLatin1String("double"))
            b.style = 2;
        else if (part == QLatin1String("dotted"))
            b.style = 3;
        else if (part == QLatin1String("dashed"))
            b.style = 4;
        else if (part.front().isDigit() || part.front() == QLatin1Char('.'))
            b.width = qBound(0, OdtStyles::twips(part), 2000);
    }
    return b;
}

void readCellProps(PackageXml &xml, OdtCellProps *c)
{
    static constexpr const char *sides[4] = {"top", "left", "bottom", "right"};
    const QString all = xml.attribute(u"border");
    const QString pad = xml.attribute(u"padding");
    for (int side = 0; side < 4; ++side) {
        const QString own = xml.attribute(QStringLiteral("border-") + QLatin1String(sides[side]));
        if (!own.isEmpty() || !all.isEmpty())
            c->borders[side] = border(own.isEmpty() ? all : own);
        const QString ownPad = xml.attribute(QStringLiteral("padding-") + QLatin1String(sides[side]));
        if (!ownPad.isEmpty() || !pad.isEmpty())
            c->padding[side] = qBound(0, OdtStyles::twips(ownPad.isEmpty() ? pad : ownPad), 31680);
    }
    const QString back = xml.attribute(u"background-color");
    if (!back.isEmpty())
        c->background = colour(back);
    const QString align = xml.attribute(u"vertical-align");
    if (align == QLatin1String("top"))
        c->vAlign = 0;
    else if (align == QLatin1String("middle"))
        c->vAlign = 1;
    else if (align == QLatin1String("bottom"))
        c->vAlign = 2;
}

} // namespace

void OdtTextProps::overlay(const OdtTextProps &o)
{
    const auto take = [](auto &mine, const auto &theirs) {
        if (theirs)
            mine = theirs;
    };
    take(bold, o.bold);
    take(italic, o.italic);
    take(strike, o.strike);
    take(hidden, o.hidden);
    take(smallCaps, o.smallCaps);
    take(caps, o.caps);
    take(kerning, o.kerning);
    take(underline, o.underline);
    take(vertical, o.vertical);
    if (o.size) {
        size = o.size;
    } else if (o.sizePercent) {
        size = qBound(1.0, size.value_or(12.0) * *o.sizePercent / 100.0, 1638.0);
    }
    take(color, o.color);
    take(background, o.background);
    take(font, o.font);
    take(eastFont, o.eastFont);
}

void OdtParaProps::overlay(const OdtParaProps &o)
{
    const auto take = [](auto &mine, const auto &theirs) {
        if (theirs)
            mine = theirs;
    };
    take(alignment, o.alignment);
    take(left, o.left);
    take(right, o.right);
    take(first, o.first);
    take(before, o.before);
    take(after, o.after);
    take(line, o.line);
    take(lineMultiple, o.lineMultiple);
    take(keepNext, o.keepNext);
    take(pageBreak, o.pageBreak);
    take(widows, o.widows);
    take(background, o.background);
    take(tabs, o.tabs);
}

int OdtStyles::twips(const QString &length, int fallback)
{
    static const struct
    {
        const char *unit;
        double twips;
    } units[] = {{"cm", 1440 / 2.54}, {"mm", 144 / 2.54}, {"in", 1440}, {"pt", 20}, {"pc", 240}, {"px", 15}};
    for (const auto &u : units) {
        if (length.endsWith(QLatin1String(u.unit))) {
            bool ok = false;
            const double v = length.chopped(2).toDouble(&ok);
            if (ok)
                return int(qBound(-1e7, v * u.twips, 1e7));
        }
    }
    return fallback;
}

void OdtStyles::readStyle(PackageXml &xml, Style *style)
{
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart())
            continue;
        if (is(xml, "text-properties")) {
            readTextProps(xml, &style->text, m_faces);
        } else if (is(xml, "paragraph-properties")) {
            readParaProps(xml, &style->para);
        } else if (is(xml, "table-cell-properties")) {
            readCellProps(xml, &style->cell);
        } else if (is(xml, "table-column-properties")) {
            style->columnWidth = qBound(0, twips(xml.attribute(u"column-width")), 31680);
        } else if (is(xml, "graphic-properties")) {
            OdtFrameProps &f = style->frame;
            const QString wrap = xml.attribute(u"wrap");
            if (!wrap.isEmpty())
                f.wrap = wrap;
            const QString pos = xml.attribute(u"horizontal-pos");
            if (!pos.isEmpty())
                f.horizontalPos = pos;
            const QString top = xml.attribute(u"margin-top");
            if (!top.isEmpty())
                f.marginTop = qBound(0, twips(top), 31680);
            const QString border = xml.attribute(u"border");
            if (!border.isEmpty())
                f.bordered = border != QLatin1String("none");
            const QString bottom = xml.attribute(u"margin-bottom");
            if (!bottom.isEmpty())
                f.marginBottom = qBound(0, twips(bottom), 31680);
        }
    }
}

void OdtStyles::readListStyle(PackageXml &xml, OdtListStyle *list)
{
    const int depth = xml.depth();
    OdtListLevel scratch;
    OdtListLevel *level = &scratch;
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart())
            continue;
        if (is(xml, "list-level-style-number") || is(xml, "list-level-style-bullet")
            || is(xml, "list-level-style-image") || is(xml, "outline-level-style")) {
            const int n = xml.attribute(u"level").toInt();
            level = n >= 1 && n <= 10 ? &list->levels[n - 1] : &scratch;
            level->bullet = is(xml, "list-level-style-bullet") || is(xml, "list-level-style-image");
            if (is(xml, "list-level-style-bullet"))
                level->bulletChar = xml.attribute(u"bullet-char").left(4);
            else if (is(xml, "list-level-style-image"))
                level->bulletChar = QStringLiteral("\u2022");
            level->format = xml.attribute(u"num-format");
            level->prefix = xml.attribute(u"num-prefix").left(32);
            level->suffix = xml.attribute(u"num-suffix").left(32);
            const QString start = xml.attribute(u"start-value");
            level->start = start.isEmpty() ? 1 : qBound(0, start.toInt(), 1 << 24);
            const QString display = xml.attribute(u"display-levels");
            level->displayLevels = display.isEmpty() ? 1 : qBound(1, display.toInt(), 10);
            QString textStyle = xml.attribute(u"text:1.0", u"style-name");
            if (const Style *s = style(textStyle))
                level->text = s->text;
        } else if (is(xml, "list-level-properties")) {
            level->oldPlacing = xml.attribute(u"list-level-position-and-space-mode") != QLatin1String("label-alignment");
            const QString before = xml.attribute(u"space-before");
            const QString minWidth = xml.attribute(u"min-label-width");
            if (!before.isEmpty() || !minWidth.isEmpty()) {
                // The older placing: the label's box starts at space-before and is
                // min-label-width wide; the text follows it.
                const int b = twips(before);
                const int w = twips(minWidth);
                level->left = b + w;
                level->first = -w;
            }
            const QString distance = xml.attribute(u"min-label-distance");
            if (!distance.isEmpty())
                level->minDistance = qBound(0, twips(distance), 31680);
        } else if (is(xml, "list-level-label-alignment")) {
            const QString follow = xml.attribute(u"label-followed-by");
            level->follow = follow == QLatin1String("space") ? 's' : follow == QLatin1String("nothing") ? 'n' : 't';
            const QString margin = xml.attribute(u"margin-left");
            const QString indent = xml.attribute(u"text-indent");
            if (!margin.isEmpty())
                level->left = twips(margin);
            if (!indent.isEmpty())
                level->first = twips(indent);
        } else if (is(xml, "text-properties")) {
            readTextProps(xml, &level->text, m_faces);
        }
    }
}

void OdtStyles::read(PackageXml &xml, bool automatic)
{
    while (xml.next()) {
        if (!xml.isStart())
            continue;
        if (is(xml, "body") || (is(xml, "master-styles"))) {
            if (is(xml, "body"))
                return;
            xml.skip();
        } else if (is(xml, "automatic-styles") && !automatic) {
            xml.skip();
        } else if (is(xml, "font-face")) {
            const QString name = xml.attribute(u"style:1.0", u"name");
            QString family = xml.attribute(u"font-family");
            family.remove(QLatin1Char('\''));
            if (!name.isEmpty() && !family.isEmpty() && m_faces.size() < 4096)
                m_faces.insert(name, family);
            xml.skip();
        } else if (is(xml, "default-style")) {
            const QString family = xml.attribute(u"family");
            m_haveDefaultParagraph = m_haveDefaultParagraph || family == QLatin1String("paragraph");
            Style *s = family == QLatin1String("paragraph") ? &m_defaultParagraph
                : family == QLatin1String("text")            ? &m_defaultText
                                                             : nullptr;
            Style scratch;
            readStyle(xml, s ? s : &scratch);
        } else if (is(xml, "style")) {
            Style s;
            const QString name = xml.attribute(u"style:1.0", u"name");
            s.family = xml.attribute(u"family");
            s.parent = xml.attribute(u"parent-style-name");
            s.listStyle = xml.attribute(u"list-style-name");
            readStyle(xml, &s);
            if (!name.isEmpty() && m_styles.size() < 100000)
                m_styles.insert(name, std::move(s));
        } else if (is(xml, "outline-style")) {
            m_outline = OdtListStyle();
            readListStyle(xml, &m_outline);
            m_haveOutline = true;
        } else if (is(xml, "list-style")) {
            const QString name = xml.attribute(u"style:1.0", u"name");
            OdtListStyle list;
            readListStyle(xml, &list);
            if (!name.isEmpty() && m_lists.size() < 100000)
                m_lists.insert(name, std::move(list));
        }
    }
}

void OdtFrameProps::overlay(const OdtFrameProps &o)
{
    if (o.wrap)
        wrap = o.wrap;
    if (o.horizontalPos)
        horizontalPos = o.horizontalPos;
    if (o.marginTop)
        marginTop = o.marginTop;
    if (o.marginBottom)
        marginBottom = o.marginBottom;
    if (o.bordered)
        bordered = o.bordered;
}

OdtFrameProps OdtStyles::frame(const QString &graphicStyle) const
{
    OdtFrameProps f;
    for (const Style *s : chain(graphicStyle))
        f.overlay(s->frame);
    return f;
}

const OdtStyles::Style *OdtStyles::style(const QString &name) const
{
    const auto it = m_styles.constFind(name);
    return it == m_styles.constEnd() ? nullptr : &it.value();
}

const OdtListStyle *OdtStyles::listStyle(const QString &name) const
{
    const auto it = m_lists.constFind(name);
    return it == m_lists.constEnd() ? nullptr : &it.value();
}

std::vector<const OdtStyles::Style *> OdtStyles::chain(const QString &name) const
{
    std::vector<const Style *> styles;
    QString at = name;
    while (!at.isEmpty() && styles.size() < size_t(ModelLimits::MaxStyleChain)) {
        const Style *s = style(at);
        if (!s || std::find(styles.begin(), styles.end(), s) != styles.end())
            break;
        styles.push_back(s);
        at = s->parent;
    }
    std::reverse(styles.begin(), styles.end());
    return styles;
}

OdtTextProps OdtStyles::text(const QString &paragraphStyle) const
{
    OdtTextProps t = m_defaultParagraph.text;
    // A document without a default paragraph style is shown with LibreOffice's own
    // defaults, whose text is black, not the automatic colour.
    if (!m_haveDefaultParagraph)
        t.color = std::optional<QRgb>(0x000000);
    for (const Style *s : chain(paragraphStyle))
        t.overlay(s->text);
    return t;
}

OdtParaProps OdtStyles::paragraph(const QString &paragraphStyle) const
{
    OdtParaProps p = m_defaultParagraph.para;
    for (const Style *s : chain(paragraphStyle))
        p.overlay(s->para);
    return p;
}

void OdtStyles::span(const QString &textStyle, OdtTextProps *base) const
{
    for (const Style *s : chain(textStyle))
        base->overlay(s->text);
}
