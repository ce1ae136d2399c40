// The save command through its image: the dialog it asks, the bytes it writes, the
// title it sets and the one message it shows when the write fails.
#include "document/module2.h"
#include "documentfixture.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString saveFilter = QStringLiteral(
    "Tous les fichiers (*.*)|*.*|Fichiers RTF(*.rtf)|*.rtf|Fichiers doc(*.doc)|*.doc|Fichiers TXT(*.txt)|*.txt");

// A text file whose steps fail as the test says, to see which failure is told.
struct ScriptedFile
{
    static inline Failure openResult, writeResult, closeResult;
    static inline QStringList calls;
};

class FailingTextFile final : public TextFileOutput
{
public:
    Failure open(const QString &) override { return record("open", ScriptedFile::openResult); }
    Failure write(const QByteArray &) override { return record("write", ScriptedFile::writeResult); }
    Failure close() override { return record("close", ScriptedFile::closeResult); }

private:
    static Failure record(const char *step, const Failure &result)
    {
        ScriptedFile::calls << QString::fromLatin1(step);
        return result;
    }
};

std::unique_ptr<TextFileOutput> newFailingTextFile() { return std::make_unique<FailingTextFile>(); }

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The child side of the full-disk case: a file-size limit that root cannot pass
// over, then a save through the image. What the user would see goes to stdout.
int saveUnderSizeLimit(const QString &path, qsizetype documentSize, rlim_t limit)
{
    std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead of killing us
    const rlimit fsize{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &fsize) != 0)
        return 3;
    DocumentFixture f;
    f.setUp();
    f.editor()->setText(QString(documentSize, QLatin1Char('x')));
    f.form->setModified(true);
    f.answerFileDialog(path);
    f.click("Image7");
    QTextStream out(stdout);
    for (const ShownMessage &m : f.services.messages->shown)
        out << "message\t" << m.style << '\t' << m.title << '\t' << m.text << '\n';
    out << "caption\t" << f.form->caption() << '\n';
    out << "modified\t" << (f.form->isModified() ? 1 : 0) << '\n';
    QStringList pointers;
    for (int p : f.screen->pointers)
        pointers << QString::number(p);
    out << "pointers\t" << pointers.join(QLatin1Char(',')) << '\n';
    f.tearDown();
    return 0;
}

} // namespace

class TestSaveDocument final : public QObject
{
    Q_OBJECT

private slots:
    void init() { f.setUp(); }
    void cleanup()
    {
        f.tearDown();
    }

    void emptyDocumentWritesOnlyTheLineEnd()
    {
        const QString path = f.dir->filePath("vide.rtf");
        f.answerFileDialog(path);
        f.click("Image7");
        QCOMPARE(fileBytes(path), QByteArray("\r\n"));
        QCOMPARE(f.form->caption(), path.toUpper());
        QVERIFY(!f.form->isModified());
        QVERIFY(f.services.messages->shown.isEmpty());
        QCOMPARE(f.screen->pointers, (QList<int>{Screen::Hourglass, Screen::DefaultPointer}));
    }

