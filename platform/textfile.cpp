#include "platform/textfile.h"

#include <QFileInfo>

#include <cerrno>

namespace {
Failure notOpen()
{
    return {FailureNumber::BadFileName, QStringLiteral("Le fichier n'est pas ouvert.")};
}
} // namespace

Failure SaveFileOutput::fail(Failure failure)
{
    m_failure = failure;
    if (m_file) {
        // Nothing of a failed save may replace the target.
        m_file->cancelWriting();
        m_file->commit();
        m_file.reset();
    }
    return failure;
}

Failure SaveFileOutput::fileFailure(int fallbackNumber) const
{
    int number = fallbackNumber;
    switch (m_file ? m_file->error() : QFileDevice::OpenError) {
    case QFileDevice::PermissionsError:
        number = FailureNumber::PermissionDenied;
        break;
    case QFileDevice::ResourceError:
        number = FailureNumber::DiskFull;
        break;
    default:
        break;
    }
    QString text;
    if (m_file && m_file->error() != QFileDevice::NoError)
        text = m_file->errorString();
    if (text.isEmpty())
        text = QStringLiteral("Erreur d'écriture du fichier.");
    return {number, text};
}

Failure SaveFileOutput::open(const QString &path)
{
    m_file.reset();
    m_failure = {};
    m_written = 0;
    if (path.isEmpty())
        return fail({FailureNumber::BadFileName, qt_error_string(ENOENT)});
    // A folder, a device or anything else that is not a regular file is never
    // replaced by a saved document: QSaveFile would rename its temporary file over
    // it.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        if (info.isDir())
            return fail({FailureNumber::PermissionDenied, qt_error_string(EISDIR)});
        return fail({FailureNumber::PermissionDenied,
                     QStringLiteral("%1 n'est pas un fichier ordinaire.").arg(path)});
    }
    m_file = std::make_unique<QSaveFile>(path);
    // Unbuffered: a write the disk refuses fails in write() with the system's
    // reason. Buffered, the rest went out on commit, and Qt 6.4 took a short write
    // there for success and put a truncated file in place of the old one.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(fileFailure(FailureNumber::PathNotFound));
    return {};
}

Failure SaveFileOutput::write(const QByteArray &bytes)
{
    if (m_failure)
        return m_failure;
    if (!m_file)
        return fail(notOpen());
    // A short write carries no error of its own (the file-size limit, a disk that
    // fills up half way); writing the rest brings out the system's reason.
    qsizetype written = 0;
    while (written < bytes.size()) {
        const qint64 n = m_file->write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0)
            return fail(fileFailure(FailureNumber::DeviceIO));
        written += n;
    }
    m_written += written;
    return {};
}

Failure SaveFileOutput::close()
{
    if (m_failure)
        return {}; // already discarded when the step failed
    if (!m_file)
        return notOpen();
    // Whatever the disk holds must be everything that was written before the
    // temporary file may replace the target.
    if (m_file->size() != m_written)
        return fail({FailureNumber::DeviceIO, qt_error_string(EIO)});
    const bool committed = m_file->commit();
    Failure failure = committed ? Failure{} : fileFailure(FailureNumber::DeviceIO);
    m_file.reset();
    if (failure)
        m_failure = failure;
    return failure;
}
