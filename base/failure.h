#pragma once

#include <QString>

// A failure as the adapters report it: a number and the system's description.
// Number 0 means success.
struct [[nodiscard]] Failure final
{
    int number = 0;
    QString description;

    explicit operator bool() const { return number != 0; }
    static Failure none() { return {}; }
};

// Failure numbers the adapters use.
namespace FailureNumber {
constexpr int FileNotFound = 53;
constexpr int PermissionDenied = 70;
constexpr int PathNotFound = 76;
constexpr int DeviceIO = 57;
constexpr int DiskFull = 61;
constexpr int BadFileName = 52;
constexpr int InvalidFormat = 321;
constexpr int InvalidArgument = 5;
constexpr int OutOfMemory = 7;
constexpr int ClipboardFailed = 521;
constexpr int CancelError = 32755; // the file dialogs report a cancel with this number
} // namespace FailureNumber

// A step that could not get the memory it needed.
inline Failure outOfMemoryFailure()
{
    return {FailureNumber::OutOfMemory, QStringLiteral("Mémoire insuffisante.")};
}

// The record of the most recent failure, readable after a procedure that runs in
// "skip the failing step and go on" mode.
class FailureRecord final
{
public:
    // Runs one step: a failure it reports becomes the most recent one; success
    // leaves the record as it was.
    void step(const Failure &result)
    {
        if (result)
            m_last = result;
    }
    void clear() { m_last = {}; }
    const Failure &last() const { return m_last; }
    int number() const { return m_last.number; }
    const QString &description() const { return m_last.description; }

private:
    Failure m_last;
};
