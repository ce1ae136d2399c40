// The editor control's contract: positions, selected text, attribute reads over the
// whole selection, and a Change raised inside the operation that made it.

#include "platform/richtextbox.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QtTest>

class tst_RichTextBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void positionsMatchTheText();
    void selectedTextReadAndReplaced();
    void styleReadsExamineTheWholeSelection_data();
    void styleReadsExamineTheWholeSelection();
    void fontNameAndSizeUndeterminedWhenMixed();
    void writesApplyToTheWholeSelectionOnly();
    void changeIsRaisedBeforeTheOperationReturns();
    void caretPassesOverManyStructuralBlocksAtOnce();
    void typingPastTheBottomKeepsTheCaretInView();

private:
    void format(int start, int length, const QTextCharFormat &f);
    void select(int start, int length);
    std::unique_ptr<RichTextBox> m_box;
};

void tst_RichTextBox::init()
{
    m_box = std::make_unique<RichTextBox>();
}

void tst_RichTextBox::cleanup()
{
    m_box.reset();
}

void tst_RichTextBox::format(int start, int length, const QTextCharFormat &f)
{
    QTextCursor c(m_box->document());
    c.setPosition(start);
    c.setPosition(start + length, QTextCursor::KeepAnchor);
    c.mergeCharFormat(f);
}

void tst_RichTextBox::select(int start, int length)
{
    m_box->setSelStart(start);
    m_box->setSelLength(length);
}

void tst_RichTextBox::positionsMatchTheText()
{
    m_box->setText(QStringLiteral("un\ndeux\u00A0trois\nquatre"));
    const QString text = m_box->text();
    QCOMPARE(text, QStringLiteral("un\ndeux\u00A0trois\nquatre"));
    const int at = int(text.indexOf(QStringLiteral("trois")));
    select(at, 5);
    QCOMPARE(m_box->selText(), QStringLiteral("trois"));
    QCOMPARE(m_box->selStart(), at);
    QCOMPARE(m_box->selLength(), 5);
    // Past the end: clamped, never out of the document.
    select(1000, 5);
    QCOMPARE(m_box->selStart(), int(text.size()));
    QCOMPARE(m_box->selLength(), 0);
}

void tst_RichTextBox::selectedTextReadAndReplaced()
{
    m_box->setText(QStringLiteral("abcdef"));
    select(2, 0);
    QCOMPARE(m_box->selText(), QString());
    m_box->setSelText(QStringLiteral("XY"));
    QCOMPARE(m_box->text(), QStringLiteral("abXYcdef"));
    select(0, 2);
    m_box->setSelText(QString());
    QCOMPARE(m_box->text(), QStringLiteral("XYcdef"));
    select(0, 0);
    m_box->setSelText(QString());
    QCOMPARE(m_box->text(), QStringLiteral("XYcdef"));
}

void tst_RichTextBox::styleReadsExamineTheWholeSelection_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("expected");
    // "abcdef\nghi", bold on "cd" and on "h".
    QTest::newRow("wholly bold") << 2 << 2 << int(TriState::True);
    QTest::newRow("no bold") << 4 << 2 << int(TriState::False);
    QTest::newRow("mixed, bold at the cursor end") << 0 << 4 << int(TriState::Undetermined);
    QTest::newRow("mixed, bold in the middle only") << 1 << 4 << int(TriState::Undetermined);
    QTest::newRow("mixed across paragraphs") << 5 << 4 << int(TriState::Undetermined);
}

void tst_RichTextBox::styleReadsExamineTheWholeSelection()
{
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(int, expected);
    m_box->setText(QStringLiteral("abcdef\nghi"));
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    format(2, 2, bold);
    format(8, 1, bold);
    select(start, length);
    QCOMPARE(int(m_box->selBold()), expected);
    QCOMPARE(m_box->selItalic(), TriState::False);
}

void tst_RichTextBox::fontNameAndSizeUndeterminedWhenMixed()
{
    m_box->setText(QStringLiteral("abcdef"));
    QTextCharFormat big;
    big.setFontPointSize(20);
    format(0, 2, big);
    QTextCharFormat serif;
    serif.setFontFamilies({QStringLiteral("Liberation Serif")});
    format(4, 2, serif);

    select(0, 2);
    QCOMPARE(m_box->selFontSize(), std::optional<double>(20));
    select(0, 3);
    QCOMPARE(m_box->selFontSize(), std::nullopt);
    QVERIFY(m_box->selFontName().has_value());
    select(3, 3);
    QCOMPARE(m_box->selFontName(), std::nullopt);
    select(4, 2);
    QCOMPARE(m_box->selFontName(), std::optional<QString>(QStringLiteral("Liberation Serif")));
}

