#pragma once

#include <QTextFormat>

// What the reader knows of how the producer showed a document and Qt's formats
// cannot say: properties the reader sets on formats and the editor's layout reads.
// Qt's own layout ignores them.
namespace LayoutProperty {

// Table format, a list of one number per row: the row's height in pixels as the
// producer set it, at least (positive) or exactly (negative); 0 for as high as its
// cells need.
constexpr auto RowHeights = QTextFormat::Property(QTextFormat::UserProperty + 0x5300);
// Table format, true: a cell's height holds the space before its first paragraph
// and after its last one, as word processors show them; Qt's layout drops both.
constexpr auto CellsKeepSpacing = QTextFormat::Property(QTextFormat::UserProperty + 0x5301);

} // namespace LayoutProperty
