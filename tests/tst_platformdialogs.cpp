// The platform's own dialogs as the user meets them, through the real adapters:
// their texts in French although the desktop's locale is C, the question before a
// file is replaced, the folder a file dialog opens in (never one where the file
// could not be read or written, nor the kernel's), the save dialog's name when the
// file type changes, and a listing that reads no file to label it.
#include "platform/commondialog.h"
#include "platform/frenchtexts.h"
#include "platform/services.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QContextMenuEvent>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSettings>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Runs `act` on the next modal dialog once it is shown, from the dialog's own
// event loop, as a user would meet it.
void onNextModal(std::function<void(QWidget *)> act, QWidget *after = nullptr)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act), after] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == after || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

// The texts a dialog shows on its buttons or its labels, sorted.
template<typename Widget>
QStringList shownTexts(const QWidget *dialog)
{
    QStringList texts;
    for (const Widget *widget : dialog->findChildren<Widget *>()) {
        if (widget->isVisible() && !widget->text().trimmed().isEmpty())
            texts << widget->text();
    }
    texts.sort();
    return texts;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QString SaveFilter = QStringLiteral(
    "Tous les fichiers (*.*)|*.*|Fichiers RTF(*.rtf)|*.rtf|Fichiers doc(*.doc)|*.doc|Fichiers TXT(*.txt)|*.txt");
const QString OpenFilter = QStringLiteral("Tous les fichiers (*.rtf)|*.rtf|Tous les fichiers(*.*)|*.*");

} // namespace

class tst_PlatformDialogs final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dialogsInFrench_data();
    void dialogsInFrench();
    void replaceQuestionInFrench();
    void contextMenusInFrench_data();
    void contextMenusInFrench();
    void fileDialogsOpenWhereTheLastFileWas();
    void firstDialogOpensInDocumentsElseHome();
    void fileTypeKeepsOrFollowsTheName();
    void foldersThatFailedAreNotOpenedAgain_data();
    void foldersThatFailedAreNotOpenedAgain();
    void listingReadsNoFile();
    void qtsOwnStateIsNeitherReadNorKept();

private:
    // Shows the file dialog as the open or save command does.
    Failure showFile(bool save, const QString &name = QStringLiteral("Untitled.rtf"));
    QString home(const QString &path = QString()) const { return QDir(m_home->path()).filePath(path); }

    std::optional<QTemporaryDir> m_home;
    CommonDialog m_dialog;
};

void tst_PlatformDialogs::initTestCase()
{
    // The path the program takes at start-up.
    QVERIFY(FrenchTexts::install());
}

void tst_PlatformDialogs::init()
{
    // A home of the test's own: the dialogs start from the user's folders.
    m_home.emplace();
    QVERIFY(m_home->isValid());
    qputenv("HOME", QFile::encodeName(m_home->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home(".config")));
    // A fresh run's adapters, which remember no folder yet.
    Services::restoreAll();
    m_dialog = CommonDialog();
}

void tst_PlatformDialogs::cleanup()
{
    Services::restoreAll();
    m_home.reset();
}

Failure tst_PlatformDialogs::showFile(bool save, const QString &name)
{
    m_dialog.setFileName(save ? name : QString());
    m_dialog.setFilter(save ? SaveFilter : OpenFilter);
    m_dialog.setFlags(save ? 2 : 0);
    return save ? m_dialog.showSave() : m_dialog.showOpen();
}

void tst_PlatformDialogs::dialogsInFrench_data()
{
    QTest::addColumn<QString>("which");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("texts"); // among the buttons and labels shown
    const QStringList file = {"&Nom de fichier :", "Fichiers de type :", "Voir dans :", "Annuler"};
    QTest::newRow("save") << "save" << "Enregistrer sous" << file + QStringList{"&Enregistrer"};
    QTest::newRow("open") << "open" << "Ouvrir" << file + QStringList{"&Ouvrir"};
    QTest::newRow("font") << "font" << "Choisir une police"
                          << QStringList{"&Police", "St&yle de police", "&Taille", "&Barré", "OK", "Annuler"};
    QTest::newRow("colour") << "colour" << "Sélectionner une couleur"
                            << QStringList{"Couleurs de &base", "&Rouge :", "OK", "Annuler"};
}

