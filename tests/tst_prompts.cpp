// The prompt windows and the main window's title strip on the offscreen platform:
// layout and stacking, one window at a time, activation looks, dragging by the
// prompt's surface and by the caption, and the window-state glyphs.
#include "platform/services.h"
#include "shell/form1.h"
#include "document/form2.h"
#include "document/form3.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include <algorithm>

namespace {

constexpr quint32 LightBlue = 0x00EBD798;
constexpr quint32 Grey = 0x00C0C0C0;
constexpr quint32 Blue = 0x00BE9825;

// A prompt's panel where no label or image lies, and the question text.
constexpr QPoint Panel(20, 73);

QPoint centreOf(const FormWindow *w, const char *name)
{
    return w->control(name).boxPixels().center();
}

// The pointer at a place on the screen, with buttons held: the window receives it
// relative to where the window is now, as a real pointer's events arrive.
void moveWith(QWidget *w, QPoint global, Qt::MouseButtons held, Qt::KeyboardModifiers modifiers = {})
{
    const QPoint local = global - w->mapToGlobal(QPoint(0, 0));
    QMouseEvent event(QEvent::MouseMove, QPointF(local), QPointF(global), Qt::NoButton, held, modifiers);
    QApplication::sendEvent(w, &event);
}

// Presses at a point of the window, moves the pointer by a delta in two steps with
// the button held, and releases it there.
void drag(QWidget *w, QPoint from, QPoint delta, Qt::KeyboardModifiers modifiers = {})
{
    const QPoint start = w->mapToGlobal(from);
    QTest::mousePress(w, Qt::LeftButton, modifiers, from);
    moveWith(w, start + delta / 2, Qt::LeftButton, modifiers);
    moveWith(w, start + delta, Qt::LeftButton, modifiers);
    QTest::mouseRelease(w, Qt::LeftButton, modifiers, start + delta - w->mapToGlobal(QPoint(0, 0)));
}

PromptForm *showPrompt(int which)
{
    return which == 2 ? static_cast<PromptForm *>(Form2::showPrompt())
                      : static_cast<PromptForm *>(Form3::showPrompt());
}

class FactorScreen final : public Screen
{
public:
    FactorScreen(double x, double y) : m_x(x), m_y(y) {}
    QRect geometry(const QWidget *) const override { return QGuiApplication::primaryScreen()->geometry(); }
    double twipsPerPixelX() const override { return m_x; }
    double twipsPerPixelY() const override { return m_y; }
    void setMousePointer(int) override {}
    int mousePointer() const override { return 0; }

private:
    double m_x;
    double m_y;
};

} // namespace

class tst_Prompts final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void oneWindowAtATime_data();
    void oneWindowAtATime();
    void titleStripFollowsActivation_data();
    void titleStripFollowsActivation();
    void promptDragsByItsSurface_data();
    void promptDragsByItsSurface();
    void pressStoresTheAnchorWhateverTheButton();
    void moveBeforeAnyPressUsesTheOrigin();
    void verticalSnapUsesTheHorizontalFactor();
    void captionDragSnapsAndLogoDoesNot();
    void glyphsFollowTheWindowState();

private:
    QPointer<Form1> m_form1;
};

void tst_Prompts::init()
{
    Services::restoreAll();
    m_form1 = new Form1;
    m_form1->start();
    QTRY_VERIFY(m_form1->isActiveWindow());
}

void tst_Prompts::cleanup()
{
    delete Form2::current();
    delete Form3::current();
    delete m_form1;
    Services::restoreAll();
}

void tst_Prompts::layout_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("frontToBack");
    QTest::addColumn<QString>("atOuiAndTick");
    QTest::addColumn<QString>("atOuiAndAnnuler");
    QTest::newRow("Form2") << 2 << "Form2" << "Voulez-vous enregsiter le document en cours ?"
                           << QStringList{"Label4", "Image1", "Label3", "Image3", "Label2", "Image2",
                                          "Shape2", "Label1", "Shape4", "Shape1", "Shape3"}
                           << "Label3" << "Label4";
    QTest::newRow("Form3") << 3 << "Form3" << "Voulez-vous  enregistrer le document en cours ? avant de quitter"
                           << QStringList{"Shape2", "Image2", "Label2", "Image3", "Label3", "Image1",
                                          "Label4", "Label1", "Shape4", "Shape1", "Shape3"}
                           << "Image3" << "Label3";
}

