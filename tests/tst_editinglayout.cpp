// Edits that once broke the program or left the layout off, each taken the way a
// user takes it: a document opened through the open image, real keys and clicks on
// the editor, then the text, the caret and what the layout shows, held against a
// layout of the same document made from scratch.
#include "documentfixture.h"
#include "layoutcheck.h"

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
