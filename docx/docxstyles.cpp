#include "docx/docxstyles.h"

#include "model/limits.h"
#include "model/listnumbers.h"
#include "package/packagexml.h"

namespace {

// Word offers nine levels; more numbers than this in a list is no document.
constexpr int MaxNumberValue = 1 << 24;

// a..z, then aa..zz, as Word counts letters.
QString letters(int n, bool upper)
{
    if (n <= 0)
        return QString::number(n);
    const int repeat = (n - 1) / 26 + 1;
    if (repeat > 64)
        return QString::number(n);
    const QChar c = QChar(char16_t((upper ? 'A' : 'a') + (n - 1) % 26));
    return QString(repeat, c);
}

} // namespace

namespace DocxNumberFormat {

QString format(int n, const QString &kind)
{
    if (kind == QLatin1String("lowerLetter"))
        return letters(n, false);
    if (kind == QLatin1String("upperLetter"))
        return letters(n, true);
    if (kind == QLatin1String("lowerRoman"))
        return ListNumbers::roman(n, false);
    if (kind == QLatin1String("upperRoman"))
        return ListNumbers::roman(n, true);
    if (kind == QLatin1String("decimalZero"))
        return n < 10 && n >= 0 ? QStringLiteral("0%1").arg(n) : QString::number(n);
    if (kind == QLatin1String("none"))
        return {};
    if (kind == QLatin1String("ordinal"))
        return QString::number(n) + QLatin1Char('.');
    return QString::number(n);
}

} // namespace DocxNumberFormat

namespace {

// The run properties of a table style's condition, its other properties left.
void readFirstRow(PackageXml &xml, DocxParaProps *para, DocxRunProps *run)
{
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart())
            continue;
        if (xml.name() == QLatin1String("rPr"))
            DocxProps::readRun(xml, run);
        else if (xml.name() == QLatin1String("pPr"))
            DocxProps::readPara(xml, para);
        else
            xml.skip();
    }
}

// A table style's borders and cell margins, its other table properties left.
void readTable(PackageXml &xml, DocxTableProps *table)
{
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (xml.isStart() && !DocxProps::readTableChild(xml, table))
            xml.skip();
    }
}

} // namespace

void DocxStyles::read(const QByteArray &styles)
{
    PackageXml xml(styles);
    while (xml.next()) {
        if (!xml.isStart())
            continue;
        const QStringView n = xml.name();
        if (n == QLatin1String("rPrDefault") || n == QLatin1String("pPrDefault")) {
            const bool run = n == QLatin1String("rPrDefault");
            const int depth = xml.depth();
            while (xml.next() && xml.depth() >= depth) {
                if (!xml.isStart())
                    continue;
                if (run && xml.name() == QLatin1String("rPr"))
                    DocxProps::readRun(xml, &m_defaultRun);
                else if (!run && xml.name() == QLatin1String("pPr"))
                    DocxProps::readPara(xml, &m_defaultPara);
            }
        } else if (n == QLatin1String("style")) {
            const QString type = xml.attribute(u"type");
            const QString id = xml.attribute(u"styleId");
            const bool isDefault = xml.attribute(u"default") == QLatin1String("1")
                || xml.attribute(u"default") == QLatin1String("true");
            Style style;
            style.type = type == QLatin1String("character") ? 'c'
                : type == QLatin1String("table")            ? 't'
                : type == QLatin1String("numbering")        ? 'n'
                                                            : 'p';
            const int depth = xml.depth();
            while (xml.next() && xml.depth() >= depth) {
                if (!xml.isStart() || xml.depth() != depth + 1)
                    continue;
                if (xml.name() == QLatin1String("basedOn"))
                    style.basedOn = xml.attribute(u"val");
                else if (xml.name() == QLatin1String("name") && style.type == 'c' && m_hyperlinkStyle.isEmpty()
                         && xml.attribute(u"val").compare(QLatin1String("Hyperlink"), Qt::CaseInsensitive) == 0)
                    m_hyperlinkStyle = id;
                else if (xml.name() == QLatin1String("pPr"))
                    DocxProps::readPara(xml, &style.para);
                else if (xml.name() == QLatin1String("rPr"))
                    DocxProps::readRun(xml, &style.run);
                else if (xml.name() == QLatin1String("tblPr"))
                    readTable(xml, &style.table);
                else if (xml.name() == QLatin1String("tblStylePr") && xml.attribute(u"type") == QLatin1String("firstRow"))
                    readFirstRow(xml, &style.firstRowPara, &style.firstRowRun);
                else
                    xml.skip(); // the other conditions, among others
            }
            if (isDefault && style.type == 'p' && m_defaultParaStyle.isEmpty())
                m_defaultParaStyle = id;
            if (isDefault && style.type == 't' && m_defaultTableStyle.isEmpty())
                m_defaultTableStyle = id;
            if (!id.isEmpty() && !m_styles.contains(id))
                m_styles.insert(id, std::move(style));
        }
    }
}