void tst_PlatformDialogs::dialogsInFrench()
{
    QFETCH(QString, which);
    QFETCH(QString, title);
    QFETCH(QStringList, texts);
    QString shownTitle;
    QStringList shown;
    onNextModal([&](QWidget *dialog) {
        shownTitle = dialog->windowTitle();
        shown = shownTexts<QAbstractButton>(dialog) + shownTexts<QLabel>(dialog);
        static_cast<QDialog *>(dialog)->reject();
    });
    if (which == QLatin1String("save") || which == QLatin1String("open"))
        static_cast<void>(showFile(which == QLatin1String("save")));
    else if (which == QLatin1String("font"))
        static_cast<void>(m_dialog.showFont());
    else
        static_cast<void>(m_dialog.showColor());
    QCOMPARE(shownTitle, title);
    for (const QString &text : texts)
        QVERIFY2(shown.contains(text), qPrintable(text + QStringLiteral(" not among ") + shown.join(u'|')));
}

void tst_PlatformDialogs::replaceQuestionInFrench()
{
    const QString path = home("lettre.rtf");
    writeFile(path, "avant");
    QString question;
    QStringList answers;
    QWidget *fileDialog = nullptr;
    onNextModal([&](QWidget *dialog) {
        fileDialog = dialog;
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        // Set at once: typed, the name would bring up the completer's list first.
        name->setText(path);
        // The question comes up from the Return below, in a loop of its own.
        onNextModal(
            [&](QWidget *box) {
                question = static_cast<QMessageBox *>(box)->text();
                answers = shownTexts<QAbstractButton>(box);
                auto *no = static_cast<QMessageBox *>(box)->button(QMessageBox::No);
                QTest::mouseClick(no, Qt::LeftButton);
                // Answered "Non": the dialog stays open for another name.
                QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog *>(dialog)->reject(); });
            },
            dialog);
        QTest::keyClick(name, Qt::Key_Return);
    });
    const Failure result = showFile(true);
    QVERIFY(fileDialog);
    QCOMPARE(question, QStringLiteral("Le fichier lettre.rtf existe déjà\nVoulez-vous l'écraser ?"));
    QCOMPARE(answers, (QStringList{"&Non", "&Oui"}));
    QCOMPARE(result.number, FailureNumber::CancelError);
}

void tst_PlatformDialogs::contextMenusInFrench_data()
{
    QTest::addColumn<bool>("editor");
    QTest::newRow("search field") << false;
    QTest::newRow("editor") << true;
}

void tst_PlatformDialogs::contextMenusInFrench()
{
    QFETCH(bool, editor);
    QWidget window;
    window.resize(300, 200);
    QWidget *field = editor ? static_cast<QWidget *>(new QTextEdit(&window)) : new QLineEdit(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // A right click: the field opens its own menu, which the test reads and closes.
    QStringList entries;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &window, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible() || !entries.isEmpty())
            return;
        for (const QAction *action : menu->actions()) {
            if (!action->isSeparator())
                entries << action->text().section(QLatin1Char('\t'), 0, 0);
        }
        menu->close();
    });
    poll.start(10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 12), field->mapToGlobal(QPoint(20, 12)));
    QApplication::sendEvent(editor ? static_cast<QTextEdit *>(field)->viewport() : field, &event);
    QTRY_VERIFY(!entries.isEmpty());
    QCOMPARE(entries, (QStringList{"&Annuler", "&Rétablir", "Co&uper", "Cop&ier", "Co&ller", "Supprimer",
                                   "Tout sélectionner"}));
}

