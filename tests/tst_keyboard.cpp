// The keyboard as a dialog's standard keys work it: on the prompts Escape answers
// "annuler", the keyboard starts on "Oui", Tab and Shift+Tab move a focus ring among
// the three answers, Space and Enter take the answer the ring is on; on the main
// window Tab goes round every command in the window's visual order, Ctrl+Tab leaves
// the editor, and Space and Enter take each command. Keys go where the keyboard's
// focus is, as the desktop delivers them.
#include "editingfixture.h"

#include "document/form2.h"
#include "document/form3.h"
#include "platform/colors.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>

#include <cmath>

namespace {

PromptForm *showPrompt(int which)
{
    return which == 2 ? static_cast<PromptForm *>(Form2::showPrompt())
                      : static_cast<PromptForm *>(Form3::showPrompt());
}

// A key pressed and released where the keyboard's focus is; Shift+Tab arrives as
// the desktop delivers it, as Backtab.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    if (key == Qt::Key_Tab && (modifiers & Qt::ShiftModifier))
        key = Qt::Key_Backtab;
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

// Where the keyboard is on the main window: the control the ring is on, or the
// windowed control that has the focus.
QString keyboardAt(FormWindow *form)
{
    QWidget *focus = QApplication::focusWidget();
    if (focus == form)
        return form->ringControl() ? form->ringControl()->name() : QString();
    return focus ? focus->objectName() : QString();
}

// The main window's commands in the order Tab reaches them from the editor.
const QStringList VisualOrder = {
    "Label4", "Label6", "Label5",                                                    // title strip
    "Image9", "Image6", "Image7", "Image5", "Image10", "Image11",                     // toolbar
    "Image12", "Image16", "Image13", "Image14",                                      // toggles
    "Label1", "Label26",                                                             // font, colour
    "Picture8", "Picture9", "Picture10", "Picture11", "Picture7", "Picture13", "Picture4", "Picture15",
    "Picture12", "Picture5", "Picture6", "Picture16", "Picture17", "Picture14", "Picture1", "Picture3",
    "Picture2",                                                                      // the palette
    "Text1", "Label9",                                                               // search row
    "RichTextBox1"};

// How many pixels of an image are the ring's colour within a box's outline band.
int ringPixels(const QImage &image, const QRect &ring)
{
    int count = 0;
    for (int y = ring.top(); y <= ring.bottom(); ++y) {
        for (int x = ring.left(); x <= ring.right(); ++x) {
            const bool band = x < ring.left() + FormWindow::RingWidth || x > ring.right() - FormWindow::RingWidth ||
                              y < ring.top() + FormWindow::RingWidth || y > ring.bottom() - FormWindow::RingWidth;
            if (band && QColor(image.pixel(x, y)) == FormWindow::RingColor)
                ++count;
        }
    }
    return count;
}

int bandSize(const QRect &ring)
{
    const int w = FormWindow::RingWidth;
    return ring.width() * ring.height() - (ring.width() - 2 * w) * (ring.height() - 2 * w);
}

// Contrast between two colours as screen-reader guidelines measure it (1 to 21).
double contrast(const QColor &a, const QColor &b)
{
    auto luminance = [](const QColor &c) {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A mouse press, which hides the rings until a key is used again.
void useTheMouse(QWidget *window)
{
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(1, window->height() - 2));
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
    void ringShowsOnTheFocusedAnswer_data();
    void ringShowsOnTheFocusedAnswer();
    void promptOpenedByTheKeyboardShowsItsRing();
    void mainWindowRingFollowsTheVisualOrder();
    void tabIsTypedInTheEditor();
    void spaceTakesTheStyleToggle();
    void swatchesTakeTheRing();
    void everyCommandTakesTheKeyboard_data();
    void everyCommandTakesTheKeyboard();
    void ringStandsOutOnEveryCommand();
    void maximiseHandsTheRingToRestore();

private:
    // Tabs from the editor until the keyboard is on the named control.
    void tabTo(const QString &name);

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
        QTest::addRow("Form%d Return on opening: Oui", which)
            << which << QList<int>{Qt::Key_Return} << QStringList{"Label3"} << false;
        QTest::addRow("Form%d Space on opening: Oui", which)
            << which << QList<int>{Qt::Key_Space} << QStringList{"Label3"} << false;
        QTest::addRow("Form%d Tab Space: Non", which)
            << which << QList<int>{Qt::Key_Tab, Qt::Key_Space} << QStringList{"Label2"} << false;
        QTest::addRow("Form%d two Tabs Enter: annuler", which)
            << which << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Enter} << QStringList{"Label4"} << false;
        QTest::addRow("Form%d three Tabs come round to Oui", which)
            << which << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return} << QStringList{"Label3"}
            << false;
        QTest::addRow("Form%d Shift+Tab from the start: annuler", which)
            << which << QList<int>{Qt::Key_Backtab, Qt::Key_Space} << QStringList{"Label4"} << false;
        QTest::addRow("Form%d Shift+Tab twice: Non", which)
            << which << QList<int>{Qt::Key_Backtab, Qt::Key_Backtab, Qt::Key_Return} << QStringList{"Label2"}
            << false;
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
    // The keyboard is on "Oui" from the start.
    QCOMPARE(prompt->ringControl()->name(), QStringLiteral("Label3"));
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

void tst_Keyboard::ringShowsOnTheFocusedAnswer_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("Form2") << 2;
    QTest::newRow("Form3") << 3;
}

