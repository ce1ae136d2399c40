// Copy, cut and paste through a scripted clipboard, and the find link with the text
// typed into the search field.

#include "editing/module1.h"
#include "editingfixture.h"

#include <QLineEdit>
#include <QTest>

class TstClipboardFind : public QObject
{
    Q_OBJECT
    EditingFixture fx;

    QString text() const { return fx.editor()->text(); }
    QString clipboard() const { return fx.services.clipboard->content; }

    void search(const QString &what)
    {
        fx.form->Text1->clear();
        // Typed key by key; letters beyond ASCII arrive as a key carrying its text.
        for (const QChar c : what)
            QTest::sendKeyEvent(QTest::Click, fx.form->Text1, Qt::Key_unknown, QString(c), Qt::NoModifier);
        fx.click("Label9");
    }

private slots:
    void init()
    {
        fx.setUp();
        fx.services.clipboard->content = QStringLiteral("earlier");
    }
    void cleanup() { fx.tearDown(); }

    void copy()
    {
        fx.append(QStringLiteral("copy this"));
        fx.select(5, 4);
        fx.form->setModified(false);
        fx.click("Image10");
        QCOMPARE(clipboard(), QStringLiteral("this"));
        QCOMPARE(text(), QStringLiteral("copy this"));
        QCOMPARE(fx.editor()->selLength(), 4);
        QVERIFY(!fx.form->isModified());
    }

    void withNothingSelected_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("copy") << "Image10";
        QTest::newRow("cut") << "Image11";
    }

    void withNothingSelected()
    {
        QFETCH(QString, command);
        fx.append(QStringLiteral("caret only"));
        fx.select(3, 0);
        fx.click(command.toLatin1().constData());
        // The empty selection replaces what the clipboard held.
        QCOMPARE(fx.services.clipboard->writes, 1);
        QCOMPARE(clipboard(), QString());
        QCOMPARE(text(), QStringLiteral("caret only"));
    }

    void cutThenPasteRestoresTheCharacters()
    {
        fx.append(QStringLiteral("ab"));
        fx.append(QStringLiteral("CD"), boldFormat());
        fx.append(QStringLiteral("ef"));
        fx.select(2, 2);
        fx.form->setModified(false);
        fx.click("Image11");
        QCOMPARE(clipboard(), QStringLiteral("CD"));
        QCOMPARE(text(), QStringLiteral("abef"));
        QVERIFY(fx.form->isModified());
        fx.click("Image5");
        QCOMPARE(text(), QStringLiteral("abCDef"));
        // The characters come back, their bold does not.
        QCOMPARE(fx.formatAt(2).fontWeight(), int(QFont::Normal));
        QCOMPARE(fx.formatAt(3).fontWeight(), int(QFont::Normal));
    }

    void failedCutLeavesTheSelection()
    {
        fx.append(QStringLiteral("keep me"));
        fx.select(5, 2);
        fx.services.clipboard->failWrites = true;
        fx.form->setModified(false);
        fx.click("Image11");
        QCOMPARE(text(), QStringLiteral("keep me"));
        QCOMPARE(fx.editor()->selStart(), 5);
        QCOMPARE(fx.editor()->selLength(), 2);
        QCOMPARE(clipboard(), QStringLiteral("earlier"));
        QVERIFY(!fx.form->isModified());
    }

    void formattingDoesNotTravel()
    {
        QTextCharFormat source = boldFormat();
        source.setForeground(QColor(255, 0, 0));
        fx.append(QStringLiteral("RED"), source);
        fx.append(QStringLiteral(" plain"));
        fx.select(0, 3);
        fx.click("Image10");
        fx.editor()->moveCursor(QTextCursor::End);
        fx.click("Image5");
        QCOMPARE(text(), QStringLiteral("RED plainRED"));
        for (int i = 9; i < 12; ++i) {
            QCOMPARE(fx.formatAt(i).fontWeight(), int(QFont::Normal));
            QVERIFY(!fx.formatAt(i).hasProperty(QTextFormat::ForegroundBrush));
        }
    }

    void pasteWithAnEmptyClipboard_data()
    {
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        QTest::addColumn<QString>("after");
        QTest::newRow("selection deleted") << 2 << 3 << "ab";
        QTest::newRow("caret: nothing changes") << 2 << 0 << "abcde";
    }

    void pasteWithAnEmptyClipboard()
    {
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        QFETCH(QString, after);
        fx.services.clipboard->content.clear();
        fx.append(QStringLiteral("abcde"));
        fx.select(selStart, selLength);
        fx.click("Image5");
        QCOMPARE(text(), after);
        QCOMPARE(fx.editor()->selStart(), selStart);
        QCOMPARE(fx.editor()->selLength(), 0);
    }

    void pasteReplacesTheSelection()
    {
        fx.services.clipboard->content = QStringLiteral("new\ntext");
        fx.append(QStringLiteral("old words"));
        fx.select(0, 3);
        fx.click("Image5");
        QCOMPARE(text(), QStringLiteral("new\ntext words"));
        QCOMPARE(fx.editor()->selStart(), 8);
    }

    void find_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        QTest::addColumn<QString>("message");
        const QString none;
        QTest::newRow("first of two") << "xxabxxabxx" << 0 << "ab" << 2 << 2 << none;
        QTest::newRow("caret after the first") << "xxabxxabxx" << 6 << "ab" << 2 << 2 << none;
        QTest::newRow("case differs") << "xxAbxx" << 1 << "ab" << 1 << 0 << "Impossible de trouver \"ab\"";
        QTest::newRow("longer than the document") << "abc" << 3 << "abcd" << 3 << 0 << "Impossible de trouver \"abcd\"";
        QTest::newRow("empty search text") << "abc" << 2 << "" << 0 << 0 << none;
        QTest::newRow("empty document") << "" << 0 << "a" << 0 << 0 << "Impossible de trouver \"a\"";
        QTest::newRow("starts at 4000") << QString(3999, u'x') + "needle" << 0 << "needle" << 3999 << 6 << none;
        QTest::newRow("after 4000") << QString(5000, u'x') + "needle" << 0 << "needle" << 5000 << 6 << none;
        QTest::newRow("in the second paragraph") << "one\ntwo two" << 0 << "two" << 4 << 3 << none;
        QTest::newRow("accented") << "Été, étés" << 0 << "été" << 5 << 3 << none;
    }

    void find()
    {
        QFETCH(QString, document);
        QFETCH(int, caret);
        QFETCH(QString, search);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        QFETCH(QString, message);
        fx.editor()->setText(document);
        fx.select(caret, 0);

        for (int click = 0; click < 2; ++click) {
            search == Module1::SearchText ? fx.click("Label9") : this->search(search);
            QCOMPARE(Module1::SearchText, search);
            QCOMPARE(fx.editor()->selStart(), selStart);
            QCOMPARE(fx.editor()->selLength(), selLength);
            QCOMPARE(fx.editor()->selText(), message.isEmpty() ? search : QString());
            if (message.isEmpty()) {
                QVERIFY(fx.services.messages->shown.isEmpty());
            } else {
                QCOMPARE(fx.services.messages->shown.size(), click + 1);
                const ShownMessage &shown = fx.services.messages->shown.last();
                QCOMPARE(shown.text, message);
                QCOMPARE(shown.style, 0);
                QCOMPARE(shown.title, QStringLiteral("Orvo"));
            }
        }
        QCOMPARE(text(), document);
    }
};

QTEST_MAIN(TstClipboardFind)
#include "tst_clipboardfind.moc"
