#pragma once

#include <QString>

// The clipboard and find procedures. They take no arguments and act on the editor
// of the running main window.
namespace Module1 {

// The text the find link searches for: the text of the entry field Text1, kept in
// step with it as the user types. Empty at start-up.
extern QString SearchText;

void CopySelection();
void CutSelection();
void PasteText();
void FindText();

} // namespace Module1
