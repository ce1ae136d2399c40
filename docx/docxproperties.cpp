#include "docx/docxproperties.h"

#include "package/packagexml.h"

#include <QTextOption>

namespace {

// An on/off property: on unless its value says off.
bool toggle(const PackageXml &xml)
{
    const QString v = xml.attribute(u"val");
    return !(v == QLatin1String("0") || v == QLatin1String("false") || v == QLatin1String("off")
             || v == QLatin1String("none"));
}

struct Named
{
    const char *name;
    QRgb rgb;
};

// The sixteen highlight colours Word offers.
constexpr Named highlights[] = {
    {"yellow", 0xFFFF00},      {"green", 0x00FF00},      {"cyan", 0x00FFFF},      {"magenta", 0xFF00FF},
    {"blue", 0x0000FF},        {"red", 0xFF0000},        {"darkBlue", 0x000080},  {"darkCyan", 0x008080},
    {"darkGreen", 0x008000},   {"darkMagenta", 0x800080}, {"darkRed", 0x800000},   {"darkYellow", 0x808000},
    {"darkGray", 0x808080},    {"lightGray", 0xC0C0C0},  {"black", 0x000000},     {"white", 0xFFFFFF},
};

unsigned char underlineKind(const QString &v)
{
    if (v.isEmpty() || v == QLatin1String("single") || v == QLatin1String("words") || v == QLatin1String("thick"))
        return 1; // QTextCharFormat::SingleUnderline
    if (v == QLatin1String("double"))
        return 15; // CharState::DoubleUnderline
    if (v.startsWith(QLatin1String("dotted")) || v.startsWith(QLatin1String("dottedHeavy")))
        return 3; // DotLine
    if (v.startsWith(QLatin1String("dash")))
        return v.contains(QLatin1String("DotDot")) ? 5 : v.contains(QLatin1String("Dot")) ? 4 : 2;
    if (v.startsWith(QLatin1String("wav")))
        return 6; // WaveUnderline
    if (v == QLatin1String("none"))
        return 0;
    return 1;
}

QString themeFont(const QString &theme)
{
    if (theme.startsWith(QLatin1String("major")))
        return QStringLiteral("+major");
    if (theme.startsWith(QLatin1String("minor")))
        return QStringLiteral("+minor");
    return {};
}

unsigned char borderStyle(const QString &v)
{
    if (v.isEmpty() || v == QLatin1String("nil") || v == QLatin1String("none"))
        return 0;
    if (v == QLatin1String("double"))
        return 2;
    if (v == QLatin1String("dotted"))
        return 3;
    if (v.startsWith(QLatin1String("dash")))
        return 4;
    return 1;
}

void readTabs(PackageXml &xml, std::vector<DocxTabStop> *tabs)
{
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || xml.name() != QLatin1String("tab"))
            continue;
        DocxTabStop stop;
        const QString val = xml.attribute(u"val");
        stop.position = DocxProps::number(xml.attribute(u"pos"), 0);
        stop.clear = val == QLatin1String("clear");
        stop.kind = val == QLatin1String("center") ? QTextOption::CenterTab
            : val == QLatin1String("right") || val == QLatin1String("end") ? QTextOption::RightTab
            : val == QLatin1String("decimal") ? QTextOption::DelimiterTab
                                              : QTextOption::LeftTab;
        const QString leader = xml.attribute(u"leader");
        stop.leader = leader == QLatin1String("dot") ? 1
            : leader == QLatin1String("hyphen") ? 2
            : leader == QLatin1String("underscore") ? 3
            : leader == QLatin1String("heavy") ? 4
            : leader == QLatin1String("middleDot") ? 6
                                                  : 0;
        if (val == QLatin1String("bar"))
            continue; // a vertical line, no stop
        if (tabs->size() < 64)
            tabs->push_back(stop);
    }
}

} // namespace

