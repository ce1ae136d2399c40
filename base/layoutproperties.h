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
// Table format, true: the columns of fixed width are as wide as given whatever their
// cells hold (a word too long for its cell breaks in it), and a centred or
// right-aligned table stands so within the text column even where it is wider than
// the column, as word processors lay out the tables of their documents. Qt widens a
// column to its cells' longest word and measures the room of an aligned table from
// the page's edge.
constexpr auto ColumnsAsGiven = QTextFormat::Property(QTextFormat::UserProperty + 0x5308);

// Character format, true: the underline is doubled (Qt draws one line of it).
constexpr auto DoubleUnderline = QTextFormat::Property(QTextFormat::UserProperty + 0x5302);

// Block format, one per side: a border around the paragraph, as a list of its style
// (BorderStyle), width in pixels, colour (invalid for the text's) and distance from
// the text in pixels. The borders' width and distance above and below the text add
// to the paragraph's height, and paragraphs with the same borders one after another
// share one box.
constexpr auto BorderTop = QTextFormat::Property(QTextFormat::UserProperty + 0x5303);
constexpr auto BorderLeft = QTextFormat::Property(QTextFormat::UserProperty + 0x5304);
constexpr auto BorderBottom = QTextFormat::Property(QTextFormat::UserProperty + 0x5305);
constexpr auto BorderRight = QTextFormat::Property(QTextFormat::UserProperty + 0x5306);
enum BorderStyle { Solid = 1, Double, Dotted, Dashed };
// Block format, true: the side borders and their distance from the text stand outside
// the paragraph's margins, the lines at the margins as without borders (as Word places
// them); otherwise the lines stand in from the margins by the borders and distances.
constexpr auto BordersOutside = QTextFormat::Property(QTextFormat::UserProperty + 0x531D);

// Block format, true: a line reaches above its baseline as far as its faces' ascents
// alone, without their line gaps (external leading), as LibreOffice on Unix lays out
// the documents that ask it so (OpenOffice's UnxForceZeroExtLeading).
constexpr auto NoLineGap = QTextFormat::Property(QTextFormat::UserProperty + 0x531E);

// Block format: the leaders of the tab stops, a list of pairs: the stop's position as
// the block format's tab positions give it, and the Leader drawn across the space
// a tab to that stop takes.
constexpr auto TabLeaders = QTextFormat::Property(QTextFormat::UserProperty + 0x5307);
enum Leader { NoLeader, Dots, Hyphens, Underline, ThickLine, DoubleLine, MiddleDots };

// Block format, true: the paragraph begins with a list label (its text up to the first
// tab) that ends at the first line's indent, right-aligned there, as word processors
// set the labels of a list level justified right ("i.", "ii.", "iii." lined up on
// their points); the tab after it goes on from the indent.
constexpr auto LabelRight = QTextFormat::Property(QTextFormat::UserProperty + 0x5318);

// Character format of a super- or subscript, a number: its size in percent of the
// text's, laid out as word processors draw it (58, or 100 for text raised or lowered
// by a distance of its own, RTF's \\up and \\dn); none for Qt's own.
constexpr auto ScriptSize = QTextFormat::Property(QTextFormat::UserProperty + 0x5319);

// Block format, true: the paragraph stands in the same column as the first lines of
// the one after it; where those go on in the next column, it goes there with them.
constexpr auto KeepWithNext = QTextFormat::Property(QTextFormat::UserProperty + 0x530D);
// Block format, true: where the paragraph breaks at a column's bottom, at least two of
// its lines stand on each side of the break (no orphan left at the bottom, no widow
// at the next top); a paragraph that cannot be broken so goes on whole in the next column.
constexpr auto WidowControl = QTextFormat::Property(QTextFormat::UserProperty + 0x530E);
// Block format, true: each space of a run of two or more is a sixth of its size wider
// than the face's, as word processors balance single-byte text against double-byte
// text unless the document asks them not to (RTF's \dntblnsbdb); a space alone keeps
// the face's width.
constexpr auto WideSpaceRuns = QTextFormat::Property(QTextFormat::UserProperty + 0x5310);
// Block format, true: between an ideograph, kana or hangul and a Western letter or
// digit beside it (either way round) stands a fifth of the larger of their sizes, as
// word processors space Asian text from Western text; punctuation and blanks get none.
constexpr auto SpaceAsianFromWestern = QTextFormat::Property(QTextFormat::UserProperty + 0x531A);
// Block format, true: ideographs, kana and hangul that their faces lack, drawn in a
// fallback face, leave the line as high as the faces, unless their run is in Chinese,
// Japanese or Korean (CjkLanguage): word processors draw them in a face of that
// language then, and otherwise in the face they substitute for the font, with the
// glyphs it lacks from a fallback that does not make the line higher.
constexpr auto AsianFallbackByLanguage = QTextFormat::Property(QTextFormat::UserProperty + 0x531B);
// Character format, true: the run's East Asian text is in Chinese, Japanese or Korean.
constexpr auto CjkLanguage = QTextFormat::Property(QTextFormat::UserProperty + 0x531C);

// Frame format, a number above 1: the frame's content flows in that many newspaper
// columns side by side, as a section of the producer's page does: the first column
// is filled down to ColumnHeight, then the next, and after the last one the flow
// goes on below in a new band of columns, a page's body each. The columns share the
// frame's width, ColumnGap apart.
constexpr auto ColumnCount = QTextFormat::Property(QTextFormat::UserProperty + 0x5309);
// Frame format: the space between two columns, in pixels.
constexpr auto ColumnGap = QTextFormat::Property(QTextFormat::UserProperty + 0x530A);
// Frame format: the height of a band of columns in pixels, the producer's page body;
// 0 (or unset): the whole content is one band, its columns balanced.
constexpr auto ColumnHeight = QTextFormat::Property(QTextFormat::UserProperty + 0x530B);
// Frame format, true: a line is drawn down the middle of each space between columns.
constexpr auto ColumnRule = QTextFormat::Property(QTextFormat::UserProperty + 0x530C);
// Frame format, true: more of the page follows the frame, and its last band's columns
// are balanced, as low as the content lets them be, rather than filled one by one.
constexpr auto ColumnsBalanced = QTextFormat::Property(QTextFormat::UserProperty + 0x530F);

} // namespace LayoutProperty
