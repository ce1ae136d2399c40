#include "package/tagscan.h"

#include "package/packagelimits.h"

#include <QByteArrayView>

#include <cstring>

bool TagScan::tooManyAttributes(const char *data, qsizetype size, bool complete)
{
    if (m_tooMany)
        return true;
    const char *p = data + m_at;
    const char *const end = data + size;
    for (;;) {
        switch (m_state) {
        case Outside: {
            p = p < end ? static_cast<const char *>(std::memchr(p, '<', size_t(end - p))) : nullptr;
            if (!p) {
                m_at = size;
                return false;
            }
            const QByteArrayView rest(p, end - p);
            // "<![CDATA[" is the longest opening told apart: a shorter rest waits
            // for the next piece, unless none follows.
            if (!complete && rest.size() < 9) {
                m_at = p - data;
                return false;
            }
            if (rest.startsWith("<!--")) {
                m_state = Comment;
                p += 4;
            } else if (rest.startsWith("<![CDATA[")) {
                m_state = CData;
                p += 9;
            } else if (rest.startsWith("<?")) {
                m_state = Instruction;
                p += 2;
            } else {
                m_state = Tag;
                m_quote = 0;
                m_equals = 0;
                ++p;
            }
            break;
        }
        case Comment:
        case CData:
        case Instruction: {
            const QByteArrayView close = m_state == Comment ? QByteArrayView("-->")
                : m_state == CData                          ? QByteArrayView("]]>")
                                                            : QByteArrayView("?>");
            const qsizetype at = QByteArrayView(p, end - p).indexOf(close);
            if (at < 0) {
                // The close may begin in the last bytes: they are looked at again.
                m_at = complete ? size : qMax(p - data, size - (close.size() - 1));
                return false;
            }
            p += at + close.size();
            m_state = Outside;
            break;
        }
        case Tag:
            for (; p < end; ++p) {
                const char c = *p;
                if (m_quote) {
                    if (c == m_quote)
                        m_quote = 0;
                } else if (c == '"' || c == '\'') {
                    m_quote = c;
                } else if (c == '=') {
                    if (++m_equals > PackageLimits::MaxXmlAttributes) {
                        m_tooMany = true;
                        return true;
                    }
                } else if (c == '>') {
                    ++p;
                    m_state = Outside;
                    break;
                }
            }
            if (m_state == Tag) {
                m_at = size;
                return false;
            }
            break;
        }
    }
}