void tst_Keyboard::ringShowsOnTheFocusedAnswer()
{
    QFETCH(int, which);
    // Opened by the mouse: the keyboard is on "Oui", but no ring is drawn until a
    // key is used, so the mouse user's prompt looks as it always did.
    useTheMouse(fx.form.get());
    PromptForm *prompt = showPrompt(which);
    QTRY_COMPARE(QApplication::focusWidget(), prompt);
    QCOMPARE(prompt->ringControl()->name(), QStringLiteral("Label3"));
    QVERIFY(!prompt->showsRing());
    const QImage plain = prompt->grab().toImage();
    const QRect oui = prompt->ringBox(prompt->control("Label3"));
    const QRect non = prompt->ringBox(prompt->control("Label2"));
    // "Oui" is the word with its tick: one ring round both, a pixel of ground and
    // the ring's width outside them.
    const QRect ouiBoth = prompt->control("Label3").boxPixels().united(prompt->control("Image3").boxPixels());
    const int out = 1 + FormWindow::RingWidth;
    QCOMPARE(oui, ouiBoth.adjusted(-out, -out, out, out));
    QCOMPARE(ringPixels(plain, oui), 0);

    press(Qt::Key_Tab);
    QCOMPARE(prompt->ringControl()->name(), QStringLiteral("Label2"));
    const QImage onNon = prompt->grab().toImage();
    // A solid band of the ring's colour all round the answer; nothing else changes.
    QCOMPARE(ringPixels(onNon, non), bandSize(non));
    QCOMPARE(changedPixels(plain, onNon, onNon.rect()), changedPixels(plain, onNon, non));
    QCOMPARE(changedPixels(plain, onNon, oui), 0);

    press(Qt::Key_Tab, Qt::ShiftModifier);
    const QImage onOui = prompt->grab().toImage();
    QCOMPARE(ringPixels(onOui, oui), bandSize(oui));
    QCOMPARE(changedPixels(plain, onOui, non), 0);
    // It stands out on the prompt's skin: the panel the answers lie on, the tab
    // under "annuler" and the window's ground.
    const QColor panel = prompt->palette().color(QPalette::Base);
    for (const QColor &skin : {panel, QColor(0x98, 0xD7, 0xEB), QColor(0xDC, 0xF1, 0xF8)})
        QVERIFY2(contrast(FormWindow::RingColor, skin) >= 4.5, qPrintable(skin.name()));
}

void tst_Keyboard::promptOpenedByTheKeyboardShowsItsRing()
{
    // Space on "Nouveau document" with a modified document: the prompt opens with
    // the ring on "Oui", and Enter answers it.
    fx.append(QStringLiteral("gardé"));
    tabTo(QStringLiteral("Image9"));
    press(Qt::Key_Space);
    QPointer<Form2> prompt = Form2::current();
    QVERIFY(prompt);
    QTRY_COMPARE(QApplication::focusWidget(), prompt.data());
    QVERIFY(prompt->showsRing());
    const QImage shown = prompt->grab().toImage();
    const QRect oui = prompt->ringBox(prompt->control("Label3"));
    QCOMPARE(ringPixels(shown, oui), bandSize(oui));
    QSignalSpy spy(prompt.data(), &FormWindow::eventRaised);
    press(Qt::Key_Return);
    QCOMPARE(clicks(spy), QStringList{"Label3"});
}

