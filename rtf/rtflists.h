#pragma once

#include "rtf/rtfdestination.h"

#include <QHash>
#include <QString>

#include <array>
#include <vector>

// The list table and the list override table (\listtable, \listoverridetable),
// old-style lists (\pn), a paragraph's place in a list (\ls, \ilvl), and the labels
// made from them for the paragraphs whose label the file does not spell out
// (\listtext).
class RtfLists final : public RtfDestination
{
public:
    using RtfDestination::RtfDestination;

    void word(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t) override;
    void text(RtfGroup &g, const char *data, int length) override;
    void character(RtfGroup &g, char32_t c) override;
    void groupEnded(const RtfGroup &closing) override;

    // \f in a list level: the font of its label.
    void levelFont(int font);
    // Content of a paragraph is about to be written: a paragraph of a list whose
    // label the file does not spell out gets it first.
    void labelBefore()
    {
        if (!m_paraLabelDone)
            makeLabel();
    }
    // The paragraph ended: the next one has no label yet.
    void paragraphEnded() { m_paraLabelDone = false; }
    // The paragraph's state as its list sets it: a label at a level justified right
    // ends at the first line's indent.
    ParaState listed(const ParaState &para) const;

private:
    struct ListLevel
    {
        int nfc = 0;
        int start = 1;
        int font = -1;
        int follow = 0;     // 0 a tab, 1 a space, 2 nothing
        bool right = false; // \leveljc2: the label ends at the first line's indent
        QString text;       // the template: characters below 9 stand for the levels' numbers
        bool hasText = false;
    };
    struct ListDef
    {
        int id = 0;
        std::vector<ListLevel> levels;
        std::array<int, 9> counters{}; // the last number shown per level, 0 = none yet
    };

    void setLs(RtfGroup &g, int p);
    void tableWord(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t);
    void listNumberWord(RtfGroup &g, const RtfKeywords::KwInfo &info, const RtfTokenizer::Token &t);
    void listNumberEnded();
    void addLevelText(const QString &text);
    void makeLabel();

    std::vector<ListDef> m_lists;
    QHash<int, int> m_listOverrides; // \ls -> \listid
    QHash<int, int> m_listIndex;     // \listid -> index in m_lists
    int m_listContext = 0;           // 1 in a \list, 2 in its \listlevel, 3 in a \listoverride
    int m_overrideId = 0;
    bool m_paraLabelDone = false; // the paragraph being read has its label, or needs none
    // The \pn being read: its font (\pnf, -1 for none) and whether it draws bullets.
    int m_pnFont = -1;
    bool m_pnBullet = false;
    QString m_pnText; // \pntxtb
};