void tst_Prompts::layout()
{
    QFETCH(int, which);
    QFETCH(QString, caption);
    QFETCH(QString, question);
    QFETCH(QStringList, frontToBack);
    QFETCH(QString, atOuiAndTick);
    QFETCH(QString, atOuiAndAnnuler);

    PromptForm *prompt = showPrompt(which);
    QCOMPARE(prompt->caption(), caption);
    QCOMPARE(prompt->size(), QSize(289, 100));
    QVERIFY(prompt->isWindow());
    QVERIFY(prompt->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(prompt->control("Label1").caption(), question);
    QStringList order;
    for (const auto &c : prompt->controls())
        order << c->name();
    QCOMPARE(order, frontToBack);
    // Where "Oui" meets the tick (and "annuler") by one pixel, each window's own
    // stacking order decides which control a click reaches.
    QCOMPARE(prompt->drawnControlAt(QPoint(184, 70))->name(), atOuiAndTick);
    QCOMPARE(prompt->drawnControlAt(QPoint(184, 80))->name(), atOuiAndAnnuler);
    QCOMPARE(prompt->drawnControlAt(Panel), nullptr);

    const QImage shot = prompt->grab().toImage();
    // The middle panel follows the desktop's window background; the rest is fixed.
    QCOMPARE(shot.pixelColor(Panel), QGuiApplication::palette().color(QPalette::Active, QPalette::Base));
    QCOMPARE(shot.pixelColor(0, 50), QColor(37, 152, 190));   // the border
    QCOMPARE(shot.pixelColor(10, 50), QColor(152, 215, 235)); // the light-blue margin
    QCOMPARE(shot.pixelColor(286, 97), QColor(220, 241, 248)); // the window's back colour
}

void tst_Prompts::oneWindowAtATime_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("Form2") << 2;
    QTest::newRow("Form3") << 3;
}

void tst_Prompts::oneWindowAtATime()
{
    QFETCH(int, which);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();

    QPointer<PromptForm> first = showPrompt(which);
    QCOMPARE(first->geometry().center(), screen.center());
    drag(first, Panel, QPoint(40, 30));
    const QPoint moved = first->pos();
    QCOMPARE(moved, screen.center() - QPoint(144, 49) + QPoint(40, 30));

    // Showing it again shows the same window where it is.
    QCOMPARE(showPrompt(which), first.data());
    QCOMPARE(first->pos(), moved);
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](QWidget *w) { return w->isVisible() && qobject_cast<PromptForm *>(w); }),
             1);

    // "annuler" closes and destroys it; the next showing starts from the definition.
    QTest::mouseClick(first, Qt::LeftButton, {}, centreOf(first, "Label4"));
    QTRY_VERIFY(first.isNull());
    PromptForm *second = showPrompt(which);
    QCOMPARE(second->geometry().center(), screen.center());
    QCOMPARE(second->DragStartX, 0.0f);
}

void tst_Prompts::titleStripFollowsActivation_data()
{
    oneWindowAtATime_data();
}

