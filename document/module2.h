#pragma once

#include "base/failure.h"

#include <QString>

// The save procedures, shared by the save command and the two save prompts. They
// own nothing and reach the main window's controls by name.
class Module2 final
{
public:
    Module2() = delete;

    // The name every save suggests, whatever the document was saved as before.
    static QString untitledName() { return QStringLiteral("Untitled.rtf"); }

    // Runs the save-file dialog with defaultName preselected; the chosen full path,
    // or "" when the user cancelled.
    static QString AskSaveFileName(const QString &defaultName);

    // Writes the editor's plain text to path and retitles the main window with the
    // path in capitals; a failure is shown in a message box instead.
    static void SaveDocument(const QString &path);

    // The most recent failure of the last procedure that ran (number 0: none).
    static const FailureRecord &lastFailure();
};
