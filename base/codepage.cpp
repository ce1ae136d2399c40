#include "base/codepage.h"

#include <QByteArray>

#include <cerrno>
#include <iconv.h>

namespace {

constexpr char16_t Replacement = 0xFFFD;

// The Symbol font's glyphs from 0x20 on, as the Unicode characters they draw, so the
// text reads right in whatever font the system substitutes for Symbol.
constexpr char16_t SymbolGlyphs[224] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B,
    0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
    0xF8E5, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0xF07F,
    0xF080, 0xF081, 0xF082, 0xF083, 0xF084, 0xF085, 0xF086, 0xF087,
    0xF088, 0xF089, 0xF08A, 0xF08B, 0xF08C, 0xF08D, 0xF08E, 0xF08F,
    0xF090, 0xF091, 0xF092, 0xF093, 0xF094, 0xF095, 0xF096, 0xF097,
    0xF098, 0xF099, 0xF09A, 0xF09B, 0xF09C, 0xF09D, 0xF09E, 0xF09F,
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
    0xF0F0, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0xF0FF,
};

bool isMultiByte(int cp)
{
    switch (cp) {
    case 932:
    case 936:
    case 949:
    case 950:
    case 1361:
    case 10001:
    case 10002:
    case 10003:
    case 10008:
    case 20932:
    case 20936:
    case 51932:
    case 51936:
    case 51949:
    case 54936:
    case 65001:
        return true;
    default:
        return false;
    }
}

QByteArray iconvName(int cp)
{
    switch (cp) {
    case 10000:
        return "MACINTOSH";
    case 10001:
        return "CP932"; // Mac Japanese is Shift-JIS apart from a few symbols
    case 10002:
        return "BIG5";
    case 10003:
        return "EUC-KR";
    case 10007:
        return "MAC-CYRILLIC";
    case 10008:
        return "GB2312";
    case 10029:
        return "MAC-CENTRALEUROPE";
    case 10079:
        return "MAC-IS";
    case 1361:
        return "JOHAB";
    case 20127:
        return "ASCII";
    case 20932:
    case 51932:
        return "EUC-JP";
    case 20936:
    case 51936:
        return "GB2312";
    case 51949:
        return "EUC-KR";
    case 54936:
        return "GB18030";
    case 65001:
        return "UTF-8";
    case 20866:
        return "KOI8-R";
    case 21866:
        return "KOI8-U";
    default:
        break;
    }
    if (cp >= 28591 && cp <= 28605)
        return "ISO-8859-" + QByteArray::number(cp - 28590);
    return "CP" + QByteArray::number(cp);
}

} // namespace

struct CodePage::Converter
{
    int codePage = 0;
    bool multiByte = false;
    iconv_t cd = iconv_t(-1);
    char16_t table[256];

    ~Converter()
    {
        if (cd != iconv_t(-1))
            iconv_close(cd);
    }
};

CodePage::CodePage() = default;
CodePage::~CodePage() = default;

int CodePage::fromCharset(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 2: return Symbol;
    case 77: return 10000;
    case 78: return 10001;
    case 79: return 10003;
    case 80: return 10008;
    case 81: return 10002;
    case 83: return 10005;
    case 84: return 10004;
    case 85: return 10006;
    case 86: return 10081;
    case 87: return 10021;
    case 88: return 10029;
    case 89: return 10007;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 179: return 1256;
    case 180: return 1256;
    case 181: return 1255;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0; // 1 (default), 3 (invalid), 256 and unknown values
    }
}

int CodePage::normalise(int codePage)
{
    if (codePage == Symbol || codePage == SymbolFont)
        return codePage;
    if (codePage <= 0 || codePage > 65535 || codePage == 1200 || codePage == 1201)
        return 1252;
    return codePage;
}

CodePage::Converter *CodePage::converter(int codePage)
{
    // Text that alternates between fonts asks for a few code pages in turn: the last
    // one answers most runs, a hash table the others.
    if (m_last && m_lastNumber == codePage)
        return m_last;
    const auto known = m_byNumber.find(codePage);
    Converter *c = known != m_byNumber.end() ? known->second : nullptr;
    if (!c) {
        c = open(codePage);
        m_byNumber.emplace(codePage, c);
    }
    m_lastNumber = codePage;
    return m_last = c;
}

