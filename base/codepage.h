#pragma once

#include <QString>

#include <memory>
#include <unordered_map>
#include <vector>

// Turns bytes of a Windows/Mac code page into text with the C library's converters.
// Single-byte code pages become a 256-entry table built once; double-byte code pages
// and UTF-8 are converted run by run so that lead and trail bytes stay together.
class CodePage final
{
public:
    // Pseudo code page for fonts with a symbol character set: the bytes are glyph
    // numbers, shown in the private-use range U+F000..U+F0FF as symbol fonts expect.
    static constexpr int Symbol = -2;
    // The Symbol font itself, whose glyphs have Unicode equivalents (Greek, maths,
    // arrows, the list bullet): decoded to those.
    static constexpr int SymbolFont = -3;

    CodePage();
    ~CodePage();
    CodePage(const CodePage &) = delete;
    CodePage &operator=(const CodePage &) = delete;

    // Appends to out the text that n bytes stand for in code page codePage.
    void decode(int codePage, const char *bytes, qsizetype n, QString &out);

    // The Unicode character the Symbol font draws for glyph number b.
    static char16_t symbolGlyph(unsigned char b);

    // The code page of an \fcharsetN value, or 0 when the character set names none
    // (the document's code page applies then).
    static int fromCharset(int charset);

    // A code page we can decode: unknown or invalid numbers fall back to 1252.
    static int normalise(int codePage);

    // Converters opened so far: one per code page the C library knows, however many
    // numbers the document names.
    int opened() const { return int(m_converters.size()); }

private:
    struct Converter;
    Converter *converter(int codePage);
    Converter *open(int codePage);

    std::vector<std::unique_ptr<Converter>> m_converters;
    // Every code page number asked for, known or not, with the converter that serves it.
    std::unordered_map<int, Converter *> m_byNumber;
    Converter *m_last = nullptr;
    int m_lastNumber = 0;
};
