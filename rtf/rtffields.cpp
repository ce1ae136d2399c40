#include "rtf/rtffields.h"

#include "rtf/rtflimits.h"
#include "rtf/rtfparser.h"

#include <QRegularExpression>

using RtfKeywords::Kw;
using RtfKeywords::KwInfo;

namespace {

// The base text of Japanese ruby, which word processors write as an equation that
// sets the reading over the base: EQ \o\ad(\s\up 9(reading),base).
QString rubyBase(const QString &inst)
{
    static const QRegularExpression switches(QStringLiteral("\\\\[A-Za-z]+\\s*-?\\d*|[()]"));
    QString base;
    qsizetype at = 0;
    while ((at = inst.indexOf(QLatin1String("\\o"), at)) >= 0) {
        qsizetype i = at + 2;
        while (i < inst.size() && (inst.at(i) == QLatin1Char('\\') || inst.at(i).isLetterOrNumber() || inst.at(i).isSpace()))
            ++i; // the alignment switches
        if (i >= inst.size() || inst.at(i) != QLatin1Char('(')) {
            at = i;
            continue;
        }
        QStringList args;
        int depth = 0;
        qsizetype start = i + 1;
        for (; i < inst.size(); ++i) {
            const QChar c = inst.at(i);
            if (c == QLatin1Char('(')) {
                ++depth;
            } else if (c == QLatin1Char(')') && --depth == 0) {
                args << inst.mid(start, i - start);
                break;
            } else if (c == QLatin1Char(',') && depth == 1) {
                args << inst.mid(start, i - start);
                start = i + 1;
            }
        }
        bool ruby = false;
        QString plain;
        for (const QString &arg : std::as_const(args)) {
            const QString a = arg.trimmed();
            if (a.startsWith(QLatin1String("\\s")) && a.contains(QLatin1String("\\up")))
                ruby = true;
            else
                plain += QString(a).remove(switches);
        }
        if (ruby)
            base += plain;
        at = i;
    }
    return base;
}

} // namespace

void RtfFields::word(RtfGroup &g, const KwInfo &info, const RtfTokenizer::Token &)
{
    switch (info.kw) {
    case Kw::Field:
        // A second \field in the same group replaces the first, which nothing names
        // any more.
        if (g.fieldOwner && size_t(g.field) + 1 == m_fields.size()) {
            flushInstruction();
            m_fields.back() = fieldIn(g);
        } else {
            m_fields.push_back(fieldIn(g));
        }
        g.field = int(m_fields.size()) - 1;
        g.fieldOwner = true;
        break;
    case Kw::FldInst:
        if (g.field < 0) {
            m_fields.push_back(fieldIn(g));
            g.field = int(m_fields.size()) - 1;
        }
        g.dest = RtfDest::FieldInst;
        break;
    case Kw::FldRslt:
        result(g);
        break;
    default:
        break;
    }
}

void RtfFields::result(RtfGroup &g)
{
    if (g.field >= 0 && !g.fieldOwner && m_fields[size_t(g.field)].outer == RtfDest::FieldInst) {
        // A field inside another's instruction: its result is part of that
        // instruction, which shows it where the outer field has no result.
        const int parent = m_fields[size_t(g.field)].parent;
        if (parent >= 0 && size_t(parent) < size_t(g.field)) {
            flushInstruction();
            g.field = parent;
            g.nestedResultOwner = true;
            Field &outer = m_fields[size_t(parent)];
            if (outer.nestedResults.size() < size_t(RtfLimits::MaxNestedResults))
                outer.nestedResults.push_back({outer.instruction.size(), outer.instruction.size()});
        }
        g.dest = RtfDest::FieldInst;
    } else if (g.field >= 0) {
        Field &field = m_fields[size_t(g.field)];
        g.dest = field.outer;
        if (field.resultStart < 0) {
            m_parser.flushBytes();
            flushInstruction();
            field.resultStart = m_parser.m_builder.written();
            field.anchor = hyperlinkAnchor(field.instruction);
        }
        // A field may repeat its result: every one links to the same target.
        if (field.anchor >= 0)
            g.chr.anchor = field.anchor;
    }
}

