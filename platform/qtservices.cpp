#include "platform/services.h"

#include "platform/fileicons.h"
#include "platform/textfile.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGuiApplication>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QWidget>

#include <algorithm>

#include <unistd.h>

namespace {

// "description|pattern|description|pattern" as Qt's name filters. Qt shows a
// filter's description and takes its pattern from the last parentheses; with the
// details hidden it shows only what stands before them. So each description is
// followed by the pattern Qt is to use, and the dialog shows the description
// exactly as given, parentheses and all.
QStringList nameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts.at(i + 1);
        // "*.*" stands for every file, also names without a dot. Given as "*", Qt
        // lists them all, and choosing the filter in the save dialog keeps the
        // name's extension instead of turning "Untitled.rtf" into "Untitled.*".
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        result << parts.at(i) + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return result;
}

// The kernel's pseudo-filesystems and the devices: reading their files can block
// or never end, and no document belongs there.
bool isSystemFolder(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QString path = canonical.isEmpty() ? QDir::cleanPath(folder) : canonical;
    for (const char *root : {"/proc", "/sys", "/dev"}) {
        const QLatin1String r(root);
        if (path == r || path.startsWith(r + QLatin1Char('/')))
            return true;
    }
    return false;
}

// A folder a file dialog may open in again: one the user can list, and write into
// after a save.
bool isUsableFolder(const QString &folder, bool save)
{
    if (folder.isEmpty() || isSystemFolder(folder) || !QFileInfo(folder).isDir())
        return false;
    const QByteArray native = QFile::encodeName(folder);
    return ::access(native.constData(), R_OK | X_OK) == 0 && (!save || ::access(native.constData(), W_OK) == 0);
}

class QtDialogBackend final : public DialogBackend
{
public:
    QtDialogBackend()
    {
        // Qt's dialogs keep state of their own in the user's QtProject.conf, shared by
        // every Qt program: the file dialog's last folder, its history and sidebar,
        // the colour dialog's custom colours. A file dialog opens in the folder kept
        // there before it is told where to open, and starts listing it; a /proc kept
        // there by any run or program froze the next save. Orvo keeps nothing from
        // one run to the next, so Qt's settings are pointed at a folder that cannot
        // exist (nothing under /dev/null is a folder): nothing is read there, and
        // what Qt writes fails quietly.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null/orvo"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("/dev/null/orvo"));
    }

    std::optional<QString> fileDialog(const FileDialogRequest &request) override
    {
        // Qt's own widget dialog, so it looks and behaves the same on every desktop.
        // Created in the folder it opens in: created without one, it would first list
        // the folder Qt last visited in this run, wherever the user went. Its icons
        // and types are told from names, never from the files' content; the provider
        // outlives the dialog, whose listing runs in a thread of its own.
        FileIcons icons;
        QFileDialog dialog(QApplication::activeWindow(), QString(), startFolder());
        dialog.setIconProvider(&icons);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setOption(QFileDialog::HideNameFilterDetails, true);
        dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & 2) == 0);
        const QStringList filters = nameFilters(request.filter);
        if (!filters.isEmpty())
            dialog.setNameFilters(filters);
        if (!request.fileName.isEmpty())
            dialog.selectFile(request.fileName);
        fitToScreen(dialog);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty())
            return std::nullopt;
        const QString folder = QFileInfo(files.first()).absolutePath();
        if (isUsableFolder(folder, request.save))
            m_lastFolder = folder;
        return files.first();
    }

    void fileUsed(const QString &path, bool succeeded) override
    {
        const QString folder = QFileInfo(path).absolutePath();
        if (succeeded) {
            if (folder == m_lastFolder)
                m_workedFolder = folder;
        } else if (folder == m_lastFolder) {
            // Back to where a file was last read or written, or to the first folder.
            m_lastFolder = m_workedFolder;
        }
    }

    std::optional<QColor> colorDialog(const QColor &initial) override
    {
        QColorDialog dialog(initial, QApplication::activeWindow());
        dialog.setOption(QColorDialog::DontUseNativeDialog, true);
        fitToScreen(dialog);
        if (dialog.exec() != QDialog::Accepted || !dialog.selectedColor().isValid())
            return std::nullopt;
        return dialog.selectedColor();
    }

    std::optional<QFont> fontDialog(const QFont &initial) override
    {
        QFontDialog dialog(initial, QApplication::activeWindow());
        dialog.setOption(QFontDialog::DontUseNativeDialog, true);
        fitToScreen(dialog);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.selectedFont();
    }

