// Files dropped on the editor, as a file manager drops them: an RTF or text file's
// content goes in at the drop point, read as the open command reads a file, in one
// step that one undo takes back; anything else is refused while it is dragged, so
// the pointer says so, and changes nothing. A drop never replaces the document, never
// moves the file, and dropped text goes in as before.
#include "documentfixture.h"

#include <QBuffer>
#include <QDropEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>

#include <sys/stat.h>

namespace {

// What a file manager puts on a drag of files: their addresses, and the same as
// text.
std::unique_ptr<QMimeData> filesDrag(const QStringList &paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    QStringList text;
    for (const QString &path : paths) {
        urls << QUrl::fromLocalFile(path);
        text << QUrl::fromLocalFile(path).toString();
    }
    data->setUrls(urls);
    data->setText(text.join(QLatin1Char('\n')));
    return data;
}

// An RTF document with a picture of one colour, as a word processor writes it.
QByteArray rtfWithPicture(const QColor &color)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(color);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return "{\\rtf1\\ansi{\\pict\\pngblip\\picw4\\pich4\\picwgoal60\\pichgoal60 " + png.toHex() + "}}";
}

// The colours of the pictures in the document, in order.
QList<QColor> pictureColours(QTextDocument *doc)
{
    QList<QColor> colours;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QVariant image = doc->resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()));
            colours << image.value<QImage>().pixelColor(1, 1);
        }
    }
    return colours;
}

} // namespace

class tst_Drops final : public QObject
{
    Q_OBJECT

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void fileContentGoesInAtTheDropPoint_data();
    void fileContentGoesInAtTheDropPoint();
    void otherDropsAreRefused_data();
    void otherDropsAreRefused();
    void droppedPicturesKeepTheirOwn();
    void textDropsAsBefore();

private:
    // Drags the data over the editor to a point of its text; true when the editor
    // takes it, as a copy.
    bool dragTo(const QMimeData *data, QPoint at);
    // Drops it there; the action the editor took.
    Qt::DropAction dropAt(const QMimeData *data, QPoint at);
    // Where the character at a position is, in the editor's viewport.
    QPoint pointAt(int position) const;
    // "Bonjour le monde !" typed, then the flag cleared and nothing left to undo.
    void givenTypedDocument();

    DocumentFixture f;
};

bool tst_Drops::dragTo(const QMimeData *data, QPoint at)
{
    QWidget *viewport = f.editor()->viewport();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    return enter.isAccepted() && move.isAccepted() && move.dropAction() == Qt::CopyAction;
}

Qt::DropAction tst_Drops::dropAt(const QMimeData *data, QPoint at)
{
    dragTo(data, at);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.editor()->viewport(), &drop);
    QCoreApplication::processEvents();
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

QPoint tst_Drops::pointAt(int position) const
{
    QTextCursor cursor(f.editor()->document());
    cursor.setPosition(position);
    return f.editor()->cursorRect(cursor).center() + QPoint(1, 0);
}

void tst_Drops::givenTypedDocument()
{
    f.type(QStringLiteral("Bonjour le monde !"));
    f.form->setModified(false);
    f.editor()->document()->clearUndoRedoStacks();
}

void tst_Drops::fileContentGoesInAtTheDropPoint_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<bool>("bold"); // the first inserted character
    QTest::newRow("RTF") << "lettre.rtf" << QByteArray("{\\rtf1\\ansi {\\b Salut} \\'e0 tous }") << "Salut à tous "
                         << true;
    QTest::newRow("text, as saving writes it") << "note.txt" << QByteArray("Ligne un\r\nLigne deux \r\n")
                                               << "Ligne un\nLigne deux " << false;
    QTest::newRow("RTF by its content, whatever the name")
        << "brouillon.txt" << QByteArray("{\\rtf1 {\\b Gras} }") << "Gras " << true;
    QTest::newRow("text of another type") << "liste.csv" << QByteArray("a;b;c ") << "a;b;c " << false;
}

