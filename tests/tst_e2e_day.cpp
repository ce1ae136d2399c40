// A whole day of a user with the built program on a real X server, through the
// real pointer, keyboard and dialogs: type, make a word bold, save, open the file
// back, start a new document through its prompt, quit through its prompt (cancel,
// "Oui" into a cancelled dialog, "Non"), then the window manager's close with
// unsaved text and a last quit that saves. At each step what the X server shows
// and what the disk holds are checked.
#include "xdo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Places in the windows, in pixels at 96 dpi: the middle of each control's box.
constexpr QPoint newImage{157, 46};   // Image9: 2280,600,165,195
constexpr QPoint openImage{184, 48};  // Image6: 2640,600,240,240
constexpr QPoint saveImage{208, 48};  // Image7: 3000,600,240,240
constexpr QPoint boldToggle{380, 58}; // Image12: 5640,810,135,135
constexpr QPoint boldLamp{380, 44};   // Shape6: 5640,600,135,135
constexpr QPoint closeGlyph{624, 8};  // Label5: 9240,0,255,255
constexpr QPoint answerYes{172, 72};  // Label3 of a prompt: 2400,960,375,255
constexpr QPoint answerNo{252, 72};   // Label2: 3600,960,375,255
constexpr QPoint answerCancel{216, 88}; // Label4: 2760,1200,975,255

const QString lampOn = QStringLiteral("#FFE0C0");
const QString lampOff = QStringLiteral("#DCF1F8");

} // namespace

class TestEndToEndDay final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
    }
    void cleanup()
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }

    void aWholeDay()
    {
        startProgram();
        const QString journal = dir.filePath("journee.rtf");

        // Type, and make the first word bold with the toggle: the bold lamp lights.
        Xdo::type("Bonjour le monde");
        Xdo::key("ctrl+Home");
        Xdo::key("ctrl+shift+Right");
        click(main, boldToggle);
        QTRY_COMPARE_WITH_TIMEOUT(Xdo::pixelAt(main, boldLamp.x(), boldLamp.y()), lampOn, 10000);
        QCOMPARE(files(), QStringList());

        // Save through the real dialog: the characters on disk, the path as the name.
        saveThroughDialog(journal);
        QTRY_COMPARE_WITH_TIMEOUT(bytes(journal), QByteArray("Bonjour le monde\r\n"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(Xdo::windowName(main), journal.toUpper(), 10000);

        // Open it back over other text: the plain characters return, without the
        // bold, and the name stays.
        Xdo::key("ctrl+a");
        Xdo::type("provisoire");
        click(main, openImage);
        waitForDialog(main);
        Xdo::type(journal);
        Xdo::key("Return");
        QTRY_COMPARE_WITH_TIMEOUT(Xdo::activeWindow(), main, 20000);
        Xdo::key("ctrl+Home");
        Xdo::key("ctrl+shift+Right");
        QTRY_COMPARE_WITH_TIMEOUT(Xdo::pixelAt(main, boldLamp.x(), boldLamp.y()), lampOff, 10000);
        QCOMPARE(Xdo::windowName(main), journal.toUpper());
        saveThroughDialog(dir.filePath("relu.txt"));
        QTRY_COMPARE_WITH_TIMEOUT(bytes(dir.filePath("relu.txt")), QByteArray("Bonjour le monde\r\n"), 20000);

        // New: the loaded text counts as changed, so the prompt asks; "Non" starts
        // an empty document.
        click(main, newImage);
        QString prompt = waitForWindow("^Form2$");
        click(prompt, answerNo);
        QTRY_VERIFY_WITH_TIMEOUT(Xdo::findWindow("^Form2$").isEmpty(), 10000);
        saveThroughDialog(dir.filePath("vide.txt"));
        QTRY_COMPARE_WITH_TIMEOUT(bytes(dir.filePath("vide.txt")), QByteArray("\r\n"), 20000);
        QCOMPARE(bytes(journal), QByteArray("Bonjour le monde\r\n"));

        // Quit with the prompt: "annuler" keeps working.
        QVERIFY(Xdo::activateAndWait(main));
        Xdo::type("Suite du jour");
        click(main, closeGlyph);
        prompt = waitForWindow("^Form3$");
        click(prompt, answerCancel);
        QTRY_VERIFY_WITH_TIMEOUT(Xdo::findWindow("^Form3$").isEmpty(), 10000);
        QCOMPARE(program.state(), QProcess::Running);

        // "Oui" into a cancelled dialog: the program stays, nothing is written.
        const QStringList before = files();
        click(main, closeGlyph);
        prompt = waitForWindow("^Form3$");
        click(prompt, answerYes);
        const QString dialog = waitForDialog(prompt);
        Xdo::key("Escape");
        QTRY_VERIFY_WITH_TIMEOUT(Xdo::findWindow("^Form3$").isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(Xdo::activeWindow() != dialog, 10000);
        QCOMPARE(program.state(), QProcess::Running);
        QCOMPARE(files(), before);

        // "Non": the program ends, nothing more on disk.
        click(main, closeGlyph);
        prompt = waitForWindow("^Form3$");
        click(prompt, answerNo);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(files(), before);

        // Next session: the window manager's close with unsaved text asks too.
        startProgram();
        Xdo::type("Brouillon du soir");
        Xdo::key("alt+F4");
        prompt = waitForWindow("^Form3$");
        QCOMPARE(program.state(), QProcess::Running);
        QVERIFY(!Xdo::findWindow("^Orvo\\.\\.\\.$").isEmpty());

        // The last quit saves and ends.
        const QString evening = dir.filePath("soir.rtf");
        click(prompt, answerYes);
        waitForDialog(prompt);
        Xdo::type(evening);
        Xdo::key("Return");
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(bytes(evening), QByteArray("Brouillon du soir\r\n"));
    }

private:
    void startProgram()
    {
        program.setWorkingDirectory(dir.path());
        program.setProcessEnvironment(Xdo::privateEnvironment(dir.filePath("home")));
        program.start(QStringLiteral(ORVO_BINARY), {});
        QVERIFY(program.waitForStarted());
        main = waitForWindow("^Orvo\\.\\.\\.$");
        QVERIFY(Xdo::activateAndWait(main));
    }

    QString waitForWindow(const QString &name)
    {
        QString window;
        [&] { QTRY_VERIFY_WITH_TIMEOUT(!(window = Xdo::findWindow(name)).isEmpty(), 20000); }();
        return window;
    }

    // A modal dialog over the window: it takes the keyboard, its name field first.
    QString waitForDialog(const QString &over)
    {
        QString dialog;
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(!(dialog = Xdo::activeWindow()).isEmpty() && dialog != over && dialog != main,
                                     20000);
        }();
        return dialog;
    }

    void saveThroughDialog(const QString &path)
    {
        click(main, saveImage);
        waitForDialog(main);
        Xdo::type(path);
        Xdo::key("Return");
        QTRY_COMPARE_WITH_TIMEOUT(Xdo::activeWindow(), main, 20000);
    }

    static void click(const QString &window, QPoint at) { Xdo::clickAt(window, at.x(), at.y()); }

    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    static QByteArray bytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QProcess program;
    QString main;
};

QTEST_GUILESS_MAIN(TestEndToEndDay)
#include "tst_e2e_day.moc"