private:
    // A dialog no larger than the free area of the screen it opens on, its frame
    // included: at a high scale on a small screen Qt's own size would put its
    // buttons off the screen. Qt then places it within that area; the frame the
    // desktop adds is known once it shows, and the dialog is made smaller by it.
    static void fitToScreen(QDialog &dialog)
    {
        const QWidget *parent = dialog.parentWidget();
        QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
        if (!screen)
            return;
        const QRect area = screen->availableGeometry();
        const QSize wanted = dialog.sizeHint();
        if (wanted.width() <= area.width() && wanted.height() <= area.height())
            return;
        // Its layout would hold it at its least size, which may still be too large:
        // the views scroll instead.
        if (QLayout *layout = dialog.layout()) {
            if (layout->minimumSize().width() > area.width() || layout->minimumSize().height() > area.height())
                layout->setSizeConstraint(QLayout::SetNoConstraint);
        }
        dialog.setMinimumSize(0, 0);
        dialog.resize(wanted.boundedTo(area.size()));
        dialog.installEventFilter(new FrameFit(area, &dialog));
    }

    // Keeps a dialog's frame within an area once the desktop has framed it.
    class FrameFit final : public QObject
    {
    public:
        FrameFit(const QRect &area, QWidget *dialog)
            : QObject(dialog)
            , m_area(area)
        {
        }

    protected:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            auto *dialog = static_cast<QWidget *>(watched);
            const bool placed = event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                                event->type() == QEvent::Show;
            if (placed && dialog->isVisible() && !m_fitting) {
                const QRect frame = dialog->frameGeometry();
                const QRect inner = dialog->geometry();
                if (frame != inner && !m_area.contains(frame)) {
                    m_fitting = true;
                    const QSize margins = frame.size() - inner.size();
                    dialog->resize(inner.size().boundedTo(m_area.size() - margins));
                    const QSize framed = dialog->frameGeometry().size();
                    const int right = m_area.x() + std::max(0, m_area.width() - framed.width());
                    const int bottom = m_area.y() + std::max(0, m_area.height() - framed.height());
                    const int x = std::clamp(frame.x(), m_area.x(), right);
                    const int y = std::clamp(frame.y(), m_area.y(), bottom);
                    dialog->move(x, y);
                    m_fitting = false;
                }
            }
            return QObject::eventFilter(watched, event);
        }

    private:
        QRect m_area;
        bool m_fitting = false;
    };

    // Where a file dialog opens: the folder of the file chosen last in this run,
    // unless that file could not be read or written there; before any, the user's
    // documents folder, or else the home folder. Never the folder the program
    // happened to be started from, nor one of the kernel's or the devices.
    QString startFolder() const
    {
        if (isUsableFolder(m_lastFolder, false))
            return m_lastFolder;
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!documents.isEmpty() && QFileInfo(documents).isDir())
            return documents;
        return QDir::homePath();
    }

    QString m_lastFolder;
    QString m_workedFolder; // where the last file read or written was
};