void tst_Keyboard::tabTo(const QString &name)
{
    fx.editor()->setFocus(Qt::OtherFocusReason);
    press(Qt::Key_Tab, Qt::ControlModifier);
    for (int i = 0; i < VisualOrder.size() && keyboardAt(fx.form.get()) != name; ++i)
        press(Qt::Key_Tab);
    QCOMPARE(keyboardAt(fx.form.get()), name);
}

void tst_Keyboard::mainWindowRingFollowsTheVisualOrder()
{
    // From the editor, Ctrl+Tab goes to the title strip's first glyph, then Tab goes
    // round every command in the window's visual order (restore is off while the
    // window is not maximised) and back into the editor.
    fx.editor()->setFocus(Qt::OtherFocusReason);
    QStringList order;
    press(Qt::Key_Tab, Qt::ControlModifier);
    order << keyboardAt(fx.form.get());
    for (int i = 0; i < VisualOrder.size() + 2 && order.last() != QLatin1String("RichTextBox1"); ++i) {
        press(Qt::Key_Tab);
        order << keyboardAt(fx.form.get());
    }
    QCOMPARE(order, VisualOrder);
    // And back: Shift+Tab from the editor goes the other way round.
    QStringList back;
    for (int i = 0; i < VisualOrder.size(); ++i) {
        press(Qt::Key_Tab, Qt::ShiftModifier);
        back.prepend(keyboardAt(fx.form.get()));
    }
    QStringList expected = VisualOrder.mid(0, VisualOrder.size() - 1);
    expected.prepend(QStringLiteral("RichTextBox1"));
    QCOMPARE(back.join(QLatin1Char(' ')), expected.join(QLatin1Char(' ')));
    // Ctrl+Shift+Tab leaves the editor backwards, to the search link.
    fx.editor()->setFocus(Qt::OtherFocusReason);
    press(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(keyboardAt(fx.form.get()), QStringLiteral("Label9"));
    // A click on a picture leaves the focus where it was: in the editor.
    fx.editor()->setFocus();
    fx.click("Image12");
    QCOMPARE(QApplication::focusWidget(), fx.editor());
}

void tst_Keyboard::tabIsTypedInTheEditor()
{
    fx.editor()->setFocus(Qt::OtherFocusReason);
    press(Qt::Key_A);
    press(Qt::Key_Tab);
    press(Qt::Key_B);
    QCOMPARE(QApplication::focusWidget(), fx.editor());
    QCOMPARE(fx.editor()->document()->toPlainText(), QStringLiteral("a\tb"));
}

void tst_Keyboard::spaceTakesTheStyleToggle()
{
    fx.append(QStringLiteral("Bonjour"));
    fx.select(0, 7);
    tabTo(QStringLiteral("Image12"));
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
    // Shift+Tab from the search field reaches the last swatch: the palette's lower
    // row, on the right.
    fx.append(QStringLiteral("Bonjour"));
    fx.select(0, 7);
    fx.form->Text1->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Tab, Qt::ShiftModifier);
    QWidget *swatch = fx.form->control("Picture2").widget();
    QCOMPARE(QApplication::focusWidget(), swatch);
    // Black dots on a white line round the swatch's own colour.
    const QImage image = swatch->grab().toImage();
    int white = 0, black = 0;
    for (int x = 0; x < image.width(); ++x) {
        white += image.pixelColor(x, 0) == QColor(Qt::white);
        black += image.pixelColor(x, 0) == QColor(Qt::black);
    }
    QVERIFY(white > 0 && black > 0 && white + black == image.width());
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(64, 64, 64));
    // And the window's ring round it, on the panel, where no other swatch lies.
    const QImage window = fx.form->grab().toImage();
    const QRect ring = fx.form->ringBox(fx.form->control("Picture2"));
    QCOMPARE(QColor(window.pixel(ring.center().x(), ring.bottom())), FormWindow::RingColor);
    QCOMPARE(QColor(window.pixel(ring.right(), ring.center().y())), FormWindow::RingColor);
    press(Qt::Key_Space);
    // The swatch's click: its colour on the selection, the focus back in the editor.
    QCOMPARE(fx.formatAt(0).foreground().color(), QColor(64, 64, 64));
    QCOMPARE(QApplication::focusWidget(), fx.editor());
}

