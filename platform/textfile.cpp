#include "platform/textfile.h"

#include <QFileInfo>

Failure SaveFileOutput::failure(int fallbackNumber) const
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
    QString text = m_file ? m_file->errorString() : QString();
    if (text.isEmpty())
        text = QStringLiteral("Erreur d'écriture du fichier.");
    return {number, text};
}

Failure SaveFileOutput::open(const QString &path)
{
    m_failed = false;
    const QFileInfo info(path);
    if (path.isEmpty())
        return {FailureNumber::BadFileName, QStringLiteral("Nom de fichier vide.")};
    // A folder, a device or anything else that is not a regular file is never
    // replaced by a saved document.
    if (info.exists() && !info.isFile()) {
        m_failed = true;
        return {FailureNumber::PermissionDenied,
                info.isDir() ? QStringLiteral("%1 est un dossier.").arg(path)
                             : QStringLiteral("%1 n'est pas un fichier ordinaire.").arg(path)};
    }
    m_file = std::make_unique<QSaveFile>(path);
    if (!m_file->open(QIODevice::WriteOnly)) {
        m_failed = true;
        return failure(FailureNumber::PathNotFound);
    }
    return {};
}

Failure SaveFileOutput::write(const QByteArray &bytes)
{
    if (!m_file || !m_file->isOpen()) {
        m_failed = true;
        return {FailureNumber::BadFileName, QStringLiteral("Le fichier n'est pas ouvert.")};
    }
    if (m_file->write(bytes) != bytes.size()) {
        m_failed = true;
        return failure(FailureNumber::DeviceIO);
    }
    return {};
}

Failure SaveFileOutput::close()
{
    if (!m_file || !m_file->isOpen())
        return {FailureNumber::BadFileName, QStringLiteral("Le fichier n'est pas ouvert.")};
    // After a failed step nothing may replace the target: drop the temporary file.
    if (m_failed) {
        m_file->cancelWriting();
        m_file->commit();
        m_file.reset();
        return {};
    }
    if (!m_file->commit()) {
        Failure f = failure(FailureNumber::DeviceIO);
        m_file.reset();
        return f;
    }
    m_file.reset();
    return {};
}
