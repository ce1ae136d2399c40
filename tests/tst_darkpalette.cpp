// A desktop with a dark scheme, set on the application as the desktop's theme sets
// it: a document is shown on the light page it was written on, black text on white,
// and the windows' skin, light by definition, looks as it does on a light desktop,
// the system colours drawn on it (the font displays, the greyed glyph, the prompt's
// panel) legible on it.
#include "documentfixture.h"

#include "document/form2.h"

#include <QApplication>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>

namespace {

// The colours of a dark desktop theme.
QPalette darkPalette()
{
    const QColor window(0x32, 0x32, 0x32), base(0x24, 0x24, 0x24), text(0xf0, 0xf0, 0xf0), grey(0x82, 0x82, 0x82);
    QPalette dark(text, window, window.lighter(), window.darker(), window, text, text, base, window);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, grey);
    dark.setColor(QPalette::Disabled, QPalette::Base, window);
    dark.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
    dark.setColor(QPalette::HighlightedText, text);
    return dark;
}

// The darkest pixel of a box of an image, and the pixel at another point.
int darkest(const QImage &image, const QRect &box)
{
    int gray = 255;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x)
            gray = qMin(gray, qGray(image.pixel(x, y)));
    }
    return gray;
}

int differingPixels(const QImage &a, const QImage &b, const QRect &leftOut)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            n += !leftOut.contains(x, y) && a.pixel(x, y) != b.pixel(x, y);
    }
    return n;
}

} // namespace

class tst_DarkPalette final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void documentTextOnItsPage_data();
    void documentTextOnItsPage();
    void skinLooksAsOnALightDesktop();

private:
    // The main window with a text selected, its font displays filled, as a grab.
    void grabWithDisplays(QImage *shot);

    DocumentFixture f;
    QPalette m_light;
};

void tst_DarkPalette::init()
{
    m_light = QApplication::palette();
    QApplication::setPalette(darkPalette());
    f.setUp();
}

void tst_DarkPalette::cleanup()
{
    delete Form2::current();
    f.tearDown();
    QApplication::setPalette(m_light);
}

void tst_DarkPalette::documentTextOnItsPage_data()
{
    QTest::addColumn<QString>("file"); // in the corpus; empty: text typed
    QTest::addColumn<QString>("word"); // a word of black text in it
    QTest::newRow("document with its own colours") << "d0rian-libreoffice6-sample.rtf" << "consectetur";
    QTest::newRow("typed text") << "" << "Bonjour";
}

// A letter of the document read back from the window: near black, on white.
void tst_DarkPalette::documentTextOnItsPage()
{
    QFETCH(QString, file);
    QFETCH(QString, word);
    if (file.isEmpty()) {
        f.type(QStringLiteral("Bonjour tout le monde"));
    } else {
        const QString path = QStringLiteral(ORVO_RTF_CORPUS "/") + file;
        if (!QFile::exists(path))
            QSKIP("the RTF corpus is not there");
        f.answerFileDialog(path);
        f.click("Image6");
    }
    QTextCursor found = f.editor()->document()->find(word);
    QVERIFY(!found.isNull());
    f.editor()->setSelStart(0); // the selection's own colours stay out of the way
    f.editor()->setTextCursor(QTextCursor(found.block()));
    f.editor()->ensureCursorVisible();
    QCoreApplication::processEvents();
    QTextCursor first(f.editor()->document());
    first.setPosition(found.selectionStart());
    QTextCursor last(first);
    last.setPosition(found.selectionEnd());
    const QRect start = f.editor()->cursorRect(first);
    const QRect letters(start.topLeft() + QPoint(2, 0), QPoint(f.editor()->cursorRect(last).left() - 2, start.bottom()));
    QWidget *page = f.editor()->viewport();
    const QImage shot = page->grab().toImage();
    QVERIFY(!letters.isEmpty() && shot.rect().contains(letters));
    QVERIFY2(darkest(shot, letters) < 60, qPrintable(QString::number(darkest(shot, letters))));
    // The page under it and beside it is white.
    QCOMPARE(shot.pixelColor(page->width() - 4, start.center().y()), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(page->width() - 4, page->height() - 4), QColor(Qt::white));
}

void tst_DarkPalette::grabWithDisplays(QImage *shot)
{
    f.type(QStringLiteral("Bonjour"));
    f.editor()->setSelStart(0);
    f.editor()->setSelLength(7);
    QTRY_VERIFY(!f.form->control("Label2").caption().isEmpty());
    QTRY_VERIFY(!f.form->control("Label8").caption().isEmpty());
    QCoreApplication::processEvents();
    *shot = f.form->grab().toImage();
}

// The main window and a prompt look the same on the dark desktop as on a light one,
// pixel for pixel, but for the editor's own area (its caret blinks) which the test
// above reads.
void tst_DarkPalette::skinLooksAsOnALightDesktop()
{
    QImage dark, light;
    grabWithDisplays(&dark);
    const QImage darkPrompt = Form2::showPrompt()->grab().toImage();
    delete Form2::current();
    f.tearDown();
    QApplication::setPalette(m_light);
    f.setUp();
    grabWithDisplays(&light);
    const QImage lightPrompt = Form2::showPrompt()->grab().toImage();
    const QRect editor = f.editor()->geometry();
    QCOMPARE(differingPixels(dark, light, editor), 0);
    QCOMPARE(differingPixels(darkPrompt, lightPrompt, QRect()), 0);
    // The font displays drew dark text on the light panel.
    const Control &display = f.form->control("Label2");
    QVERIFY(darkest(dark, display.boxPixels()) < 60);
    // And the greyed glyph grey on the light blue.
    QVERIFY(darkest(dark, f.form->control("Label7").boxPixels()) < 200);
}

QTEST_MAIN(tst_DarkPalette)
#include "tst_darkpalette.moc"
