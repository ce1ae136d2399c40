#pragma once

// Seeded random edits on a document opened in the main window, checked as they go.
//
// Each step is what a user does: keys typed (text, Enter, Shift+Enter, Backspace,
// Delete and their word forms), the caret put or a selection made at a paragraph's,
// a cell's, a picture's or a piece's edge, pastes from a few characters to more than
// 64K on one line, copy and cut, undo and redo, formatting through the toggles, the
// swatches, the font dialog and the font size, the caret moved by keys or a click,
// resizes, scrolls, paints, and slices of the background layout in between.
//
// The reference is the document as the reader makes it, in a plain QTextDocument
// with no layout and no pieces, given the same edits as the cursor operations that
// Qt's editor makes of each key (a key that only moves the caret, and a click, take
// the reference's caret where the editor's went). After each step: the editor's text
// is the reference's, its selection stands on the same characters, and no paragraph
// has lines made for another text. Every few steps and at the end, once the layout
// says it is complete: what a copy of the document laid out from scratch shows.
//
// Steps are made from the seed alone, their places resolved against the document
// when they run, so any part of a sequence is a sequence too (for shrinking one).

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class Form1;
struct ScriptedServices;

namespace EditStress {

enum class Op : char {
    Type, Enter, LineBreak, Backspace, Delete, DeleteWord, BackspaceWord,
    Caret, Select, Paste, KeyPaste, Copy, KeyCopy, Cut,
    Undo, Redo, Bold, Italic, Underline, Strike, Colour, Font, Size,
    Move, Click, Resize, Scroll, Paint, Slices, Wait,
};

struct Step
{
    Op op = Op::Type;
    quint32 a = 0;
    quint32 b = 0;
};

std::vector<Step> generate(quint32 seed, int count);
QString format(const std::vector<Step> &steps);
// The steps of a text format() made; false when a line makes no sense.
bool parse(const QString &text, std::vector<Step> *steps);
QString describe(const Step &step);

struct Options
{
    int checkEvery = 8;    // steps between comparisons with a fresh layout
    int samples = 40;      // carets and hits compared each time
    bool finalCheck = true;
};

class Runner
{
public:
    // The main window shown, with scripted services.
    Runner(Form1 *form, const ScriptedServices &services);
    ~Runner();

    // Opens the document through the open image; "" or what went wrong. With columns
    // above 1, its body is then put in a frame in that many newspaper columns, in the
    // editor and the reference alike, as the reader puts a section in columns.
    QString open(const QString &path, int columns = 1);
    // Runs the steps; "" when every check held, or the first failure, with the index of
    // the step after which it was found. beforeStep is told each step's index first.
    QString run(const std::vector<Step> &steps, const Options &options, int *failedAt,
                const std::function<void(int)> &beforeStep = {});

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace EditStress