void tst_Prompts::titleStripFollowsActivation()
{
    QFETCH(int, which);
    Form1 *form = m_form1;
    const char *glyphs[] = {"Label4", "Label5", "Label6", "Label7"};

    // Start-up's Activate turns the lamp's border light blue; the logo panel keeps
    // its layout border.
    QCOMPARE(form->control("Shape5").borderColor(), LightBlue);
    QCOMPARE(form->control("Shape2").borderColor(), Blue);
    QCOMPARE(form->grab().toImage().pixelColor(618, 14), QColor(152, 215, 235));

    QPointer<PromptForm> prompt = showPrompt(which);
    QTRY_VERIFY(prompt->isActiveWindow());
    for (const char *glyph : glyphs)
        QCOMPARE(form->control(glyph).backColor(), Grey);
    QCOMPARE(form->control("Shape2").borderColor(), Grey);
    QCOMPARE(form->control("Shape5").borderColor(), Grey);
    QCOMPARE(form->control("Label3").foreColor(), Grey);
    QCOMPARE(form->grab().toImage().pixelColor(618, 14), QColor(192, 192, 192));

    // The prompt closes, the main window is active again with its active look, and
    // the logo panel stays grey.
    QTest::mouseClick(prompt, Qt::LeftButton, {}, centreOf(prompt, "Label4"));
    QTRY_VERIFY(form->isActiveWindow());
    for (const char *glyph : glyphs)
        QCOMPARE(form->control(glyph).backColor(), LightBlue);
    QCOMPARE(form->control("Shape5").borderColor(), LightBlue);
    QCOMPARE(form->control("Label3").foreColor(), Blue);
    QCOMPARE(form->control("Shape2").borderColor(), Grey);
    QCOMPARE(form->grab().toImage().pixelColor(618, 14), QColor(152, 215, 235));
}

void tst_Prompts::promptDragsByItsSurface_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("pressOn");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("moves");
    for (const int which : {2, 3}) {
        QTest::addRow("Form%d panel", which) << which << "" << int(Qt::NoModifier) << true;
        QTest::addRow("Form%d panel with ctrl", which) << which << "" << int(Qt::ControlModifier) << true;
        QTest::addRow("Form%d panel with shift", which) << which << "" << int(Qt::ShiftModifier) << false;
        QTest::addRow("Form%d panel with alt", which) << which << "" << int(Qt::AltModifier) << false;
        QTest::addRow("Form%d question", which) << which << "Label1" << int(Qt::NoModifier) << false;
        QTest::addRow("Form%d cup", which) << which << "Image1" << int(Qt::NoModifier) << false;
    }
}

