#include "rtf/rtfreader.h"

#include "rtf/rtfparser.h"

#include <QTextDocument>

#include <new>

namespace Rtf {

bool hasSignature(const QByteArray &data)
{
    return data.startsWith("{\\rtf");
}

Failure read(const QByteArray &data, QTextDocument *doc, ReadCounters *counters)
{
    if (!doc)
        return {FailureNumber::InvalidArgument, QStringLiteral("No document to read into.")};
    // Some producers put a byte-order mark, blank lines or a stray character before
    // the signature; a signature near the start is still taken as the document.
    qsizetype start = data.indexOf("{\\rtf");
    if (start < 0 || start > 1024) {
        return {FailureNumber::InvalidFormat,
                QStringLiteral("Le fichier n'est pas au format RTF (signature {\\rtf absente).")};
    }
    // Loading is not an edit the user can undo: recording it would only cost time
    // and memory. The document's own setting comes back once it is built.
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    Failure result;
    try {
        RtfParser parser(data, start, doc);
        try {
            result = parser.run();
        } catch (const std::bad_alloc &) {
            // Before the parser goes, so that it writes nothing more on its way out.
            result = parser.outOfMemory();
        }
        if (counters) {
            counters->stateUpdates = parser.stateUpdates();
            counters->converters = parser.convertersOpened();
            counters->linkTargets = parser.linkTargets();
            counters->formats = parser.formatsBuilt();
            counters->cellsMoved = parser.cellsMoved();
        }
    } catch (const std::bad_alloc &) {
        result = outOfMemoryFailure();
    }
    doc->setUndoRedoEnabled(undo);
    return result;
}

} // namespace Rtf
