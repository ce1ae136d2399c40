#include "platform/textfile.h"

#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

Failure notOpen()
{
    return {FailureNumber::BadFileName, QStringLiteral("Le fichier n'est pas ouvert.")};
}

Failure systemFailure(int error, int fallbackNumber = FailureNumber::DeviceIO)
{
    int number = fallbackNumber;
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        number = FailureNumber::PermissionDenied;
        break;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        number = FailureNumber::DiskFull;
        break;
    default:
        break;
    }
    return {number, qt_error_string(error)};
}

bool saverHasGroup(gid_t gid)
{
    if (gid == getegid())
        return true;
    gid_t groups[256];
    const int n = getgroups(256, groups);
    for (int i = 0; i < n; ++i) {
        if (groups[i] == gid)
            return true;
    }
    return false;
}

// Extended attributes, access lists among them, belong to the file and would not
// follow a replacement. The security label is left out: a new file in the same
// folder is given the same one.
bool hasExtendedAttributes(const QByteArray &path)
{
    char names[4096];
    const ssize_t size = listxattr(path.constData(), names, sizeof names);
    if (size < 0)
        return errno == ERANGE; // too many to list: there are some
    for (ssize_t i = 0; i < size; i += ssize_t(strlen(names + i)) + 1) {
        if (strcmp(names + i, "security.selinux") != 0)
            return true;
    }
    return false;
}

// Whether a new file could take the place of the existing one at path (with old
// its status) and be what it was. What can be checked before writing is checked
// here; owner, group and mode are set on the new file and checked there.
bool replacementPossible(const QString &path, const struct stat &old)
{
    if (old.st_nlink != 1)
        return false; // the other names would keep the old text
    const uid_t saver = geteuid();
    if (saver != 0 && (old.st_uid != saver || !saverHasGroup(old.st_gid)))
        return false; // the new file would change hands
    const QString target = QFileInfo(path).canonicalFilePath(); // through symlinks
    if (target.isEmpty())
        return false;
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    if (faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return false;
    return !hasExtendedAttributes(QFile::encodeName(target));
}

} // namespace

SaveFileOutput::~SaveFileOutput()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Failure SaveFileOutput::fail(Failure failure)
{
    m_failure = failure;
    if (m_file) {
        // Nothing of a failed save may replace the target.
        m_file->cancelWriting();
        m_file->commit();
        m_file.reset();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_pending.clear();
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
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pending.clear();
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
    struct stat old {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &old) == 0;
    if (exists && !replacementPossible(path, old))
        return openInPlace(path);
    m_file = std::make_unique<QSaveFile>(path);
    // Unbuffered: a write the disk refuses fails in write() with the system's
    // reason. Buffered, the rest went out on commit, and Qt 6.4 took a short write
    // there for success and put a truncated file in place of the old one.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (exists) {
            m_file.reset();
            return openInPlace(path);
        }
        return fail(fileFailure(FailureNumber::PathNotFound));
    }
    if (exists && !adoptIdentity(old)) {
        // The new file cannot be made what the old one was: write the old one.
        m_file->cancelWriting();
        m_file->commit();
        m_file.reset();
        return openInPlace(path);
    }
    return {};
}

bool SaveFileOutput::adoptIdentity(const struct stat &old)
{
    const int fd = m_file->handle();
    struct stat now {};
    if (fd < 0 || ::fstat(fd, &now) != 0)
        return false;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    // After the owner: giving a file away clears its set-user and set-group bits.
    if (::fchmod(fd, old.st_mode & 07777) != 0 || ::fstat(fd, &now) != 0)
        return false;
    return now.st_uid == old.st_uid && now.st_gid == old.st_gid && (now.st_mode & 07777) == (old.st_mode & 07777);
}

Failure SaveFileOutput::openInPlace(const QString &path)
{
    // Opened now, so that a file the saver may not write fails at this step as it
    // always did; nothing of it changes before close().
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        return fail(systemFailure(errno, FailureNumber::PathNotFound));
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return fail(systemFailure(errno));
    if (!S_ISREG(st.st_mode))
        return fail({FailureNumber::PermissionDenied, QStringLiteral("%1 n'est pas un fichier ordinaire.").arg(path)});
    return {};
}

Failure SaveFileOutput::write(const QByteArray &bytes)
{
    if (m_failure)
        return m_failure;
    if (m_fd >= 0) {
        m_pending += bytes;
        m_written += bytes.size();
        return {};
    }
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

Failure SaveFileOutput::closeInPlace()
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return fail(systemFailure(errno));
    const off_t oldSize = st.st_size;
    const off_t size = off_t(m_pending.size());
    // Room for the longer text first: a disk that cannot take it fails here, while
    // the old text is still whole.
    if (size > oldSize) {
        const int error = posix_fallocate(m_fd, 0, size);
        if (error != 0) {
            // Back to the old size if it can; the failure told is the allocation's.
            const int restored = ::ftruncate(m_fd, oldSize);
            Q_UNUSED(restored);
            return fail(systemFailure(error));
        }
    }
    qsizetype done = 0;
    while (done < m_pending.size()) {
        const ssize_t n = ::pwrite(m_fd, m_pending.constData() + done, size_t(m_pending.size() - done), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(systemFailure(n < 0 ? errno : EIO));
        done += n;
    }
    if ((size < oldSize && ::ftruncate(m_fd, size) != 0) || ::fsync(m_fd) != 0)
        return fail(systemFailure(errno));
    const int fd = m_fd;
    m_fd = -1;
    m_pending.clear();
    if (::close(fd) != 0)
        return fail(systemFailure(errno));
    return {};
}

Failure SaveFileOutput::close()
{
    if (m_failure)
        return {}; // already discarded when the step failed
    if (m_fd >= 0)
        return closeInPlace();
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
