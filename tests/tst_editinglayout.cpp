// Edits that once broke the program or left the layout off, each taken the way a
// user takes it: a document opened through the open image, real keys and clicks on
// the editor, then the text, the caret and what the layout shows, held against a
// layout of the same document made from scratch.
#include "documentfixture.h"
#include "layoutcheck.h"
#include "platform/documentloader.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

class TestEditingLayout final : public QObject
{
    Q_OBJECT

    DocumentFixture f;

    RichTextBox *editor() const { return f.editor(); }

    void open(const QByteArray &rtf)
    {
        const QString path = f.dir->filePath(QStringLiteral("document.rtf"));
        QVERIFY(writeBytes(path, rtf));
        f.answerFileDialog(path);
        f.click("Image6");
        editor()->setFocus();
    }

    void openCorpus(const char *name)
    {
        f.answerFileDialog(QStringLiteral(ORVO_RTF_CORPUS "/") + QLatin1String(name));
        f.click("Image6");
        editor()->setFocus();
    }

    void key(int key, Qt::KeyboardModifiers modifiers = {}, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(editor(), Qt::Key(key), modifiers);
    }

    // The layout once the background has finished, against a fresh one.
    void verifyLaidOutAsFresh()
    {
        QTRY_VERIFY_WITH_TIMEOUT(editor()->isLaidOut(), 60000);
        QCOMPARE(LayoutCheck::staleLines(editor()->document()), QString());
        QCOMPARE(LayoutCheck::compareWithFresh(editor()->document(), 200, 1), QString());
    }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    // Justified paragraphs replaced by a typed word, then the typing and the
    // replacement undone: the program goes on with the old text.
    // A line of more than 64K characters pasted is shown in pieces; the caret stands
    // right after it, where the next key lands.
    void caretAfterAHugePasteOnOneLine()
    {
        f.type(QStringLiteral("debut fin"));
        editor()->setSelStart(6);
        const QString line = QStringLiteral("pr\u00e9sent ").repeated(106 * 1024 / 8);
        f.services.clipboard->content = line;
        f.click("Image5");
        QVERIFY(editor()->document()->blockCount() > 3); // in pieces
        QCOMPARE(editor()->selStart(), 6 + int(line.size()));
        editor()->setFocus();
        f.type(QStringLiteral("X"));
        QCOMPARE(editor()->text(), QStringLiteral("debut ") + line + QStringLiteral("Xfin"));
        verifyLaidOutAsFresh();
    }

    // The same paste at the start of documents whose paragraphs are long: Ctrl+Delete
    // then takes the word after the caret, as in a document never cut in pieces.
    void wordDeletedAfterAHugePaste_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("thai") << QStringLiteral("rpk-thai-874-word.rtf");
        QTest::newRow("png") << QStringLiteral("rtfjs-png-bin.rtf");
    }
    void wordDeletedAfterAHugePaste()
    {
        QFETCH(QString, name);
        const QString path = QStringLiteral(ORVO_RTF_CORPUS "/") + name;
        f.answerFileDialog(path);
        f.click("Image6");
        const QString line = QStringLiteral("0123456789abcdefghij").repeated(106 * 1024 / 20);
        f.services.clipboard->content = line;
        f.click("Image5");
        editor()->setFocus();
        QTest::keyClick(editor(), Qt::Key_Delete, Qt::ControlModifier);
        // The same edits on the document as read, with no pieces.
        std::unique_ptr<QTextDocument> plain;
        QVERIFY(!DocumentLoader::load(path, &plain));
        QTextCursor c(plain.get());
        c.insertText(line);
        c.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        QCOMPARE(editor()->text().size(), plain->characterCount() - 1);
        QCOMPARE(editor()->selStart(), int(line.size()));
    }

    void undoAfterTypingOverJustifiedParagraphs()
    {
        open("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f1 MS Mincho;}}"
             "\\pard\\qj \\par\\par\\par\\par\\pard\\qj Spanish\\par\\pard\\ql \\u161?Hola\\par"
             "\\pard\\ql Liga espa\\u241?ola\\par\\pard\\qj \\par}");
        const QString before = editor()->text();
        key(Qt::Key_Home, Qt::ControlModifier);
        key(Qt::Key_Right, {}, 3);
        key(Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
        f.type(QStringLiteral("fbeAD"));
        QCOMPARE(editor()->text(), before.left(3) + QStringLiteral("fbeAD"));
        QCOMPARE(LayoutCheck::staleLines(editor()->document()), QString());
        key(Qt::Key_Z, Qt::ControlModifier, 2);
        QCOMPARE(editor()->text(), before);
        QCOMPARE(LayoutCheck::staleLines(editor()->document()), QString());
        verifyLaidOutAsFresh();
    }
};

QTEST_MAIN(TestEditingLayout)
#include "tst_editinglayout.moc"