class QtMessageBoxes final : public MessageBoxes
{
public:
    void show(const QString &text, int style, const QString &title) override
    {
        const QMessageBox::Icon icon = (style & 48) == 48 ? QMessageBox::Warning : QMessageBox::NoIcon;
        QMessageBox box(icon, title, text, QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    }
};

class QtClipboard final : public Clipboard
{
public:
    Failure setText(const QString &text) override
    {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (!clipboard)
            return {FailureNumber::ClipboardFailed, QStringLiteral("Le presse-papiers est indisponible.")};
        clipboard->setText(text, QClipboard::Clipboard);
        return {};
    }
    QString text() override
    {
        QClipboard *clipboard = QGuiApplication::clipboard();
        return clipboard ? clipboard->text(QClipboard::Clipboard) : QString();
    }
};

class QtScreen final : public Screen
{
public:
    QRect geometry(const QWidget *widget) const override
    {
        QScreen *screen = widget ? widget->screen() : nullptr;
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        return screen ? screen->geometry() : QRect();
    }
    QRect availableGeometry(const QWidget *widget) const override
    {
        QScreen *screen = widget ? widget->screen() : nullptr;
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        return screen ? screen->availableGeometry() : QRect();
    }
    double twipsPerPixelX() const override { return twipsPerPixel(true); }
    double twipsPerPixelY() const override { return twipsPerPixel(false); }
    void setMousePointer(int pointer) override
    {
        if (pointer == m_pointer)
            return;
        if (m_pointer != DefaultPointer)
            QGuiApplication::restoreOverrideCursor();
        if (pointer == Hourglass)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_pointer = pointer == Hourglass ? Hourglass : DefaultPointer;
    }
    int mousePointer() const override { return m_pointer; }

private:
    static double twipsPerPixel(bool horizontal)
    {
        QScreen *screen = QGuiApplication::primaryScreen();
        const double dpi = screen ? (horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY()) : 96.0;
        return dpi > 0 ? 1440.0 / dpi : 15.0;
    }
    int m_pointer = DefaultPointer;
};

class QtApplication final : public Application
{
public:
    void end() override
    {
        // Hide every window at once; the event loop then returns with status 0 and
        // main() destroys the windows.
        for (QWidget *widget : QApplication::topLevelWidgets())
            widget->hide();
        QCoreApplication::exit(0);
    }
};

std::unique_ptr<TextFileOutput> newSaveFile() { return std::make_unique<SaveFileOutput>(); }

struct Registry
{
    std::unique_ptr<DialogBackend> dialogs;
    std::unique_ptr<MessageBoxes> boxes;
    std::unique_ptr<Clipboard> clipboard;
    std::unique_ptr<Screen> screen;
    std::unique_ptr<Application> application;
    Services::TextFileFactory textFiles = &newSaveFile;
};

Registry &registry()
{
    static Registry r;
    return r;
}

template<typename T, typename Real>
T &ensure(std::unique_ptr<T> &slot)
{
    if (!slot)
        slot = std::make_unique<Real>();
    return *slot;
}

} // namespace

DialogBackend &Services::dialogs() { return ensure<DialogBackend, QtDialogBackend>(registry().dialogs); }
MessageBoxes &Services::messageBoxes() { return ensure<MessageBoxes, QtMessageBoxes>(registry().boxes); }
Clipboard &Services::clipboard() { return ensure<Clipboard, QtClipboard>(registry().clipboard); }
Screen &Services::screen() { return ensure<Screen, QtScreen>(registry().screen); }
Application &Services::application() { return ensure<Application, QtApplication>(registry().application); }
std::unique_ptr<TextFileOutput> Services::newTextFile() { return registry().textFiles(); }

void Services::install(std::unique_ptr<DialogBackend> dialogs) { registry().dialogs = std::move(dialogs); }
void Services::install(std::unique_ptr<MessageBoxes> boxes) { registry().boxes = std::move(boxes); }
void Services::install(std::unique_ptr<Clipboard> clipboard) { registry().clipboard = std::move(clipboard); }
void Services::install(std::unique_ptr<Screen> screen) { registry().screen = std::move(screen); }
void Services::install(std::unique_ptr<Application> application) { registry().application = std::move(application); }
void Services::installTextFileFactory(TextFileFactory factory) { registry().textFiles = factory ? factory : &newSaveFile; }

void Services::restoreAll()
{
    Registry &r = registry();
    r.dialogs.reset();
    r.boxes.reset();
    r.clipboard.reset();
    r.screen.reset();
    r.application.reset();
    r.textFiles = &newSaveFile;
}

QString Services::applicationTitle() { return QStringLiteral("Orvo"); }
