// The open command through its image and the editor's load: what the dialog is
// asked, which files load and how, and that a failed load leaves the document as
// it was.
#include "documentfixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTextCursor>

#include <unistd.h>

class TestOpenDocument final : public QObject
{
    Q_OBJECT

private slots:
    void init() { f.setUp(); }
    void cleanup()
    {
        f.tearDown();
    }

    void asksForAnyNameWithTheOpenFilter()
    {
        f.form->CommonDialog1.setFileName("reste.rtf"); // left over from a save
        f.click("Image6");
        QCOMPARE(f.services.dialogs->fileRequests.size(), 1);
        const FileDialogRequest &request = f.services.dialogs->fileRequests.first();
        QVERIFY(!request.save);
        QCOMPARE(request.fileName, QString());
        QCOMPARE(request.filter, QStringLiteral("Tous les fichiers (*.rtf)|*.rtf|Tous les fichiers(*.*)|*.*"));
        QCOMPARE(request.flags, 0);
    }

    void cancelChangesNothing()
    {
        givenEditedDocument();
        QSignalSpy changes(f.editor(), &RichTextBox::change);
        f.cancelFileDialog();
        f.click("Image6");
        QCoreApplication::processEvents();
        thenDocumentIsUntouched();
        QCOMPARE(changes.size(), 0);
        QVERIFY(f.services.messages->shown.isEmpty());
    }

    void openReplacesTheDocumentKeepsTheTitleAndSetsTheFlag()
    {
        const QString path = f.dir->filePath("lettre.txt");
        QVERIFY(writeBytes(path, "Cher ami,\r\n\r\nà bientôt.\r\n"));
        givenEditedDocument();
        f.form->setCaption("C:/DOCS/AVANT.RTF");
        QSignalSpy changes(f.editor(), &RichTextBox::change);
        f.answerFileDialog(path);
        f.click("Image6");
        QCoreApplication::processEvents();
        QCOMPARE(f.editor()->text(), QString::fromUtf8("Cher ami,\n\nà bientôt."));
        QCOMPARE(changes.size(), 1);
        QVERIFY(f.form->isModified());
        QCOMPARE(f.form->caption(), QStringLiteral("C:/DOCS/AVANT.RTF"));
        QVERIFY(f.services.messages->shown.isEmpty());
        // The old formatting went with the old document.
        QCOMPARE(f.editor()->selectionAttributes().bold, TriState::False);
    }

