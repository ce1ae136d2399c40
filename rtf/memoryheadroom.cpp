#include "rtf/memoryheadroom.h"

#include <cstdlib>

namespace {

// Measured on Qt 6.4: a character costs 2 bytes and the text buffer grows by
// doubling; a block costs about 260 bytes, a format run a fragment of about 40.
constexpr qint64 BytesPerCharacter = 4;
constexpr qint64 BytesPerBlock = 320;
constexpr qint64 BytesPerRun = 64;

// Checks start here: below it a probe costs more than it tells.
constexpr qint64 SmallestProbe = qint64(1) << 20;

// Beyond this no probe is tried: no machine this editor runs on has it, and
// sanitizer allocators abort on such requests instead of failing them.
constexpr qint64 LargestProbe = qint64(1) << 38;

} // namespace

bool MemoryHeadroom::allows(qint64 bytes)
{
    if (bytes <= m_proven)
        return true;
    const qint64 probe = qMax(2 * bytes, SmallestProbe);
    if (probe > LargestProbe)
        return false;
    // Called through a pointer the compiler cannot see through: an allocation that
    // is freed unused may otherwise be optimised away and taken for a success. Not
    // touched, it costs address space only for the moment it is held.
    static void *(*volatile allocate)(size_t) = std::malloc;
    void *room = allocate(size_t(probe));
    if (!room)
        return false;
    std::free(room);
    m_proven = probe;
    return true;
}

qint64 MemoryHeadroom::documentBytes(qint64 characters, qint64 blocks, qint64 runs)
{
    return characters * BytesPerCharacter + blocks * BytesPerBlock + runs * BytesPerRun;
}
