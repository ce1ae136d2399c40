// The document's text: bytes decoded in the code page of the font in force, so that
// a double-byte character's two bytes stay together, \u characters with their
// fallback bytes skipped, and surrogate pairs joined.
#include "rtf/rtfparser.h"

#include "rtf/rtflimits.h"

#include <algorithm>
#include <utility>

void RtfParser::textBytes(const char *data, int length)
{
    Group &g = top();
    if (g.dest != Dest::Normal) {
        if (RtfDestination *reader = m_readers[size_t(g.dest)])
            reader->text(g, data, length);
        return;
    }
    if (m_orphanData) {
        // A long run of hex digits is data, not words; once dropping, any run is.
        int digits = 0;
        while (digits < length && RtfTokenizer::hexValue(static_cast<unsigned char>(data[digits])) >= 0)
            ++digits;
        if (m_orphanData == 2 || digits >= RtfLimits::OrphanPictureData) {
            data += digits;
            length -= digits;
            m_orphanData = 2;
        }
        if (length > 0)
            m_orphanData = 0;
    }
    if (length > 0 && !g.chr.hidden && !g.chr.deleted) {
        noteParagraphText();
        addBytes(data, length);
    }
}

void RtfParser::binaryBytes(const char *data, int length)
{
    if (top().dest == Dest::Picture)
        m_pictures.binary(data, length);
}

void RtfParser::addBytes(const char *data, int length)
{
    const CharState &s = top().chr;
    if (!m_bytes.isEmpty() && s != m_bytesState)
        flushBytes();
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        m_builder.addText(s, QChar(0xFFFD));
    }
    m_bytesState = s;
    m_bytes.append(data, length);
}

void RtfParser::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    if (!m_bytesState.label) {
        // Spaces alone in front of a list's label, which starts now, wait for it.
        if (top().chr.label && m_builder.paragraphEmpty() && m_leadingSpaces.size() < 256
            && std::all_of(m_bytes.cbegin(), m_bytes.cend(), [](char c) { return c == ' '; })) {
            m_leadingSpaces += m_bytes;
            m_leadingState = m_bytesState;
            m_bytes.resize(0);
            return;
        }
        listLabelBefore();
    }
    m_builder.addBytes(m_bytesState, m_codePages, m_bytes.constData(), m_bytes.size());
    m_bytes.resize(0); // unlike clear(), keeps the buffer for the next run
}

void RtfParser::addLeadingSpaces()
{
    const QByteArray spaces = std::exchange(m_leadingSpaces, QByteArray());
    m_builder.addBytes(m_leadingState, m_codePages, spaces.constData(), spaces.size());
}

void RtfParser::emitChar(char32_t c)
{
    Group &g = top();
    if (g.dest != Dest::Normal) {
        if (RtfDestination *reader = m_readers[size_t(g.dest)])
            reader->character(g, c);
        return;
    }
    if (g.chr.hidden || g.chr.deleted)
        return;
    noteParagraphText();
    flushBytes();
    if (!g.chr.label)
        listLabelBefore();
    if (m_highSurrogate) {
        const char16_t high = m_highSurrogate;
        m_highSurrogate = 0;
        if (c >= 0xDC00 && c <= 0xDFFF) {
            const QChar pair[2] = {QChar(high), QChar(char16_t(c))};
            m_builder.addText(g.chr, QString(pair, 2));
            return;
        }
        m_builder.addText(g.chr, QChar(0xFFFD));
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
        m_highSurrogate = char16_t(c);
        return;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
        m_builder.addText(g.chr, QChar(0xFFFD)); // a low half on its own
        return;
    }
    if (c < 0x10000) {
        m_builder.addText(g.chr, QChar(char16_t(c)));
    } else {
        const QChar pair[2] = {QChar(QChar::highSurrogate(c)), QChar(QChar::lowSurrogate(c))};
        m_builder.addText(g.chr, QString(pair, 2));
    }
}

void RtfParser::emitUnicode(int value)
{
    // 16-bit signed values are how most writers spell code points above 32767.
    if (value < 0)
        value += 65536;
    if (value <= 0 || value > 0x10FFFF)
        return;
    if (value < 0x20 && value != '\t')
        return;
    emitChar(char32_t(value));
}
