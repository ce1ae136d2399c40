#include "rtf/rtftokenizer.h"

#include <climits>

namespace {

inline bool isLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool isDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

RtfTokenizer::RtfTokenizer(const QByteArray &data, qsizetype start)
    : m_begin(data.constData())
    , m_pos(data.constData() + qBound<qsizetype>(0, start, data.size()))
    , m_end(data.constData() + data.size())
{
}

void RtfTokenizer::readWord(Token &token)
{
    token.type = Type::Word;
    token.data = m_pos;
    while (m_pos < m_end && isLetter(static_cast<unsigned char>(*m_pos)))
        ++m_pos;
    token.length = int(qMin<qsizetype>(m_pos - token.data, INT_MAX));

    if (m_pos < m_end) {
        const char *p = m_pos;
        bool negative = false;
        if (*p == '-' && p + 1 < m_end && isDigit(static_cast<unsigned char>(p[1]))) {
            negative = true;
            ++p;
        }
        if (p < m_end && isDigit(static_cast<unsigned char>(*p))) {
            // Absurdly long numbers are read to their end but clamped, so the next
            // token starts where the writer meant it to.
            qint64 value = 0;
            while (p < m_end && isDigit(static_cast<unsigned char>(*p))) {
                if (value < qint64(INT_MAX) + 1)
                    value = value * 10 + (*p - '0');
                ++p;
            }
            if (negative)
                value = -value;
            token.hasParameter = true;
            token.parameter = int(qBound<qint64>(qint64(INT_MIN) + 1, value, qint64(INT_MAX)));
            m_pos = p;
        }
    }
    // A space delimiting the word belongs to it; any other delimiter is content.
    if (m_pos < m_end && *m_pos == ' ')
        ++m_pos;
}

RtfTokenizer::Token RtfTokenizer::next()
{
    Token token;
    while (m_pos < m_end) {
        const unsigned char c = static_cast<unsigned char>(*m_pos);
        switch (c) {
        case '\r':
        case '\n':
        case '\0':
            ++m_pos;
            continue;
        case '{':
            ++m_pos;
            token.type = Type::GroupOpen;
            return token;
        case '}':
            ++m_pos;
            token.type = Type::GroupClose;
            return token;
        case '\\': {
            ++m_pos;
            if (m_pos >= m_end)
                return token; // a lone backslash at the very end: nothing follows
            const unsigned char s = static_cast<unsigned char>(*m_pos);
            if (isLetter(s)) {
                readWord(token);
                return token;
            }
            ++m_pos;
            if (s == '\'') {
                const int hi = m_pos < m_end ? hexValue(static_cast<unsigned char>(*m_pos)) : -1;
                const int lo = m_pos + 1 < m_end ? hexValue(static_cast<unsigned char>(m_pos[1])) : -1;
                if (hi >= 0 && lo >= 0) {
                    m_pos += 2;
                    token.type = Type::Hex;
                    token.byte = static_cast<unsigned char>(hi * 16 + lo);
                    return token;
                }
                if (hi >= 0) {
                    // A single digit: take it rather than let it leak as text.
                    ++m_pos;
                    token.type = Type::Hex;
                    token.byte = static_cast<unsigned char>(hi);
                    return token;
                }
                continue; // malformed escape: dropped
            }
            token.type = Type::Symbol;
            token.byte = (s == '\r') ? '\n' : s;
            if (s == '\r' && m_pos < m_end && *m_pos == '\n')
                ++m_pos;
            return token;
        }
        default: {
            token.type = Type::Text;
            token.data = m_pos;
            const char *p = m_pos + 1;
            while (p < m_end) {
                const char d = *p;
                if (d == '\\' || d == '{' || d == '}' || d == '\r' || d == '\n' || d == '\0')
                    break;
                ++p;
            }
            token.length = int(qMin<qsizetype>(p - m_pos, INT_MAX));
            m_pos += token.length;
            return token;
        }
        }
    }
    return token;
}

RtfTokenizer::Token RtfTokenizer::binary(qint64 count)
{
    Token token;
    token.type = Type::Binary;
    token.data = m_pos;
    const qint64 available = m_end - m_pos;
    const qint64 n = qBound<qint64>(0, count, qMin<qint64>(available, INT_MAX));
    token.length = int(n);
    m_pos += n;
    return token;
}

bool RtfTokenizer::skipGroup()
{
    qint64 depth = 1;
    while (m_pos < m_end) {
        const char c = *m_pos++;
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0)
                return true;
        } else if (c == '\\') {
            if (m_pos >= m_end)
                break;
            if (isLetter(static_cast<unsigned char>(*m_pos))) {
                Token word;
                readWord(word);
                // Raw binary data may hold braces and backslashes: jump over it.
                if (word.length == 3 && word.hasParameter && word.parameter > 0
                    && qstrncmp(word.data, "bin", 3) == 0)
                    m_pos += qMin<qint64>(word.parameter, m_end - m_pos);
            } else {
                ++m_pos; // escaped character, \' is harmless as its digits are not braces
            }
        }
    }
    return false;
}