void DocxRunProps::overlay(const DocxRunProps &o)
{
    const quint32 g = o.given;
    if (g & Bold)
        bold = o.bold;
    if (g & Italic)
        italic = o.italic;
    if (g & Strike)
        strike = o.strike;
    if (g & Caps)
        caps = o.caps;
    if (g & SmallCaps)
        smallCaps = o.smallCaps;
    if (g & Hidden)
        hidden = o.hidden;
    if (g & Size)
        size = o.size;
    if (g & Underline)
        underline = o.underline;
    if (g & Vertical)
        vertical = o.vertical;
    if (g & Color) {
        autoColor = o.autoColor;
        color = o.color;
    }
    // A highlight wins over shading whichever says it later.
    if ((g & Background) && (o.backgroundIsHighlight || !backgroundIsHighlight || !(given & Background))) {
        noBackground = o.noBackground;
        background = o.background;
        backgroundIsHighlight = o.backgroundIsHighlight;
    }
    if (g & Font)
        font = o.font;
    if (g & EastFont)
        eastFont = o.eastFont;
    if (g & Style)
        style = o.style;
    given |= g;
}

void DocxParaProps::overlay(const DocxParaProps &o)
{
    const quint32 g = o.given;
    if (g & Alignment)
        alignment = o.alignment;
    if (g & Left)
        left = o.left;
    if (g & Right)
        right = o.right;
    if (g & First)
        first = o.first;
    if (g & Before)
        before = o.before;
    if (g & After)
        after = o.after;
    if (g & Line) {
        line = o.line;
        lineRule = o.lineRule;
    }
    if (g & KeepNext)
        keepNext = o.keepNext;
    if (g & Widows)
        widows = o.widows;
    if (g & PageBreak)
        pageBreak = o.pageBreak;
    if (g & Bidi)
        bidi = o.bidi;
    if (g & Contextual)
        contextual = o.contextual;
    if (g & BeforeAuto)
        beforeAuto = o.beforeAuto;
    if (g & AfterAuto)
        afterAuto = o.afterAuto;
    if (g & NumId)
        numId = o.numId;
    if (g & Level)
        level = o.level;
    if (g & Shading) {
        shading = o.shading;
        noShading = o.noShading;
    }
    if (g & Borders)
        std::copy(o.borders, o.borders + 4, borders);
    if (g & Style)
        style = o.style;
    // Stops add up along the chain; a cleared one takes away the inherited stop.
    for (const DocxTabStop &stop : o.tabs) {
        std::erase_if(tabs, [&](const DocxTabStop &t) { return t.position == stop.position; });
        if (!stop.clear)
            tabs.push_back(stop);
    }
    std::sort(tabs.begin(), tabs.end(), [](const DocxTabStop &a, const DocxTabStop &b) { return a.position < b.position; });
    mark.overlay(o.mark);
    given |= g;
}

void DocxTableProps::overlay(const DocxTableProps &o)
{
    for (int i = 0; i < 6; ++i) {
        if (o.bordersGiven[i]) {
            borders[i] = o.borders[i];
            bordersGiven[i] = true;
        }
    }
    for (int i = 0; i < 4; ++i) {
        if (o.margins[i] >= 0)
            margins[i] = o.margins[i];
    }
}