void RtfFields::character(RtfGroup &g, char32_t c)
{
    flushInstruction();
    if (g.field >= 0 && c < 0x10000) {
        QString &inst = m_fields[size_t(g.field)].instruction;
        if (inst.size() < RtfLimits::MaxFieldInstruction)
            inst.append(QChar(char16_t(c)));
    }
}

void RtfFields::groupEnding(const RtfGroup &closing)
{
    if (closing.nestedResultOwner && size_t(closing.field) < m_fields.size()) {
        flushInstruction();
        Field &parent = m_fields[size_t(closing.field)];
        if (!parent.nestedResults.empty())
            parent.nestedResults.back().second = parent.instruction.size();
    }
    if (closing.field >= 0 && !closing.fieldOwner && closing.dest != RtfDest::FieldInst) {
        Field &field = m_fields[size_t(closing.field)]; // the result's own group closes last
        field.resultChr = closing.chr;
        field.hasResultChr = true;
    }
}

void RtfFields::groupEnded(const RtfGroup &closing)
{
    if (closing.fieldOwner)
        finish(closing);
    release(closing);
}

int RtfFields::hyperlinkAnchor(const QString &inst)
{
    const QString trimmed = inst.trimmed();
    if (!trimmed.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive))
        return -1;
    // HYPERLINK "target" [\l "bookmark"] and other switches.
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    QString target;
    QString bookmark;
    const QStringView rest = QStringView(trimmed).mid(9);
    auto it = quoted.globalMatch(rest);
    const int local = int(rest.indexOf(QLatin1String("\\l")));
    while (it.hasNext()) {
        const auto m = it.next();
        if (local >= 0 && m.capturedStart() > local) {
            if (bookmark.isEmpty())
                bookmark = m.captured(1);
        } else if (target.isEmpty()) {
            target = m.captured(1);
        }
    }
    if (target.isEmpty() && bookmark.isEmpty()) {
        const QString word = rest.trimmed().toString().section(QLatin1Char(' '), 0, 0);
        if (!word.isEmpty() && !word.startsWith(QLatin1Char('\\')))
            target = word;
    }
    if (!bookmark.isEmpty())
        target += QLatin1Char('#') + bookmark;
    if (target.isEmpty())
        return -1;
    // Each target is kept once, however many fields and results name it.
    const auto known = m_anchorIds.constFind(target);
    if (known != m_anchorIds.constEnd())
        return *known;
    QStringList &anchors = m_parser.m_builder.anchors;
    anchors.append(target);
    const int anchor = int(anchors.size()) - 1;
    m_anchorIds.insert(target, anchor);
    return anchor;
}

void RtfFields::release(const RtfGroup &closing)
{
    // A field lives as long as the groups that name it; fields are opened innermost
    // last, so the one going is always the last.
    if (closing.field < 0 || size_t(closing.field) + 1 != m_fields.size())
        return;
    if (!m_parser.m_groups.empty() && m_parser.m_groups.back().field == closing.field)
        return;
    flushInstruction(); // its bytes must not reach the next field to take the slot
    m_fields.pop_back();
}

void RtfFields::text(RtfGroup &g, const char *data, int length)
{
    if (g.field < 0)
        return;
    if (m_instructionField != g.field || m_instructionCodePage != g.chr.codePage)
        flushInstruction();
    // Bytes decode to at most as many characters, so capping the bytes caps the text.
    const qsizetype room =
        RtfLimits::MaxFieldInstruction - m_fields[size_t(g.field)].instruction.size() - m_instructionBytes.size();
    if (room <= 0)
        return;
    m_instructionField = g.field;
    m_instructionCodePage = g.chr.codePage;
    m_instructionBytes.append(data, qMin(qsizetype(length), room));
}

void RtfFields::flushInstruction()
{
    if (m_instructionBytes.isEmpty())
        return;
    if (m_instructionField >= 0 && size_t(m_instructionField) < m_fields.size()) {
        // A symbol font's glyph numbers would turn the field's keywords into Greek.
        const int cp = m_instructionCodePage < 0 ? 1252 : m_instructionCodePage;
        m_parser.m_codePages.decode(cp, m_instructionBytes.constData(), m_instructionBytes.size(),
                           m_fields[size_t(m_instructionField)].instruction);
    }
    m_instructionBytes.clear();
}