    // What this editor saves comes back unchanged.
    void savedFileOpensAgainUnchanged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("one line") << "Bonjour";
        QTest::newRow("blank lines and a last line end") << "un\n\ndeux\n";
        QTest::newRow("tabs and leading blanks") << "\tun\n   deux";
        QTest::newRow("beyond Latin-1 and emoji") << QString::fromUtf8("Été — Ωμέγα Жук 漢字 😀👍🏽");
    }
    void savedFileOpensAgainUnchanged()
    {
        QFETCH(QString, text);
        const QString path = f.dir->filePath("aller-retour.rtf");
        f.editor()->setText(text);
        f.answerFileDialog(path);
        f.click("Image7");
        QVERIFY(QFile::exists(path));
        f.editor()->setText("autre chose");
        f.answerFileDialog(path);
        f.click("Image6");
        QCOMPARE(f.editor()->text(), text);
    }

    void plainTextDecodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty file") << QByteArray() << QString();
        QTest::newRow("UTF-8 with a byte-order mark") << QByteArray("\xEF\xBB\xBF\xC3\xA9t\xC3\xA9") << "été";
        QTest::newRow("UTF-16 little-endian") << QByteArray("\xFF\xFE\xE9\x00t\x00\x3D\xD8\x00\xDE\r\x00\n\x00", 14)
                                              << QString::fromUtf8("ét😀");
        QTest::newRow("UTF-16 big-endian") << QByteArray("\xFE\xFF\x00\xE9\x00t", 6) << "ét";
        QTest::newRow("Windows-1252") << QByteArray("caf\xE9 \x93\x63it\xE9\x94 \x80 \x9C") << QString::fromUtf8("café “cité” € œ");
        QTest::newRow("Unix line ends") << QByteArray("a\nb\n") << "a\nb";
        QTest::newRow("old Mac line ends") << QByteArray("a\rb\r") << "a\nb";
    }
    void plainTextDecodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const QString path = f.dir->filePath("texte");
        QVERIFY(writeBytes(path, bytes));
        f.editor()->setText("avant");
        f.answerFileDialog(path);
        f.click("Image6");
        QCOMPARE(f.editor()->text(), text);
        QVERIFY(f.form->isModified());
    }

    void richTextGoesToTheReader()
    {
        const QString path = f.dir->filePath("gras.rtf");
        QVERIFY(writeBytes(path, "{\\rtf1\\ansi\\ansicpg1252 {\\b gras} caf\\'e9}"));
        f.answerFileDialog(path);
        f.click("Image6");
        QCOMPARE(f.editor()->text(), QString::fromUtf8("gras café"));
        f.editor()->setSelStart(0);
        f.editor()->setSelLength(4);
        QCOMPARE(f.editor()->selBold(), TriState::True);
        f.editor()->setSelStart(5);
        f.editor()->setSelLength(4);
        QCOMPARE(f.editor()->selBold(), TriState::False);
    }

    void binaryFileLoadsAsText()
    {
        QByteArray bytes;
        for (int i = 0; i < 4096; ++i)
            bytes.append(char(i * 7919 % 256));
        bytes.append("FIN");
        const QString path = f.dir->filePath("image.bin");
        QVERIFY(writeBytes(path, bytes));
        QSignalSpy changes(f.editor(), &RichTextBox::change);
        f.answerFileDialog(path);
        f.click("Image6");
        QCOMPARE(changes.size(), 1);
        QVERIFY(f.editor()->text().endsWith("FIN"));
        QVERIFY(f.form->isModified());
    }

    void largeFileLoadsWhole()
    {
        const QString path = f.dir->filePath("grand.txt");
        const QByteArray line = QByteArray(78, 'a') + "\r\n";
        const int lines = 50 * 1024 * 1024 / line.size();
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QByteArray block;
            for (int i = 0; i < 1000; ++i)
                block += line;
            for (int i = 0; i < lines / 1000; ++i)
                QCOMPARE(file.write(block), block.size());
        }
        QSignalSpy changes(f.editor(), &RichTextBox::change);
        f.answerFileDialog(path);
        QElapsedTimer clock;
        clock.start();
        f.click("Image6");
        qInfo("50 MB plain text loaded in %lld ms", clock.elapsed());
        QCOMPARE(changes.size(), 1);
        QCOMPARE(f.editor()->document()->blockCount(), lines / 1000 * 1000);
        QCOMPARE(f.editor()->text().size(), qsizetype(lines / 1000 * 1000) * 79 - 1);
    }

    // The load fails with a number and a description, and the document on screen
    // is the one that was there, formatting and all.
    void failedLoadLeavesTheDocument_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("empty name") << "";
        QTest::newRow("file that vanished") << "disparu.rtf";
        QTest::newRow("folder") << "dossier";
        QTest::newRow("device that never ends") << "/dev/zero";
        QTest::newRow("unreadable file") << "secret.txt";
    }
    void failedLoadLeavesTheDocument()
    {
        QFETCH(QString, target);
        QVERIFY(QDir(f.dir->path()).mkdir("dossier"));
        QVERIFY(writeBytes(f.dir->filePath("secret.txt"), "secret"));
        if (target == "secret.txt") {
            if (geteuid() == 0)
                QSKIP("root reads any file");
            QVERIFY(QFile::setPermissions(f.dir->filePath("secret.txt"), {}));
        }
        const QString path = target.isEmpty() || QDir::isAbsolutePath(target) ? target : f.dir->filePath(target);
        givenEditedDocument();
        QSignalSpy changes(f.editor(), &RichTextBox::change);
        const Failure direct = f.editor()->loadFile(path);
        QVERIFY(direct.number != 0);
        QVERIFY(!direct.description.isEmpty());
        // Through the command: the dialog hands over the name, the load fails.
        f.answerFileDialog(path);
        f.click("Image6");
        QCoreApplication::processEvents();
        thenDocumentIsUntouched();
        QCOMPARE(changes.size(), 0);
        QVERIFY(f.services.messages->shown.isEmpty());
    }

private:
    // "Premier mot" with its first word bold, flag cleared, a title of its own.
    void givenEditedDocument()
    {
        f.editor()->setText("Premier mot");
        f.editor()->setSelStart(0);
        f.editor()->setSelLength(7);
        f.editor()->setSelBold(true);
        f.form->setModified(false);
        f.form->setCaption("/TMP/TITRE.RTF");
    }
    void thenDocumentIsUntouched()
    {
        QCOMPARE(f.editor()->text(), QStringLiteral("Premier mot"));
        f.editor()->setSelStart(0);
        f.editor()->setSelLength(7);
        QCOMPARE(f.editor()->selBold(), TriState::True);
        f.editor()->setSelStart(8);
        f.editor()->setSelLength(3);
        QCOMPARE(f.editor()->selBold(), TriState::False);
        QVERIFY(!f.form->isModified());
        QCOMPARE(f.form->caption(), QStringLiteral("/TMP/TITRE.RTF"));
    }

    DocumentFixture f;
};

QTEST_MAIN(TestOpenDocument)
#include "tst_opendocument.moc"
