// The built program on a real X server: type, click the save image, name the file
// in the real save dialog, and find the bytes on disk and the path in capitals as
// the window's name. The desktop's locale is C; the dialogs speak French anyway.
#include "xdo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestEndToEndSave final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }

    void savesThroughTheRealDialog()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        program.setWorkingDirectory(dir.path());
        program.setProcessEnvironment(Xdo::privateEnvironment(dir.filePath("home")));
        program.start(QStringLiteral(ORVO_BINARY), {});
        QVERIFY(program.waitForStarted());
        QString window;
        QTRY_VERIFY_WITH_TIMEOUT(!(window = Xdo::findWindow("^Orvo\\.\\.\\.$")).isEmpty(), 20000);
        QVERIFY(Xdo::activateAndWait(window));

        Xdo::type("Bonjour le monde");
        // Image7: box 3000,600,240,240 twips, its middle at 96 dpi.
        Xdo::clickAt(window, 208, 48);
        QString dialog;
        QTRY_VERIFY_WITH_TIMEOUT(!(dialog = Xdo::activeWindow()).isEmpty() && dialog != window, 20000);
        QCOMPARE(Xdo::windowName(dialog), QStringLiteral("Enregistrer sous"));

        const QString path = dir.filePath("notes/lettre.rtf");
        QVERIFY(QDir(dir.path()).mkdir("notes"));
        Xdo::type(path); // the name field has the focus
        Xdo::key("Return");

        QTRY_COMPARE_WITH_TIMEOUT(readAll(path), QByteArray("Bonjour le monde\r\n"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(Xdo::windowName(window), path.toUpper(), 10000);

        // Saving again over it: the dialog asks before replacing the file.
        QVERIFY(Xdo::activateAndWait(window));
        Xdo::key("ctrl+a");
        Xdo::type("Au revoir");
        Xdo::clickAt(window, 208, 48);
        QTRY_VERIFY_WITH_TIMEOUT(!(dialog = Xdo::activeWindow()).isEmpty() && dialog != window, 20000);
        Xdo::type(path);
        Xdo::key("Return");
        QString question;
        QTRY_VERIFY_WITH_TIMEOUT(!(question = Xdo::activeWindow()).isEmpty() && question != dialog, 20000);
        QCOMPARE(readAll(path), QByteArray("Bonjour le monde\r\n"));
        // "&Oui": the French answer's own access key.
        Xdo::key("alt+o");
        QTRY_COMPARE_WITH_TIMEOUT(readAll(path), QByteArray("Au revoir\r\n"), 20000);
        QCOMPARE(program.state(), QProcess::Running);
    }

private:
    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QProcess program;
};

QTEST_GUILESS_MAIN(TestEndToEndSave)
#include "tst_e2e_save.moc"