void tst_Keyboard::everyCommandTakesTheKeyboard_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    int i = 0;
    for (const QString &name : VisualOrder) {
        if (name == QLatin1String("Text1") || name == QLatin1String("RichTextBox1"))
            continue;
        // Space and Enter by turns, the keypad's Enter now and then.
        const int key = i % 3 == 0 ? Qt::Key_Space : i % 3 == 1 ? Qt::Key_Return : Qt::Key_Enter;
        QTest::addRow("%s", qPrintable(name)) << name << key;
        ++i;
    }
}

void tst_Keyboard::everyCommandTakesTheKeyboard()
{
    QFETCH(QString, control);
    QFETCH(int, key);
    fx.append(QStringLiteral("Bonjour"));
    fx.select(0, 7);
    fx.services.dialogs->fontAnswers.push_back(std::nullopt);
    fx.services.dialogs->colorAnswers.push_back(std::nullopt);
    tabTo(control);
    QSignalSpy spy(fx.form.get(), &FormWindow::eventRaised);
    const int fonts = fx.services.dialogs->fontDialogs;
    const int colours = fx.services.dialogs->colorDialogs;
    press(Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(clicks(spy), QStringList{control});
    // What the handler did, where the user sees it.
    if (control == QLatin1String("Label1"))
        QCOMPARE(fx.services.dialogs->fontDialogs, fonts + 1);
    else if (control == QLatin1String("Label26"))
        QCOMPARE(fx.services.dialogs->colorDialogs, colours + 1);
    else if (control == QLatin1String("Label5"))
        QTRY_VERIFY(Form3::current() && Form3::current()->isVisible()); // modified: asks first
    else if (control == QLatin1String("Label6"))
        QTRY_VERIFY(fx.form->isMaximized());
    else if (control == QLatin1String("Label4"))
        QTRY_VERIFY(fx.form->isMinimized());
    else if (control.startsWith(QLatin1String("Picture")))
        QCOMPARE(fx.formatAt(0).foreground().color(),
                 ColorInt::toQColor(fx.form->control(control.toLatin1().constData()).backColor()));
}

void tst_Keyboard::ringStandsOutOnEveryCommand()
{
    // The ring round each drawn command is a solid band of the ring's colour, and
    // stands out on what lies beneath: the window's skin where it was drawn.
    // The window as the mouse user sees it, with the keyboard in the search field,
    // whose cursor blinks: that field and the editor are left out of comparisons.
    fx.form->Text1->setFocus(Qt::OtherFocusReason);
    const QImage plain = fx.form->grab().toImage();
    const QRect field = fx.form->Text1->geometry();
    const QRect editor = fx.editor()->geometry();
    for (const QString &name : VisualOrder) {
        Control &c = fx.form->control(name.toLatin1().constData());
        if (!c.isDrawn())
            continue;
        tabTo(name);
        QVERIFY(fx.form->showsRing());
        const QImage shown = fx.form->grab().toImage();
        const QRect ring = fx.form->ringBox(c);
        QCOMPARE(ringPixels(shown, ring), bandSize(ring));
        // Each pixel of the band's outer line stands out on the skin it covers.
        double weakest = 21;
        for (int x = ring.left(); x <= ring.right(); ++x) {
            for (const int y : {ring.top(), ring.bottom()})
                weakest = std::min(weakest, contrast(FormWindow::RingColor, QColor(plain.pixel(x, y))));
        }
        QVERIFY2(weakest >= 3, qPrintable(QStringLiteral("%1: %2").arg(name).arg(weakest)));
        // Nothing else of the window changes.
        int elsewhere = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QPoint p(x, y);
                if (!ring.contains(p) && !field.contains(p) && !editor.contains(p))
                    elsewhere += shown.pixel(p) != plain.pixel(p);
            }
        }
        QVERIFY2(elsewhere == 0, qPrintable(QStringLiteral("%1: %2").arg(name).arg(elsewhere)));
    }
}

void tst_Keyboard::maximiseHandsTheRingToRestore()
{
    tabTo(QStringLiteral("Label6"));
    press(Qt::Key_Space);
    QTRY_VERIFY(fx.form->isMaximized());
    QCOMPARE(keyboardAt(fx.form.get()), QStringLiteral("Label7"));
    press(Qt::Key_Return);
    QTRY_VERIFY(!fx.form->isMaximized());
    QCOMPARE(fx.form->control("Label6").isEnabled(), true);
}

QTEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"