void tst_PlatformDialogs::fileDialogsOpenWhereTheLastFileWas()
{
    QVERIFY(QDir(home()).mkpath("Documents"));
    QVERIFY(QDir(home()).mkpath("projets/2024"));
    QStringList opened;
    auto record = [&](QWidget *dialog) { opened << static_cast<QFileDialog *>(dialog)->directory().absolutePath(); };
    auto choose = [&](const QString &path) {
        return [&, path](QWidget *dialog) {
            record(dialog);
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            name->setText(path);
            QTest::keyClick(name, Qt::Key_Return);
        };
    };
    auto cancel = [&](QWidget *dialog) {
        record(dialog);
        QTest::keyClick(dialog, Qt::Key_Escape);
    };

    // Saved into a folder typed as a path: the open dialog then starts there.
    onNextModal(choose(home("projets/2024/notes.rtf")));
    QCOMPARE(showFile(true).number, 0);
    QCOMPARE(m_dialog.fileName(), home("projets/2024/notes.rtf"));
    onNextModal(cancel);
    QCOMPARE(showFile(false).number, FailureNumber::CancelError);
    // A cancelled dialog chose nothing: the folder stays.
    writeFile(home("journal.rtf"), "{\\rtf1 x}");
    onNextModal(choose(home("journal.rtf")));
    QCOMPARE(showFile(false).number, 0);
    onNextModal(cancel);
    static_cast<void>(showFile(true));
    QCOMPARE(opened, (QStringList{home("Documents"), home("projets/2024"), home("projets/2024"), home()}));
}

