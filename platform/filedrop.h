#pragma once

#include "base/failure.h"

#include <QStringList>

class QMimeData;
class QTextCursor;

// Files dropped on the editor: their content goes in at the drop point, read as the
// open command reads a file; nothing else a file manager can drag is taken.
namespace FileDrop {

// The local files a drag carries; none when it carries only text or other links.
QStringList localFiles(const QMimeData *data);

// Whether a drop of these files is taken: one regular file named as rich text,
// plain text, or a Word or OpenDocument text. Decided from the name and the kind of file alone, so that nothing is
// read while the pointer moves.
bool accepts(const QStringList &files);

// Inserts the file's content at the cursor, replacing its selection, in one edit.
// On failure nothing is inserted.
Failure insert(QTextCursor &cursor, const QString &path);

} // namespace FileDrop