namespace DocxProps {

int number(const QString &text, int fallback)
{
    bool ok = false;
    // Some producers write fractions; limits keep later sums far from overflow.
    const double v = text.toDouble(&ok);
    if (!ok)
        return fallback;
    return int(qBound(-1e7, v, 1e7));
}

bool color(const QString &text, QRgb *rgb)
{
    if (text.size() != 6)
        return false;
    bool ok = false;
    const uint v = text.toUInt(&ok, 16);
    if (ok)
        *rgb = v;
    return ok;
}

int patternCover(QStringView pattern)
{
    if (pattern == u"solid")
        return 10000;
    if (pattern.startsWith(u"pct")) {
        const int n = qBound(0, pattern.mid(3).toInt(), 100);
        // The eighths are named by their whole per cents.
        return n == 12 || n == 37 || n == 62 || n == 87 ? n * 100 + 50 : n * 100;
    }
    if (pattern.endsWith(u"Stripe") || pattern.endsWith(u"Cross"))
        return 3333;
    return 0;
}

bool shadeColor(PackageXml &xml, QRgb *rgb)
{
    QRgb fill = 0;
    const bool filled = color(xml.attribute(u"fill"), &fill);
    const int cover = patternCover(xml.attribute(u"val"));
    if (cover == 0) {
        if (filled)
            *rgb = fill;
        return filled;
    }
    QRgb ink = 0;
    if (!color(xml.attribute(u"color"), &ink))
        ink = qRgb(0, 0, 0);
    if (!filled)
        fill = qRgb(255, 255, 255);
    const auto mix = [cover](int back, int front) { return (back * (10000 - cover) + front * cover + 5000) / 10000; };
    *rgb = qRgb(mix(qRed(fill), qRed(ink)), mix(qGreen(fill), qGreen(ink)), mix(qBlue(fill), qBlue(ink)));
    return true;
}

DocxBorder border(PackageXml &xml)
{
    DocxBorder b;
    b.style = borderStyle(xml.attribute(u"val"));
    // Eighths of a point.
    b.width = short(qBound(0, number(xml.attribute(u"sz"), 4) * 20 / 8, 1440));
    b.space = short(qBound(0, number(xml.attribute(u"space"), 0) * 20, 1440));
    b.autoColor = !color(xml.attribute(u"color"), &b.color);
    return b;
}

bool readTableChild(PackageXml &xml, DocxTableProps *p)
{
    const bool borders = xml.name() == QLatin1String("tblBorders");
    if (!borders && xml.name() != QLatin1String("tblCellMar"))
        return false;
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart())
            continue;
        const QStringView n = xml.name();
        const int edge = n == QLatin1String("top") ? 0
            : n == QLatin1String("left") || n == QLatin1String("start") ? 1
            : n == QLatin1String("bottom") ? 2
            : n == QLatin1String("right") || n == QLatin1String("end") ? 3
            : n == QLatin1String("insideH") && borders ? 4
            : n == QLatin1String("insideV") && borders ? 5
                                                       : -1;
        if (edge < 0)
            continue;
        if (borders) {
            p->borders[edge] = border(xml);
            p->bordersGiven[edge] = true;
        } else {
            p->margins[edge] = qBound(0, number(xml.attribute(u"w"), 0), 1440 * 4);
        }
    }
    return true;
}

