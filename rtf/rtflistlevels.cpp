#include "rtf/rtflistlevels.h"

#include <QByteArrayView>

#include <algorithm>

namespace {

// A document's list tables are small; past these, what is left is not read.
constexpr int MaximumLists = 4096;
constexpr int MaximumLevels = 9;

// The control words of a group and the groups inside it, without decoding text.
class Words
{
public:
    Words(const QByteArray &data, qsizetype at)
        : m_data(data)
        , m_at(at)
    {
    }
    // The next control word inside the group the reading started in (its name in
    // word, its parameter in value, 0 without one), a '{' or '}' as word "{" or "}";
    // false at the group's end.
    bool next(QByteArrayView *word, int *value)
    {
        while (m_at < m_data.size()) {
            const char c = m_data.at(m_at);
            if (c == '{' || c == '}') {
                ++m_at;
                m_depth += c == '{' ? 1 : -1;
                if (m_depth < 0)
                    return false;
                *word = c == '{' ? QByteArrayView("{") : QByteArrayView("}");
                *value = 0;
                return true;
            }
            if (c != '\\') {
                ++m_at;
                continue;
            }
            const qsizetype start = ++m_at;
            while (m_at < m_data.size() && isLetter(m_data.at(m_at)))
                ++m_at;
            if (m_at == start) {
                ++m_at; // a control symbol, or \' and its two digits
                continue;
            }
            *word = QByteArrayView(m_data.constData() + start, m_at - start);
            *value = 0;
            const bool negative = m_at < m_data.size() && m_data.at(m_at) == '-';
            qsizetype digits = m_at + (negative ? 1 : 0);
            long long number = 0;
            bool any = false;
            while (digits < m_data.size() && isDigit(m_data.at(digits)) && digits - m_at < 11) {
                number = number * 10 + (m_data.at(digits) - '0');
                ++digits;
                any = true;
            }
            if (any) {
                m_at = digits;
                *value = int(std::clamp<long long>(negative ? -number : number, -1000000000, 1000000000));
            }
            return true;
        }
        return false;
    }
    int depth() const { return m_depth; }

private:
    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    const QByteArray &m_data;
    qsizetype m_at;
    int m_depth = 0;
};

// Where the group the control word opens starts its content: after "{\*\name" or
// "{\name", -1 when the document has no such group.
qsizetype groupOf(const QByteArray &data, qsizetype start, const char *name)
{
    const QByteArray word = QByteArray("\\") + name;
    for (qsizetype at = data.indexOf(word, start); at >= 0; at = data.indexOf(word, at + 1)) {
        const qsizetype end = at + word.size();
        if (end < data.size() && ((data.at(end) >= 'a' && data.at(end) <= 'z') || (data.at(end) >= 'A' && data.at(end) <= 'Z')))
            continue; // a longer word (\listtable inside \listtablex)
        return end;
    }
    return -1;
}

} // namespace

RtfListLevels RtfListLevels::read(const QByteArray &data, qsizetype start)
{
    RtfListLevels levels;
    // By \listid: a bit for each level set right-aligned.
    std::map<int, quint16> lists;
    const qsizetype table = groupOf(data, start, "listtable");
    if (table < 0)
        return levels;
    {
        Words words(data, table);
        QByteArrayView word;
        int value = 0;
        int listDepth = -1;  // the depth of the \list group being read
        int levelDepth = -1; // of its \listlevel group
        int level = -1;
        int id = 0;
        quint16 right = 0;
        while (words.next(&word, &value) && lists.size() < size_t(MaximumLists)) {
            if (word == "}") {
                if (levelDepth >= 0 && words.depth() < levelDepth)
                    levelDepth = -1;
                if (listDepth >= 0 && words.depth() < listDepth) {
                    if (right)
                        lists[id] = right;
                    listDepth = -1;
                }
            } else if (word == "list") {
                listDepth = words.depth();
                level = -1;
                id = 0;
                right = 0;
            } else if (listDepth >= 0 && word == "listlevel") {
                levelDepth = words.depth();
                ++level;
            } else if (listDepth >= 0 && word == "listid" && words.depth() == listDepth) {
                id = value;
            } else if (levelDepth >= 0 && words.depth() == levelDepth && (word == "leveljc" || word == "leveljcn") &&
                       level < MaximumLevels) {
                if (value == 2)
                    right |= quint16(1u << level);
                else
                    right &= quint16(~(1u << level));
            }
        }
    }
    if (lists.empty())
        return levels;
    const qsizetype overrides = groupOf(data, start, "listoverridetable");
    if (overrides < 0)
        return levels;
    Words words(data, overrides);
    QByteArrayView word;
    int value = 0;
    int depth = -1; // of the \listoverride group being read
    int id = 0;
    int ls = 0;
    while (words.next(&word, &value) && levels.m_right.size() < size_t(MaximumLists)) {
        if (word == "}") {
            if (depth >= 0 && words.depth() < depth) {
                if (const auto list = lists.find(id); ls != 0 && list != lists.end())
                    levels.m_right[ls] = list->second;
                depth = -1;
            }
        } else if (word == "listoverride") {
            depth = words.depth();
            id = 0;
            ls = 0;
        } else if (depth >= 0 && words.depth() == depth && word == "listid") {
            id = value;
        } else if (depth >= 0 && words.depth() == depth && word == "ls") {
            ls = value;
        }
    }
    return levels;
}

bool RtfListLevels::labelRight(int override, int level) const
{
    if (level < 0 || level >= MaximumLevels)
        return false;
    const auto it = m_right.find(override);
    return it != m_right.end() && ((it->second >> level) & 1u);
}
