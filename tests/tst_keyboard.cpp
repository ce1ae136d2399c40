// The keyboard as a dialog's standard keys work it: on the prompts Escape answers
// "annuler", Tab and Shift+Tab move a focus ring among the three answers, Space and
// Enter take the answer the ring is on; on the main window the ring passes over the
// toolbar and the style toggles in their visual order, and over the swatches. Keys
// go where the keyboard's focus is, as the desktop delivers them.
#include "editingfixture.h"

#include "document/form2.h"
#include "document/form3.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>

namespace {

PromptForm *showPrompt(int which)
{
    return which == 2 ? static_cast<PromptForm *>(Form2::showPrompt())
                      : static_cast<PromptForm *>(Form3::showPrompt());
}

// A key pressed and released where the keyboard's focus is.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, key, modifiers);
}

QStringList clicks(const QSignalSpy &spy)
{
    QStringList names;
    for (const QList<QVariant> &event : spy) {
        if (event.at(1).toString() == QLatin1String("Click"))
            names << event.at(0).toString();
    }
    return names;
}

// How many pixels of a window's grab differ between two looks, within a box.
int changedPixels(const QImage &a, const QImage &b, const QRect &box)
{
    int changed = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x)
            changed += a.pixel(x, y) != b.pixel(x, y);
    }
    return changed;
}

} // namespace

class tst_Keyboard final : public QObject
{
    Q_OBJECT

private slots:
    void init() { fx.setUp(); }
    void cleanup()
    {
        delete Form2::current();
        delete Form3::current();
        fx.tearDown();
    }

    void promptKeys_data();
    void promptKeys();
    void ringShowsOnTheFocusedAnswer();
    void mainWindowRingFollowsTheVisualOrder();
    void spaceTakesTheStyleToggle();
    void swatchesTakeTheRing();

private:
    EditingFixture fx;
};

void tst_Keyboard::promptKeys_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QList<int>>("keys"); // Qt::Key, with Shift+Tab as Key_Backtab
    QTest::addColumn<QStringList>("answered");
    QTest::addColumn<bool>("staysOpen");
    for (const int which : {2, 3}) {
        QTest::addRow("Form%d Escape", which) << which << QList<int>{Qt::Key_Escape} << QStringList{"Label4"} << false;
        QTest::addRow("Form%d Tab Return: Oui", which)
            << which << QList<int>{Qt::Key_Tab, Qt::Key_Return} << QStringList{"Label3"} << false;
        QTest::addRow("Form%d Tab Tab Space: Non", which)
            << which << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Space} << QStringList{"Label2"} << false;
        QTest::addRow("Form%d three Tabs Enter: annuler", which)
            << which << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Enter} << QStringList{"Label4"}
            << false;
        QTest::addRow("Form%d four Tabs come round to Oui", which)
            << which << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return}
            << QStringList{"Label3"} << false;
        QTest::addRow("Form%d Shift+Tab from the start: annuler", which)
            << which << QList<int>{Qt::Key_Backtab, Qt::Key_Space} << QStringList{"Label4"} << false;
        QTest::addRow("Form%d Enter without the ring does nothing", which)
            << which << QList<int>{Qt::Key_Return, Qt::Key_Space} << QStringList{} << true;
        QTest::addRow("Form%d no other key answers", which)
            << which << QList<int>{Qt::Key_O, Qt::Key_N, Qt::Key_A, Qt::Key_Y, Qt::Key_F4} << QStringList{} << true;
    }
}