void DocxStyles::readTheme(const QByteArray &theme)
{
    PackageXml xml(theme);
    QString *latin = nullptr;
    QString *east = nullptr;
    while (xml.next()) {
        if (!xml.isStart())
            continue;
        const QStringView n = xml.name();
        if (n == QLatin1String("majorFont")) {
            latin = &m_major;
            east = &m_majorEast;
        } else if (n == QLatin1String("minorFont")) {
            latin = &m_minor;
            east = &m_minorEast;
        } else if (n == QLatin1String("latin") && latin && latin->isEmpty()) {
            *latin = xml.attribute(u"typeface");
        } else if (n == QLatin1String("ea") && east && east->isEmpty()) {
            *east = xml.attribute(u"typeface");
        }
    }
}

QString DocxStyles::font(const QString &name, bool eastAsian) const
{
    if (name == QLatin1String("+major"))
        return eastAsian ? m_majorEast : m_major;
    if (name == QLatin1String("+minor"))
        return eastAsian ? m_minorEast : m_minor;
    return name;
}

std::vector<const DocxStyles::Style *> DocxStyles::chain(const QString &id) const
{
    std::vector<const Style *> styles;
    QString at = id;
    while (!at.isEmpty() && styles.size() < size_t(ModelLimits::MaxStyleChain)) {
        const auto it = m_styles.constFind(at);
        if (it == m_styles.constEnd())
            break;
        if (std::find(styles.begin(), styles.end(), &it.value()) != styles.end())
            break; // a cycle: what is there so far holds
        styles.push_back(&it.value());
        at = it->basedOn;
    }
    std::reverse(styles.begin(), styles.end());
    return styles;
}

DocxRunProps DocxStyles::paragraphRun(const QString &paraStyle, const DocxRunProps *table) const
{
    DocxRunProps run = m_defaultRun;
    if (table)
        run.overlay(*table);
    for (const Style *s : chain(paraStyle.isEmpty() ? m_defaultParaStyle : paraStyle))
        run.overlay(s->run);
    return run;
}

DocxParaProps DocxStyles::paragraph(const QString &paraStyle, const DocxParaProps *table) const
{
    DocxParaProps para = m_defaultPara;
    if (table)
        para.overlay(*table);
    for (const Style *s : chain(paraStyle.isEmpty() ? m_defaultParaStyle : paraStyle))
        para.overlay(s->para);
    return para;
}

void DocxStyles::characterRun(const QString &charStyle, DocxRunProps *base) const
{
    for (const Style *s : chain(charStyle))
        base->overlay(s->run);
}

DocxParaProps DocxStyles::tableParagraph(const QString &tableStyle) const
{
    // The style's own, not those of the styles it is based on: LibreOffice shows the
    // cells of a table style based on "Table Grid" with the document's spacing, not
    // the grid's single lines without space after.
    const auto it = m_styles.constFind(tableStyle);
    return it == m_styles.constEnd() ? DocxParaProps() : it->para;
}

DocxRunProps DocxStyles::tableRun(const QString &tableStyle) const
{
    DocxRunProps run;
    for (const Style *s : chain(tableStyle))
        run.overlay(s->run);
    return run;
}

DocxTableProps DocxStyles::table(const QString &tableStyle) const
{
    DocxTableProps table;
    for (const Style *s : chain(tableStyle.isEmpty() ? m_defaultTableStyle : tableStyle))
        table.overlay(s->table);
    return table;
}

DocxParaProps DocxStyles::tableFirstRowParagraph(const QString &tableStyle) const
{
    DocxParaProps para;
    for (const Style *s : chain(tableStyle))
        para.overlay(s->firstRowPara);
    return para;
}

DocxRunProps DocxStyles::tableFirstRowRun(const QString &tableStyle) const
{
    DocxRunProps run;
    for (const Style *s : chain(tableStyle))
        run.overlay(s->firstRowRun);
    return run;
}

namespace {

void readLevel(PackageXml &xml, DocxNumbering::Level *level)
{
    const int depth = xml.depth();
    while (xml.next() && xml.depth() >= depth) {
        if (!xml.isStart() || xml.depth() != depth + 1)
            continue;
        const QStringView n = xml.name();
        if (n == QLatin1String("start"))
            level->start = qBound(0, DocxProps::number(xml.attribute(u"val"), 1), MaxNumberValue);
        else if (n == QLatin1String("numFmt"))
            level->format = xml.attribute(u"val");
        else if (n == QLatin1String("lvlText"))
            level->text = xml.attribute(u"val").left(64);
        else if (n == QLatin1String("suff")) {
            const QString v = xml.attribute(u"val");
            level->suffix = v == QLatin1String("space") ? 's' : v == QLatin1String("nothing") ? 'n' : 't';
        } else if (n == QLatin1String("isLgl"))
            level->legal = xml.attribute(u"val") != QLatin1String("0");
        else if (n == QLatin1String("lvlRestart"))
            level->restart = DocxProps::number(xml.attribute(u"val"), -1);
        else if (n == QLatin1String("pPr"))
            DocxProps::readPara(xml, &level->para);
        else if (n == QLatin1String("rPr"))
            DocxProps::readRun(xml, &level->run);
        else
            xml.skip();
    }
}

} // namespace

