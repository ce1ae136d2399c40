// Saving over an existing file through the save command: the new text arrives, and
// the file stays what it was (owner, group, mode, other names, the link pointing to
// it), whoever saves it. Cases that need a saver other than root run the save in a
// child process that has become another user.
#include "documentfixture.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTextStream>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t OtherUser = 65534; // nobody: a saver that is not root
const QByteArray OldText = "ancien texte, plus long que le nouveau\r\n";
const QString NewText = QStringLiteral("nouveau texte");

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

struct stat statOf(const QString &path)
{
    struct stat st {};
    ::stat(native(path).constData(), &st);
    return st;
}

// Types the new text and saves it to path through the save command; prints the
// messages shown.
void saveThroughTheCommand(const QString &path, QTextStream &out)
{
    DocumentFixture f;
    f.setUp();
    f.type(NewText);
    f.answerFileDialog(path);
    f.click("Image7");
    for (const ShownMessage &m : f.services.messages->shown)
        out << "message\t" << m.text << '\n';
    f.tearDown();
}

} // namespace

class TestSaveIdentity final : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); }

    void keepsWhatTheFileWas_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("otherSaver"); // when the tests run as root
        QTest::newRow("plain file") << "plain" << false;
        QTest::newRow("file with a second name") << "linked" << false;
        QTest::newRow("set-user and set-group bits") << "setid" << false;
        QTest::newRow("another user's file saved by root") << "foreign" << false;
        QTest::newRow("writable file in a folder the saver cannot write") << "locked folder" << true;
        QTest::newRow("someone else's writable file") << "shared" << true;
        QTest::newRow("symbolic link to the file") << "symlink" << false;
    }
    void keepsWhatTheFileWas()
    {
        QFETCH(QString, kind);
        QFETCH(bool, otherSaver);
        const bool root = geteuid() == 0;
        if ((kind == "foreign" || kind == "shared") && !root)
            QSKIP("only root can give a file to another user");

        const QString folder = dir.filePath("dossier");
        QVERIFY(QDir().mkdir(folder));
        const QString file = folder + "/doc.txt";
        QVERIFY(writeBytes(file, OldText));
        QString path = file; // what the saver names
        if (kind == "linked")
            QCOMPARE(::link(native(file).constData(), native(folder + "/autre-nom.txt").constData()), 0);
        if (kind == "setid")
            QCOMPARE(::chmod(native(file).constData(), 06755), 0);
        if (kind == "foreign")
            QCOMPARE(::chown(native(file).constData(), 12345, 12345), 0);
        if (kind == "symlink") {
            path = dir.filePath("lien.txt");
            QCOMPARE(::symlink("dossier/doc.txt", native(path).constData()), 0);
        }
        if (kind == "shared" || (kind == "locked folder" && root)) {
            // A file root owns and anyone may write; the saver may (shared) or may
            // not (locked) write the folder.
            QCOMPARE(::chmod(native(file).constData(), 0666), 0);
            QCOMPARE(::chmod(native(folder).constData(), kind == "shared" ? 0777 : 0755), 0);
            QCOMPARE(::chmod(native(dir.path()).constData(), 0755), 0);
        } else if (kind == "locked folder") {
            QCOMPARE(::chmod(native(folder).constData(), 0555), 0);
        }
        const struct stat before = statOf(file);
        const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

        QString out;
        if (otherSaver && root) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--save-as-other-user", path});
            QVERIFY(child.waitForFinished(30000));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);
            out = QString::fromUtf8(child.readAllStandardOutput());
        } else {
            QTextStream stream(&out);
            saveThroughTheCommand(path, stream);
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QVERIFY2(!out.contains("message"), qPrintable(out));
        const QByteArray saved = NewText.toUtf8() + "\r\n";
        QCOMPARE(fileBytes(file), saved);
        const struct stat after = statOf(file);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_nlink, before.st_nlink);
        if (kind == "linked")
            QCOMPARE(fileBytes(folder + "/autre-nom.txt"), saved);
        if (kind == "symlink") {
            struct stat link {};
            QCOMPARE(::lstat(native(path).constData(), &link), 0);
            QVERIFY(S_ISLNK(link.st_mode));
            QCOMPARE(QFile::symLinkTarget(path), file);
        }
        // No temporary file left behind.
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), entries);
    }

    void cleanup()
    {
        QFile::setPermissions(dir.filePath("dossier"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir(dir.filePath("dossier")).removeRecursively();
        QFile::remove(dir.filePath("lien.txt"));
    }

private:
    QTemporaryDir dir;
};

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--save-as-other-user") == 0) {
        // Groups first: once the user is dropped they can no longer be changed.
        if (setgroups(0, nullptr) != 0 || setgid(OtherUser) != 0 || setuid(OtherUser) != 0)
            return 3;
        qputenv("XDG_RUNTIME_DIR", QByteArray());
        QApplication app(argc, argv);
        QTextStream out(stdout);
        saveThroughTheCommand(QString::fromLocal8Bit(argv[2]), out);
        return 0;
    }
    QApplication app(argc, argv);
    TestSaveIdentity test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_saveidentity.moc"
