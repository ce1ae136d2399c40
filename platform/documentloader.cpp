#include "platform/documentloader.h"

#include "rtf/rtfreader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

#include <cerrno>

namespace DocumentLoader {

namespace {

// Windows-1252: the 0x80-0x9F range differs from Latin-1; five bytes are unassigned
// and are kept as the C1 control of the same value.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? cp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

Failure readFailure(const QString &path, const QFile &file)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {FailureNumber::FileNotFound, qt_error_string(ENOENT)};
    if (info.isDir())
        return {FailureNumber::PathNotFound, qt_error_string(EISDIR)};
    // Devices and pipes: reading /dev/zero or a FIFO would never end.
    if (!info.isFile())
        return {FailureNumber::DeviceIO, QStringLiteral("%1 n'est pas un fichier ordinaire.").arg(path)};
    const QString reason = file.errorString();
    return {FailureNumber::PermissionDenied, reason.isEmpty() ? qt_error_string(EACCES) : reason};
}

} // namespace

QString decodePlainText(const QByteArray &bytes)
{
    QString text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        auto decoder = QStringDecoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                                   : QStringDecoder::Utf16BE);
        text = decoder.decode(bytes.mid(2));
    } else {
        const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(body);
        if (utf8.hasError())
            text = decodeWindows1252(body);
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
    } else {
        // No undo history of the load itself: a large file would be recorded line
        // by line. One edit block: the document reports one change, not one per line.
        document->setUndoRedoEnabled(false);
        QTextCursor cursor(document.get());
        cursor.beginEditBlock();
        cursor.insertText(decodePlainText(bytes));
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
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return readFailure(path, file);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return readFailure(path, file);
    return fromBytes(bytes, result);
}

} // namespace DocumentLoader
