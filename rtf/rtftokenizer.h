#pragma once

#include <QByteArray>

// Splits an RTF byte stream into tokens without copying it. The tokenizer knows
// nothing about destinations or formatting; it never reads past the data and never
// recurses, so any byte sequence yields a finite token stream ending with End.
class RtfTokenizer final
{
public:
    enum class Type : unsigned char {
        End,
        GroupOpen,
        GroupClose,
        Word,   // control word: name in data/length, optional parameter
        Symbol, // control symbol: the character in byte (a line end gives '\n')
        Hex,    // \'hh: the byte value in byte
        Text,   // a run of literal bytes in data/length (line ends and NULs excluded)
        Binary, // raw bytes of \binN in data/length
    };

    struct Token
    {
        Type type = Type::End;
        bool hasParameter = false;
        unsigned char byte = 0;
        int length = 0;
        int parameter = 0;
        const char *data = nullptr;

        // A toggle's value: a control word without its parameter means "on".
        bool on() const { return !hasParameter || parameter != 0; }
    };

    explicit RtfTokenizer(const QByteArray &data, qsizetype start = 0);

    // The value of a hexadecimal digit, or -1 for any other byte.
    static int hexValue(unsigned char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    Token next();

    // Takes up to count raw bytes after \binN (fewer when the data ends first).
    Token binary(qint64 count);

    // Consumes everything up to and including the brace that closes the group we are
    // in, honouring escapes and \bin. Returns false when the data ends first.
    bool skipGroup();

    bool atEnd() const { return m_pos >= m_end; }
    qsizetype position() const { return m_pos - m_begin; }

private:
    // Reads the rest of a control word whose first letter is at m_pos.
    void readWord(Token &token);

    const char *m_begin;
    const char *m_pos;
    const char *m_end;
};
