#pragma once

#include <QHash>
#include <QRgb>
#include <QString>

#include <optional>
#include <vector>

class PackageXml;

// OpenDocument styles: each property said or not, so that the default style, the
// parent chain of a named style and the automatic style laid over it combine, the
// later winning where it says something.

struct OdtTextProps
{
    std::optional<bool> bold, italic, strike, hidden, smallCaps, caps;
    std::optional<bool> kerning; // pairs kerned (style:letter-kerning); not, unless said
    std::optional<unsigned char> underline; // as CharState::underline
    std::optional<unsigned char> vertical;  // 0, 1 super, 2 sub
    std::optional<double> size;             // points
    std::optional<double> sizePercent;      // of the inherited size
    std::optional<std::optional<QRgb>> color; // an empty colour: automatic
    std::optional<std::optional<QRgb>> background; // transparent = an empty colour
    std::optional<QString> font, eastFont;  // family names

    void overlay(const OdtTextProps &o);
};

struct OdtTab
{
    int position = 0; // twips
    int kind = 0;     // QTextOption::TabType
    int leader = 0;   // LayoutProperty::Leader
};

struct OdtParaProps
{
    std::optional<int> alignment; // 0 left, 1 centre, 2 right, 3 justified
    std::optional<int> left, right, first, before, after; // twips
    std::optional<int> line;      // ParaState::lineSpacing
    std::optional<bool> lineMultiple;
    std::optional<bool> keepNext, pageBreak;
    std::optional<int> widows;
    std::optional<std::optional<QRgb>> background;
    std::optional<std::vector<OdtTab>> tabs;

    void overlay(const OdtParaProps &o);
};

// A side of a table cell's border, as fo:border gives it ("0.5pt solid #000000").
struct OdtBorder
{
    int width = 0;             // twips
    unsigned char style = 0;   // 0 none, 1 single, 2 double, 3 dotted, 4 dashed
    std::optional<QRgb> color; // none: automatic
};

// A table cell's own properties (style:table-cell-properties), each said or not.
struct OdtCellProps
{
    std::optional<OdtBorder> borders[4];           // top, left, bottom, right
    std::optional<std::optional<QRgb>> background; // transparent = an empty colour
    std::optional<int> padding[4];                 // twips, by the same sides
    std::optional<unsigned char> vAlign;           // 0 top, 1 middle, 2 bottom
};

// How a frame (a picture) stands beside the text (style:graphic-properties).
struct OdtFrameProps
{
    std::optional<QString> wrap;           // style:wrap: none, left, right, parallel, dynamic, run-through...
    std::optional<QString> horizontalPos;  // style:horizontal-pos: left, center, right, from-left...
    std::optional<int> marginTop, marginBottom; // twips
    std::optional<bool> bordered;          // fo:border other than "none"

    void overlay(const OdtFrameProps &o);
};

// A level of a list style: its label and where the label stands.
struct OdtListLevel
{
    bool bullet = true;
    QString bulletChar = QStringLiteral("\u2022");
    QString format;  // style:num-format: 1, a, A, i, I, or empty for none
    QString prefix, suffix;
    int start = 1;
    int displayLevels = 1;
    std::optional<int> left, first; // twips, when the level says where its text stands
    bool tab = true; // the label is followed by a tab (listtab), else a space or nothing
    char follow = 't';
    // The older placing (label width and position): the text starts minDistance
    // (twips) after the label, or at the hanging indent when the label fits before it.
    bool oldPlacing = true;
    int minDistance = 0;
    OdtTextProps text;
};

struct OdtListStyle
{
    OdtListLevel levels[10];
};

class OdtStyles final
{
public:
    struct Style
    {
        QString parent;
        QString family;
        QString listStyle;
        OdtTextProps text;
        OdtParaProps para;
        OdtCellProps cell;
        OdtFrameProps frame;
        int columnWidth = 0; // twips, for a table column
    };

    // Reads the styles of a styles.xml, content.xml or flat file: font faces, default
    // styles, named styles, list styles and, when automatic, the automatic styles
    // (styles.xml's own are its headers' and footers'). Stops at office:body, where
    // the text starts, or at the end.
    void read(PackageXml &xml, bool automatic);
    // The chain of a style, root first; at most a few dozen, never a cycle.
    std::vector<const Style *> chain(const QString &name) const;
    // The text and paragraph properties of a paragraph style with its chain,
    // defaults first.
    OdtTextProps text(const QString &paragraphStyle) const;
    OdtParaProps paragraph(const QString &paragraphStyle) const;
    // A graphic style's frame properties with its chain.
    OdtFrameProps frame(const QString &graphicStyle) const;
    // A text style's own chain laid over base.
    void span(const QString &textStyle, OdtTextProps *base) const;
    const Style *style(const QString &name) const;
    const OdtListStyle *listStyle(const QString &name) const;
    // The headings' numbering (text:outline-style), null when the document has none.
    const OdtListStyle *outline() const { return m_haveOutline ? &m_outline : nullptr; }

    // Reads a length ("1.5cm", "12pt", "0.5in") in twips; fallback when none.
    static int twips(const QString &length, int fallback = 0);

private:
    void readStyle(PackageXml &xml, Style *style);
    void readListStyle(PackageXml &xml, OdtListStyle *list);

    QHash<QString, QString> m_faces; // style:font-face name -> family
    QHash<QString, Style> m_styles;
    QHash<QString, OdtListStyle> m_lists;
    OdtListStyle m_outline;
    bool m_haveOutline = false;
    Style m_defaultParagraph;
    bool m_haveDefaultParagraph = false;
    Style m_defaultText;
};
