#pragma once

#include <QChar>
#include <QFont>
#include <QString>

#include <memory>
#include <vector>

class QTextBlock;
class QTextDocument;

// Fonts for the scripts Qt shapes only with a font's OpenType tables: the Indic
// scripts, Sinhala, Syriac, Thaana, Khmer and N'Ko. When the font of a run in such a
// script has no tables for it, Qt looks for another by loading every installed family
// in turn, on the thread that lays the paragraph out, and ends with the first that
// has them, or with empty boxes when none has: some 40 ms for each font the text is
// in, once per thread. Here the same font is found by Qt's own matching without
// merging fonts, which reads what each family supports from the font database
// instead of loading the families (a millisecond or two), off the UI thread as soon
// as a document's text is known; the paragraph is then laid out with that font named
// for those runs, in its layout's additional formats. The document is not changed.
namespace ScriptFonts {

// Whether Qt needs a font's OpenType tables for the script.
bool needsTables(QChar::Script script);

// The script runs of a text as Qt's layout makes them: characters of the common and
// inherited scripts go with the run before them (at the start, with the first run).
struct Run
{
    int start = 0;
    int end = 0;
    QChar::Script script = QChar::Script_Common;
};
std::vector<Run> scriptRuns(const QString &text);

// What a run in the script is drawn with when its font is this one: the font
// itself, another family, or none (Qt draws boxes).
struct Choice
{
    enum Kind : quint8 { Own, Family, None };
    Kind kind = Own;
    QString family;
};
Choice choose(const QFont &font, QChar::Script script);

// Names in the paragraph's layout the fonts its runs in those scripts are drawn with;
// called before the paragraph is laid out. Additional formats others set (an input
// method's) stay. Returns whether the layout's formats changed: Qt takes that
// paragraph for changed, and the caller reports it to the document's layout.
bool prepare(const QTextBlock &block, const QString &text);

// Finds, on a thread of its own, the fonts a text's scripts need in each of the
// given fonts; destroyed, it stops and waits for the font it is finding.
class Prefetch final
{
public:
    Prefetch(QString text, std::vector<QFont> fonts);
    ~Prefetch();
    bool isDone() const;
    void wait();

private:
    struct State;
    std::unique_ptr<State> d;
};

// A Prefetch for the paragraphs of the document from position from to from + length,
// in every character font of the document; none when they hold no such script.
std::unique_ptr<Prefetch> prefetch(const QTextDocument *document, int from, int length);

} // namespace ScriptFonts
