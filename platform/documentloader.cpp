#include "platform/documentloader.h"

#include "docx/docxreader.h"
#include "odt/odtreader.h"
#include "package/package.h"
#include "model/memoryheadroom.h"
#include "rtf/rtfreader.h"

#include <QFile>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace DocumentLoader {

namespace {

// Windows-1252: the 0x80-0x9F range differs from Latin-1; five bytes are unassigned
// and are kept as the C1 control of the same value.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QChar windows1252(unsigned char b)
{
    return QChar(b >= 0x80 && b < 0xA0 ? cp1252High[b - 0x80] : char16_t(b));
}

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (char c : bytes)
        *out++ = windows1252(static_cast<unsigned char>(c));
    return text;
}

// The length of the valid UTF-8 sequence that starts at p with a byte of 0x80 or
// more, or 0 when it is not one: no overlong forms, no surrogates, nothing beyond
// U+10FFFF.
int utf8Length(const unsigned char *p, const unsigned char *end)
{
    const auto continuation = [&](qsizetype i, unsigned char low = 0x80, unsigned char high = 0xBF) {
        return p + i < end && p[i] >= low && p[i] <= high;
    };
    const unsigned char b = p[0];
    if (b >= 0xC2 && b <= 0xDF)
        return continuation(1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        const unsigned char low = b == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = b == 0xED ? 0x9F : 0xBF;
        return continuation(1, low, high) && continuation(2) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        const unsigned char low = b == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = b == 0xF4 ? 0x8F : 0xBF;
        return continuation(1, low, high) && continuation(2) && continuation(3) ? 4 : 0;
    }
    return 0;
}

// The first byte at or after p that is not ASCII, eight at a time.
const unsigned char *skipAscii(const unsigned char *p, const unsigned char *end)
{
    while (end - p >= 8) {
        quint64 word;
        memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull)
            break;
        p += 8;
    }
    while (p < end && *p < 0x80)
        ++p;
    return p;
}

struct Utf8Count
{
    qsizetype valid = 0;   // multi-byte sequences
    qsizetype invalid = 0; // bytes that begin none
};

Utf8Count countUtf8(QByteArrayView bytes)
{
    Utf8Count count;
    auto p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto end = p + bytes.size();
    while ((p = skipAscii(p, end)) < end) {
        const int n = utf8Length(p, end);
        if (n) {
            ++count.valid;
            p += n;
        } else {
            ++count.invalid;
            ++p;
        }
    }
    return count;
}

QString decodeUtf8OrWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized); // never more characters than bytes
    QChar *out = text.data();
    auto p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto end = p + bytes.size();
    while (p < end) {
        const unsigned char *ascii = skipAscii(p, end);
        for (; p < ascii; ++p)
            *out++ = QChar(char16_t(*p));
        if (p == end)
            break;
        const int n = utf8Length(p, end);
        if (n == 0) {
            *out++ = windows1252(*p++);
            continue;
        }
        char32_t c = n == 2 ? *p & 0x1F : n == 3 ? *p & 0x0F : *p & 0x07;
        for (int i = 1; i < n; ++i)
            c = c << 6 | (p[i] & 0x3F);
        p += n;
        if (c >= 0x10000) {
            *out++ = QChar(QChar::highSurrogate(c));
            *out++ = QChar(QChar::lowSurrogate(c));
        } else {
            *out++ = QChar(char16_t(c));
        }
    }
    text.truncate(out - text.constData());
    return text;
}

// The byte order of UTF-16 text without a byte-order mark, from where its zero
// bytes fall; none when they do not tell.
std::optional<QStringDecoder::Encoding> utf16Order(const QByteArray &bytes)
{
    if (!memchr(bytes.constData(), 0, size_t(bytes.size())))
        return std::nullopt;
    qsizetype zeros[2] = {0, 0}; // at even and at odd offsets
    for (qsizetype i = 0; i < bytes.size(); ++i)
        zeros[i & 1] += bytes[i] == 0;
    const qsizetype pairs = (bytes.size() + 1) / 2;
    if (zeros[1] * 8 >= pairs && zeros[0] * 4 <= zeros[1])
        return QStringDecoder::Utf16LE;
    if (zeros[0] * 8 >= pairs && zeros[1] * 4 <= zeros[0])
        return QStringDecoder::Utf16BE;
    return std::nullopt;
}

Failure notADocument()
{
    return {FailureNumber::InvalidFormat,
            QStringLiteral("Le fichier n'est ni du texte ni un document RTF, Word ou OpenDocument.")};
}

