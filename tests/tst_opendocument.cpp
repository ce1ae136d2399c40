// The open command through its image and the editor's load: what the dialog is
// asked, which files load and how, and that a failed load leaves the document as
// it was.
#include "documentfixture.h"

#include "platform/documentloader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>
#include <QLineEdit>
#include <QTextStream>

#include <sys/resource.h>
#include <sys/stat.h>
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
        // No file was chosen: the dialogs are told of none.
        QVERIFY(f.services.dialogs->filesUsed.isEmpty());
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
        QCOMPARE(f.services.dialogs->filesUsed, (QList<QPair<QString, bool>>{{path, true}}));
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
        QTest::newRow("UTF-16 little-endian without a mark") << QByteArray("\xE9\x00t\x00\x3D\xD8\x00\xDE\r\x00\n\x00", 12)
                                                            << QString::fromUtf8("ét😀");
        QTest::newRow("UTF-16 big-endian without a mark") << QByteArray("\x00\xE9\x00t\x00 \x04\x16", 8) << QString::fromUtf8("ét Ж");
        QTest::newRow("UTF-8 with stray bytes") << QByteArray("\xC3\xA9t\xC3\xA9, caf\xE9 \x80") << QString::fromUtf8("été, café €");
        QTest::newRow("UTF-8 cut short") << QByteArray("\xC3\xA9t\xC3\xA9 \xE2\x82") << QString::fromUtf8("été â‚");
        QTest::newRow("overlong UTF-8") << QByteArray("\xC3\xA9 \xC0\xAF") << QString::fromUtf8("é À¯");
        QTest::newRow("Windows-1252 where one pair looks like UTF-8")
            << QByteArray("Fu\xDF\x93 \xE4\xF6\xFC \xC4\xD6\xDC \xE9\xE8\xE0") << QString::fromUtf8("Fuß“ äöü ÄÖÜ éèà");
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

    // Open and save again: the characters stay, and the only bytes that change are
    // the invalid ones, each now its Windows-1252 character in UTF-8.
    void strayBytesAloneChangeOnSave_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("saved");
        const QByteArray text = "Cher ami,\n\xC3\xA0 bient\xC3\xB4t \xE2\x80\x94 \xE6\xBC\xA2\xF0\x9F\x98\x80\n";
        QTest::newRow("stray letter") << text + "caf\xE9" << text + "caf\xC3\xA9\r\n";
        QTest::newRow("stray symbols") << "\x80" + text + "\x93x\x94" << "\xE2\x82\xAC" + text + "\xE2\x80\x9Cx\xE2\x80\x9D\r\n";
        QTest::newRow("sequence cut short") << text + "fin\xE2\x80" << text + "fin\xC3\xA2\xE2\x82\xAC\r\n";
    }
    void strayBytesAloneChangeOnSave()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, saved);
        const QString path = f.dir->filePath("melange.txt");
        QVERIFY(writeBytes(path, bytes));
        f.answerFileDialog(path);
        f.click("Image6");
        f.answerFileDialog(path);
        f.click("Image7");
        QVERIFY(f.services.messages->shown.isEmpty());
        QCOMPARE(fileBytes(path), saved);
    }

    // Pseudo-files report no size and give a little: they load whole.
    void pseudoFileLoads()
    {
        f.answerFileDialog("/proc/self/status");
        f.click("Image6");
        QVERIFY(f.editor()->text().startsWith("Name:"));
        QVERIFY(f.editor()->text().contains("VmPeak:"));
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

    // The block Qt needs in front of a table that opens the document or a cell is no
    // paragraph of the file: it is not in the text, in the offsets of the selection,
    // in what find selects, what is copied or what is saved, and the caret does not
    // stop in it.
    void tableOpeningTheDocumentAddsNoLine()
    {
        const QString path = f.dir->filePath("tableau.rtf");
        QVERIFY(writeBytes(path, "{\\rtf1\\trowd\\cellx3000\\cellx6000 A1\\cell\\pard\\intbl\\itap2 n1\\nestcell"
                                 "{\\*\\nesttableprops\\trowd\\cellx5000\\nestrow}\\pard\\intbl B1\\cell\\row\\pard after\\par}"));
        f.answerFileDialog(path);
        f.click("Image6");
        RichTextBox *editor = f.editor();
        QCOMPARE(editor->text(), QStringLiteral("A1\nn1\nB1\nafter"));
        QCOMPARE(editor->selStart(), 0);
        QVERIFY(editor->textCursor().currentTable()); // in the first cell, not in front of the table
        editor->setFocus();
        QTest::keyClick(editor, Qt::Key_Left);
        QCOMPARE(editor->textCursor().position(), 1);
        QTest::keyClick(editor, Qt::Key_End);
        QTest::keyClick(editor, Qt::Key_Right); // over the nested table's own block, into its cell
        QCOMPARE(editor->selStart(), 3);
        QCOMPARE(editor->textCursor().block().text(), QStringLiteral("n1"));
        QTest::keyClick(editor, Qt::Key_Left);
        QCOMPARE(editor->selStart(), 2);
        QCOMPARE(editor->textCursor().block().text(), QStringLiteral("A1"));

        for (const auto &[what, start] : {std::pair{"n1", 3}, {"B1", 6}, {"after", 9}}) {
            f.form->Text1->setText(QString::fromLatin1(what));
            f.click("Label9");
            QCOMPARE(editor->selStart(), start);
            QCOMPARE(editor->selText(), QString::fromLatin1(what));
        }
        QVERIFY(f.services.messages->shown.isEmpty());
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        f.click("Image10");
        QCOMPARE(f.services.clipboard->content, QStringLiteral("A1\nn1\nB1\nafter"));

        const QString saved = f.dir->filePath("tableau.txt");
        f.answerFileDialog(saved);
        f.click("Image7");
        QCOMPARE(fileBytes(saved), QByteArray("A1\nn1\nB1\nafter\r\n"));
    }

    // What a file holds shows, and nothing it does not hold: the text the editor
    // gives after the open and what it saves, byte for byte.
    void fileTextKeptWhole_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        const QByteArray shape = "{\\*\\shpinst{\\sp{\\sn shapeType}{\\sv 202}}";
        // A text box stands framed in front of the paragraph that anchors it.
        QTest::newRow("text box") << "{\\rtf1\\pard before\\par\\pard a{\\shp" + shape
                + "{\\shptxt\\pard box {\\b one}\\par\\pard box two\\par}}{\\shprslt{\\*\\do result}}}b\\par\\pard after\\par}"
                                  << "before\nbox one\nbox two\nab\nafter";
        QTest::newRow("text box in a cell")
            << "{\\rtf1\\trowd\\cellx3000\\pard\\intbl a{\\shp" + shape
                + "{\\shptxt\\pard box\\par}}}b\\cell\\row\\pard after\\par}"
            << "box\nab\nafter";
        QTest::newRow("only text boxes") << "{\\rtf1{\\shp" + shape + "{\\shptxt\\pard one\\par}}}{\\shp" + shape
                + "{\\shptxt\\pard two\\par}}}\\par}"
                                         << "one\ntwo\n";
        QTest::newRow("old drawing object")
            << QByteArray("{\\rtf1\\pard a{\\*\\do\\dobxcolumn\\dobypara\\dptxbx{\\dptxbxtext\\pard old box\\par}"
                          "\\dpx0\\dpy0\\dpxsize2000\\dpysize1000}b\\par}")
            << "old box\nab";
        QTest::newRow("positioned frame")
            << QByteArray("{\\rtf1\\pard\\absw2000\\posx100\\phpg\\pvpara framed\\par\\pard body\\par}") << "framed\nbody";
        QTest::newRow("nested field in an instruction")
            << QByteArray("{\\rtf1{\\field{\\*\\fldinst GOTOBUTTON _Toc1 toc1\\tab {\\field{\\*\\fldinst PAGEREF _Toc1}"
                          "{\\fldrslt 3}}}}\\par}")
            << "toc1\t3";
        QTest::newRow("picture without its \\pict")
            << QByteArray("{\\rtf1 a{\\pngblip 89504e470d0a1a0a0000000d4948445200000001}b}") << "a\uFFFCb";
        QTest::newRow("picture data after a damaged header")
            << QByteArray("{\\rtf1 a{\\pict\\pngblip\\picw10\\pich10}89504e470d0a1a0a0000000d49484452000000010000000108060000001f15c489"
                          "\n0000000d49444154789c6360000002000154a24f5d0000000049454e44ae426082 b}")
            << "a b"; // a picture without data shows nothing
        QTest::newRow("fonts named for a script")
            << QByteArray("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial CE;}{\\f1 Arial Cyr;}{\\f2 Arial Greek;}"
                          "{\\f3 Arial Tur;}{\\f4 Arial Baltic;}{\\f5 Arial (Hebrew);}{\\f6 Arial (Arabic);}"
                          "{\\f7 Times New Roman (Vietnamese);}{\\f8 Arial;}}"
                          "\\f0\\'e8\\f1\\'e0\\f2\\'e1\\f3\\'fd\\f4\\'e8\\f5\\'e0\\f6\\'c7\\f7\\'f5\\f8\\'e8}")
            << QString::fromUtf8("čаαıčאاơè");
    }

    void fileTextKeptWhole()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        const QString path = f.dir->filePath("fichier.rtf");
        QVERIFY(writeBytes(path, rtf));
        f.answerFileDialog(path);
        f.click("Image6");
        QCOMPARE(f.editor()->text(), text);
        QVERIFY(f.services.messages->shown.isEmpty());
        const QString saved = f.dir->filePath("fichier.txt");
        f.answerFileDialog(saved);
        f.click("Image7");
        QCOMPARE(fileBytes(saved), (text + QStringLiteral("\r\n")).toUtf8());
    }

    // A file with zero bytes that is no UTF-16 text is no text: it is refused and the
    // document stays (tst_openformats has the other kinds of such files).
    void binaryFileIsRefused()
    {
        QByteArray bytes;
        for (int i = 0; i < 4096; ++i)
            bytes.append(char(i * 7919 % 256));
        bytes.append("FIN");
        const QString path = f.dir->filePath("image.bin");
        QVERIFY(writeBytes(path, bytes));
        givenEditedDocument();
        QSignalSpy changes(f.editor(), &RichTextBox::change);
        f.answerFileDialog(path);
        f.click("Image6");
        QCOMPARE(changes.size(), 0);
        thenDocumentIsUntouched();
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
        QTest::addColumn<QString>("reason"); // part of the description, "" for any
        QTest::newRow("empty name") << "" << "";
        QTest::newRow("file that vanished") << "disparu.rtf" << "";
        QTest::newRow("folder") << "dossier" << "";
        QTest::newRow("device that never ends") << "/dev/zero" << "pas un fichier ordinaire";
        QTest::newRow("FIFO") << "tube" << "pas un fichier ordinaire";
        QTest::newRow("pseudo-file that never ends") << "/proc/self/pagemap" << "plus que sa taille annoncée";
        QTest::newRow("file over the size limit") << "enorme.txt" << "trop volumineux";
        QTest::newRow("unreadable file") << "secret.txt" << "";
    }
    void failedLoadLeavesTheDocument()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        QVERIFY(QDir(f.dir->path()).mkdir("dossier"));
        QVERIFY(writeBytes(f.dir->filePath("secret.txt"), "secret"));
        QCOMPARE(mkfifo(QFile::encodeName(f.dir->filePath("tube")).constData(), 0600), 0);
        {
            QFile huge(f.dir->filePath("enorme.txt")); // sparse: no disk space used
            QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(DocumentLoader::MaxFileBytes + 1));
        }
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
        QVERIFY2(direct.description.contains(reason), qPrintable(direct.description));
        // Through the command: the dialog hands over the name, the load fails.
        f.answerFileDialog(path);
        f.click("Image6");
        QCoreApplication::processEvents();
        thenDocumentIsUntouched();
        QCOMPARE(changes.size(), 0);
        QVERIFY(f.services.messages->shown.isEmpty());
        // The dialogs are told of a file that could not be read, so the next one does
        // not open in its folder.
        const QList<QPair<QString, bool>> told = {{path, false}};
        QCOMPARE(f.services.dialogs->filesUsed, (path.isEmpty() ? QList<QPair<QString, bool>>() : told));
    }

    // Whatever runs out of memory during a load, in the reading, the decoding or the
    // document, fails the load and leaves the document; a small file still loads.
    void memoryRunningOutFailsTheLoad_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("piece"); // repeated to the size
        QTest::addColumn<int>("megabytes");
        QTest::addColumn<bool>("loads");
        QTest::newRow("file larger than the memory") << "zeros.txt" << QByteArray() << 256 << false;
        QTest::newRow("plain text of short lines") << "lignes.txt" << QByteArray("a\n") << 8 << false;
        QTest::newRow("rich text of empty paragraphs") << "par.rtf" << QByteArray("\\par") << 8 << false;
        QTest::newRow("small file") << "petit.txt" << QByteArray("Bonjour\n") << 1 << true;
    }
    void memoryRunningOutFailsTheLoad()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the address sanitizer's shadow memory does not fit under a data limit");
