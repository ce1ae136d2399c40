// New document and quit through their images and glyph, with the two prompts and
// every answer: what stays in the editor, on disk and in the title, and whether
// the program ends.
#include "document/module2.h"
#include "documentfixture.h"
#include "document/form2.h"
#include "document/form3.h"

#include <QApplication>
#include <QDir>

namespace {

enum class Dialog { None, Confirm, Cancel, FailingPath };

int openPrompts(const char *className)
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += w->inherits(className) && w->isVisible() ? 1 : 0;
    return n;
}

} // namespace

class TestNewQuit final : public QObject
{
    Q_OBJECT

private slots:
    void init() { f.setUp(); }
    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->inherits("PromptForm"))
                delete w;
        }
        f.tearDown();
    }

    void flagStartsClearAndTheTitleIsTheCaption()
    {
        QVERIFY(!f.form->isModified());
        QVERIFY(!f.form->control("Command1").isVisible());
        QCOMPARE(f.form->caption(), QStringLiteral("Orvo..."));
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Orvo..."));
        f.type("a");
        QVERIFY(f.form->isModified());
        QVERIFY(!f.form->control("Command1").isVisible());
    }

    void newOnAnUnchangedDocumentEmptiesIt()
    {
        f.editor()->setText("reste d'avant");
        f.form->setModified(false);
        f.click("Image9");
        QCoreApplication::processEvents();
        QCOMPARE(f.editor()->text(), QString());
        QVERIFY(!f.form->isModified());
        QCOMPARE(openPrompts("Form2"), 0);
        QCOMPARE(f.form->caption(), QStringLiteral("Orvo..."));
    }

    void newAfterTypingAsksOnceAndKeepsTheText()
    {
        f.type("brouillon");
        f.click("Image9");
        Form2 *prompt = Form2::current();
        QVERIFY(prompt);
        QVERIFY(QTest::qWaitForWindowExposed(prompt));
        QCOMPARE(prompt->caption(), QStringLiteral("Form2"));
        QCOMPARE(f.editor()->text(), QStringLiteral("brouillon"));
        QVERIFY(f.form->isModified());
        f.click("Image9");
        QCOMPARE(Form2::current(), prompt);
        QCOMPARE(openPrompts("Form2"), 1);
        QVERIFY(!prompt->isModal());
    }

    void newPromptAnswers_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("dialog");
        QTest::addColumn<bool>("emptied");
        QTest::addColumn<bool>("written");
        QTest::addColumn<int>("messages");
        QTest::newRow("annuler") << "Label4" << int(Dialog::None) << false << false << 0;
        QTest::newRow("Non") << "Label2" << int(Dialog::None) << true << false << 0;
        QTest::newRow("Non, its cross") << "Image2" << int(Dialog::None) << true << false << 0;
        QTest::newRow("Oui, saved") << "Label3" << int(Dialog::Confirm) << true << true << 0;
        QTest::newRow("Oui, its tick, saved") << "Image3" << int(Dialog::Confirm) << true << true << 0;
        QTest::newRow("Oui, dialog cancelled") << "Label3" << int(Dialog::Cancel) << false << false << 0;
        QTest::newRow("Oui, write failed") << "Label3" << int(Dialog::FailingPath) << false << false << 1;
    }
    void newPromptAnswers()
    {
        QFETCH(QString, answer);
        QFETCH(int, dialog);
        QFETCH(bool, emptied);
        QFETCH(bool, written);
        QFETCH(int, messages);
        f.type("lettre");
        f.click("Image9");
        QPointer<Form2> prompt = Form2::current();
        QVERIFY(prompt);
        QVERIFY(QTest::qWaitForWindowExposed(prompt));
        // The main window stays usable; the answer acts on the text as it is now.
        f.type(" longue");
        const QString path = scriptDialog(Dialog(dialog));

        clickOn(prompt, answer);

        QTRY_VERIFY(!prompt);
        QCOMPARE(f.editor()->text(), emptied ? QString() : QStringLiteral("lettre longue"));
        QCOMPARE(f.form->isModified(), !emptied);
        QCOMPARE(QFile::exists(path), written);
        if (written) {
            QCOMPARE(fileBytes(path), QByteArray("lettre longue\r\n"));
            QCOMPARE(f.form->caption(), path.toUpper());
        } else {
            QCOMPARE(f.form->caption(), QStringLiteral("Orvo..."));
        }
        QCOMPARE(f.services.messages->shown.size(), messages);
        QCOMPARE(f.services.application->ends, 0);
        // Asking again starts from a fresh prompt, if there is still something to ask.
        f.click("Image9");
        QCOMPARE(openPrompts("Form2"), emptied ? 0 : 1);
    }

    void closeGlyphOnAnUnchangedDocumentEnds()
    {
        f.click("Label5");
        QCOMPARE(f.services.application->ends, 1);
        QCOMPARE(openPrompts("Form3"), 0);
    }

    void closeGlyphAsksAfterOpenAndAfterSave()
    {
        const QString path = f.dir->filePath("ouvert.txt");
        QVERIFY(writeBytes(path, "du disque\r\n"));
        f.answerFileDialog(path);
        f.click("Image6");
        f.click("Label5");
        QVERIFY(Form3::current());
        QCOMPARE(f.services.application->ends, 0);
        clickOn(Form3::current(), "Label4");
        QTRY_COMPARE(openPrompts("Form3"), 0);

        f.answerFileDialog(f.dir->filePath("copie.txt"));
        f.click("Image7");
        QCOMPARE(fileBytes(f.dir->filePath("copie.txt")), QByteArray("du disque\r\n"));
        f.click("Label5");
        QCOMPARE(openPrompts("Form3"), 1);
        f.click("Label5");
        QCOMPARE(openPrompts("Form3"), 1);
        QCOMPARE(f.services.application->ends, 0);
    }

    void quitPromptAnswers_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("dialog");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<bool>("written");
        QTest::addColumn<int>("messages");
        QTest::newRow("annuler") << "Label4" << int(Dialog::None) << false << false << 0;
        QTest::newRow("Non") << "Label2" << int(Dialog::None) << true << false << 0;
        QTest::newRow("Non, its cross") << "Image2" << int(Dialog::None) << true << false << 0;
        QTest::newRow("Oui, saved") << "Label3" << int(Dialog::Confirm) << true << true << 0;
        QTest::newRow("Oui, its tick, saved") << "Image3" << int(Dialog::Confirm) << true << true << 0;
        QTest::newRow("Oui, dialog cancelled") << "Label3" << int(Dialog::Cancel) << false << false << 0;
        QTest::newRow("Oui, write failed") << "Label3" << int(Dialog::FailingPath) << false << false << 1;
    }
    void quitPromptAnswers()
    {
        QFETCH(QString, answer);
        QFETCH(int, dialog);
        QFETCH(bool, ends);
        QFETCH(bool, written);
        QFETCH(int, messages);
        f.type("note");
        f.click("Label5");
        QPointer<Form3> prompt = Form3::current();
        QVERIFY(prompt);
        QVERIFY(QTest::qWaitForWindowExposed(prompt));
        QCOMPARE(prompt->caption(), QStringLiteral("Form3"));
        f.type(" finale");
        const QString path = scriptDialog(Dialog(dialog));

        clickOn(prompt, answer);

        QCOMPARE(f.services.application->ends, ends ? 1 : 0);
        QCOMPARE(QFile::exists(path), written);
        if (written)
            QCOMPARE(fileBytes(path), QByteArray("note finale\r\n"));
        QCOMPARE(f.services.messages->shown.size(), messages);
        if (ends) {
            // Once ended, nothing asks again: not even the window manager's close.
            QVERIFY(f.form->close());
            QCOMPARE(openPrompts("Form3"), prompt ? 1 : 0);
            return;
        }
        QTRY_VERIFY(!prompt);
        QCOMPARE(f.editor()->text(), QStringLiteral("note finale"));
        QVERIFY(f.form->isModified());
        QVERIFY(f.form->isVisible());
        f.click("Label5");
        QCOMPARE(openPrompts("Form3"), 1);
    }

    void windowManagerCloseTakesTheGlyphsPath()
    {
        f.type("non enregistre");
        QVERIFY(!f.form->close());
        QVERIFY(f.form->isVisible());
        QVERIFY(Form3::current());
        QCOMPARE(f.services.application->ends, 0);
        QVERIFY(!f.form->close());
        QCOMPARE(openPrompts("Form3"), 1);
        QCOMPARE(f.editor()->text(), QStringLiteral("non enregistre"));

        clickOn(Form3::current(), "Label4");
        f.click("Image9");
        clickOn(Form2::current(), "Label2");
        QVERIFY(!f.form->isModified());
        QVERIFY(f.form->close());
        QCOMPARE(f.services.application->ends, 1);
    }

private:
    QString scriptDialog(Dialog dialog)
    {
        switch (dialog) {
        case Dialog::None:
            return f.dir->filePath("jamais.rtf");
        case Dialog::Cancel:
            f.cancelFileDialog();
            return f.dir->filePath("jamais.rtf");
        case Dialog::FailingPath:
            f.answerFileDialog(f.dir->filePath("absent/doc.rtf"));
            return f.dir->filePath("absent/doc.rtf");
        case Dialog::Confirm:
            break;
        }
        f.answerFileDialog(f.dir->filePath("sauve.rtf"));
        return f.dir->filePath("sauve.rtf");
    }

    static void clickOn(FormWindow *prompt, const QString &name)
    {
        QVERIFY(prompt);
        QTest::mouseClick(prompt, Qt::LeftButton, {}, prompt->control(name.toLatin1().constData()).boxPixels().center());
    }

    DocumentFixture f;
};

QTEST_MAIN(TestNewQuit)
#include "tst_newquit.moc"
