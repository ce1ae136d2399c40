#pragma once

// Qt's own texts in French whatever the desktop's locale: the titles, labels and
// buttons of the file, font and colour dialogs, the message box buttons, the
// question before a file is replaced, and the context menus of the text fields.
// The rest of the interface is French throughout, so these must not follow the
// desktop. The translations are built into the program, so none can be missing.
namespace FrenchTexts {

// Installs the translations on the running application, once. False when they
// could not be loaded (the texts then stay in Qt's English).
bool install();

} // namespace FrenchTexts
