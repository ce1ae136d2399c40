#pragma once

#include "docx/docxproperties.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

// The parts that say how the text looks: the styles with their inheritance, the
// document defaults, the theme's fonts and the list numbering.
class DocxStyles final
{
public:
    // Reads styles.xml; nothing when it is missing or unreadable.
    void read(const QByteArray &styles);
    // Reads the theme's major and minor Latin and East Asian fonts.
    void readTheme(const QByteArray &theme);

    // The run properties of a paragraph of style paraStyle (empty: the default
    // paragraph style), before its own: defaults, a table style's when the paragraph
    // is in a table, then the style's chain.
    DocxRunProps paragraphRun(const QString &paraStyle, const DocxRunProps *table = nullptr) const;
    // The paragraph properties likewise: defaults, a table style's in a table, the
    // style's chain.
    DocxParaProps paragraph(const QString &paraStyle, const DocxParaProps *table = nullptr) const;
    // A character style's chain laid over base.
    void characterRun(const QString &charStyle, DocxRunProps *base) const;
    // The table style's paragraph (its own) and run properties for its cells.
    DocxParaProps tableParagraph(const QString &tableStyle) const;
    DocxRunProps tableRun(const QString &tableStyle) const;
    // The table style's borders and cell margins; an empty name is the default table
    // style's (Word's "Normal Table", with its cell margins).
    DocxTableProps table(const QString &tableStyle) const;
    // What the table style gives its first row's text (w:tblStylePr firstRow).
    DocxRunProps tableFirstRowRun(const QString &tableStyle) const;
    // And its first row's paragraphs (their alignment, among others).
    DocxParaProps tableFirstRowParagraph(const QString &tableStyle) const;
    // A theme font ("+major", "+minor") as the theme names it; other names as they are.
    QString font(const QString &name, bool eastAsian = false) const;
    // Whether id is the character style named "Hyperlink" (Word's own for links).
    bool isHyperlinkStyle(const QString &id) const
    {
        return m_hyperlinkStyle.isEmpty() ? id == QLatin1String("Hyperlink") : id == m_hyperlinkStyle;
    }

private:
    struct Style
    {
        QString basedOn;
        char type = 'p'; // p, c, t, n
        DocxParaProps para;
        DocxRunProps run;
        DocxParaProps firstRowPara;
        DocxRunProps firstRowRun;
        DocxTableProps table;
    };
    // The chain from the root down to id, at most a few dozen styles and never a
    // cycle.
    std::vector<const Style *> chain(const QString &id) const;

    DocxRunProps m_defaultRun;
    DocxParaProps m_defaultPara;
    QString m_defaultParaStyle;
    QString m_defaultTableStyle;
    QString m_hyperlinkStyle;
    QHash<QString, Style> m_styles;
    QString m_major, m_minor, m_majorEast, m_minorEast;
};

// Word's list numbering (numbering.xml): the abstract lists with their levels, the
// lists that use them with their overrides, and the counters as the paragraphs go.
class DocxNumbering final
{
public:
    struct Level
    {
        int start = 1;
        QString format = QStringLiteral("decimal"); // w:numFmt
        QString text;  // w:lvlText, %1..%9 for the levels' numbers
        char suffix = 't'; // t tab, s space, n nothing
        bool legal = false; // w:isLgl: the other levels' numbers in decimal
        int restart = -1; // w:lvlRestart: restarts after this level (1-based), -1 = the one above
        DocxParaProps para;
        DocxRunProps run;
    };

    void read(const QByteArray &numbering);
    // The level of list numId, or null when there is none.
    const Level *level(int numId, int level) const;
    // The label of the next paragraph of list numId at level, counting it.
    QString next(int numId, int level);

private:
    struct Abstract
    {
        Level levels[9];
    };
    struct Num
    {
        int abstract = -1;
        int startOverride[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
        bool overridden[9] = {};
        Level override[9];
        bool started = false;
    };
    struct Counters
    {
        int value[9] = {};
        bool used[9] = {};
    };

    QHash<int, Abstract> m_abstracts;
    QHash<int, Num> m_nums;
    QHash<int, Counters> m_counters; // by list (w:num): each counts on its own
};

namespace DocxNumberFormat {
// A number in one of Word's formats (decimal, lowerLetter, upperRoman...).
QString format(int n, const QString &kind);
}
