#pragma once

#include "base/textmarks.h"

#include <QTextFormat>

// Marks the writer leaves on what it writes, for whoever reads the document after it.
namespace DocProperty {
// Set on text that a list label (\listtext, \pntext) put in front of a list item, so
// code that wants the item text alone can tell the label apart.
constexpr int ListLabel = QTextFormat::UserProperty + 0x5254;
// Set on a picture that is shown as a placeholder of its size (a picture the reader
// does not render, or one over its memory limits).
constexpr int PicturePlaceholder = QTextFormat::UserProperty + 0x5255;
// Set on a table that carries on the one before it: a long table is written as
// several, each quick to lay out again when the user types in it.
constexpr int TableContinues = QTextFormat::UserProperty + 0x5256;
// Set on the empty block that a table needs in front of it where nothing else is
// (at the start of the document or of a cell, or between the parts of a long table);
// it is no paragraph of the document (see TextMarks::Structural).
constexpr int TableLead = TextMarks::Structural;
// Set on the one-cell table that frames a text box.
constexpr int TextBox = QTextFormat::UserProperty + 0x5259;
} // namespace DocProperty
