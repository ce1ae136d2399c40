#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The faces a document's fonts are shown in. A document names fonts of the system
// it was written on ("Calibri", "Times New Roman CYR"); this one may have none of
// them, but look-alikes its font configuration substitutes (Carlito, Liberation
// Serif). Qt takes the first family of a format's list that is installed under its
// own name, so a name that is not installed is followed by the face the system
// substitutes for it: the name stays first (it is what the font display shows),
// the substitute is what draws.
class FontFaces final
{
public:
    // The families for text in the font named western, with the East Asian font
    // eastern (empty for none) for what the face lacks. symbol: the text is symbol
    // characters mapped to Unicode, which are drawn in fallback, the face of the
    // document's default font (fallbackName), not in the symbol font the system
    // substitutes, which has no glyphs at those code points.
    QStringList families(const QString &western, const QString &eastern, bool symbol, const QString &fallbackName);

    // The face that draws text in the font named name: the name itself when it is
    // installed, else what the system substitutes for it.
    QString face(const QString &name);

    // What a list label shows for character c in the font named font: the look-alike
    // in Unicode of a Wingdings glyph number, or of a Symbol one in any other font,
    // given as symbol fonts are addressed (U+F020..U+F0FF), which the faces of this
    // system can draw; a bullet for glyphs without one. Other characters are
    // returned as they are.
    // symbol: the font draws pictures for whatever bytes it is given, also where the
    // font table tells no symbol character set, so a byte's character is taken as
    // that glyph number (Symbol's own digits excepted).
    static char16_t labelCharacter(const QString &font, char16_t c, bool symbol = false);
    // Whether the font named name draws pictures rather than letters (Symbol,
    // Wingdings, Webdings, Zapf Dingbats...).
    static bool isSymbolFace(const QString &name);

private:
    QString lookUp(const QString &name) const;
    QString genericFace() const;

    QHash<QString, QString> m_faces;
    mutable QString m_generic;
};