// Formats whose files may hold no zero byte in their first pages, yet are no text.
// Pictures, archives and programs have zero bytes early on, which the rule for
// text below refuses anyway.
bool binarySignature(const QByteArray &bytes)
{
    static const QByteArrayView signatures[] = {
        "%PDF-", "\x89PNG", "\xFF\xD8\xFF", "GIF87a", "GIF89a", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1",
        "\x1F\x8B", "BZh", "7z\xBC\xAF\x27\x1C", "Rar!\x1A\x07", "\x7F" "ELF", "\xFD" "7zXZ",
        "PK\x03\x04", "PK\x05\x06", "PK\x07\x08", "%!PS-Adobe", "wOFF", "OggS", "fLaC",
    };
    for (const QByteArrayView signature : signatures) {
        if (bytes.startsWith(signature))
            return true;
    }
    return false;
}

// Whether the bytes are text this editor opens as such. Zero bytes make a file
// binary unless they fall as UTF-16 text's do; control characters that no text
// uses (all but tab, line ends, form feed, the escape and DOS's end-of-file mark)
// make it binary when they are more than one byte in sixteen of its first 64 KiB.
bool isText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return true;
    if (binarySignature(bytes))
        return false;
    const bool zeros = memchr(bytes.constData(), 0, size_t(bytes.size())) != nullptr;
    if (zeros)
        return utf16Order(bytes).has_value();
    const qsizetype head = qMin<qsizetype>(bytes.size(), 64 * 1024);
    qsizetype controls = 0;
    for (qsizetype i = 0; i < head; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != '\v' && b != 0x1A && b != 0x1B)
            ++controls;
    }
    return controls * 16 <= head;
}

// A flat OpenDocument text: an XML file whose root is office:document, told by its
// first kilobytes.
bool isFlatOpenDocument(const QByteArray &bytes)
{
    QByteArrayView head = QByteArrayView(bytes).first(qMin<qsizetype>(bytes.size(), 4096));
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.sliced(3);
    return head.startsWith("<?xml") && head.contains(":document") && head.contains("application/vnd.oasis.opendocument.text");
}

Failure fromPackage(const QByteArray &bytes, QTextDocument *document)
{
    Failure failure;
    const std::unique_ptr<Package> package = Package::open(bytes, &failure);
    if (!package)
        return notADocument();
    if (Docx::isWordPackage(*package))
        return Docx::read(*package, document);
    if (Odt::isTextPackage(*package))
        return Odt::read(*package, document);
    return notADocument();
}

Failure openFailure(int error)
{
    switch (error) {
    case ENOENT:
        return {FailureNumber::FileNotFound, qt_error_string(error)};
    case ENOTDIR:
    case ENAMETOOLONG:
        return {FailureNumber::PathNotFound, qt_error_string(error)};
    case EACCES:
    case EPERM:
        return {FailureNumber::PermissionDenied, qt_error_string(error)};
    case ENOMEM:
        return outOfMemoryFailure();
    default:
        return {FailureNumber::DeviceIO, qt_error_string(error)};
    }
}

Failure tooLarge(const QString &path)
{
    return {FailureNumber::OutOfMemory, QStringLiteral("%1 est trop volumineux pour être ouvert (plus de 1 Gio).").arg(path)};
}