void readRun(PackageXml &xml, DocxRunProps *p)
{
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || xml.depth() != depth + 1)
            continue;
        const QStringView n = xml.name();
        if (n == QLatin1String("b")) {
            p->bold = toggle(xml);
            p->given |= DocxRunProps::Bold;
        } else if (n == QLatin1String("i")) {
            p->italic = toggle(xml);
            p->given |= DocxRunProps::Italic;
        } else if (n == QLatin1String("strike") || n == QLatin1String("dstrike")) {
            const bool on = toggle(xml);
            // Either kind on strikes; one said off does not undo the other.
            if (on || !(p->given & DocxRunProps::Strike))
                p->strike = on;
            p->given |= DocxRunProps::Strike;
        } else if (n == QLatin1String("caps")) {
            p->caps = toggle(xml);
            p->given |= DocxRunProps::Caps;
        } else if (n == QLatin1String("smallCaps")) {
            p->smallCaps = toggle(xml);
            p->given |= DocxRunProps::SmallCaps;
        } else if (n == QLatin1String("vanish")) {
            p->hidden = toggle(xml);
            p->given |= DocxRunProps::Hidden;
        } else if (n == QLatin1String("sz")) {
            p->size = qBound(2, number(xml.attribute(u"val"), 20), 3276);
            p->given |= DocxRunProps::Size;
        } else if (n == QLatin1String("u")) {
            p->underline = underlineKind(xml.attribute(u"val"));
            p->given |= DocxRunProps::Underline;
        } else if (n == QLatin1String("color")) {
            p->autoColor = !color(xml.attribute(u"val"), &p->color);
            p->given |= DocxRunProps::Color;
        } else if (n == QLatin1String("highlight")) {
            const QString v = xml.attribute(u"val");
            p->noBackground = true;
            for (const Named &h : highlights) {
                if (v == QLatin1String(h.name)) {
                    p->background = h.rgb;
                    p->noBackground = false;
                }
            }
            p->backgroundIsHighlight = !p->noBackground;
            p->given |= DocxRunProps::Background;
        } else if (n == QLatin1String("shd")) {
            if (!p->backgroundIsHighlight) {
                QRgb shade = 0;
                p->noBackground = !shadeColor(xml, &shade);
                p->background = shade;
                p->given |= DocxRunProps::Background;
            }
        } else if (n == QLatin1String("rFonts")) {
            QString latin = xml.attribute(u"ascii");
            if (latin.isEmpty())
                latin = xml.attribute(u"hAnsi");
            if (latin.isEmpty())
                latin = themeFont(xml.attribute(u"asciiTheme"));
            if (!latin.isEmpty()) {
                p->font = latin;
                p->given |= DocxRunProps::Font;
            }
            QString east = xml.attribute(u"eastAsia");
            if (east.isEmpty())
                east = themeFont(xml.attribute(u"eastAsiaTheme"));
            if (!east.isEmpty()) {
                p->eastFont = east;
                p->given |= DocxRunProps::EastFont;
            }
        } else if (n == QLatin1String("vertAlign")) {
            const QString v = xml.attribute(u"val");
            p->vertical = v == QLatin1String("superscript") ? 1 : v == QLatin1String("subscript") ? 2 : 0;
            p->given |= DocxRunProps::Vertical;
        } else if (n == QLatin1String("rStyle")) {
            p->style = xml.attribute(u"val");
            p->given |= DocxRunProps::Style;
        }
    }
}

// w:ind: the indents, from either side's name (left or start, right or end).
static void readIndents(PackageXml &xml, DocxParaProps *p)
{
    QString left = xml.attribute(u"left");
    if (left.isEmpty())
        left = xml.attribute(u"start");
    if (!left.isEmpty()) {
        p->left = number(left, 0);
        p->given |= DocxParaProps::Left;
    }
    QString right = xml.attribute(u"right");
    if (right.isEmpty())
        right = xml.attribute(u"end");
    if (!right.isEmpty()) {
        p->right = number(right, 0);
        p->given |= DocxParaProps::Right;
    }
    const QString hanging = xml.attribute(u"hanging");
    const QString first = xml.attribute(u"firstLine");
    if (!hanging.isEmpty()) {
        p->first = -number(hanging, 0);
        p->given |= DocxParaProps::First;
    } else if (!first.isEmpty()) {
        p->first = number(first, 0);
        p->given |= DocxParaProps::First;
    }
}

// w:spacing: the space around the paragraph, HTML's automatic spacing, the line's.
static void readSpacing(PackageXml &xml, DocxParaProps *p)
{
    const QString before = xml.attribute(u"before");
    if (!before.isEmpty()) {
        p->before = number(before, 0);
        p->given |= DocxParaProps::Before;
    }
    const QString after = xml.attribute(u"after");
    if (!after.isEmpty()) {
        p->after = number(after, 0);
        p->given |= DocxParaProps::After;
    }
    const QString beforeAuto = xml.attribute(u"beforeAutospacing");
    if (!beforeAuto.isEmpty()) {
        p->beforeAuto = beforeAuto == QLatin1String("1") || beforeAuto == QLatin1String("true") || beforeAuto == QLatin1String("on");
        p->given |= DocxParaProps::BeforeAuto;
    }
    const QString afterAuto = xml.attribute(u"afterAutospacing");
    if (!afterAuto.isEmpty()) {
        p->afterAuto = afterAuto == QLatin1String("1") || afterAuto == QLatin1String("true") || afterAuto == QLatin1String("on");
        p->given |= DocxParaProps::AfterAuto;
    }
    const QString line = xml.attribute(u"line");
    if (!line.isEmpty()) {
        const QString rule = xml.attribute(u"lineRule");
        p->line = number(line, 240);
        p->lineRule = rule == QLatin1String("exact") ? 2 : rule == QLatin1String("atLeast") ? 1 : 0;
        p->given |= DocxParaProps::Line;
    }
}

