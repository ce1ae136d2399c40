#pragma once

#include "platform/services.h"

#include <QSaveFile>

// Writes through QSaveFile: the text goes to a temporary file in the target's
// folder, which replaces the target only when everything was written. After the
// first failed step nothing reaches the target and the temporary file is dropped;
// the later steps report that same failure, so the most recent failure still
// names what really went wrong.
class SaveFileOutput final : public TextFileOutput
{
public:
    Failure open(const QString &path) override;
    Failure write(const QByteArray &bytes) override;
    Failure close() override;

private:
    Failure fail(Failure failure);
    Failure fileFailure(int fallbackNumber) const;
    std::unique_ptr<QSaveFile> m_file;
    Failure m_failure;
    qint64 m_written = 0;
};
