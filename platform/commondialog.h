#pragma once

#include "base/failure.h"

#include <QString>
#include <QtGlobal>

// The one dialog object of the main window: open-file, save-file, colour and font
// dialogs. Values set for one dialog stay set for the next. Every Show* reports a
// cancel as the failure CancelError.
class CommonDialog final
{
public:
    QString fileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name; }
    QString filter() const { return m_filter; }
    void setFilter(const QString &filter) { m_filter = filter; }
    // The option flags: 2 asks before replacing an existing file.
    int flags() const { return m_flags; }
    void setFlags(int flags) { m_flags = flags; }
    quint32 color() const { return m_color; }
    QString fontName() const { return m_fontName; }
    void setFontName(const QString &name) { m_fontName = name; }

    Failure showOpen();
    Failure showSave();
    Failure showColor();
    Failure showFont();
    // Tells the file dialogs whether the file at path could be read or written.
    static void fileUsed(const QString &path, bool succeeded);

private:
    Failure showFile(bool save);

    QString m_fileName;
    QString m_filter;
    int m_flags = 0;
    quint32 m_color = 0;
    QString m_fontName;
};