void tst_RichTextBox::writesApplyToTheWholeSelectionOnly()
{
    m_box->setText(QStringLiteral("abcdef"));
    select(1, 3);
    m_box->setSelBold(true);
    m_box->setSelStrikethru(true);
    m_box->setSelColor(0x000000C0); // red in 0x00BBGGRR
    select(1, 3);
    QCOMPARE(m_box->selBold(), TriState::True);
    QCOMPARE(m_box->selStrikethru(), TriState::True);
    select(0, 6);
    QCOMPARE(m_box->selBold(), TriState::Undetermined);
    QTextCursor c(m_box->document());
    c.setPosition(2);
    QCOMPARE(c.charFormat().foreground().color(), QColor(192, 0, 0));
    c.setPosition(5);
    QVERIFY(c.charFormat().foreground().color() != QColor(192, 0, 0));
}

void tst_RichTextBox::changeIsRaisedBeforeTheOperationReturns()
{
    QSignalSpy spy(m_box.get(), &RichTextBox::change);
    m_box->setText(QStringLiteral("abc"));
    QVERIFY(spy.count() >= 1);
    spy.clear();
    select(0, 1);
    m_box->setSelText(QStringLiteral("z"));
    QVERIFY(spy.count() >= 1);
    spy.clear();
    m_box->setText(QString());
    QVERIFY(spy.count() >= 1);
}


// A damaged file of text boxes opened one inside another in table cells, never
// closed: a dozen structural blocks stand side by side, and the caret passes over
// all of them in one step, wherever it is put.
void tst_RichTextBox::caretPassesOverManyStructuralBlocksAtOnce()
{
    QByteArray rtf = "{\\rtf1 ";
    for (int i = 0; i < 12; ++i)
        rtf += "\\trowd\\cellx1000\\pard\\intbl a{\\shp{\\*\\shpinst{\\shptxt \\pard\\intbl\\itap2 ";
    rtf += "x";
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("boites.rtf")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(rtf) == rtf.size());
    file.close();
    m_box->resize(700, 400);
    QVERIFY(!m_box->loadFile(file.fileName()));
    m_box->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_box.get()));
    const QString before = m_box->text();
    m_box->setFocus();
    QTest::keyClick(m_box.get(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(m_box.get(), Qt::Key_B);
    QTest::keyClick(m_box.get(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(m_box.get(), Qt::Key_Z);
    QTest::keyClick(m_box.get(), Qt::Key_Return);
    const QString after = m_box->text();
    QCOMPARE(after, QLatin1Char('b') + before + QStringLiteral("z\n"));
}

void tst_RichTextBox::typingPastTheBottomKeepsTheCaretInView()
{
    // The editor answers the text control's requests to show the caret: each new
    // line typed at the end scrolls its whole line box into the view, Ctrl+Home
    // shows the page from its top again.
    QVERIFY(m_box->answersTextControl());
    m_box->resize(300, 150);
    m_box->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_box.get()));
    m_box->setFocus();
    QScrollBar *bar = m_box->verticalScrollBar();
    for (int i = 0; i < 30; ++i) {
        QTest::keyClicks(m_box.get(), QStringLiteral("ligne %1").arg(i));
        QTest::keyClick(m_box.get(), Qt::Key_Return);
        const QRectF caret = m_box->caretRect();
        QVERIFY2(caret.top() >= -0.5 && caret.bottom() <= m_box->viewport()->height() + 0.5,
                 qPrintable(QStringLiteral("line %1: caret %2 to %3 in a view %4 high")
                                .arg(i).arg(caret.top()).arg(caret.bottom()).arg(m_box->viewport()->height())));
    }
    QVERIFY(bar->value() > 0);
    QTest::keyClick(m_box.get(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(bar->value(), 0);
}

QTEST_MAIN(tst_RichTextBox)
#include "tst_richtextbox.moc"
