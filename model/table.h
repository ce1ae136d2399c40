#pragma once

#include "model/content.h"

#include <vector>

// A table as a reader gathers it: row definitions (in RTF's words, \trowd ... \cellx),
// the rows with the content of their cells, and the grid those rows make together.

struct BorderLine
{
    enum Style : unsigned char { None, Single, Double, Dotted, Dashed };
    short width = 0;         // twips; 0 = the thinnest line
    unsigned char style = None;
    bool given = false;      // named by the cell or row at all
    int color = -1;          // colour table index, -1 = automatic

    bool operator==(const BorderLine &o) const
    {
        return width == o.width && style == o.style && given == o.given && color == o.color;
    }
};

struct CellDef
{
    enum Edge { Top, Left, Bottom, Right };
    int right = 0;             // \cellx: right boundary, twips from the margin
    BorderLine borders[4];      // by Edge
    int background = -1;       // \clcbpat
    int foreground = -1;       // \clcfpat
    int shading = 0;           // \clshdng, hundredths of a per cent of foreground
    unsigned char vAlign = 0;  // 0 top, 1 centre, 2 bottom
    unsigned char hMerge = 0;  // 0 none, 1 first (\clmgf), 2 merged into the one before (\clmrg)
    unsigned char vMerge = 0;  // 0 none, 1 first (\clvmgf), 2 merged into the one above (\clvmrg)
    int padding[4] = {-1, -1, -1, -1}; // \clpad* in twips (by Edge), -1 = not given
    int height = 0;            // \clheight (as TextEdit writes it): the row's least height, twips

    bool operator==(const CellDef &o) const;
};

struct RowDef
{
    enum Edge { Top, Left, Bottom, Right, InsideH, InsideV };
    int left = 0;              // \trleft: where the first cell starts
    int gap = 0;               // \trgaph: half the space between cells
    int padding[4] = {-1, -1, -1, -1}; // \trpaddt/l/b/r in twips (by CellDef::Edge), -1 = not given
    int after = 0;             // \trwWidthA in twips: room left empty after the last cell
    // \trwWidthA given after the row's cells, in the definition Word repeats before
    // \row: word processors then show the room as an empty cell with its paragraph.
    bool afterShown = false;
    unsigned char alignment = 0; // 0 left, 1 centre, 2 right
    int height = 0;            // \trrh: at least, or exactly when negative; twips
    BorderLine borders[6];      // by Edge
    std::vector<CellDef> cells;
    bool tooWide = false;      // more cells than any table has

    bool operator==(const RowDef &o) const;
};

struct TableCell
{
    size_t begin = 0; // op range in the table's content
    size_t end = 0;
};

struct TableRow
{
    std::vector<TableCell> cells;
    int def = -1; // index in DocTable::defs, -1 = none given
};

struct DocTable
{
    FlowContent content;
    std::vector<RowDef> defs;
    std::vector<TableRow> rows;
    bool textBox = false;   // the frame of a text box
    qint64 cellCount = 0;
    // How rows whose edges differ share one grid. Word and OpenDocument files give
    // their tables a grid of their own, and each row's edges stand on it; LibreOffice
    // reads RTF's rows onto the last row's width instead (layOutTable).
    enum class GridRule : unsigned char { AllEdges, LastRowWidth };
    GridRule gridRule = GridRule::AllEdges;

    // Adds a finished row; consecutive rows share an equal definition.
    void addRow(std::vector<TableCell> cells, const RowDef *def);
    // True when the row continues a vertical merge of the row above it.
    bool continuesMerge(const TableRow &row) const;
};

// A cell placed on the grid; its content is its own followed by what the cells merged
// into it held.
struct GridCell
{
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    int sourceRow = 0;  // the row and cell as read, whose definition it takes
    int sourceCell = 0;
    bool padding = false; // where its row has no cell: before a row that starts right of
                          // the others, or after one that ends left of them
    bool shownEmpty = false; // a padding cell whose empty paragraph is the document's
    std::vector<TableCell> content;
};

// All the rows of a table on one grid made from all their cell boundaries, each row
// as wide as the last one; where a row leaves room after its last cell (\trwWidthA,
// where it shows) an empty padding cell fills the grid.
struct TableGrid
{
    std::vector<int> boundaries; // twips, one more than columns
    std::vector<GridCell> cells; // in document order
    int rows = 0;
    bool valid = false;

    int columns() const { return int(boundaries.size()) - 1; }
};

namespace TableLimits {
// Word processors stop at 63 cells a row; a wider grid is not a table we can show.
constexpr int MaxColumns = 64;
// Cell edges of different rows closer than this (twips) make one column edge, as
// LibreOffice merges them (1 twip apart: one edge; 2: two).
constexpr int EdgeTolerance = 2;
// A width for cells that no \cellx describes.
constexpr int DefaultCellWidth = 1440;
// A text box whose width is not told before its text: three inches.
constexpr int TextBoxWidth = 4320;
// Tables nested deeper than this are kept at this depth.
constexpr int MaxNesting = 32;
// A table is written as one QTextTable, whatever its length. Merging cells in a
// QTextTable moves every cell after the merged one, so a table costs its merged
// cells times its cells to write: past this product (a fraction of a second) the
// table goes on in a table of its own, written right after it. Real tables stay far
// below: 5 000 rows of 6 cells with a merge in every fifth row make 3e7.
constexpr qint64 MergeBudget = qint64(1) << 28;
} // namespace TableLimits

TableGrid layOutTable(const DocTable &table);
