#pragma once

#include "platform/commondialog.h"
#include "shell/formwindow.h"

class QLineEdit;
class RichTextBox;

// The main window: the title strip, toolbar, style toggles with their lamps, the
// palette, the search row and the editor. Its handlers carry the names of the
// control and event they answer; shared work sits in Module1 and Module2.
class Form1 final : public FormWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // The running main window, which the code modules reach by name. Defined here,
    // so that a prompt window asking for it does not link the whole main window.
    static Form1 *instance() { return s_running; }

    // Creates the window with every control in its initial state, shows it centred
    // and gives the editor the keyboard focus.
    void start();

    RichTextBox *const RichTextBox1;
    QLineEdit *const Text1;
    CommonDialog CommonDialog1;

    // The modified flag is the enabled state of the hidden button Command1.
    bool isModified() const;
    void setModified(bool modified);

    // Title strip and window states.
    void Form_Activate() override;
    void Form_Deactivate() override;
    void Label4_Click();
    void Label6_Click();
    void Label7_Click();
    void Label3_MouseDown(const MouseArgs &args);
    void Label3_MouseMove(const MouseArgs &args);

    // Formatting, indicators, clipboard and find.
    void Image12_Click();
    void Image16_Click();
    void Image13_Click();
    void Image14_Click();
    void Swatch_Click(Control &swatch); // Picture1_Click to Picture17_Click
    void Label1_Click();
    void Label26_Click();
    void Timer4_Timer();
    void Image10_Click();
    void Image11_Click();
    void Image5_Click();
    void Label9_Click();

    // Document lifecycle.
    void RichTextBox1_Change();
    void Image6_Click();
    void Image7_Click();
    void Image9_Click();
    void Label5_Click();

    // Ends the program: every window closes and no further handler or prompt runs.
    void endProgram();
    // The document is started afresh: the text emptied, then the flag cleared.
    void startNewDocument();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Each part of the window registers its own handlers: the title strip here, the
    // editing commands and the document lifecycle in their libraries. The window is
    // assembled where every part is at hand, so this library calls none of them.
    void wireShell();
    void wireEditing();
    void wireDocument();

    inline static Form1 *s_running = nullptr;

    bool m_ending = false;
};