void readPara(PackageXml &xml, DocxParaProps *p)
{
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || xml.depth() != depth + 1)
            continue;
        const QStringView n = xml.name();
        if (n == QLatin1String("pStyle")) {
            p->style = xml.attribute(u"val");
            p->given |= DocxParaProps::Style;
        } else if (n == QLatin1String("jc")) {
            const QString v = xml.attribute(u"val");
            p->alignment = v == QLatin1String("center") ? 1
                : v == QLatin1String("right") || v == QLatin1String("end") ? 2
                : v == QLatin1String("both") || v == QLatin1String("distribute") || v.endsWith(QLatin1String("Kashida")) ? 3
                                                                                                                       : 0;
            p->given |= DocxParaProps::Alignment;
        } else if (n == QLatin1String("ind")) {
            readIndents(xml, p);
        } else if (n == QLatin1String("spacing")) {
            readSpacing(xml, p);
        } else if (n == QLatin1String("keepNext")) {
            p->keepNext = toggle(xml);
            p->given |= DocxParaProps::KeepNext;
        } else if (n == QLatin1String("widowControl")) {
            p->widows = toggle(xml);
            p->given |= DocxParaProps::Widows;
        } else if (n == QLatin1String("contextualSpacing")) {
            p->contextual = toggle(xml);
            p->given |= DocxParaProps::Contextual;
        } else if (n == QLatin1String("pageBreakBefore")) {
            p->pageBreak = toggle(xml);
            p->given |= DocxParaProps::PageBreak;
        } else if (n == QLatin1String("bidi")) {
            p->bidi = toggle(xml);
            p->given |= DocxParaProps::Bidi;
        } else if (n == QLatin1String("numPr")) {
            const int numDepth = xml.depth();
            while (xml.next() && xml.depth() >= numDepth) {
                if (!xml.isStart())
                    continue;
                if (xml.name() == QLatin1String("numId")) {
                    p->numId = number(xml.attribute(u"val"), -1);
                    p->given |= DocxParaProps::NumId;
                } else if (xml.name() == QLatin1String("ilvl")) {
                    p->level = qBound(0, number(xml.attribute(u"val"), 0), 8);
                    p->given |= DocxParaProps::Level;
                }
            }
        } else if (n == QLatin1String("shd")) {
            p->noShading = !shadeColor(xml, &p->shading);
            p->given |= DocxParaProps::Shading;
        } else if (n == QLatin1String("pBdr")) {
            const int bdrDepth = xml.depth();
            while (xml.next() && xml.depth() >= bdrDepth) {
                if (!xml.isStart())
                    continue;
                const QStringView side = xml.name();
                const int i = side == QLatin1String("top") ? 0
                    : side == QLatin1String("left") || side == QLatin1String("start") ? 1
                    : side == QLatin1String("bottom") ? 2
                    : side == QLatin1String("right") || side == QLatin1String("end") ? 3
                                                                                     : -1;
                if (i >= 0)
                    p->borders[i] = border(xml);
            }
            p->given |= DocxParaProps::Borders;
        } else if (n == QLatin1String("tabs")) {
            readTabs(xml, &p->tabs);
        } else if (n == QLatin1String("rPr")) {
            readRun(xml, &p->mark);
        } else if (n == QLatin1String("sectPr")) {
            p->sectionEnds = true;
            xml.skip();
        } else {
            xml.skip();
        }
    }
}

} // namespace DocxProps
