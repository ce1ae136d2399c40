#pragma once

#include "platform/services.h"

#include <QSaveFile>

// Writes through QSaveFile: the text goes to a temporary file in the target's
// folder, which replaces the target only when everything was written.
class SaveFileOutput final : public TextFileOutput
{
public:
    Failure open(const QString &path) override;
    Failure write(const QByteArray &bytes) override;
    Failure close() override;

private:
    Failure failure(int fallbackNumber) const;
    std::unique_ptr<QSaveFile> m_file;
    bool m_failed = false;
};
