// A document with a table, opened and edited through the main window as a user
// does: its text, saving, typing in a cell, find, the lamps and toggles, the
// clipboard commands and New.

#include "documentfixture.h"
#include "document/form2.h"

#include <QLineEdit>
#include <QTextTable>

namespace {

constexpr quint32 On = 0x00C0E0FF;
constexpr quint32 Off = 0x00F8F1DC;

const QByteArray tableRtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard Avant\\par\n"
                            "\\trowd\\trgaph108\\clbrdrb\\brdrs\\cellx2000\\clbrdrb\\brdrs\\cellx4000\n"
                            "\\pard\\intbl {\\b Nom}\\cell {\\b Ville}\\cell\\row\n"
                            "\\trowd\\trgaph108\\cellx2000\\cellx4000\n"
                            "\\pard\\intbl Alice\\cell Lyon\\cell\\row\n"
                            "\\pard\\intbl Bruno\\cell Nantes\\cell\\row\n"
                            "\\pard Apr\\'e8s\\par}";
// The same text, each cell a paragraph.
const QByteArray paragraphsRtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard Avant\\par\n"
                                 "{\\b Nom}\\par {\\b Ville}\\par Alice\\par Lyon\\par Bruno\\par Nantes\\par\n"
                                 "Apr\\'e8s\\par}";
const QString tableText = QString::fromUtf8("Avant\nNom\nVille\nAlice\nLyon\nBruno\nNantes\nAprès");

} // namespace

class TestTableEditing final : public QObject
{
    Q_OBJECT
    DocumentFixture f;

    QTextTable *table() const
    {
        const QList<QTextFrame *> frames = f.editor()->document()->rootFrame()->childFrames();
        return frames.isEmpty() ? nullptr : qobject_cast<QTextTable *>(frames.first());
    }

    QString cellText(int row, int column) const
    {
        const QTextTableCell cell = table()->cellAt(row, column);
        QTextCursor c = cell.firstCursorPosition();
        c.setPosition(cell.lastPosition(), QTextCursor::KeepAnchor);
        return c.selectedText();
    }

    void open(const QByteArray &rtf, const QString &name = QStringLiteral("tableau.rtf"))
    {
        const QString path = f.dir->filePath(name);
        QVERIFY(writeBytes(path, rtf));
        f.answerFileDialog(path);
        f.click("Image6");
        QCoreApplication::processEvents();
    }

    void select(const QString &from, const QString &to)
    {
        const QString text = f.editor()->text();
        const int start = int(text.indexOf(from));
        const int end = int(text.indexOf(to)) + int(to.size());
        f.editor()->setSelStart(start);
        f.editor()->setSelLength(end - start);
        QCoreApplication::processEvents(); // the lamps follow the selection
    }

    void search(const QString &what)
    {
        f.form->Text1->clear();
        for (const QChar c : what)
            QTest::sendKeyEvent(QTest::Click, f.form->Text1, Qt::Key_unknown, QString(c), Qt::NoModifier);
        f.click("Label9");
    }

