#include "model/fontfaces.h"

#include "base/codepage.h"
#include "model/limits.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>

namespace {

// Old Windows names for a face in another character set ("Arial CE", "Times New
// Roman CYR"), in any case: the system only knows the face itself.
QString withoutScriptSuffix(const QString &name)
{
    static const char *const suffixes[] = {" CE", " Cyr", " Greek", " Tur", " Baltic", " (Hebrew)",
                                           " (Arabic)", " (Vietnamese)"};
    for (const char *suffix : suffixes) {
        const QLatin1String s(suffix);
        if (name.size() > s.size() && name.endsWith(s, Qt::CaseInsensitive))
            return name.left(name.size() - s.size()).trimmed();
    }
    return name;
}

// Qt names a family that more than one foundry makes "Family [foundry]"; a format's
// list of families takes no foundry, and such a name would match nothing there.
QString withoutFoundry(const QString &family)
{
    const qsizetype bracket = family.indexOf(QLatin1String(" ["));
    return bracket > 0 && family.endsWith(QLatin1Char(']')) ? family.left(bracket) : family;
}

// Wingdings glyphs that lists use for bullets, as the Unicode shapes they draw.
constexpr std::pair<unsigned char, char16_t> WingdingsBullets[] = {
    {0x6C, 0x25CF}, {0x6D, 0x274D}, {0x6E, 0x25A0}, {0x6F, 0x25A1}, {0x70, 0x25FB}, {0x71, 0x2751},
    {0x72, 0x2752}, {0x73, 0x2B27}, {0x74, 0x29EB}, {0x75, 0x25C6}, {0x76, 0x2756}, {0x77, 0x2B25},
    {0x9F, 0x2022}, {0xA1, 0x25CB}, {0xA4, 0x25C9}, {0xA7, 0x25AA}, {0xA8, 0x25FB}, {0xD8, 0x27A2},
    {0xE8, 0x2794}, {0xF0, 0x21E8}, {0xFB, 0x2718}, {0xFC, 0x2714}, {0xFE, 0x2611},
};

} // namespace

bool FontFaces::isSymbolFace(const QString &name)
{
    static const char *const faces[] = {"Symbol", "Wingdings", "Wingdings 2", "Wingdings 3", "Webdings",
                                        "Zapf Dingbats", "ZapfDingbats", "ITC Zapf Dingbats", "Monotype Sorts",
                                        "Marlett", "MT Extra", "MS Outlook", "Bookshelf Symbol 7", "Dingbats"};
    const QString trimmed = name.trimmed();
    for (const char *face : faces) {
        if (trimmed.compare(QLatin1String(face), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

char16_t FontFaces::labelCharacter(const QString &font, char16_t c, bool symbol)
{
    const bool symbolFace = font.trimmed().compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0;
    // The symbol font's byte as read in a code page of text (Symbol's own digits and
    // letters are what it draws for them).
    if (symbol && c > 0x20 && c <= 0xFF && (!symbolFace || c >= 0x80))
        c = char16_t(0xF000 + c);
    if (c < 0xF020 || c > 0xF0FF)
        return c;
    const auto b = static_cast<unsigned char>(c - 0xF000);
    auto wingdings = [b] {
        for (const auto &w : WingdingsBullets) {
            if (w.first == b)
                return w.second;
        }
        return char16_t(0);
    };
    char16_t mapped = 0;
    if (font.trimmed().compare(QLatin1String("Wingdings"), Qt::CaseInsensitive) == 0) {
        mapped = wingdings();
    } else if (symbolFace || !isSymbolFace(font)) {
        // The Symbol font's numbers, also where a font of text carries them; where
        // Symbol draws a letter, a digit or a piece of a bracket there, the number
        // meant a Wingdings bullet (a check mark, an arrow).
        mapped = CodePage::symbolGlyph(b);
        if (!symbolFace && mapped && (QChar(mapped).isLetterOrNumber() || (mapped >= 0x2300 && mapped <= 0x23FF)))
            mapped = wingdings();
    }
    // Glyphs without a Unicode look-alike (and those of other symbol fonts) are
    // still a list's mark.
    return mapped && (mapped < 0xE000 || mapped > 0xF8FF) ? mapped : char16_t(0x2022);
}

QString FontFaces::face(const QString &name)
{
    if (name.isEmpty() || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return name;
    const auto found = m_faces.constFind(name);
    if (found != m_faces.constEnd())
        return *found;
    if (m_faces.size() >= ModelLimits::MaxFontFaces)
        return name;
    const QString resolved = lookUp(name);
    m_faces.insert(name, resolved);
    return resolved;
}

QString FontFaces::lookUp(const QString &name) const
{
    // The classic PostScript faces (Times, Helvetica, Courier, and their URW names)
    // are the URW faces the font configuration gives, as LibreOffice draws them; the
    // layout reads their line measures from their OpenType files.
    const QString base = withoutScriptSuffix(name);
    if (QFontDatabase::hasFamily(base))
        return base;
    // What the font configuration's rules substitute for the name (Calibri gives
    // Carlito, Arial gives Liberation Sans), as Qt finds it for that name alone.
    QFont font(base);
    return withoutFoundry(QFontInfo(font).family());
}

QString FontFaces::genericFace() const
{
    if (m_generic.isEmpty())
        m_generic = withoutFoundry(QFontInfo(QFont(QStringLiteral("sans-serif"))).family());
    return m_generic;
}

QStringList FontFaces::families(const QString &western, const QString &eastern, bool symbol,
                                   const QString &fallbackName)
{
    QStringList list;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return eastern.isEmpty() || eastern == western ? QStringList{western} : QStringList{western, eastern};
    auto add = [&list](const QString &family) {
        if (!family.isEmpty() && !list.contains(family, Qt::CaseInsensitive))
            list.append(family);
    };
    add(western);
    if (symbol) {
        add(face(fallbackName));
        if (list.size() < 2)
            add(genericFace());
    } else {
        add(face(western));
    }
    // The East Asian font only where the system has it or a face of its own for it:
    // the generic face it falls to otherwise would stand before the fallback Qt
    // finds for each character the Latin face lacks.
    if (!eastern.isEmpty()) {
        const QString e = face(eastern);
        if (QFontDatabase::hasFamily(eastern) || (e != genericFace() && !e.isEmpty()))
            add(e);
    }
    return list;
}
