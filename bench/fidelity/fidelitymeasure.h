#pragma once

// The pieces of bench_fidelity: LibreOffice's word boxes as the reference keeps
// them, the editor's word boxes at the same text-column width, and their comparison
// (see bench_fidelity.cpp for what is compared).

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class RichTextBox;

namespace Fidelity {

// What the editor knows of a word. Other is a word that is none of the three.
enum Kind { List, Table, AfterTab, Other, KindCount };
inline constexpr const char *KindNames[KindCount] = {"list", "table", "after tab", "other"};

// A word's box in pixels relative to the text column: x from its left edge, y from
// the top of the column of its page (the editor's one page is its whole flow).
struct Token
{
    QString key; // WordAlign::normalise() of the text
    double x0 = 0, x1 = 0, top = 0, bottom = 0;
    int page = 0;
    bool sameLine = true; // x1 is on the line of x0
    unsigned kinds = 0;   // bits of Kind, the editor's side only
    QString face;         // the family drawn, the editor's side only
};

struct RefPage
{
    double width = 0, height = 0;          // the page
    double left = 0, top = 0, columnWidth = 0; // its text column
};

struct RefDocument
{
    QString name;
    bool refused = false;
    QStringList fonts; // as LibreOffice's PDF names them
    std::vector<RefPage> pages;
    std::vector<Token> tokens;
};

class Reference final
{
public:
    bool read(const QString &path);
    const std::vector<RefDocument> &documents() const { return m_documents; }
    const RefDocument *find(const QString &name) const;
    const QStringList &madeBy() const { return m_madeBy; }

private:
    std::vector<RefDocument> m_documents;
    QStringList m_madeBy;
};

struct ClassCounts
{
    int matched = 0, near = 0, gaps = 0, gapsNear = 0, startsBoth = 0, startsEither = 0;
};

struct Counts
{
    int loWords = 0, editorWords = 0, matched = 0;
    int near = 0, nearX = 0, yChecked = 0, nearY = 0;
    int startsBoth = 0, startsEither = 0;
    int gaps = 0, gapsNear = 0;
    int widths = 0, widthsNear = 0;
    ClassCounts kinds[KindCount];

    Counts &operator+=(const Counts &other);
    QString serialise() const;
    static Counts parse(const QString &text);
};

struct Comparison
{
    Counts counts;
    QString detail; // medians of what is off, the editor's faces
};

// With pairs, one line for each paired word: where each side has it and how far apart.
Comparison compare(const std::vector<Token> &lo, const std::vector<Token> &editor, QStringList *pairs = nullptr);

// The corpus folder: $ORVO_RTF_CORPUS, or where the build was told it is.
QString corpusDir();
// The Word and OpenDocument corpus: $ORVO_DOC_CORPUS, or where the build was told it is.
QString docCorpusDir();
// The file of a reference document in a corpus folder: NAME.rtf, NAME.docx or
// NAME.odt, the first that is there (the reference names documents without their
// extension); empty when none is.
QString documentFile(const QString &corpus, const QString &name);

// A document opened in the editor as the open command opens it, laid out whole at
// the width of a page's text column.
class EditorPage final
{
public:
    EditorPage();
    ~EditorPage();
    // An empty text, or why the document could not be opened.
    QString open(const QString &path, const RefPage &page);
    std::vector<Token> tokens() const;
    // The top of the flow drawn on a page of the reference's size at its column, with
    // LibreOffice's word boxes over it when a document is given.
    void shot(const QString &path, const RefDocument *over) const;

private:
    std::unique_ptr<RichTextBox> m_editor;
    RefPage m_page;
    double m_columnLeft = 0, m_columnTop = 0; // the editor's, in its flow
};

} // namespace Fidelity
