#pragma once

// The shape of a loaded document as the corpus's structure.json describes it: tables
// (depth, rows, columns, merged cells) in document order, an outer table before the
// ones nested in it; pictures; paragraphs whose first line starts left of the text
// area; list items.

#include "model/marks.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextFrame>
#include <QTextImageFormat>
#include <QTextTable>

#include <vector>

struct TableShape
{
    int depth = 1;
    int rows = 0;
    int columns = 0;
    int merged = 0;

    bool sameGrid(const TableShape &o) const { return depth == o.depth && rows == o.rows && columns == o.columns; }
    QString text() const { return QStringLiteral("%1:%2x%3").arg(depth).arg(rows).arg(columns); }
};

struct DocumentShape
{
    std::vector<TableShape> tables;
    int pictures = 0;
    int clipped = 0; // first lines left of the text area and its margin
    int listItems = 0;
    // Text boxes, framed as one-cell tables: no tables of the document, and the oracle
    // shows none of their content.
    int textBoxes = 0;

    static DocumentShape expected(const QJsonObject &o)
    {
        DocumentShape s;
        for (const QJsonValue &v : o.value(QLatin1String("tables")).toArray()) {
            const QJsonObject t = v.toObject();
            s.tables.push_back({t.value(QLatin1String("depth")).toInt(), t.value(QLatin1String("rows")).toInt(),
                                t.value(QLatin1String("columns")).toInt(), t.value(QLatin1String("mergedCells")).toInt()});
        }
        s.pictures = o.value(QLatin1String("pictures")).toInt();
        s.clipped = o.value(QLatin1String("outdentParagraphs")).toInt();
        s.listItems = o.value(QLatin1String("listItems")).toInt();
        return s;
    }

    static DocumentShape of(const QTextDocument &doc)
    {
        DocumentShape s;
        s.walk(doc.rootFrame()->begin(), 0);
        return s;
    }

    // Grid cells of the expected tables that the found ones have, table by table in order.
    static int gridCellsMatched(const DocumentShape &expected, const DocumentShape &found)
    {
        int n = 0;
        for (size_t i = 0; i < expected.tables.size() && i < found.tables.size(); ++i) {
            const TableShape &e = expected.tables[i], &f = found.tables[i];
            if (e.depth == f.depth)
                n += qMin(e.rows, f.rows) * qMin(e.columns, f.columns);
        }
        return n;
    }

    int gridCells() const
    {
        int n = 0;
        for (const TableShape &t : tables)
            n += t.rows * t.columns;
        return n;
    }

    bool sameTables(const DocumentShape &o) const
    {
        if (tables.size() != o.tables.size())
            return false;
        for (size_t i = 0; i < tables.size(); ++i) {
            if (!tables[i].sameGrid(o.tables[i]))
                return false;
        }
        return true;
    }

    QString tablesText() const
    {
        QStringList parts;
        for (const TableShape &t : tables)
            parts << t.text();
        return parts.join(QLatin1Char(' '));
    }

private:
    void walk(QTextFrame::iterator it, int depth)
    {
        for (; !it.atEnd(); ++it) {
            if (QTextFrame *child = it.currentFrame()) {
                auto *table = qobject_cast<QTextTable *>(child);
                if (table && table->format().boolProperty(DocProperty::TextBox))
                    ++textBoxes;
                else if (table)
                    this->table(table, depth + 1);
                else
                    walk(child->begin(), depth);
                continue;
            }
            block(it.currentBlock());
        }
    }

    void table(QTextTable *table, int depth)
    {
        int merged = 0;
        for (int r = 0; r < table->rows(); ++r) {
            for (int c = 0; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() == r && cell.column() == c && (cell.rowSpan() > 1 || cell.columnSpan() > 1))
                    ++merged;
            }
        }
        // Every QTextTable counts: one source table is one table.
        tables.push_back({depth, table->rows(), table->columns(), merged});
        for (int r = 0; r < table->rows(); ++r) {
            for (int c = 0; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() == r && cell.column() == c)
                    walk(cell.begin(), depth);
            }
        }
    }

    void block(const QTextBlock &b)
    {
        const QTextBlockFormat f = b.blockFormat();
        // A first line may hang into the margin the text column keeps left of it.
        const qreal room = b.document()->rootFrame()->frameFormat().leftMargin();
        if (f.leftMargin() + f.textIndent() < -room)
            ++clipped;
        bool label = false;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat cf = it.fragment().charFormat();
            if (cf.isImageFormat())
                pictures += int(it.fragment().length());
            label = label || cf.boolProperty(DocProperty::ListLabel);
        }
        listItems += label;
    }
};
