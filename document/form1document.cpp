// Modified flag, open, save, new document and quit of the main window.
#include "shell/form1.h"

#include "document/module2.h"
#include "platform/richtextbox.h"
#include "platform/services.h"
#include "document/form2.h"
#include "document/form3.h"

#include <QCloseEvent>

namespace {

// Two entries, both beginning with "Tous les fichiers": rich text only, then every file.
const QString openFilter =
    QStringLiteral("Tous les fichiers ") + QStringLiteral("(*.rtf)|*.rtf|Tous les fichiers(*.*)|*.*");

// Option 23 of the dialog before an open.
constexpr int openDialogFlags = 0;

} // namespace

void Form1::wireDocument()
{
    connect(RichTextBox1, &RichTextBox::change, this, [this] { runGuarded([this] { RichTextBox1_Change(); }); });
    onClick("Image6", [this] { Image6_Click(); });
    onClick("Image7", [this] { Image7_Click(); });
    onClick("Image9", [this] { Image9_Click(); });
    onClick("Label5", [this] { Label5_Click(); });
}

void Form1::RichTextBox1_Change()
{
    setModified(true);
}

void Form1::Image6_Click()
{
    // Every failure is skipped silently: a cancelled dialog leaves the name empty,
    // and the load of an empty name fails without touching the document.
    FailureRecord err;
    CommonDialog1.setFileName(QString());
    CommonDialog1.setFilter(openFilter);
    CommonDialog1.setFlags(openDialogFlags);
    err.step(CommonDialog1.showOpen());
    const Failure loaded = RichTextBox1->loadFile(CommonDialog1.fileName());
    err.step(loaded);
    // The next dialog does not open where the file could not be read.
    CommonDialog::fileUsed(CommonDialog1.fileName(), !loaded);
}

void Form1::Image7_Click()
{
    const QString path = Module2::AskSaveFileName(Module2::untitledName());
    if (path.isEmpty())
        return;
    Module2::SaveDocument(path);
}

void Form1::Image9_Click()
{
    if (isModified()) {
        Form2::showPrompt();
        return;
    }
    startNewDocument();
}

void Form1::startNewDocument()
{
    // Emptying the text raises Change, which sets the flag: clear it afterwards.
    RichTextBox1->setText(QString());
    setModified(false);
}

void Form1::Label5_Click()
{
    if (!isModified()) {
        endProgram();
        return;
    }
    Form3::showPrompt();
}

void Form1::endProgram()
{
    m_ending = true;
    Services::application().end();
}

// The window manager's close and Alt+F4 take the close glyph's path, so unsaved
// text is never lost without the prompt.
void Form1::closeEvent(QCloseEvent *event)
{
    if (m_ending) {
        FormWindow::closeEvent(event);
        return;
    }
    if (isModified()) {
        event->ignore();
        Form3::showPrompt();
        return;
    }
    endProgram();
    FormWindow::closeEvent(event);
}
