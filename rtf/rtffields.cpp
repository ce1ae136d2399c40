#include "rtf/rtfparser.h"

#include <QRegularExpression>

// Fields: hyperlinks become anchors, and a SYMBOL field without a stored result
// still shows its character.

int RtfParser::hyperlinkAnchor(const QString &inst)
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
    m_builder.anchors.append(target);
    const int anchor = int(m_builder.anchors.size()) - 1;
    m_anchorIds.insert(target, anchor);
    return anchor;
}

void RtfParser::releaseField(const Group &closing)
{
    // A field lives as long as the groups that name it; fields are opened innermost
    // last, so the one going is always the last.
    if (closing.field < 0 || size_t(closing.field) + 1 != m_fields.size())
        return;
    if (!m_groups.empty() && m_groups.back().field == closing.field)
        return;
    m_fields.pop_back();
}

void RtfParser::finishField(const Group &g)
{
    // A SYMBOL field whose result was left empty still shows its character, in the
    // font it names when the font table has it.
    if (g.field < 0 || size_t(g.field) >= m_fields.size())
        return;
    const Field &field = m_fields[size_t(g.field)];
    if (field.outer != Dest::Normal || !showing())
        return;
    flushBytes();
    if (field.resultStart >= 0 && m_builder.written() != field.resultStart)
        return;
    const QString inst = field.instruction.trimmed();
    if (!inst.startsWith(QLatin1String("SYMBOL"), Qt::CaseInsensitive))
        return;
    const QStringList parts = inst.mid(6).simplified().split(QLatin1Char(' '));
    bool ok = false;
    const int code = parts.value(0).toInt(&ok, parts.value(0).startsWith(QLatin1String("0x")) ? 16 : 10);
    if (!ok || code <= 0 || code > 0xFFFF)
        return;
    RtfCharState chr = top().chr;
    const int f = int(parts.indexOf(QStringLiteral("\\f")));
    if (f >= 0) {
        const QString name = parts.value(f + 1).remove(QLatin1Char('"'));
        for (auto it = m_builder.fontNames.constBegin(); it != m_builder.fontNames.constEnd(); ++it) {
            if (it.value().compare(name, Qt::CaseInsensitive) == 0) {
                chr.font = it.key();
                chr.western = -1;
                break;
            }
        }
    }
    if (code < 256 && !parts.contains(QStringLiteral("\\u"))) {
        const char byte = char(code);
        QString text;
        m_codePages.decode(code < 0x80 ? 1252 : m_docCodePage, &byte, 1, text);
        m_builder.addText(chr, text);
    } else {
        m_builder.addText(chr, QString(QChar(char16_t(code))));
    }
}