CodePage::Converter *CodePage::open(int codePage)
{
    // A code page the C library lacks is served by its Windows Western neighbour, the
    // least surprising stand-in, and shares that converter: unknown numbers never
    // open converters of their own.
    iconv_t cd = iconv_t(-1);
    if (codePage != Symbol && codePage != SymbolFont) {
        cd = iconv_open("UTF-16LE", iconvName(codePage).constData());
        const int standIn = isMultiByte(codePage) ? 932 : 1252;
        if (cd == iconv_t(-1) && codePage != standIn)
            return converter(standIn);
    }

    auto c = std::make_unique<Converter>();
    c->codePage = codePage;
    c->cd = cd;
    if (codePage == Symbol) {
        for (int b = 0; b < 256; ++b)
            c->table[b] = b < 0x20 ? char16_t(b) : char16_t(0xF000 + b);
    } else if (codePage == SymbolFont) {
        for (int b = 0; b < 256; ++b)
            c->table[b] = b < 0x20 ? char16_t(b) : SymbolGlyphs[b - 0x20];
    } else {
        c->multiByte = isMultiByte(codePage);
        for (int b = 0; b < 256; ++b) {
            if (b < 0x80 && codePage != 65001 && !c->multiByte) {
                c->table[b] = char16_t(b);
                continue;
            }
            c->table[b] = b < 0x80 ? char16_t(b) : Replacement;
            if (c->cd == iconv_t(-1) || c->multiByte)
                continue;
            char in = char(b);
            char16_t outChars[4];
            char *inPtr = &in;
            size_t inLeft = 1;
            char *outPtr = reinterpret_cast<char *>(outChars);
            size_t outLeft = sizeof outChars;
            iconv(c->cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(c->cd, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1)
                && outLeft == sizeof outChars - 2)
                c->table[b] = outChars[0];
        }
    }
    m_converters.push_back(std::move(c));
    return m_converters.back().get();
}

void CodePage::decode(int codePage, const char *bytes, qsizetype n, QString &out)
{
    if (n <= 0)
        return;
    Converter *c = converter(codePage);
    const auto *in = reinterpret_cast<const unsigned char *>(bytes);

    // The C library's converters for Hebrew and Vietnamese combine a letter with the
    // marks that follow it and so hold each letter back until the next byte comes:
    // these code pages go through the converter as a whole run, which is then flushed.
    const bool composing = codePage == 1255 || codePage == 1258;
    if ((!c->multiByte && !composing) || c->cd == iconv_t(-1)) {
        const qsizetype start = out.size();
        out.resize(start + n);
        char16_t *dst = reinterpret_cast<char16_t *>(out.data()) + start;
        for (qsizetype i = 0; i < n; ++i)
            dst[i] = c->table[in[i]];
        return;
    }

    // Plain ASCII needs no converter even in a double-byte code page.
    qsizetype i = 0;
    while (i < n) {
        qsizetype j = i;
        while (j < n && in[j] < 0x80)
            ++j;
        if (j > i) {
            const qsizetype start = out.size();
            out.resize(start + (j - i));
            char16_t *dst = reinterpret_cast<char16_t *>(out.data()) + start;
            for (qsizetype k = i; k < j; ++k)
                *dst++ = char16_t(in[k]);
            i = j;
        }
        if (i >= n)
            break;
        // From the first high byte, let iconv take the rest; trail bytes may be ASCII.
        iconv(c->cd, nullptr, nullptr, nullptr, nullptr);
        char *inPtr = const_cast<char *>(reinterpret_cast<const char *>(in + i));
        size_t inLeft = size_t(n - i);
        char16_t buffer[1024];
        // Writes out what the converter holds back; the state is initial afterwards.
        auto drain = [&] {
            char *outPtr = reinterpret_cast<char *>(buffer);
            size_t outLeft = sizeof buffer;
            iconv(c->cd, nullptr, nullptr, &outPtr, &outLeft);
            out.append(reinterpret_cast<const QChar *>(buffer), int((sizeof buffer - outLeft) / 2));
        };
        while (inLeft > 0) {
            char *outPtr = reinterpret_cast<char *>(buffer);
            size_t outLeft = sizeof buffer;
            const size_t r = iconv(c->cd, &inPtr, &inLeft, &outPtr, &outLeft);
            const int produced = int((sizeof buffer - outLeft) / 2);
            out.append(reinterpret_cast<const QChar *>(buffer), produced);
            if (r != size_t(-1))
                break;
            if (errno == E2BIG)
                continue;
            // An invalid or truncated sequence: one replacement for its first byte,
            // then carry on with the next byte.
            drain();
            out.append(QChar(Replacement));
            ++inPtr;
            --inLeft;
        }
        drain();
        i = n;
    }
}

char16_t CodePage::symbolGlyph(unsigned char b)
{
    return b < 0x20 ? char16_t(b) : SymbolGlyphs[b - 0x20];
}
