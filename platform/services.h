#pragma once

#include "base/failure.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <memory>
#include <optional>

class QWidget;

// Everything the handlers need from the outside world goes through these adapters.
// The real ones use Qt; tests install scripted ones with Services::install().

// What a file dialog is asked: the preselected name, the bar-separated filter, and
// the option flags (2: ask before replacing an existing file).
struct FileDialogRequest final
{
    bool save = false;
    QString fileName;
    QString filter;
    int flags = 0;
};

class DialogBackend
{
public:
    virtual ~DialogBackend() = default;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<QString> fileDialog(const FileDialogRequest &request) = 0;
    // Whether the file chosen last could be read or written: a file dialog opens
    // again only in a folder where that worked.
    virtual void fileUsed(const QString &path, bool succeeded)
    {
        Q_UNUSED(path);
        Q_UNUSED(succeeded);
    }
    virtual std::optional<QColor> colorDialog(const QColor &initial) = 0;
    virtual std::optional<QFont> fontDialog(const QFont &initial) = 0;
};

class MessageBoxes
{
public:
    // Style 0: OK button only; 48: exclamation icon and OK button. Modal.
    static constexpr int Ok = 0;
    static constexpr int Exclamation = 48;
    virtual ~MessageBoxes() = default;
    virtual void show(const QString &text, int style, const QString &title) = 0;
};

class Clipboard
{
public:
    virtual ~Clipboard() = default;
    virtual Failure setText(const QString &text) = 0;
    // The clipboard's plain text; empty when it holds none.
    virtual QString text() = 0;
};

// A text file written as a whole: open, write, close. The real one writes to a
// temporary file beside the target and replaces the target only on close, so a
// failed save never destroys the file that was there.
class TextFileOutput
{
public:
    virtual ~TextFileOutput() = default;
    virtual Failure open(const QString &path) = 0;
    virtual Failure write(const QByteArray &bytes) = 0;
    virtual Failure close() = 0;
};

class Screen
{
public:
    static constexpr int DefaultPointer = 0;
    static constexpr int Hourglass = 11;
    virtual ~Screen() = default;
    // The full geometry, in pixels, of the screen that holds the widget (not its
    // work area).
    virtual QRect geometry(const QWidget *widget) const = 0;
    // The part of that screen left free by the desktop's panels.
    virtual QRect availableGeometry(const QWidget *widget) const { return geometry(widget); }
    virtual double twipsPerPixelX() const = 0;
    virtual double twipsPerPixelY() const = 0;
    virtual void setMousePointer(int pointer) = 0;
    virtual int mousePointer() const = 0;
};

class Application
{
public:
    virtual ~Application() = default;
    // Ends the program: every window closes, no further handler runs.
    virtual void end() = 0;
};

class Services final
{
public:
    static DialogBackend &dialogs();
    static MessageBoxes &messageBoxes();
    static Clipboard &clipboard();
    static std::unique_ptr<TextFileOutput> newTextFile();
    static Screen &screen();
    static Application &application();

    // Installs replacements (tests); a null pointer restores the real adapter.
    static void install(std::unique_ptr<DialogBackend> dialogs);
    static void install(std::unique_ptr<MessageBoxes> boxes);
    static void install(std::unique_ptr<Clipboard> clipboard);
    static void install(std::unique_ptr<Screen> screen);
    static void install(std::unique_ptr<Application> application);
    using TextFileFactory = std::unique_ptr<TextFileOutput> (*)();
    static void installTextFileFactory(TextFileFactory factory);
    static void restoreAll();

    // The application title: captions the find and save-failure messages.
    static QString applicationTitle();
};
