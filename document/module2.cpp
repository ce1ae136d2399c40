#include "document/module2.h"

#include "platform/richtextbox.h"
#include "platform/services.h"
#include "shell/form1.h"

#include <memory>

namespace {

// Four entries: every file, rich text, doc and plain text.
const QString saveFilter = QStringLiteral("Tous les fichiers ") + QStringLiteral("(*.*)|*.*|Fichiers RTF") +
                           QStringLiteral("(*.rtf)|*.rtf|Fichiers doc") +
                           QStringLiteral("(*.doc)|*.doc|Fichiers TXT(*.txt)|*.txt");

// Option 23 of the dialog before a save: ask before replacing an existing file.
constexpr int saveDialogFlags = 2;

FailureRecord &failures()
{
    static FailureRecord record;
    return record;
}

} // namespace

const FailureRecord &Module2::lastFailure()
{
    return failures();
}

QString Module2::AskSaveFileName(const QString &defaultName)
{
    // Skip a failing step and go on; only the cancel signal changes the outcome.
    FailureRecord &err = failures();
    err.clear();
    Form1 *form = Form1::instance();
    if (!form)
        return QString();
    CommonDialog &dialog = form->CommonDialog1;
    dialog.setFileName(defaultName);
    dialog.setFilter(saveFilter);
    dialog.setFlags(saveDialogFlags);
    err.step(dialog.showSave());
    if (err.number() == FailureNumber::CancelError)
        return QString();
    return dialog.fileName();
}

void Module2::SaveDocument(const QString &path)
{
    // Skip a failing step and go on: the pointer is restored whatever happened,
    // and the most recent failure is the one the user is told about.
    FailureRecord &err = failures();
    err.clear();
    Form1 *form = Form1::instance();
    if (!form)
        return;
    const std::unique_ptr<TextFileOutput> file = Services::newTextFile();
    err.step(file->open(path));
    const QString text = form->RichTextBox1->text();
    Services::screen().setMousePointer(Screen::Hourglass);
    // The locale's 8-bit encoding; UTF-8 on Linux, so no character is lost.
    err.step(file->write((text + QLatin1String("\r\n")).toLocal8Bit()));
    err.step(file->close());
    Services::screen().setMousePointer(Screen::DefaultPointer);
    // The next dialog does not open where the file could not be written.
    CommonDialog::fileUsed(path, err.number() == 0);
    if (err.number() != 0) {
        Services::messageBoxes().show(err.description(), MessageBoxes::Exclamation, Services::applicationTitle());
        return;
    }
    form->setCaption(path.toUpper());
}
