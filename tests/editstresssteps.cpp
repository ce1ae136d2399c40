#include "editstress.h"

#include <QRandomGenerator>
#include <QStringList>

#include <array>

// The steps there are, how often each is drawn, and the text a sequence is kept in.
namespace EditStress {

namespace {

struct OpInfo
{
    Op op;
    const char *name;
    int weight;
};

constexpr std::array<OpInfo, 30> Ops{{
    {Op::Type, "type", 18},       {Op::Enter, "enter", 5},          {Op::LineBreak, "linebreak", 2},
    {Op::Backspace, "backspace", 7}, {Op::Delete, "delete", 6},     {Op::DeleteWord, "deleteword", 2},
    {Op::BackspaceWord, "backspaceword", 2}, {Op::Caret, "caret", 12}, {Op::Select, "select", 8},
    {Op::Paste, "paste", 5},      {Op::KeyPaste, "keypaste", 2},     {Op::Copy, "copy", 2},
    {Op::KeyCopy, "keycopy", 1},  {Op::Cut, "cut", 2},               {Op::Undo, "undo", 7},
    {Op::Redo, "redo", 3},        {Op::Bold, "bold", 1},             {Op::Italic, "italic", 1},
    {Op::Underline, "underline", 1}, {Op::Strike, "strike", 1},     {Op::Colour, "colour", 1},
    {Op::Font, "font", 1},        {Op::Size, "size", 2},             {Op::Move, "move", 5},
    {Op::Click, "click", 3},      {Op::Resize, "resize", 2},         {Op::Scroll, "scroll", 3},
    {Op::Paint, "paint", 3},      {Op::Slices, "slices", 5},         {Op::Wait, "wait", 1},
}};

const OpInfo &info(Op op)
{
    for (const OpInfo &i : Ops) {
        if (i.op == op)
            return i;
    }
    return Ops[0];
}

} // namespace

std::vector<Step> generate(quint32 seed, int count)
{
    QRandomGenerator g(seed);
    int total = 0;
    for (const OpInfo &i : Ops)
        total += i.weight;
    std::vector<Step> steps;
    steps.reserve(size_t(count));
    for (int n = 0; n < count; ++n) {
        int pick = int(g.bounded(total));
        Op op = Ops[0].op;
        for (const OpInfo &i : Ops) {
            if (pick < i.weight) {
                op = i.op;
                break;
            }
            pick -= i.weight;
        }
        steps.push_back({op, g.generate(), g.generate()});
    }
    return steps;
}

QString describe(const Step &step)
{
    return QStringLiteral("%1 %2 %3").arg(QLatin1String(info(step.op).name)).arg(step.a).arg(step.b);
}

QString format(const std::vector<Step> &steps)
{
    QString out;
    for (const Step &s : steps)
        out += describe(s) + QLatin1Char('\n');
    return out;
}

bool parse(const QString &text, std::vector<Step> *steps)
{
    steps->clear();
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        if (parts.isEmpty() || parts.first().startsWith(QLatin1Char('#')))
            continue;
        if (parts.size() != 3)
            return false;
        const OpInfo *found = nullptr;
        for (const OpInfo &i : Ops) {
            if (parts.first() == QLatin1String(i.name))
                found = &i;
        }
        bool okA = false, okB = false;
        const Step s{found ? found->op : Op::Type, parts.at(1).toUInt(&okA), parts.at(2).toUInt(&okB)};
        if (!found || !okA || !okB)
            return false;
        steps->push_back(s);
    }
    return true;
}

} // namespace EditStress
