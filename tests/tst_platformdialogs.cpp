// The platform's own dialogs as the user meets them, through the real adapters:
// their texts in French although the desktop's locale is C, the question before a
// file is replaced, the folder a file dialog opens in, and the save dialog's name
// when the file type changes.
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
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <functional>

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
        showFile(which == QLatin1String("save"));
    else if (which == QLatin1String("font"))
        m_dialog.showFont();
    else
        m_dialog.showColor();
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
    showFile(true);
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
    showFile(false);
    QCOMPARE(opened, home());
    // The documents folder the desktop names, in a fresh run.
    QVERIFY(QDir(home()).mkpath(".config"));
    QVERIFY(QDir(home()).mkpath("Mes documents"));
    writeFile(home(".config/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Mes documents\"\n");
    Services::restoreAll();
    onNextModal(cancel);
    showFile(true);
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
    showFile(true);
    // Shown exactly as the filter gives them.
    QCOMPARE(types, (QStringList{"Tous les fichiers (*.*)", "Fichiers RTF(*.rtf)", "Fichiers doc(*.doc)",
                                 "Fichiers TXT(*.txt)"}));
    // A type with an extension gives the name that extension; every file keeps it.
    QCOMPARE(names, (QStringList{"Untitled.txt", "Untitled.doc", "Untitled.doc"}));
    QTRY_COMPARE(listed.last(), QStringLiteral("LISEZMOI,lettre.rtf"));
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
