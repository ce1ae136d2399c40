#pragma once

#include <QByteArray>

#include <map>

// How the levels of the document's lists align their labels, read from its list table
// (\listtable: each \list's \listid and, level by level, \leveljc) through the list
// overrides that paragraphs name (\listoverridetable: \listoverride with \listid and
// \ls). The reader takes the rest of a label from the paragraph's own \listtext.
class RtfListLevels final
{
public:
    // Reads the tables from data, from start on; a document without them has none.
    static RtfListLevels read(const QByteArray &data, qsizetype start);

    // Whether level (\ilvl, 0 to 8) of the list a paragraph names by \ls sets its
    // label right-aligned (\leveljc2): ending at the first line's indent.
    bool labelRight(int override, int level) const;

private:
    std::map<int, quint16> m_right; // by \ls: a bit for each level set right-aligned
};