void tst_Prompts::promptDragsByItsSurface()
{
    QFETCH(int, which);
    QFETCH(QString, pressOn);
    QFETCH(int, modifiers);
    QFETCH(bool, moves);

    PromptForm *prompt = showPrompt(which);
    const QPoint start = prompt->pos();
    const QPoint from = pressOn.isEmpty() ? Panel : centreOf(prompt, pressOn.toLatin1().constData());
    drag(prompt, from, QPoint(-50, 35), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(prompt->pos(), moves ? start + QPoint(-50, 35) : start);
}

void tst_Prompts::pressStoresTheAnchorWhateverTheButton()
{
    PromptForm *prompt = showPrompt(2);
    const QPoint start = prompt->pos();
    QTest::mousePress(prompt, Qt::RightButton, Qt::ShiftModifier, Panel);
    QCOMPARE(prompt->DragStartX, float(Panel.x() * 15));
    QCOMPARE(prompt->DragStartY, float(Panel.y() * 15));
    const QPoint pressed = prompt->mapToGlobal(Panel);
    moveWith(prompt, pressed + QPoint(30, 30), Qt::RightButton);
    moveWith(prompt, pressed + QPoint(60, 60), Qt::LeftButton | Qt::RightButton);
    QTest::mouseRelease(prompt, Qt::RightButton, {}, Panel + QPoint(60, 60));
    QCOMPARE(prompt->pos(), start);
}

void tst_Prompts::moveBeforeAnyPressUsesTheOrigin()
{
    PromptForm *prompt = showPrompt(3);
    const QPoint start = prompt->pos();
    // A move with the left button held that was pressed elsewhere: the anchor is
    // still the one the window was created with.
    prompt->raiseMouseMove(QStringLiteral("Form"), MouseArgs{1, 0, 150, 300});
    QCOMPARE(prompt->pos(), start + QPoint(10, 20));
}

void tst_Prompts::verticalSnapUsesTheHorizontalFactor()
{
    // 20 twips per pixel across, 10 down: the snap distance is 400 twips on both
    // axes, so a top 390 twips (39 pixels) below the screen's top edge snaps.
    Services::install(std::make_unique<FactorScreen>(20.0, 10.0));
    PromptForm *prompt = showPrompt(2);
    const QPoint panel(15, 110); // (300, 1100) twips at this scale
    const QPoint start = prompt->pos();
    QTest::mousePress(prompt, Qt::LeftButton, {}, panel);
    const QPoint pressed = prompt->mapToGlobal(panel);
    moveWith(prompt, QPoint(pressed.x(), 39 + panel.y()), Qt::LeftButton);
    QCOMPARE(prompt->pos(), QPoint(start.x(), 0));
    // 41 pixels (410 twips) is beyond it: the window follows the pointer.
    moveWith(prompt, QPoint(pressed.x(), 41 + panel.y()), Qt::LeftButton);
    QCOMPARE(prompt->pos(), QPoint(start.x(), 41));
    QTest::mouseRelease(prompt, Qt::LeftButton, {}, panel);
}

void tst_Prompts::captionDragSnapsAndLogoDoesNot()
{
    Form1 *form = m_form1;
    const QPoint start = form->pos();
    const QPoint caption(50, 8);
    // Proposed left 3 pixels from the screen's edge: flush against it.
    drag(form, caption, QPoint(3 - start.x(), 0));
    QCOMPARE(form->pos(), QPoint(0, start.y()));
    // With Ctrl the window follows the pointer off the screen.
    drag(form, caption, QPoint(-20, -start.y() - 5), Qt::ControlModifier);
    QCOMPARE(form->pos(), QPoint(-20, -5));
    // The logo is no drag source.
    const QPoint before = form->pos();
    drag(form, centreOf(form, "Image18"), QPoint(100, 100));
    QCOMPARE(form->pos(), before);
}

void tst_Prompts::glyphsFollowTheWindowState()
{
    Form1 *form = m_form1;
    Control &maximize = form->control("Label6");
    Control &restore = form->control("Label7");
    QVERIFY(maximize.isEnabled());
    QVERIFY(!restore.isEnabled());

    QTest::mouseClick(form, Qt::LeftButton, {}, centreOf(form, "Label6"));
    QTRY_VERIFY(form->windowState() & Qt::WindowMaximized);
    QVERIFY(!maximize.isEnabled());
    QVERIFY(restore.isEnabled());
    QCOMPARE(maximize.foreColor(), 0x80000011u);
    QCOMPARE(restore.foreColor(), 0x80000012u);
    // Nothing inside moves; the caption no longer drags the window.
    QCOMPARE(form->control("RichTextBox1").widget()->geometry(), QRect(9, 105, 615, 300));
    const QPoint maximizedAt = form->pos();
    drag(form, QPoint(50, 8), QPoint(100, 100));
    QCOMPARE(form->pos(), maximizedAt);
    // The disabled maximize glyph ignores a click.
    QTest::mouseClick(form, Qt::LeftButton, {}, centreOf(form, "Label6"));
    QVERIFY(!maximize.isEnabled());

    QTest::mouseClick(form, Qt::LeftButton, {}, centreOf(form, "Label7"));
    QTRY_VERIFY(!(form->windowState() & Qt::WindowMaximized));
    QVERIFY(maximize.isEnabled());
    QVERIFY(!restore.isEnabled());
    QCOMPARE(maximize.foreColor(), 0x80000012u);
    QCOMPARE(restore.foreColor(), 0x80000011u);
    QTest::mouseClick(form, Qt::LeftButton, {}, centreOf(form, "Label7"));
    QVERIFY(!(form->windowState() & Qt::WindowMaximized));

    QTest::mouseClick(form, Qt::LeftButton, {}, centreOf(form, "Label4"));
    QTRY_VERIFY(form->windowState() & Qt::WindowMinimized);
    QVERIFY(maximize.isEnabled());
    QVERIFY(!restore.isEnabled());
}

QTEST_MAIN(tst_Prompts)
#include "tst_prompts.moc"