void tst_PlatformDialogs::firstDialogOpensInDocumentsElseHome()
{
    QString opened;
    auto cancel = [&](QWidget *dialog) {
        opened = static_cast<QFileDialog *>(dialog)->directory().absolutePath();
        static_cast<QDialog *>(dialog)->reject();
    };
    // No documents folder: the home folder, whatever the working folder is.
    onNextModal(cancel);
    static_cast<void>(showFile(false));
    QCOMPARE(opened, home());
    // The documents folder the desktop names, in a fresh run.
    QVERIFY(QDir(home()).mkpath(".config"));
    QVERIFY(QDir(home()).mkpath("Mes documents"));
    writeFile(home(".config/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Mes documents\"\n");
    Services::restoreAll();
    onNextModal(cancel);
    static_cast<void>(showFile(true));
    QCOMPARE(opened, home("Mes documents"));
}

void tst_PlatformDialogs::fileTypeKeepsOrFollowsTheName()
{
    QVERIFY(QDir(home()).mkpath("Documents"));
    writeFile(home("Documents/LISEZMOI"), "sans extension");
    writeFile(home("Documents/lettre.rtf"), "{\\rtf1 x}");
    QStringList types, names, listed;
    auto shownFiles = [](QWidget *dialog) {
        auto *view = dialog->findChild<QAbstractItemView *>(QStringLiteral("listView"));
        QStringList files;
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            files << view->model()->index(row, 0, view->rootIndex()).data().toString();
        files.sort();
        return files;
    };
    onNextModal([&](QWidget *dialog) {
        auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        for (int i = 0; i < combo->count(); ++i)
            types << combo->itemText(i);
        QTRY_COMPARE(shownFiles(dialog), (QStringList{"LISEZMOI", "lettre.rtf"}));
        // The user picks each type with the keyboard, last first.
        combo->setFocus();
        for (Qt::Key key : {Qt::Key_End, Qt::Key_Up, Qt::Key_Home}) {
            QTest::keyClick(combo, key);
            names << name->text();
            listed << shownFiles(dialog).join(QLatin1Char(','));
        }
        static_cast<QDialog *>(dialog)->reject();
    });
    static_cast<void>(showFile(true));
    // Shown exactly as the filter gives them.
    QCOMPARE(types, (QStringList{"Tous les fichiers (*.*)", "Fichiers RTF(*.rtf)", "Fichiers doc(*.doc)",
                                 "Fichiers TXT(*.txt)"}));
    // A type with an extension gives the name that extension; every file keeps it.
    QCOMPARE(names, (QStringList{"Untitled.txt", "Untitled.doc", "Untitled.doc"}));
    QTRY_COMPARE(listed.last(), QStringLiteral("LISEZMOI,lettre.rtf"));
}

void tst_PlatformDialogs::foldersThatFailedAreNotOpenedAgain_data()
{
    // Files chosen one after the other (relative to the home folder, or absolute),
    // with what became of each: saved (or read) or not; then where the next dialog
    // opens.
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QList<bool>>("worked");
    QTest::addColumn<QString>("opensIn");
    QTest::newRow("saved") << QStringList{"projets/a.rtf"} << QList<bool>{true} << "projets";
    QTest::newRow("write failed") << QStringList{"projets/a.rtf"} << QList<bool>{false} << "Documents";
    QTest::newRow("write failed after one that worked")
        << QStringList{"projets/a.rtf", "autres/b.rtf"} << QList<bool>{true, false} << "projets";
    QTest::newRow("the kernel's files") << QStringList{"/proc/orvo-essai.rtf"} << QList<bool>{false} << "Documents";
    QTest::newRow("the kernel's files after one that worked")
        << QStringList{"projets/a.rtf", "/proc/orvo-essai.rtf"} << QList<bool>{true, false} << "projets";
    QTest::newRow("the devices, even when it worked")
        << QStringList{"/dev/shm/orvo-essai.rtf"} << QList<bool>{true} << "Documents";
    QTest::newRow("the kernel's objects, even when it worked")
        << QStringList{"/sys/orvo-essai.rtf"} << QList<bool>{true} << "Documents";
}

void tst_PlatformDialogs::foldersThatFailedAreNotOpenedAgain()
{
    QFETCH(QStringList, chosen);
    QFETCH(QList<bool>, worked);
    QFETCH(QString, opensIn);
    QVERIFY(QDir(home()).mkpath("Documents"));
    QVERIFY(QDir(home()).mkpath("projets"));
    QVERIFY(QDir(home()).mkpath("autres"));
    for (qsizetype i = 0; i < chosen.size(); ++i) {
        const QString path = QDir::isAbsolutePath(chosen[i]) ? chosen[i] : home(chosen[i]);
        // Typed in the save dialog, as after the save command or a prompt's "Oui".
        onNextModal([&](QWidget *dialog) {
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            name->setText(path);
            QTest::keyClick(name, Qt::Key_Return);
        });
        QCOMPARE(showFile(true).number, 0);
        QCOMPARE(m_dialog.fileName(), path);
        // What the save reports once it wrote the file, or failed to.
        CommonDialog::fileUsed(path, worked[i]);
    }
    QString opened;
    onNextModal([&](QWidget *dialog) {
        opened = static_cast<QFileDialog *>(dialog)->directory().absolutePath();
        static_cast<QDialog *>(dialog)->reject();
    });
    static_cast<void>(showFile(true));
    QCOMPARE(opened, home(opensIn));
}

// A folder with a FIFO named like a document and files whose names do not tell
// their type: the dialog lists and labels them, a name is typed, and no file in the
// folder is opened for reading (the kernel reports every open to a watch on the
// folder). Reading the FIFO would wait for a writer for ever, and a file of /proc
// or of a stalled mount can do the same; a watchdog releases any reader of the
// FIFO, so that a failure here fails the test instead of hanging it.
void tst_PlatformDialogs::listingReadsNoFile()
{
    const QString folder = home("Documents");
    QVERIFY(QDir(home()).mkpath("Documents"));
    writeFile(home("Documents/LISEZMOI"), "Bonjour, ceci est du texte.\n");
    writeFile(home("Documents/lettre.rtf"), "{\\rtf1 x}");
    writeFile(home("Documents/notes"), "{\\rtf1 y}");
    const QByteArray fifo = QFile::encodeName(home("Documents/x.rtf"));
    QCOMPARE(mkfifo(fifo.constData(), 0600), 0);

    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_OPEN | IN_ACCESS) >= 0);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int tenth = 0; tenth < 600 && !done; ++tenth)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        while (!done) {
            const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    const auto stopWatchdog = qScopeGuard([&] {
        done = true;
        watchdog.join();
    });

    QStringList types;
    onNextModal([&](QWidget *dialog) {
        // Closed however the checks below end.
        const auto closer = qScopeGuard([dialog] { static_cast<QDialog *>(dialog)->reject(); });
        auto *view = dialog->findChild<QAbstractItemView *>(QStringLiteral("listView"));
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        const auto listed = [&] {
            QStringList rows;
            for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
                const QModelIndex file = view->model()->index(row, 0, view->rootIndex());
                const QModelIndex type = view->model()->index(row, 2, view->rootIndex());
                rows << file.data().toString() + QLatin1Char(':') + type.data().toString();
            }
            rows.sort();
            return rows;
        };
        // Every file labelled: the listing ran to its end.
        QTRY_COMPARE(listed().size(), 3);
        types = listed();
        // Typed as a user types, letter by letter, with the completer at work.
        name->setFocus();
        name->clear();
        QTest::keyClicks(name, QStringLiteral("x.rtf"));
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(name, Qt::Key_Backspace);
        QTest::keyClicks(name, QStringLiteral("notes"));
        QCoreApplication::processEvents();
    });
    // The save dialog: it lists every file, whatever its type.
    QCOMPARE(showFile(true).number, FailureNumber::CancelError);

    QStringList opened;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (char *p = buffer; p < buffer + n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            if (!(event->mask & IN_ISDIR) && event->len)
                opened << QString::fromLocal8Bit(event->name);
            p += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    // Nobody waits at the FIFO either.
    const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
    const int openError = errno;
    if (writer >= 0)
        ::close(writer);
    QCOMPARE(opened, QStringList());
    QCOMPARE(writer, -1);
    QCOMPARE(openError, ENXIO);
    // The types come from the names; a name that tells none is a file of no known
    // type. The FIFO is no file to open and is not listed.
    QCOMPARE(types.size(), 3);
    QVERIFY2(types.at(1).startsWith(QStringLiteral("lettre.rtf:")) && types.at(1).size() > 11,
             qPrintable(types.join(u'|')));
}