void tst_Drops::fileContentGoesInAtTheDropPoint()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, inserted);
    QFETCH(bool, bold);
    const QString path = f.dir->filePath(name);
    QVERIFY(writeBytes(path, bytes));
    givenTypedDocument();
    const QString before = f.editor()->text();
    const auto data = filesDrag({path});

    QVERIFY(dragTo(data.get(), pointAt(8)));
    QCOMPARE(dropAt(data.get(), pointAt(8)), Qt::CopyAction);
    QCOMPARE(f.editor()->text(), QStringLiteral("Bonjour ") + inserted + QStringLiteral("le monde !"));
    QTextCursor cursor(f.editor()->document());
    cursor.setPosition(9);
    QCOMPARE(cursor.charFormat().fontWeight() >= QFont::Bold, bold);
    // The document changed: the flag says so, as after typing.
    QVERIFY(f.form->isModified());
    // Copied, never moved: the file is where it was, as it was.
    QCOMPARE(fileBytes(path), bytes);
    // One step: one undo takes all of it back, and only it.
    QTest::keyClick(f.editor(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(f.editor()->text(), before);
    QVERIFY(!f.editor()->document()->isUndoAvailable());
}

void tst_Drops::otherDropsAreRefused_data()
{
    QTest::addColumn<QStringList>("files"); // in the test's folder
    QTest::newRow("picture") << QStringList{"photo.png"};
    QTest::newRow("file of no text type") << QStringList{"archive.zip"};
    QTest::newRow("name without a type") << QStringList{"LISEZMOI"};
    QTest::newRow("folder") << QStringList{"dossier"};
    QTest::newRow("FIFO named as RTF") << QStringList{"tube.rtf"};
    QTest::newRow("file that is not there") << QStringList{"absent.rtf"};
    QTest::newRow("two files") << QStringList{"a.rtf", "b.txt"};
}

void tst_Drops::otherDropsAreRefused()
{
    QFETCH(QStringList, files);
    QVERIFY(writeBytes(f.dir->filePath("photo.png"), "\x89PNG\r\n"));
    QVERIFY(writeBytes(f.dir->filePath("archive.zip"), "PK\x03\x04"));
    QVERIFY(writeBytes(f.dir->filePath("LISEZMOI"), "texte"));
    QVERIFY(writeBytes(f.dir->filePath("a.rtf"), "{\\rtf1 a}"));
    QVERIFY(writeBytes(f.dir->filePath("b.txt"), "b"));
    QVERIFY(QDir(f.dir->path()).mkdir("dossier"));
    QCOMPARE(mkfifo(QFile::encodeName(f.dir->filePath("tube.rtf")).constData(), 0600), 0);
    QStringList paths;
    for (const QString &file : files)
        paths << f.dir->filePath(file);
    givenTypedDocument();
    const QString before = f.editor()->text();
    const auto data = filesDrag(paths);

    // Refused while it is dragged: the pointer shows the drop would do nothing.
    QVERIFY(!dragTo(data.get(), pointAt(8)));
    QCOMPARE(dropAt(data.get(), pointAt(8)), Qt::IgnoreAction);
    QCOMPARE(f.editor()->text(), before);
    QVERIFY(!f.form->isModified());
    QVERIFY(!f.editor()->document()->isUndoAvailable());
}

// A document with a picture takes one dropped from another: each keeps its own,
// though both files number their first picture alike.
void tst_Drops::droppedPicturesKeepTheirOwn()
{
    const QString mine = f.dir->filePath("mien.rtf");
    const QString dropped = f.dir->filePath("autre.rtf");
    QVERIFY(writeBytes(mine, rtfWithPicture(Qt::red)));
    QVERIFY(writeBytes(dropped, rtfWithPicture(Qt::blue)));
    f.answerFileDialog(mine);
    f.click("Image6");
    QCOMPARE(pictureColours(f.editor()->document()), QList<QColor>{QColor(Qt::red)});
    const auto data = filesDrag({dropped});
    QCOMPARE(dropAt(data.get(), pointAt(1) + QPoint(40, 0)), Qt::CopyAction);
    QCOMPARE(pictureColours(f.editor()->document()), (QList<QColor>{QColor(Qt::red), QColor(Qt::blue)}));
}

void tst_Drops::textDropsAsBefore()
{
    givenTypedDocument();
    QMimeData data;
    data.setText(QStringLiteral("cher "));
    QVERIFY(dragTo(&data, pointAt(8)));
    dropAt(&data, pointAt(8));
    QCOMPARE(f.editor()->text(), QStringLiteral("Bonjour cher le monde !"));
    QVERIFY(f.form->isModified());
    // A link of the web is text too.
    QMimeData link;
    link.setUrls({QUrl(QStringLiteral("https://example.org/"))});
    link.setText(QStringLiteral("https://example.org/ "));
    dropAt(&link, pointAt(0));
    QCOMPARE(f.editor()->text(), QStringLiteral("https://example.org/ Bonjour cher le monde !"));
}

QTEST_MAIN(tst_Drops)
#include "tst_drops.moc"
