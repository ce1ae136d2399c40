#include "package/partstream.h"

#include "package/tagscan.h"

#include <zip.h>

#include <cstring>
#include <system_error>

namespace {

// The first piece is small, so that the reader starts soon; the others large
// enough that handing them over costs nothing beside their inflation.
constexpr qint64 FirstPiece = qint64(32) << 10;
constexpr qint64 Piece = qint64(256) << 10;

} // namespace

PartStream::PartStream(const char *archive, qint64 archiveSize, quint64 index, qint64 size, QByteArray bytes)
    : m_archive(archive)
    , m_archiveSize(archiveSize)
    , m_index(index)
    , m_size(size)
    , m_bytes(std::move(bytes))
    , m_data(m_bytes.data())
{
}

PartStream::~PartStream()
{
    m_stop.store(true, std::memory_order_relaxed);
    if (m_thread.joinable())
        m_thread.join();
}

void PartStream::start()
{
    try {
        m_thread = std::thread(&PartStream::inflate, this);
    } catch (const std::system_error &) {
        inflate(); // no thread to be had: the part inflates before it is read
    }
}

void PartStream::inflate()
{
    // An archive of its own: libzip's archives are not to be shared between threads,
    // and the reader may read other parts (pictures) from the package meanwhile.
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(m_archive, zip_uint64_t(m_archiveSize), 0, &error);
    zip_t *archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (source && !archive)
        zip_source_free(source);
    zip_error_fini(&error);
    zip_file_t *file = archive ? zip_fopen_index(archive, m_index, 0) : nullptr;
    if (!file) {
        if (archive)
            zip_discard(archive);
        finish(QStringLiteral("entry not opened"));
        return;
    }
    TagScan scan;
    QString failure;
    // One byte more than the directory says: an entry that inflates to more lies
    // about its size, and is not read further.
    const qint64 capacity = m_size + 1;
    qint64 got = 0;
    qint64 piece = FirstPiece;
    for (;;) {
        if (m_stop.load(std::memory_order_relaxed)) {
            failure = QStringLiteral("stopped");
            break;
        }
        const zip_int64_t n = zip_fread(file, m_data + got, zip_uint64_t(qMin(piece, capacity - got)));
        if (n < 0) {
            failure = QStringLiteral("damaged entry");
            break;
        }
        if (n == 0)
            break;
        got += n;
        if (got > m_size)
            break;
        if (scan.tooManyAttributes(m_data, got, false)) {
            failure = QStringLiteral("too many attributes in one tag");
            break;
        }
        m_available.store(got, std::memory_order_release);
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
        }
        m_inflated.notify_all();
        piece = Piece;
    }
    zip_fclose(file);
    zip_discard(archive);
    if (failure.isEmpty() && got != m_size)
        failure = QStringLiteral("entry larger or smaller than it says");
    if (failure.isEmpty() && scan.tooManyAttributes(m_data, got, true))
        failure = QStringLiteral("too many attributes in one tag");
    finish(failure);
}

void PartStream::finish(const QString &failure)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_failure = failure;
        m_failed.store(!failure.isEmpty(), std::memory_order_relaxed);
        m_complete.store(true, std::memory_order_release);
    }
    m_inflated.notify_all();
}

bool PartStream::waitComplete()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_inflated.wait(lock, [this] { return m_complete.load(std::memory_order_acquire); });
    return m_failure.isEmpty();
}

QString PartStream::failure() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_failure;
}

QByteArray PartStream::bytes() const
{
    return QByteArray::fromRawData(m_data, qsizetype(m_size));
}

qint64 PartStream::bytesAvailable() const
{
    return m_available.load(std::memory_order_acquire) - m_read + QIODevice::bytesAvailable();
}

qint64 PartStream::readData(char *data, qint64 max)
{
    qint64 available = m_available.load(std::memory_order_acquire);
    if (available <= m_read) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_inflated.wait(lock, [&] {
            return m_available.load(std::memory_order_acquire) > m_read || m_complete.load(std::memory_order_acquire);
        });
        available = m_available.load(std::memory_order_acquire);
    }
    // A failed part gives nothing more: its reader stops at once.
    if (failed())
        return -1;
    const qint64 n = qMin(max, available - m_read);
    if (n <= 0)
        return 0;
    std::memcpy(data, m_data + m_read, size_t(n));
    m_read += n;
    return n;
}