// Qt's dialogs keep a state of their own in the user's QtProject.conf, which any
// Qt program writes: here one left in /proc. The file dialog neither takes its
// folder, history or sidebar from it nor writes it back, even after the user went
// to /proc in the dialog.
void tst_PlatformDialogs::qtsOwnStateIsNeitherReadNorKept()
{
    QVERIFY(QDir(home()).mkpath("Documents"));
    QVERIFY(QDir(home()).mkpath(".config"));
    const QByteArray kept = "[FileDialog]\nhistory=file:///proc\nlastVisited=file:///proc\n"
                            "shortcuts=file:///proc\nviewMode=Detail\n";
    writeFile(home(".config/QtProject.conf"), kept);
    // Qt reads the user's settings where it found them first in this process: here.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home(".config"));
    Services::restoreAll();

    QStringList opened;
    bool rememberedProc = false;
    auto goToProcAndCancel = [&](QWidget *widget) {
        auto *dialog = static_cast<QFileDialog *>(widget);
        opened << dialog->directory().absolutePath();
        rememberedProc = rememberedProc || dialog->history().contains(QStringLiteral("/proc")) ||
                         dialog->sidebarUrls().contains(QUrl::fromLocalFile(QStringLiteral("/proc")));
        dialog->setDirectory(QStringLiteral("/proc"));
        QCoreApplication::processEvents();
        dialog->reject();
    };
    onNextModal(goToProcAndCancel);
    QCOMPARE(showFile(true).number, FailureNumber::CancelError);
    onNextModal(goToProcAndCancel);
    QCOMPARE(showFile(false).number, FailureNumber::CancelError);
    QCOMPARE(opened, (QStringList{home("Documents"), home("Documents")}));
    QVERIFY(!rememberedProc);
    QFile conf(home(".config/QtProject.conf"));
    QVERIFY(conf.open(QIODevice::ReadOnly));
    QCOMPARE(conf.readAll(), kept);
    QCOMPARE(QDir(home(".config")).entryList(QDir::Files | QDir::Hidden), QStringList{"QtProject.conf"});
}

int main(int argc, char *argv[])
{
    // The desktop's locale says nothing of French.
    qputenv("LANG", "C.UTF-8");
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("LANGUAGE");
    QApplication app(argc, argv);
    tst_PlatformDialogs test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platformdialogs.moc"
