// Formatting commands, style indicators, clipboard and find of the main window.
#include "shell/form1.h"

#include "editing/indicatorrefresh.h"
#include "editing/module1.h"
#include "editing/styleindicators.h"
#include "platform/richtextbox.h"

#include <QLineEdit>

#include <optional>

namespace {

// The toggle rule: the new value is True exactly when the attribute reads False, so
// a mixed selection is cleared by the first click and set by the second.
void toggle(RichTextBox *editor, TriState (RichTextBox::*read)() const, void (RichTextBox::*write)(bool))
{
    const TriState value = (editor->*read)();
    (editor->*write)(value == TriState::False);
}

} // namespace

void Form1::wireEditing()
{
    onClick("Image12", [this] { Image12_Click(); });
    onClick("Image16", [this] { Image16_Click(); });
    onClick("Image13", [this] { Image13_Click(); });
    onClick("Image14", [this] { Image14_Click(); });
    for (int i = 1; i <= 17; ++i) {
        const QByteArray name = "Picture" + QByteArray::number(i);
        Control *swatch = findControl(QString::fromLatin1(name));
        onClick(swatch->def().name, [this, swatch] { Swatch_Click(*swatch); });
    }
    onClick("Label1", [this] { Label1_Click(); });
    onClick("Label26", [this] { Label26_Click(); });
    onClick("Image10", [this] { Image10_Click(); });
    onClick("Image11", [this] { Image11_Click(); });
    onClick("Image5", [this] { Image5_Click(); });
    onClick("Label9", [this] { Label9_Click(); });
    // Timer4 keeps its handler but is never started: the editor's own notifications
    // run the refresh, so nothing wakes the program while the user does nothing.
    onTimer("Timer4", [this] { Timer4_Timer(); });
    new IndicatorRefresh(RichTextBox1, [this] { runGuarded([this] { Timer4_Timer(); }); }, this);
    // The search text is what the entry field holds, kept in step as the user types,
    // so the find link itself only has to call FindText.
    Module1::SearchText = Text1->text();
    connect(Text1, &QLineEdit::textChanged, this, [](const QString &text) { Module1::SearchText = text; });
}

void Form1::Image12_Click() { toggle(RichTextBox1, &RichTextBox::selBold, &RichTextBox::setSelBold); }
void Form1::Image16_Click() { toggle(RichTextBox1, &RichTextBox::selItalic, &RichTextBox::setSelItalic); }
void Form1::Image13_Click() { toggle(RichTextBox1, &RichTextBox::selUnderline, &RichTextBox::setSelUnderline); }
void Form1::Image14_Click() { toggle(RichTextBox1, &RichTextBox::selStrikethru, &RichTextBox::setSelStrikethru); }

void Form1::Swatch_Click(Control &swatch)
{
    // The colour is the swatch's own, read now: whatever it shows is what applies.
    RichTextBox1->setSelColor(swatch.backColor());
    // The press took the focus to the swatch; typing goes on in the editor.
    RichTextBox1->setFocus(Qt::OtherFocusReason);
}

void Form1::Label1_Click()
{
    // A cancelled dialog leaves the selection as it was.
    if (CommonDialog1.showFont())
        return;
    // The name alone: the size and styles picked in the dialog are not applied.
    RichTextBox1->setSelFontName(CommonDialog1.fontName());
    control("Label2").setCaption(CommonDialog1.fontName());
}

void Form1::Label26_Click()
{
    if (CommonDialog1.showColor())
        return;
    RichTextBox1->setSelColor(CommonDialog1.color());
}

void Form1::Timer4_Timer()
{
    // One pass over the selection serves all six displays. Each step below is
    // guarded on its own: a failing step never stops the next. When the selection
    // cannot be read, the lamps go off and the labels keep their text.
    std::optional<SelectionAttributes> selection;
    runGuarded([&] { selection = RichTextBox1->selectionAttributes(); });
    for (const StyleIndicators::Lamp &lamp : StyleIndicators::Lamps) {
        runGuarded([&] {
            const TriState value = selection ? (*selection).*lamp.attribute : TriState::False;
            control(lamp.shape).setFillColor(StyleIndicators::lampColor(value));
        });
    }
    // A mixed size or font has no text: the label keeps the last one it showed.
    runGuarded([&] {
        if (selection && selection->fontSize)
            control("Label8").setCaption(StyleIndicators::sizeCaption(*selection->fontSize));
    });
    runGuarded([&] {
        if (selection && selection->fontName)
            control("Label2").setCaption(*selection->fontName);
    });
}

void Form1::Image10_Click() { Module1::CopySelection(); }
void Form1::Image11_Click() { Module1::CutSelection(); }
void Form1::Image5_Click() { Module1::PasteText(); }
void Form1::Label9_Click() { Module1::FindText(); }
