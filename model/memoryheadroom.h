#pragma once

#include <QtGlobal>

// Qt's text document does not survive an allocation that fails while it grows: it
// crashes instead of throwing. So before a load makes a document grow, the memory
// it will take is mapped once and given back; a load whose memory is not there
// fails instead. Each check proves room for twice what is asked, so a document
// that grows steadily is checked only at each doubling.
class MemoryHeadroom final
{
public:
    // True when a document of about `bytes` in all (see documentBytes) has room.
    bool allows(qint64 bytes);

    // A rough upper bound of what a text document holds: its characters with room
    // to grow, its blocks and its format runs, each with Qt's bookkeeping.
    static qint64 documentBytes(qint64 characters, qint64 blocks, qint64 runs);

private:
    qint64 m_proven = 0;
};
