#pragma once

#include <QTextFormat>

// Marks the reader puts on what it writes, for the layout and the editor that show it.
namespace TextMarks {

// On the empty block that a table needs in front of it where the document has no
// paragraph (at the start of the document or of a cell, or right after another
// table): Qt cannot open a frame with a table. And on the block of a padding cell,
// which fills the grid where a row of the table has no cell. Such a block is no
// paragraph of the document: it is not part of the editor's text and takes no room
// on the screen. Once it holds anything it is a paragraph like any other.
constexpr auto Structural = QTextFormat::Property(QTextFormat::UserProperty + 0x5257);
// On a table that has padding cells.
constexpr auto Padded = QTextFormat::Property(QTextFormat::UserProperty + 0x5258);

// The characters Qt's document holds where a frame (a table, a section's columns)
// begins and ends: no text of the document, never shown, copied or saved.
constexpr char16_t FrameStart = 0xFDD0;
constexpr char16_t FrameEnd = 0xFDD1;

} // namespace TextMarks
