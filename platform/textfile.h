#pragma once

#include "platform/services.h"

#include <QSaveFile>

struct stat;

// Writes a saved document so that the file stays what it was.
//
// Where a new file can take the old one's place unchanged (same owner and group,
// same mode with its set-user and set-group bits, no other name linked to it, no
// access list, a folder the saver may write to), the text goes through QSaveFile:
// to a temporary file beside the target, which replaces the target only when
// everything was written, so a failed save leaves the old file whole.
//
// Otherwise the file itself is written, in place, once the whole text is in hand:
// room for it is claimed first, so a full disk fails before the old text is touched.
//
// After the first failed step nothing more reaches the file and the later steps
// report that same failure, so the most recent failure still names what really
// went wrong.
class SaveFileOutput final : public TextFileOutput
{
public:
    SaveFileOutput() = default;
    ~SaveFileOutput() override;
    SaveFileOutput(const SaveFileOutput &) = delete;
    SaveFileOutput &operator=(const SaveFileOutput &) = delete;

    Failure open(const QString &path) override;
    Failure write(const QByteArray &bytes) override;
    Failure close() override;

private:
    Failure fail(Failure failure);
    Failure fileFailure(int fallbackNumber) const;
    bool adoptIdentity(const struct stat &old);
    Failure openInPlace(const QString &path);
    Failure closeInPlace();

    std::unique_ptr<QSaveFile> m_file;
    int m_fd = -1;        // written in place: the file itself
    QByteArray m_pending; // written in place: the whole text, written on close
    Failure m_failure;
    qint64 m_written = 0;
};