#endif
        QFETCH(QString, name);
        QFETCH(QByteArray, piece);
        QFETCH(int, megabytes);
        QFETCH(bool, loads);
        const QString path = f.dir->filePath(name);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (piece.isEmpty()) {
                QVERIFY(file.resize(qint64(megabytes) << 20)); // sparse: reads as zeros
            } else {
                QByteArray block = name.endsWith(".rtf") ? "{\\rtf1 " : "";
                while (block.size() < (1 << 20))
                    block += piece;
                for (int i = 0; i < megabytes; ++i)
                    QCOMPARE(file.write(block), block.size());
            }
        }
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--open-under-memory-limit", path});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(out.contains(loads ? "loaded\n" : "untouched\n"), qPrintable(out));
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

namespace {

// The child side of the memory cases: an edited document, a data limit a little
// above what the program holds already, then the open command.
int openUnderMemoryLimit(const QString &path)
{
    qint64 dataKb = 0;
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 3;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmData:"))
            dataKb = line.mid(7).trimmed().split(' ').value(0).toLongLong();
    }
    DocumentFixture f;
    f.setUp();
    f.editor()->setText("Premier mot");
    f.form->setModified(false);
    const rlimit data{rlim_t(dataKb + 96 * 1024) * 1024, rlim_t(dataKb + 96 * 1024) * 1024};
    if (dataKb == 0 || setrlimit(RLIMIT_DATA, &data) != 0)
        return 4;
    f.answerFileDialog(path);
    f.click("Image6");
    QTextStream out(stdout);
    if (f.editor()->text() == QStringLiteral("Premier mot") && !f.form->isModified())
        out << "untouched\n";
    else if (f.form->isModified() && !f.editor()->text().isEmpty())
        out << "loaded\n";
    out << "messages\t" << f.services.messages->shown.size() << '\n';
    out.flush();
    // The document that did load must also be given back under the limit.
    f.tearDown();
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--open-under-memory-limit") == 0)
        return openUnderMemoryLimit(QString::fromLocal8Bit(argv[2]));
    TestOpenDocument test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_opendocument.moc"
