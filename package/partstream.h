#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// A part inflated on a thread of its own while its reader goes through it: reading
// waits only for the bytes not yet inflated, so that the inflation and the parsing
// of a large part share the time. The part's whole bytes are kept, for what needs
// to look at all of them once they are there. The limits are those of
// Package::read: the size the archive declares is checked before anything is
// inflated, an entry that inflates to more or less than it declares fails, and a
// tag of too many attributes fails the part before the reader gets to it.
// Destroying the stream stops the inflation at its next piece and waits for it.
class PartStream final : public QIODevice
{
public:
    ~PartStream() override;
    PartStream(const PartStream &) = delete;
    PartStream &operator=(const PartStream &) = delete;

    // True once the inflation has ended, well or not; never waits.
    bool complete() const { return m_complete.load(std::memory_order_acquire); }
    // Waits for the inflation's end; true when the whole part is there.
    bool waitComplete();
    // True once the inflation has failed; never waits.
    bool failed() const { return complete() && m_failed.load(std::memory_order_relaxed); }
    // Why the part failed; empty while it has not.
    QString failure() const;
    // The whole part, without a copy: only once waitComplete() said true, and only
    // while the stream lives.
    QByteArray bytes() const;
    qint64 size() const override { return m_size; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char *data, qint64 max) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    friend class Package;
    // Inflates entry index of the archive in archive[0, archiveSize), declared size
    // bytes long, into bytes already allocated to size + 1.
    PartStream(const char *archive, qint64 archiveSize, quint64 index, qint64 size, QByteArray bytes);
    void start();
    void inflate();
    void finish(const QString &failure);

    const char *m_archive;
    qint64 m_archiveSize;
    quint64 m_index;
    qint64 m_size;
    QByteArray m_bytes;
    char *m_data; // m_bytes' own, written by the inflation only
    qint64 m_read = 0; // the reader's place
    std::atomic<qint64> m_available{0};
    std::atomic<bool> m_complete{false};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_failed{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_inflated;
    QString m_failure; // under m_mutex
    std::thread m_thread;
};
