#include "model/memoryheadroom.h"

#include <sys/mman.h>

namespace {

// Measured on Qt 6.4: a character costs 2 bytes and the text buffer grows by
// doubling; a block costs about 260 bytes, a format run a fragment of about 40.
constexpr qint64 BytesPerCharacter = 4;
constexpr qint64 BytesPerBlock = 320;
constexpr qint64 BytesPerRun = 64;

// Checks start here: below it a probe costs more than it tells.
constexpr qint64 SmallestProbe = qint64(1) << 20;

// Beyond this no probe is tried: no machine this editor runs on has it.
constexpr qint64 LargestProbe = qint64(1) << 38;

} // namespace

bool MemoryHeadroom::allows(qint64 bytes)
{
    if (bytes <= m_proven)
        return true;
    const qint64 probe = qMax(2 * bytes, SmallestProbe);
    if (probe > LargestProbe)
        return false;
    // Mapped as the allocator maps large blocks, so the same limits apply (address
    // space, data size, the kernel's overcommit check), but not through malloc:
    // freeing a block of a few megabytes raises glibc's threshold for mapping blocks
    // of their own, and the document's large buffers would then stay on the heap
    // after use. Never touched, it costs address space only while it is held.
    void *room = mmap(nullptr, size_t(probe), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (room == MAP_FAILED)
        return false;
    munmap(room, size_t(probe));
    m_proven = probe;
    return true;
}

qint64 MemoryHeadroom::documentBytes(qint64 characters, qint64 blocks, qint64 runs)
{
    return characters * BytesPerCharacter + blocks * BytesPerBlock + runs * BytesPerRun;
}