void DocxNumbering::read(const QByteArray &numbering)
{
    PackageXml xml(numbering);
    while (xml.next()) {
        if (!xml.isStart())
            continue;
        if (xml.name() == QLatin1String("abstractNum")) {
            const int id = DocxProps::number(xml.attribute(u"abstractNumId"), -1);
            Abstract abstract;
            const int depth = xml.depth();
            while (xml.next() && xml.depth() >= depth) {
                if (xml.isStart() && xml.name() == QLatin1String("lvl")) {
                    const int i = DocxProps::number(xml.attribute(u"ilvl"), -1);
                    Level scratch;
                    readLevel(xml, i >= 0 && i < 9 ? &abstract.levels[i] : &scratch);
                }
            }
            if (!m_abstracts.contains(id) && m_abstracts.size() < 100000)
                m_abstracts.insert(id, std::move(abstract));
        } else if (xml.name() == QLatin1String("num")) {
            const int id = DocxProps::number(xml.attribute(u"numId"), -1);
            Num num;
            const int depth = xml.depth();
            int overrideLevel = -1;
            while (xml.next() && xml.depth() >= depth) {
                if (!xml.isStart())
                    continue;
                const QStringView n = xml.name();
                if (n == QLatin1String("abstractNumId")) {
                    num.abstract = DocxProps::number(xml.attribute(u"val"), -1);
                } else if (n == QLatin1String("lvlOverride")) {
                    overrideLevel = DocxProps::number(xml.attribute(u"ilvl"), -1);
                } else if (n == QLatin1String("startOverride") && overrideLevel >= 0 && overrideLevel < 9) {
                    num.startOverride[overrideLevel]
                        = qBound(0, DocxProps::number(xml.attribute(u"val"), 1), MaxNumberValue);
                } else if (n == QLatin1String("lvl") && overrideLevel >= 0 && overrideLevel < 9) {
                    readLevel(xml, &num.override[overrideLevel]);
                    num.overridden[overrideLevel] = true;
                }
            }
            if (!m_nums.contains(id) && m_nums.size() < 100000)
                m_nums.insert(id, num);
        }
    }
}

const DocxNumbering::Level *DocxNumbering::level(int numId, int level) const
{
    if (level < 0 || level >= 9)
        return nullptr;
    const auto num = m_nums.constFind(numId);
    if (num == m_nums.constEnd())
        return nullptr;
    if (num->overridden[level])
        return &num->override[level];
    const auto abstract = m_abstracts.constFind(num->abstract);
    return abstract == m_abstracts.constEnd() ? nullptr : &abstract->levels[level];
}

QString DocxNumbering::next(int numId, int at)
{
    const Level *lvl = level(numId, at);
    if (!lvl)
        return {};
    Num &num = m_nums[numId];
    Counters &c = m_counters[numId];
    if (!c.used[at]) {
        c.value[at] = num.startOverride[at] >= 0 ? num.startOverride[at] : lvl->start;
        c.used[at] = true;
    } else {
        c.value[at] = qMin(c.value[at] + 1, MaxNumberValue);
    }
    // The levels below start again (unless one says it restarts only after a
    // higher level than this one).
    for (int i = at + 1; i < 9; ++i) {
        const Level *below = level(numId, i);
        if (below && below->restart == 0)
            continue;
        if (below && below->restart > 0 && below->restart - 1 < at)
            continue;
        c.used[i] = false;
    }
    if (lvl->format == QLatin1String("bullet"))
        return lvl->text;
    QString label;
    const QString &text = lvl->text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('%') && i + 1 < text.size() && text.at(i + 1) >= QLatin1Char('1')
            && text.at(i + 1) <= QLatin1Char('9')) {
            const int which = text.at(i + 1).unicode() - '1';
            const Level *other = level(numId, which);
            int value = c.used[which] ? c.value[which] : (other ? other->start : 1);
            if (which > at)
                value = other ? other->start : 1;
            const QString kind = other ? other->format : QStringLiteral("decimal");
            label += DocxNumberFormat::format(value, lvl->legal && which != at ? QStringLiteral("decimal") : kind);
            ++i;
        } else {
            label += text.at(i);
        }
    }
    return label;
}
