// The open command with files of every kind, named as anything: Word and
// OpenDocument files open by their content, and whatever is neither text nor a
// document this editor reads (pictures, PDF, archives, old binary Word files) is
// refused, the document on screen staying as it was, so nothing is ever shown as
// garbage nor saved over the file it came from.
#include "documentfixture.h"
#include "zipmaker.h"

#include "platform/documentloader.h"

#include <QBuffer>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>

namespace {

QByteArray pictureBytes(const char *format)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A small PDF as producers write them: a text header, a comment of high bytes that
// marks it binary, and objects whose streams hold no zero byte.
QByteArray pdfBytes()
{
    return "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
           "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\ntrailer\n<< /Root 1 0 R >>\n%%EOF\n";
}

// The header of a compound file, as old binary Word documents start.
QByteArray oleBytes()
{
    QByteArray bytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    bytes += QByteArray(504, '\0');
    bytes += "Microsoft Word-Dokument Bonjour";
    return bytes;
}

QByteArray spreadsheet()
{
    return makeZip({{"[Content_Types].xml",
                     "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                     "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
                     "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>"},
                    {"xl/workbook.xml", "<workbook/>"}});
}

QByteArray wordDocument()
{
    return makeDocx("<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Bonjour</w:t></w:r><w:r><w:t xml:space=\"preserve\"> le monde</w:t></w:r></w:p>"
                    "<w:p><w:r><w:t>Fin</w:t></w:r></w:p>");
}

} // namespace

class TestOpenFormats final : public QObject
{
    Q_OBJECT

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void notADocumentIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QByteArray noise;
        for (int i = 0; i < 4096; ++i)
            noise.append(char(i * 7919 % 256));
        noise.append("FIN");
        QByteArray controls;
        for (int i = 0; i < 2048; ++i)
            controls.append(char(1 + i % 8));
        const QByteArray docx = wordDocument();
        QTest::newRow("PNG picture") << "photo.png" << pictureBytes("PNG");
        QTest::newRow("JPEG picture named as text") << "photo.txt" << pictureBytes("JPEG");
        QTest::newRow("BMP picture") << "image.bmp" << pictureBytes("BMP");
        QTest::newRow("PDF") << "facture.pdf" << pdfBytes();
        QTest::newRow("old binary Word document") << "lettre.doc" << oleBytes();
        QTest::newRow("zip of text files") << "archive.zip" << makeZip({{"lisezmoi.txt", "Bonjour"}});
        QTest::newRow("empty zip") << "vide.zip" << QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0');
        QTest::newRow("spreadsheet") << "comptes.xlsx" << spreadsheet();
        QTest::newRow("gzip") << "notes.txt.gz" << QByteArray("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03", 10);
        QTest::newRow("zeros on both sides are not UTF-16") << "texte" << QByteArray("a\0\0b", 4);
        QTest::newRow("binary bytes") << "image.bin" << noise;
        QTest::newRow("control characters without zeros") << "donnees.dat" << controls;
        QTest::newRow("Word document cut in half") << "coupe.docx" << docx.left(docx.size() / 2);
        QTest::newRow("Word package without its document")
            << "sans.docx" << makeZip({{"[Content_Types].xml", "<Types><Override PartName=\"/word/document.xml\" ContentType=\""
                                                               "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>"}});
    }
    void notADocumentIsRefused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = f.dir->filePath(name);
        QVERIFY(writeBytes(path, bytes));
        givenEditedDocument();
        QSignalSpy changes(f.editor(), &RichTextBox::change);
        const Failure direct = f.editor()->loadFile(path);
        QCOMPARE(direct.number, FailureNumber::InvalidFormat);
        QVERIFY(!direct.description.isEmpty());
        f.answerFileDialog(path);
        f.click("Image6");
        QCoreApplication::processEvents();
        thenDocumentIsUntouched();
        QCOMPARE(changes.size(), 0);
        QVERIFY(f.services.messages->shown.isEmpty());
        QCOMPARE(f.form->windowTitle(), QStringLiteral("/TMP/TITRE.RTF"));
        QCOMPARE(fileBytes(path), bytes);
    }

    // Word and OpenDocument files open by what they hold, whatever their name says.
    void documentOpensByItsContent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Word document") << "lettre.docx" << wordDocument();
        QTest::newRow("Word document named as text") << "lettre.txt" << wordDocument();
        QTest::newRow("Word document without a name's suffix") << "lettre" << wordDocument();
    }
    void documentOpensByItsContent()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = f.dir->filePath(name);
        QVERIFY(writeBytes(path, bytes));
        f.editor()->setText("avant");
        f.answerFileDialog(path);
        f.click("Image6");
        QCOMPARE(f.editor()->text(), QStringLiteral("Bonjour le monde\nFin"));
        f.editor()->setSelStart(0);
        f.editor()->setSelLength(7);
        QCOMPARE(f.editor()->selBold(), TriState::True);
        f.editor()->setSelStart(8);
        f.editor()->setSelLength(5);
        QCOMPARE(f.editor()->selBold(), TriState::False);
    }

    // UTF-16 text keeps opening although it has zero bytes.
    void utf16TextStillOpens()
    {
        const QString path = f.dir->filePath("unicode.txt");
        QVERIFY(writeBytes(path, QByteArray("B\0o\0n\0j\0o\0u\0r\0", 14)));
        f.answerFileDialog(path);
        f.click("Image6");
        QCOMPARE(f.editor()->text(), QStringLiteral("Bonjour"));
    }

    // A dropped Word or OpenDocument file goes in at the drop point, formatting and
    // all, as a dropped RTF file does; one undo takes it back.
    void droppedDocumentGoesInAtTheDropPoint_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Word") << "lettre.docx"
                              << makeDocx("<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Salut</w:t></w:r><w:r><w:t xml:space=\"preserve\"> tous </w:t></w:r></w:p>");
        QTest::newRow("OpenDocument")
            << "lettre.odt"
            << makeOdt("<text:p><text:span text:style-name=\"T1\">Salut</text:span> tous </text:p>",
                       "<style:style style:name=\"T1\" style:family=\"text\"><style:text-properties fo:font-weight=\"bold\"/></style:style>");
    }
    void droppedDocumentGoesInAtTheDropPoint()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = f.dir->filePath(name);
        QVERIFY(writeBytes(path, bytes));
        f.type(QStringLiteral("Bonjour le monde !"));
        f.form->setModified(false);
        f.editor()->document()->clearUndoRedoStacks();
        auto data = std::make_unique<QMimeData>();
        data->setUrls({QUrl::fromLocalFile(path)});
        QTextCursor cursor(f.editor()->document());
        cursor.setPosition(8);
        const QPoint at = f.editor()->cursorRect(cursor).center() + QPoint(1, 0);
        QWidget *viewport = f.editor()->viewport();
        QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QVERIFY(move.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QCoreApplication::processEvents();
        QCOMPARE(f.editor()->text(), QStringLiteral("Bonjour Salut tous le monde !"));
        f.editor()->setSelStart(8);
        f.editor()->setSelLength(5);
        QCOMPARE(f.editor()->selBold(), TriState::True);
        QVERIFY(f.form->isModified());
        f.editor()->document()->undo();
        QCOMPARE(f.editor()->text(), QStringLiteral("Bonjour le monde !"));
    }

private:
    DocumentFixture f;

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
        QVERIFY(!f.form->isModified());
    }
};

QTEST_MAIN(TestOpenFormats)
#include "tst_openformats.moc"