// Reads a regular file whole, within MaxFileBytes and MaxReadOverrun.
Failure readFile(const QString &path, QByteArray *bytes)
{
    // Not blocking: opening a FIFO would otherwise wait for a writer. The descriptor
    // is then asked what it is, so nothing can be swapped in between.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return openFailure(errno);
    const auto closer = qScopeGuard([fd] { ::close(fd); });
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return openFailure(errno);
    if (S_ISDIR(st.st_mode))
        return {FailureNumber::PathNotFound, qt_error_string(EISDIR)};
    // Devices and pipes: reading /dev/zero or a FIFO would never end.
    if (!S_ISREG(st.st_mode))
        return {FailureNumber::DeviceIO, QStringLiteral("%1 n'est pas un fichier ordinaire.").arg(path)};
    if (st.st_size > MaxFileBytes)
        return tooLarge(path);
    const qint64 limit = qMin(MaxFileBytes, qint64(st.st_size) + MaxReadOverrun);
    // Room beyond the reported size, so that a file that is what it says ends in the
    // first buffer; one that is not grows it a step at a time. Both in whole pages:
    // some pseudo-files (pagemap) refuse reads of other sizes.
    constexpr qint64 Slack = qint64(64) << 10;
    constexpr qint64 Step = qint64(1) << 20;
    bytes->resize(qsizetype(st.st_size + Slack));
    qint64 size = 0;
    for (;;) {
        if (size == bytes->size())
            bytes->resize(qsizetype(qMin(size + Step, limit + Slack)));
        const ssize_t n = ::read(fd, bytes->data() + size, size_t(bytes->size() - size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {FailureNumber::DeviceIO, qt_error_string(errno)};
        if (n == 0)
            break;
        size += n;
        if (size > limit) {
            bytes->clear();
            if (size > MaxFileBytes)
                return tooLarge(path);
            return {FailureNumber::DeviceIO, QStringLiteral("%1 donne bien plus que sa taille annoncée.").arg(path)};
        }
    }
    bytes->resize(qsizetype(size));
    return {};
}

} // namespace

// How a text file is decoded, first rule that applies:
// 1. A byte-order mark names the encoding: UTF-8, UTF-16 little- or big-endian.
// 2. Zero bytes on one side of the byte pairs make the file UTF-16 in that byte
//    order: every Latin character has a zero high byte there. It takes a zero on
//    that side in at least one pair in eight and at most a quarter as many on the
//    other side; 8-bit text has no zero bytes and binary files have them on both.
// 3. Otherwise each byte sequence that is valid UTF-8 is read as UTF-8 and each
//    other byte as its Windows-1252 character. A UTF-8 file with a few stray bytes
//    keeps all its characters, and saving it (in UTF-8) changes exactly the stray
//    bytes. A Windows-1252 file reads as it always did: its accented letters are
//    invalid UTF-8 and so become their Windows-1252 characters.
// 4. Except when the invalid bytes outnumber the valid multi-byte sequences eight
//    to one: that is Windows-1252 text where a few pairs such as "ß“" happen to form
//    UTF-8, and the whole file is read as Windows-1252.
QString decodePlainText(const QByteArray &bytes)
{
    QString text;
    const bool littleMark = bytes.startsWith("\xFF\xFE");
    if (littleMark || bytes.startsWith("\xFE\xFF")) {
        auto decoder = QStringDecoder(littleMark ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        text = decoder.decode(QByteArrayView(bytes).sliced(2));
    } else if (const auto order = utf16Order(bytes)) {
        text = QStringDecoder(*order).decode(bytes);
    } else {
        QByteArrayView body(bytes);
        if (body.startsWith("\xEF\xBB\xBF"))
            body = body.sliced(3);
        const Utf8Count count = countUtf8(body);
        if (count.invalid == 0)
            text = QString::fromUtf8(body);
        else if (count.invalid > 8 * count.valid)
            text = decodeWindows1252(body);
        else
            text = decodeUtf8OrWindows1252(body);
    }
    // CR LF and a lone CR become LF in one pass (QString::replace moves the tail
    // at every match, seconds for a large file).
    QChar *out = text.data();
    const QChar *in = out;
    const QChar *const end = in + text.size();
    while (in != end) {
        if (*in == QLatin1Char('\r')) {
            *out++ = QLatin1Char('\n');
            if (++in != end && *in == QLatin1Char('\n'))
                ++in;
        } else {
            *out++ = *in++;
        }
    }
    text.truncate(out - text.constData());
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

Failure fromBytes(const QByteArray &bytes, std::unique_ptr<QTextDocument> *result)
{
    auto document = std::make_unique<QTextDocument>();
    if (Rtf::hasSignature(bytes)) {
        if (Failure f = Rtf::read(bytes, document.get()))
            return f;
    } else if (Package::hasSignature(bytes)) {
        if (Failure f = fromPackage(bytes, document.get()))
            return f;
    } else if (isFlatOpenDocument(bytes)) {
        if (Failure f = Odt::readFlat(bytes, document.get()))
            return f;
    } else if (!isText(bytes)) {
        return notADocument();
    } else {
        // No undo history of the load itself: a large file would be recorded line
        // by line. One edit block: the document reports one change, not one per line.
        document->setUndoRedoEnabled(false);
        const QString text = decodePlainText(bytes);
        // The document crashes rather than fails when it cannot grow: its memory is
        // asked for first.
        if (!MemoryHeadroom().allows(MemoryHeadroom::documentBytes(text.size(), text.count(QLatin1Char('\n')) + 1, 1)))
            return outOfMemoryFailure();
        QTextCursor cursor(document.get());
        cursor.beginEditBlock();
        cursor.insertText(text);
        cursor.endEditBlock();
        document->setUndoRedoEnabled(true);
    }
    *result = std::move(document);
    return {};
}

Failure load(const QString &path, std::unique_ptr<QTextDocument> *result)
{
    result->reset();
    if (path.isEmpty())
        return {FailureNumber::BadFileName, qt_error_string(ENOENT)};
    try {
        QByteArray bytes;
        if (Failure f = readFile(path, &bytes))
            return f;
        if (Failure f = fromBytes(bytes, result)) {
            result->reset();
            return f;
        }
        return {};
    } catch (const std::bad_alloc &) {
        result->reset();
        return outOfMemoryFailure();
    }
}

} // namespace DocumentLoader