void RtfFields::finish(const RtfGroup &g)
{
    // Fields whose result was left empty still show what their instruction holds: a
    // SYMBOL field its character, an EQ field with ruby its base text, a MACROBUTTON
    // or GOTOBUTTON its display text, any other the results of the fields inside it
    // (a table of contents' page numbers inside its entries' buttons).
    flushInstruction();
    if (g.field < 0 || size_t(g.field) >= m_fields.size())
        return;
    const Field &field = m_fields[size_t(g.field)];
    if (field.outer != RtfDest::Normal || !m_parser.showing())
        return;
    m_parser.flushBytes();
    DocumentBuilder &builder = m_parser.m_builder;
    if (field.resultStart >= 0 && builder.written() != field.resultStart)
        return;
    const QString inst = field.instruction.trimmed();
    const QString kind = inst.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).toUpper();
    const CharState &outer = m_parser.top().chr;
    CharState chr = field.hasResultChr ? field.resultChr : outer;
    chr.hidden = chr.deleted = false;
    chr.anchor = outer.anchor;
    QString text;
    if (kind == QLatin1String("SYMBOL"))
        text = symbolText(inst, chr);
    else if (kind == QLatin1String("EQ"))
        text = rubyBase(inst);
    else if (kind == QLatin1String("MACROBUTTON") || kind == QLatin1String("GOTOBUTTON"))
        text = inst.section(QLatin1Char(' '), 2, -1, QString::SectionSkipEmpty).trimmed();
    else
        for (const auto &[from, to] : field.nestedResults)
            text += QStringView(field.instruction).mid(from, to - from);
    if (!text.isEmpty())
        m_parser.listLabelBefore();
    builder.addText(chr, text);
}

QString RtfFields::symbolText(const QString &inst, CharState &chr)
{
    // SYMBOL code [\f font] [\s points] [\u | \a | \j | \h]
    const QStringList parts = inst.mid(6).simplified().split(QLatin1Char(' '));
    bool ok = false;
    const QString number = parts.value(0);
    const bool hex = number.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const int code = (hex ? number.mid(2) : number).toInt(&ok, hex ? 16 : 10);
    if (!ok || code <= 0 || code > 0xFFFF)
        return {};
    QString fontName;
    const int f = int(parts.indexOf(QStringLiteral("\\f")));
    if (f >= 0) {
        // The name may be quoted and hold blanks: "Times New Roman".
        QStringList words;
        for (int i = f + 1; i < parts.size() && !parts.at(i).startsWith(QLatin1Char('\\')); ++i)
            words << parts.at(i);
        fontName = words.join(QLatin1Char(' ')).remove(QLatin1Char('"'));
        const auto &fontNames = m_parser.m_builder.fontNames;
        for (auto it = fontNames.constBegin(); it != fontNames.constEnd(); ++it) {
            if (it.value().compare(fontName, Qt::CaseInsensitive) == 0) {
                chr.font = it.key();
                chr.western = -1;
                chr.codePage = m_parser.m_fontTable.codePage(it.key());
                break;
            }
        }
    } else {
        fontName = m_parser.m_builder.fontNames.value(chr.western >= 0 ? chr.western : chr.font);
    }
    const int s = int(parts.indexOf(QStringLiteral("\\s")));
    if (s >= 0) {
        const int points = parts.value(s + 1).toInt(&ok);
        if (ok && points > 0)
            chr.size = qBound(2, points * 2, 3276);
    }
    if (parts.contains(QStringLiteral("\\u")) || code > 0xFF) {
        if (parts.contains(QStringLiteral("\\j"))) {
            const char bytes[2] = {char(code >> 8), char(code & 0xFF)};
            QString text;
            m_parser.m_codePages.decode(932, bytes, 2, text);
            return text;
        }
        return QString(QChar(char16_t(code)));
    }
    // The Symbol font's glyphs have Unicode equivalents; other symbol fonts keep the
    // code, which they draw; any other font decodes it in its own code page.
    int cp = chr.codePage;
    if (fontName.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
        cp = CodePage::SymbolFont;
    else if (cp == CodePage::Symbol || cp == CodePage::SymbolFont)
        return QString(QChar(char16_t(code)));
    const char byte = char(code);
    QString text;
    m_parser.m_codePages.decode(cp, &byte, 1, text);
    return text;
}