    void writesTheCharactersOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("one line") << "Bonjour" << QByteArray("Bonjour\r\n");
        QTest::newRow("paragraphs as the editor gives them") << "un\ndeux\n\ntrois"
                                                            << QByteArray("un\ndeux\n\ntrois\r\n");
        QTest::newRow("beyond Latin-1 and emoji")
            << QString::fromUtf8("Été — Ωμέγα Жук 漢字 😀")
            << QByteArray("\xC3\x89t\xC3\xA9 \xE2\x80\x94 \xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 "
                          "\xD0\x96\xD1\x83\xD0\xBA \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80\r\n");
    }
    void writesTheCharactersOnly()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        f.editor()->setText(text);
        // Bold and colour on part of it: only the characters are written.
        f.editor()->setSelStart(0);
        f.editor()->setSelLength(3);
        f.editor()->setSelBold(true);
        f.editor()->setSelColor(0x000000FF);
        const QString path = f.dir->filePath("doc.txt");
        f.answerFileDialog(path);
        f.click("Image7");
        QCOMPARE(fileBytes(path), bytes);
    }

    void overwritesALongerFileWithoutTrace()
    {
        const QString path = f.dir->filePath("ancien.rtf");
        QVERIFY(writeBytes(path, QByteArray(10000, 'O')));
        f.type("court");
        f.answerFileDialog(path);
        f.click("Image7");
        QCOMPARE(fileBytes(path), QByteArray("court\r\n"));
        QCOMPARE(entriesOf(f.dir->path()), QStringList{"ancien.rtf"});
    }

    void titleIsThePathInCapitals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("capitals");
        QTest::newRow("lower case") << "note.rtf" << "NOTE.RTF";
        QTest::newRow("spaces, accents, non-Latin")
            << QString::fromUtf8("mon été à Ωμέγα 文書.txt") << QString::fromUtf8("MON ÉTÉ À ΩΜΈΓΑ 文書.TXT");
    }
    void titleIsThePathInCapitals()
    {
        QFETCH(QString, name);
        QFETCH(QString, capitals);
        const QString path = f.dir->filePath(name);
        f.type("x");
        f.answerFileDialog(path);
        f.click("Image7");
        QCOMPARE(fileBytes(path), QByteArray("x\r\n"));
        QVERIFY(f.form->caption().endsWith(QLatin1Char('/') + capitals));
        QCOMPARE(f.form->caption(), path.toUpper());
        QCOMPARE(f.services.dialogs->filesUsed, (QList<QPair<QString, bool>>{{path, true}}));
    }

    void everySaveSuggestsUntitled()
    {
        f.type("a");
        f.answerFileDialog(f.dir->filePath("premier.rtf"));
        f.click("Image7");
        f.answerFileDialog(f.dir->filePath("second.rtf"));
        f.click("Image7");
        const QList<FileDialogRequest> &asked = f.services.dialogs->fileRequests;
        QCOMPARE(asked.size(), 2);
        for (const FileDialogRequest &request : asked) {
            QVERIFY(request.save);
            QCOMPARE(request.fileName, QStringLiteral("Untitled.rtf"));
            QCOMPARE(request.filter, saveFilter);
            QCOMPARE(request.flags, 2);
        }
        QCOMPARE(f.form->caption(), f.dir->filePath("second.rtf").toUpper());
        QVERIFY(f.form->isModified()); // saving never clears the flag
    }

    void cancelChangesNothing()
    {
        f.type("texte");
        f.cancelFileDialog();
        f.click("Image7");
        QCOMPARE(f.services.dialogs->fileRequests.size(), 1);
        QCOMPARE(Module2::lastFailure().number(), FailureNumber::CancelError);
        QCOMPARE(f.form->caption(), QStringLiteral("Orvo..."));
        QVERIFY(f.form->isModified());
        QVERIFY(f.services.messages->shown.isEmpty());
        QVERIFY(f.screen->pointers.isEmpty());
        QVERIFY(entriesOf(f.dir->path()).isEmpty());
    }

    // Each target that cannot take the file: one message with the system's own
    // description, nothing else changes, and whatever was on disk stays as it was.
    void failedSaveLosesNothing_data()
    {
        QTest::addColumn<QString>("target");   // relative to the temporary folder, or absolute
        QTest::addColumn<QString>("expected"); // the system's description, when known
        QTest::newRow("folder that does not exist") << "absent/doc.rtf" << qt_error_string(ENOENT);
        QTest::newRow("path that is a folder") << "dossier" << qt_error_string(EISDIR);
        QTest::newRow("folder that is a file") << "fichier.txt/doc.rtf" << qt_error_string(ENOTDIR);
        QTest::newRow("new file in a read-only folder") << "lecture/nouveau.rtf" << qt_error_string(EACCES);
        QTest::newRow("device") << "/dev/full" << QString();
    }
    void failedSaveLosesNothing()
    {
        QFETCH(QString, target);
        QFETCH(QString, expected);
        QVERIFY(QDir(f.dir->path()).mkdir("dossier"));
        QVERIFY(writeBytes(f.dir->filePath("dossier/dedans.txt"), "garde"));
        QVERIFY(writeBytes(f.dir->filePath("fichier.txt"), "ancien contenu\r\n"));
        QVERIFY(QDir(f.dir->path()).mkdir("lecture"));
        QVERIFY(writeBytes(f.dir->filePath("lecture/doc.rtf"), "ancien"));
        if (target.startsWith("lecture")) {
            if (geteuid() == 0)
                QSKIP("root writes into read-only folders; the folder-that-is-a-file row covers it");
            QVERIFY(QFile::setPermissions(f.dir->filePath("lecture"), QFile::ReadOwner | QFile::ExeOwner));
        }
        const QStringList before = entriesOf(f.dir->path());
        const QString path = QDir::isAbsolutePath(target) ? target : f.dir->filePath(target);

        f.type("perdu?");
        f.answerFileDialog(path);
        f.click("Image7");

        QCOMPARE(f.services.messages->shown.size(), 1);
        const ShownMessage &message = f.services.messages->shown.first();
        QCOMPARE(message.style, 48);
        QCOMPARE(message.title, QStringLiteral("Orvo"));
        QVERIFY(!message.text.isEmpty());
        QCOMPARE(message.text, Module2::lastFailure().description());
        if (!expected.isEmpty())
            QVERIFY2(message.text.contains(expected, Qt::CaseInsensitive), qPrintable(message.text));
        QCOMPARE(f.form->caption(), QStringLiteral("Orvo..."));
        QVERIFY(f.form->isModified());
        QCOMPARE(f.screen->pointers, (QList<int>{Screen::Hourglass, Screen::DefaultPointer}));
        // The dialogs are told, so the next one does not open in that folder.
        QCOMPARE(f.services.dialogs->filesUsed, (QList<QPair<QString, bool>>{{path, false}}));

        QFile::setPermissions(f.dir->filePath("lecture"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(entriesOf(f.dir->path()), before);
        QCOMPARE(entriesOf(f.dir->filePath("dossier")), QStringList{"dedans.txt"});
        QCOMPARE(fileBytes(f.dir->filePath("fichier.txt")), QByteArray("ancien contenu\r\n"));
        QCOMPARE(fileBytes(f.dir->filePath("lecture/doc.rtf")), QByteArray("ancien"));
        struct stat st {};
        QCOMPARE(::stat("/dev/full", &st), 0);
        QVERIFY(S_ISCHR(st.st_mode));
    }

    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<bool>("linked"); // a second name: the file is written in place
        // Past the write buffer the write itself fails; below it the failure shows
        // when the file is closed.
        QTest::newRow("fails while writing") << "200000" << false;
        QTest::newRow("fails on close") << "10000" << false;
        QTest::newRow("written in place") << "200000" << true;
    }
    void fullDiskKeepsTheOldFile()
    {
        QFETCH(QString, size);
        QFETCH(bool, linked);
        const QString path = f.dir->filePath("plein.rtf");
        QVERIFY(writeBytes(path, "version d'hier\r\n"));
        if (linked)
            QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(f.dir->filePath("lien.rtf")).constData()), 0);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--save-under-size-limit", path, size});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        const QStringList messages = lines.filter(QRegularExpression("^message\t"));
        QCOMPARE(messages.size(), 1);
        const QStringList parts = messages.first().split('\t');
        QCOMPARE(parts.value(1), QStringLiteral("48"));
        QCOMPARE(parts.value(2), QStringLiteral("Orvo"));
        QVERIFY2(parts.value(3).contains(qt_error_string(EFBIG), Qt::CaseInsensitive), qPrintable(parts.value(3)));
        QVERIFY(lines.contains("caption\tOrvo..."));
        QVERIFY(lines.contains("modified\t1"));
        QVERIFY(lines.contains("pointers\t11,0"));
        QCOMPARE(fileBytes(path), QByteArray("version d'hier\r\n"));
        const QStringList names = linked ? QStringList{"lien.rtf", "plein.rtf"} : QStringList{"plein.rtf"};
        QCOMPARE(entriesOf(f.dir->path()), names);
        if (linked)
            QCOMPARE(fileBytes(f.dir->filePath("lien.rtf")), QByteArray("version d'hier\r\n"));
    }

    // Every step runs whatever failed before it, and the message tells the most
    // recent failure.
    void mostRecentFailureIsTold_data()
    {
        QTest::addColumn<int>("failingSteps"); // 1 open, 2 write, 4 close
        QTest::addColumn<QString>("told");
        QTest::newRow("open") << 1 << "ouverture";
        QTest::newRow("write") << 2 << "écriture";
        QTest::newRow("close") << 4 << "fermeture";
        QTest::newRow("open and write") << 3 << "écriture";
        QTest::newRow("all") << 7 << "fermeture";
    }
    void mostRecentFailureIsTold()
    {
        QFETCH(int, failingSteps);
        QFETCH(QString, told);
        ScriptedFile::calls.clear();
        ScriptedFile::openResult = failingSteps & 1 ? Failure{76, "ouverture"} : Failure{};
        ScriptedFile::writeResult = failingSteps & 2 ? Failure{61, QString::fromUtf8("écriture")} : Failure{};
        ScriptedFile::closeResult = failingSteps & 4 ? Failure{57, "fermeture"} : Failure{};
        Services::installTextFileFactory(&newFailingTextFile);
        f.type("x");
        f.answerFileDialog(f.dir->filePath("x.rtf"));
        f.click("Image7");
        QCOMPARE(ScriptedFile::calls, (QStringList{"open", "write", "close"}));
        QCOMPARE(f.services.messages->shown.size(), 1);
        QCOMPARE(f.services.messages->shown.first().text, told);
        QCOMPARE(f.screen->pointers, (QList<int>{Screen::Hourglass, Screen::DefaultPointer}));
        QCOMPARE(f.form->caption(), QStringLiteral("Orvo..."));
    }

private:
    DocumentFixture f;
};

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--save-under-size-limit") == 0) {
        QApplication app(argc, argv);
        return saveUnderSizeLimit(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toLongLong(), 4096);
    }
    QApplication app(argc, argv);
    TestSaveDocument test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_savedocument.moc"