void tst_Keyboard::promptKeys()
{
    QFETCH(int, which);
    QFETCH(QList<int>, keys);
    QFETCH(QStringList, answered);
    QFETCH(bool, staysOpen);
    fx.append(QStringLiteral("gardé"));
    QPointer<PromptForm> prompt = showPrompt(which);
    QTRY_VERIFY(prompt->isActiveWindow());
    QTRY_COMPARE(QApplication::focusWidget(), prompt.data());
    QSignalSpy spy(prompt.data(), &FormWindow::eventRaised);
    for (const int key : keys) {
        if (key == Qt::Key_Backtab)
            press(Qt::Key_Tab, Qt::ShiftModifier);
        else
            press(Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        if (!prompt)
            break;
    }
    QCOMPARE(clicks(spy), answered);
    if (staysOpen) {
        QVERIFY(prompt && prompt->isVisible());
    } else if (which == 3 && answered == QStringList{"Label2"}) {
        QCOMPARE(fx.services.application->ends, 1); // "Non" ends the program
    } else {
        QTRY_VERIFY(prompt.isNull()); // the save dialog was cancelled, or "annuler"
    }
    // Only "Non" of the New prompt starts the new document.
    const bool emptied = which == 2 && answered == QStringList{"Label2"};
    QCOMPARE(fx.editor()->text(), emptied ? QString() : QStringLiteral("gardé"));
}

void tst_Keyboard::ringShowsOnTheFocusedAnswer()
{
    PromptForm *prompt = showPrompt(2);
    QTRY_COMPARE(QApplication::focusWidget(), prompt);
    const QImage plain = prompt->grab().toImage();
    const QRect oui = prompt->control("Label3").accessBoxPixels().adjusted(-2, -2, 2, 2);
    const QRect non = prompt->control("Label2").accessBoxPixels().adjusted(-2, -2, 2, 2);
    // "Oui" is the word with its tick: one ring round both.
    QCOMPARE(oui, prompt->control("Label3").boxPixels().united(prompt->control("Image3").boxPixels()).adjusted(-2, -2, 2, 2));

    press(Qt::Key_Tab);
    QCOMPARE(prompt->ringControl()->name(), QStringLiteral("Label3"));
    const QImage onOui = prompt->grab().toImage();
    // A dotted black line just outside the answer; nothing else changes.
    const QRect ring = prompt->control("Label3").accessBoxPixels().adjusted(-1, -1, 0, 0);
    int dots = 0;
    for (int x = ring.left(); x <= ring.right(); ++x)
        dots += qGray(onOui.pixel(x, ring.top())) < 40;
    QVERIFY2(dots >= ring.width() / 3, qPrintable(QString::number(dots)));
    QCOMPARE(changedPixels(plain, onOui, onOui.rect()), changedPixels(plain, onOui, oui));

    press(Qt::Key_Tab);
    const QImage onNon = prompt->grab().toImage();
    QCOMPARE(changedPixels(plain, onNon, oui), 0);
    QVERIFY(changedPixels(plain, onNon, non) > 0);
}

void tst_Keyboard::mainWindowRingFollowsTheVisualOrder()
{
    // From the search field, the last control before the window's own in the tab
    // order, the ring goes over the toolbar left to right, then the style toggles,
    // then on to the editor.
    fx.form->Text1->setFocus(Qt::TabFocusReason);
    QStringList order;
    for (int i = 0; i < 10; ++i) {
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), fx.form.get());
        order << fx.form->ringControl()->name();
    }
    QCOMPARE(order, (QStringList{"Image9", "Image6", "Image7", "Image5", "Image10", "Image11", "Image12", "Image16",
                                 "Image13", "Image14"}));
    press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), fx.editor());
    // And back: Shift+Tab from the first toggle of the toolbar returns to the field.
    fx.form->Text1->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Tab);
    press(Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), fx.form->Text1);
    // A click on a picture leaves the focus where it was: in the editor.
    fx.editor()->setFocus();
    fx.click("Image12");
    QCOMPARE(QApplication::focusWidget(), fx.editor());
}

void tst_Keyboard::spaceTakesTheStyleToggle()
{
    fx.append(QStringLiteral("Bonjour"));
    fx.select(0, 7);
    fx.form->Text1->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 7; ++i)
        press(Qt::Key_Tab);
    QCOMPARE(fx.form->ringControl()->name(), QStringLiteral("Image12"));
    QSignalSpy spy(fx.form.get(), &FormWindow::eventRaised);
    press(Qt::Key_Space);
    QCOMPARE(clicks(spy), QStringList{"Image12"});
    QCOMPARE(fx.formatAt(0).fontWeight(), int(QFont::Bold));
    press(Qt::Key_Return);
    QCOMPARE(fx.formatAt(0).fontWeight(), int(QFont::Normal));
    // Escape is no answer on the main window.
    press(Qt::Key_Escape);
    QCOMPARE(clicks(spy), (QStringList{"Image12", "Image12"}));
}

void tst_Keyboard::swatchesTakeTheRing()
{
    // Shift+Tab from the search field reaches the last swatch of the tab order.
    fx.append(QStringLiteral("Bonjour"));
    fx.select(0, 7);
    fx.form->Text1->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Tab, Qt::ShiftModifier);
    QWidget *swatch = fx.form->control("Picture12").widget();
    QCOMPARE(QApplication::focusWidget(), swatch);
    // Black dots on a white line round the swatch's own colour.
    const QImage image = swatch->grab().toImage();
    int white = 0, black = 0;
    for (int x = 0; x < image.width(); ++x) {
        white += image.pixelColor(x, 0) == QColor(Qt::white);
        black += image.pixelColor(x, 0) == QColor(Qt::black);
    }
    QVERIFY(white > 0 && black > 0 && white + black == image.width());
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(204, 238, 68));
    press(Qt::Key_Space);
    // The swatch's click: its colour on the selection, the focus back in the editor.
    QCOMPARE(fx.formatAt(0).foreground().color(), QColor(204, 238, 68));
    QCOMPARE(QApplication::focusWidget(), fx.editor());
}

QTEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"
