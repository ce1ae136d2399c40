#pragma once

#include <QRgb>
#include <QString>

#include <vector>

class PackageXml;

// Formatting as Word's XML gives it: each property either said or not, so that the
// document defaults, the chain of styles and the direct formatting can be laid one
// over the other, the later winning where it says something.

struct DocxRunProps
{
    enum Field : quint32 {
        Bold = 1u << 0, Italic = 1u << 1, Strike = 1u << 2, Caps = 1u << 3, SmallCaps = 1u << 4,
        Hidden = 1u << 5, Size = 1u << 6, Underline = 1u << 7, Color = 1u << 8, Background = 1u << 9,
        Font = 1u << 10, EastFont = 1u << 11, Vertical = 1u << 12, Style = 1u << 13,
    };
    quint32 given = 0;
    bool bold = false;
    bool italic = false;
    bool strike = false; // single or double
    bool caps = false;
    bool smallCaps = false;
    bool hidden = false;
    int size = 20; // half-points
    unsigned char underline = 0; // as CharState::underline
    unsigned char vertical = 0;  // 0 normal, 1 superscript, 2 subscript
    bool autoColor = true;
    QRgb color = 0;
    bool noBackground = true;
    QRgb background = 0; // highlight, or else shading
    bool backgroundIsHighlight = false;
    QString font;     // Latin; a theme font as "+major"/"+minor"
    QString eastFont; // East Asian
    QString style;    // w:rStyle

    bool has(Field f) const { return given & f; }
    // Lays o over this: what o says wins.
    void overlay(const DocxRunProps &o);
};

struct DocxTabStop
{
    int position = 0; // twips
    int kind = 0;     // QTextOption::TabType
    int leader = 0;   // LayoutProperty::Leader
    bool clear = false;
};

struct DocxBorder
{
    unsigned char style = 0; // BorderLine::Style
    short width = 0;         // twips
    short space = 0;         // twips
    bool autoColor = true;
    QRgb color = 0;
};

struct DocxParaProps
{
    enum Field : quint32 {
        Alignment = 1u << 0, Left = 1u << 1, Right = 1u << 2, First = 1u << 3, Before = 1u << 4,
        After = 1u << 5, Line = 1u << 6, KeepNext = 1u << 7, Widows = 1u << 8, PageBreak = 1u << 9,
        NumId = 1u << 10, Level = 1u << 11, Shading = 1u << 12, Style = 1u << 13, Bidi = 1u << 14,
        Borders = 1u << 15, Contextual = 1u << 16, BeforeAuto = 1u << 17, AfterAuto = 1u << 18,
    };
    quint32 given = 0;
    int alignment = 0; // 0 left, 1 centre, 2 right, 3 justified
    int left = 0;      // twips
    int right = 0;
    int first = 0;     // negative: hanging
    int before = 0;
    int after = 0;
    int line = 240;
    int lineRule = 0; // 0 auto (240ths of a line), 1 at least, 2 exactly
    bool keepNext = false;
    bool widows = true;
    bool pageBreak = false;
    bool bidi = false;
    bool contextual = false; // w:contextualSpacing: no space beside a paragraph of the same style
    bool beforeAuto = false, afterAuto = false; // w:beforeAutospacing, w:afterAutospacing
    int numId = -1;
    int level = 0;
    QRgb shading = 0;
    bool noShading = true;
    DocxBorder borders[4]; // top, left, bottom, right
    std::vector<DocxTabStop> tabs;
    QString style; // w:pStyle
    DocxRunProps mark; // the paragraph mark's run properties
    bool sectionEnds = false; // the paragraph ends a section (not inherited)

    bool has(Field f) const { return given & f; }
    void overlay(const DocxParaProps &o);
};

// A table's borders and cell margins, each said or not, so that the table style's
// chain and the table's own properties combine, the later winning where it says
// something (a border "nil" removes the style's).
struct DocxTableProps
{
    DocxBorder borders[6]; // top, left, bottom, right, insideH, insideV (as RowDef::Edge)
    bool bordersGiven[6] = {};
    int margins[4] = {-1, -1, -1, -1}; // top, left, bottom, right in twips (as CellDef::Edge), -1 = not said

    void overlay(const DocxTableProps &o);
};

namespace DocxProps {
// Reads the w:rPr or w:pPr just started, to its end.
void readRun(PackageXml &xml, DocxRunProps *props);
void readPara(PackageXml &xml, DocxParaProps *props);
// A twips or half-point value as Word writes it; fallback when absent or not a number.
int number(const QString &text, int fallback);
// A colour "RRGGBB"; false for "auto" or anything else.
bool color(const QString &text, QRgb *rgb);
// How much of a w:shd's pattern colour covers its fill, in hundredths of a per cent,
// as LibreOffice shows the patterns: "pctN" N per cent (pct12, pct37, pct62 and pct87
// are the eighths), "solid" all, the stripes and crosses a third, "clear" and "nil"
// nothing.
int patternCover(QStringView pattern);
// The colour a w:shd just started shows: its pattern colour (automatic: black) laid
// over its fill (automatic: white) by patternCover; false when it shows none (no
// pattern over an automatic fill).
bool shadeColor(PackageXml &xml, QRgb *rgb);
// A border element (w:top...) just started, read by its attributes.
DocxBorder border(PackageXml &xml);
// Reads the child of a w:tblPr just started when it is w:tblBorders or w:tblCellMar,
// to its end; false (nothing read) for any other.
bool readTableChild(PackageXml &xml, DocxTableProps *props);
} // namespace DocxProps