    QString save(const QString &name)
    {
        const QString path = f.dir->filePath(name);
        f.answerFileDialog(path);
        f.click("Image7");
        QCoreApplication::processEvents();
        return path;
    }

private slots:
    void init()
    {
        f.setUp();
        open(tableRtf);
        QVERIFY(table());
    }
    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->inherits("PromptForm"))
                delete w;
        }
        f.tearDown();
    }

    void theTextIsTheCellsLineByLineAndSavesAsParagraphsWould()
    {
        QCOMPARE(table()->rows(), 3);
        QCOMPARE(table()->columns(), 2);
        QCOMPARE(f.editor()->text(), tableText);
        const QByteArray saved = fileBytes(save(QStringLiteral("tableau.txt")));
        open(paragraphsRtf, QStringLiteral("paragraphes.rtf"));
        QVERIFY(!table());
        QCOMPARE(f.editor()->text(), tableText);
        QCOMPARE(fileBytes(save(QStringLiteral("paragraphes.txt"))), saved);
    }

    void typingInACellStaysInTheCell()
    {
        select(QStringLiteral("Alice"), QStringLiteral("Alice"));
        f.editor()->setSelStart(f.editor()->selStart() + 5);
        f.type(QStringLiteral(" M."));
        QTest::keyClick(f.editor(), Qt::Key_Return);
        f.type(QStringLiteral("Paris"));
        QCOMPARE(cellText(1, 0), QStringLiteral("Alice M.\u2029Paris"));
        QCOMPARE(table()->rows(), 3);
        QCOMPARE(f.editor()->text(), QString(tableText).replace("Alice", "Alice M.\nParis"));
        QVERIFY(f.form->isModified());
    }

    void findSelectsTheWordInItsCell()
    {
        search(QStringLiteral("Nantes"));
        QCOMPARE(f.editor()->selText(), QStringLiteral("Nantes"));
        QCOMPARE(f.editor()->selStart(), int(tableText.indexOf("Nantes")));
        QVERIFY(f.services.messages->shown.isEmpty());
    }

    void lampsAndTogglesWorkInCells()
    {
        select(QStringLiteral("Nom"), QStringLiteral("Nom"));
        QTRY_COMPARE(f.form->control("Shape6").fillColor(), On);
        select(QStringLiteral("Alice"), QStringLiteral("Alice"));
        QTRY_COMPARE(f.form->control("Shape6").fillColor(), Off);
        f.click("Image12");
        QTRY_COMPARE(f.form->control("Shape6").fillColor(), On);
        QCOMPARE(f.editor()->selBold(), TriState::True);
        // Across two cells of a row the toggle reaches both, and only them.
        select(QStringLiteral("Bruno"), QStringLiteral("Nantes"));
        f.click("Image16");
        QCOMPARE(f.editor()->selItalic(), TriState::True);
        select(QStringLiteral("Alice"), QStringLiteral("Lyon"));
        QCOMPARE(f.editor()->selItalic(), TriState::False);
        QCOMPARE(f.editor()->text(), tableText);
    }

    void copyCutAndPasteInCells()
    {
        select(QStringLiteral("Lyon"), QStringLiteral("Lyon"));
        f.click("Image10");
        QCOMPARE(f.services.clipboard->content, QStringLiteral("Lyon"));
        // Cells of two rows: what is copied and cut is what is highlighted, the cells.
        select(QStringLiteral("Lyon"), QStringLiteral("Bruno"));
        f.click("Image10");
        QCOMPARE(f.services.clipboard->content, QStringLiteral("Alice\nLyon\nBruno\nNantes"));
        f.click("Image11");
        QCOMPARE(f.services.clipboard->content, QStringLiteral("Alice\nLyon\nBruno\nNantes"));
        QCOMPARE(cellText(1, 0), QString());
        QCOMPARE(cellText(2, 1), QString());
        QCOMPARE(table()->rows(), 3);
        // Pasting two lines into a cell makes two paragraphs in it.
        f.editor()->setSelStart(int(f.editor()->text().indexOf("Ville")) + 5);
        f.editor()->setSelLength(0);
        f.services.clipboard->content = QStringLiteral(" et\nPays");
        f.click("Image5");
        QCOMPARE(cellText(0, 1), QStringLiteral("Ville et\u2029Pays"));
        QCOMPARE(table()->rows(), 3);
    }

    void newEmptiesTheDocumentTableAndAll()
    {
        QVERIFY(f.form->isModified()); // opening set it
        f.click("Image9");
        QPointer<Form2> prompt = Form2::current();
        QVERIFY(prompt);
        QTest::mouseClick(prompt, Qt::LeftButton, {}, prompt->control("Label2").boxPixels().center());
        QTRY_VERIFY(!prompt);
        QCOMPARE(f.editor()->text(), QString());
        QVERIFY(f.editor()->document()->rootFrame()->childFrames().isEmpty());
        f.type(QStringLiteral("neuf"));
        QCOMPARE(f.editor()->text(), QStringLiteral("neuf"));
    }
};

QTEST_MAIN(TestTableEditing)
#include "tst_tableediting.moc"
