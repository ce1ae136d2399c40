// The running main window held against its definition: boxes, colours, stacking,
// where clicks land, cursors, and the state at start-up.

#include "scriptedservices.h"

#include "platform/colors.h"
#include "platform/richtextbox.h"
#include "shell/form1.h"
#include "shell/form1def.h"
#include "shell/skin.h"
#include "shell/twips.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTextCursor>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

bool isWindowedAt(const Form1 &form, const QPoint &p)
{
    for (const auto &c : form.controls()) {
        QWidget *w = c->widget();
        if (w && w->isVisible() && w->geometry().contains(p))
            return true;
    }
    return false;
}

// A pixel where the control is the frontmost of all controls (drawn or windowed),
// so what shows or what takes the mouse there is the control itself.
std::optional<QPoint> exposedPoint(const Form1 &form, const Control &target, int inset = 2, bool mouseOnly = false)
{
    const QRect box = target.boxPixels().adjusted(inset, inset, -inset, -inset);
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            const QPoint p(x, y);
            if (isWindowedAt(form, p))
                continue;
            if (target.def().shape == ShapeStyle::RoundedRectangle && target.kind() == ControlKind::Shape) {
                const QRect b = target.boxPixels();
                const int r = qMax(2, qMin(b.width(), b.height()) / 6) + 1;
                const bool clearOfCorners = (x >= b.left() + r && x <= b.right() - r) ||
                                            (y >= b.top() + r && y <= b.bottom() - r);
                if (!clearOfCorners)
                    continue;
            }
            if (target.def().shape == ShapeStyle::Circle && target.kind() == ControlKind::Shape) {
                const QRect b = target.boxPixels();
                const int d = qMin(b.width(), b.height());
                const QPointF centre(b.x() + b.width() / 2.0, b.y() + b.height() / 2.0);
                if (QLineF(centre, QPointF(p) + QPointF(0.5, 0.5)).length() > d / 2.0 - 1.5)
                    continue;
            }
            const Control *front = nullptr;
            for (const auto &c : form.controls()) {
                if (!c->isDrawn() || !c->isVisible() || (mouseOnly && !c->takesMouse()))
                    continue;
                const QRect b = c->boxPixels().adjusted(0, 0, c->kind() == ControlKind::Line ? 1 : 0,
                                                         c->kind() == ControlKind::Line ? 1 : 0);
                // An outline without fill covers only its edges.
                const bool outlineOnly = c->kind() == ControlKind::Shape && c->fillColor() == NoColor;
                if (outlineOnly && b.adjusted(1, 1, -1, -1).contains(p))
                    continue;
                if (b.contains(p)) {
                    front = c.get();
                    break;
                }
            }
            if (front == &target)
                return p;
        }
    }
    return std::nullopt;
}

QColor rgb(quint32 colorInt)
{
    return ColorInt::toQColor(colorInt);
}

} // namespace

class tst_Form1Layout : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsAsDefined();
    void boxesFollowTheDefinition();
    void windowedControlsLieAboveAndInTabOrder();
    void panelsAndLampsShowTheirColours();
    void bordersAndLinesShowTheirColour();
    void clickReachesItsHandler_data();
    void clickReachesItsHandler();
    void frontmostControlTakesThePress();
    void pressOnAShapeReachesTheWindow();
    void disabledGlyphIgnoresClicks();
    void cursors_data();
    void cursors();
    void typingGoesToTheEditor();
    void fontDisplaysStayInTheirBox();

private:
    ScriptedServices m_services;
    std::unique_ptr<Form1> m_form;
};

void tst_Form1Layout::init()
{
    m_services = ScriptedServices::install();
    m_form = std::make_unique<Form1>();
    m_form->start();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void tst_Form1Layout::cleanup()
{
    m_form.reset();
    Services::restoreAll();
}

void tst_Form1Layout::startsAsDefined()
{
    Form1 &form = *m_form;
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(form.windowTitle(), QStringLiteral("Orvo..."));
    QCOMPARE(Twips::perPixelX(), 15.0);
    QCOMPARE(form.size(), QSize(634, 413));
    const QRect screen = form.screen()->geometry();
    QVERIFY(qAbs(form.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(form.geometry().center().y() - screen.center().y()) <= 1);

    // The modified flag is the hidden, disabled Command1.
    auto *command1 = qobject_cast<QPushButton *>(form.control("Command1").widget());
    QVERIFY(command1);
    QVERIFY(!command1->isVisible());
    QVERIFY(!form.control("Command1").isEnabled());
    QVERIFY(!form.isModified());

    QTRY_VERIFY(form.RichTextBox1->hasFocus());
    QVERIFY(form.RichTextBox1->toPlainText().isEmpty());
    QVERIFY(form.Text1->text().isEmpty());
    QCOMPARE(form.control("Label3").caption(), QStringLiteral("orvo ..."));

    // Restore is greyed at start-up, the other glyphs are live.
    QVERIFY(!form.control("Label7").isEnabled());
    QVERIFY(form.control("Label6").isEnabled());
    QVERIFY(form.control("Label4").isEnabled());
    QVERIFY(form.control("Label5").isEnabled());

    QVERIFY(form.timer("Timer1") && !form.timer("Timer1")->isActive());
    QVERIFY(form.timer("Timer2") && !form.timer("Timer2")->isActive());
    QVERIFY(form.timer("Timer4"));
}

void tst_Form1Layout::boxesFollowTheDefinition()
{
    const FormDef &def = form1Definition();
    QCOMPARE(m_form->controls().size(), size_t(def.controlCount));
    for (int i = 0; i < def.controlCount; ++i) {
        const ControlDef &row = def.controls[i];
        const Control &c = *m_form->controls().at(size_t(i));
        QCOMPARE(c.name(), QString::fromLatin1(row.name));
        if (row.kind == ControlKind::Timer || row.kind == ControlKind::CommonDialog || row.kind == ControlKind::Line)
            continue;
        // At 96 dpi every box of the definition falls on whole pixels (15 twips each)
        // give or take the rounding of the few odd ones.
        const QRect expected(qRound(row.left / 15.0), qRound(row.top / 15.0),
                             qRound((row.left + row.width) / 15.0) - qRound(row.left / 15.0),
                             qRound((row.top + row.height) / 15.0) - qRound(row.top / 15.0));
        QCOMPARE(c.boxPixels(), expected);
        if (c.widget())
            QCOMPARE(c.widget()->geometry(), expected);
    }
    // A few boxes spelled out in pixels.
    QCOMPARE(m_form->control("RichTextBox1").widget()->geometry(), QRect(9, 105, 615, 300));
    QCOMPARE(m_form->control("Image18").boxPixels(), QRect(16, 24, 99, 63));
    QCOMPARE(m_form->control("Label5").boxPixels(), QRect(616, 0, 17, 17));
    QCOMPARE(m_form->control("Picture1").widget()->geometry(), QRect(600, 72, 13, 13));
    QCOMPARE(m_form->control("Image12").picture().size(), QSize(9, 9));
    QCOMPARE(m_form->control("Image18").picture().size(), QSize(99, 63));
}

void tst_Form1Layout::windowedControlsLieAboveAndInTabOrder()
{
    // Children are stacked in creation order: the frontmost windowed control is last.
    const QObjectList children = m_form->children();
    auto stackIndex = [&](const char *name) { return children.indexOf(m_form->control(name).widget()); };
    QVERIFY(stackIndex("Picture18") > stackIndex("Text1"));
    QVERIFY(stackIndex("Text1") > stackIndex("Picture12"));
    QVERIFY(stackIndex("Picture12") > stackIndex("Picture10"));
    QVERIFY(stackIndex("Picture9") > stackIndex("RichTextBox1"));

    // Tab order: the editor first (Command1 cannot take the focus), then the swatches
    // by tab index, in the palette's visual order (row by row, left to right), then
    // the search field.
    auto next = [](QWidget *w) {
        QWidget *n = w->nextInFocusChain();
        while (n != w && (w->isAncestorOf(n) || n->focusPolicy() == Qt::NoFocus || !n->isEnabled()))
            n = n->nextInFocusChain();
        return n;
    };
    QCOMPARE(next(m_form->RichTextBox1), m_form->control("Picture8").widget());
    QCOMPARE(next(m_form->control("Picture8").widget()), m_form->control("Picture9").widget());
    QCOMPARE(next(m_form->control("Picture11").widget()), m_form->control("Picture7").widget());
    QCOMPARE(next(m_form->control("Picture2").widget()), m_form->Text1);
}

void tst_Form1Layout::panelsAndLampsShowTheirColours()
{
    const QImage image = m_form->grab().toImage();
    int checked = 0;
    for (const auto &c : m_form->controls()) {
        // The editor covers the inside of its frame; it is checked below.
        if (c->kind() == ControlKind::Shape && c->fillColor() != NoColor && c->name() != QLatin1String("Shape266")) {
            const std::optional<QPoint> p = exposedPoint(*m_form, *c);
            QVERIFY2(p, qPrintable(c->name()));
            QCOMPARE(image.pixelColor(*p), rgb(c->fillColor()));
            ++checked;
        } else if (c->kind() == ControlKind::PictureBox) {
            const QRect g = c->widget()->geometry();
            QCOMPARE(image.pixelColor(g.center()), rgb(c->backColor()));
            ++checked;
        }
    }
    QCOMPARE(checked, 17 + 1 + 13); // swatches, the underline, the filled shapes
    // The opaque glyph buttons fill their boxes; the editor area is white.
    QCOMPARE(image.pixelColor(m_form->control("Label5").boxPixels().topLeft() + QPoint(1, 1)), rgb(0x00EBD798));
    QCOMPARE(image.pixelColor(m_form->RichTextBox1->geometry().center()), QColor(Qt::white));
    QCOMPARE(image.pixelColor(m_form->Text1->geometry().center()), rgb(0x00F8F1DC));
}

void tst_Form1Layout::bordersAndLinesShowTheirColour()
{
    const QImage image = m_form->grab().toImage();
    const QColor blue = rgb(0x00BE9825);
    QCOMPARE(image.pixelColor(0, 300), blue);                  // the window's border, left
    QCOMPARE(image.pixelColor(633, 300), blue);                // and right
    QCOMPARE(image.pixelColor(300, 412), blue);                // and bottom
    QCOMPARE(image.pixelColor(8, 300), blue);                  // the frame around the editor
    QCOMPARE(image.pixelColor(500, 16), blue);                 // Line2 under the title strip
    QCOMPARE(image.pixelColor(500, 30), rgb(0x00F8F1DC));      // the palette panel beneath it
    QCOMPARE(image.pixelColor(300, 8), rgb(0x00F7F1DB));       // the title strip
}

void tst_Form1Layout::clickReachesItsHandler_data()
{
    QTest::addColumn<QString>("name");
    const char *drawn[] = {"Label1", "Label26", "Label9", "Label4", "Label6", "Label5", "Image12", "Image16",
                           "Image13", "Image14", "Image11", "Image10", "Image5", "Image8", "Image7", "Image6",
                           "Image9"};
    for (const char *name : drawn)
        QTest::newRow(name) << QString::fromLatin1(name);
    for (int i = 1; i <= 17; ++i) {
        const QString name = QStringLiteral("Picture%1").arg(i);
        QTest::newRow(qPrintable(name)) << name;
    }
}

void tst_Form1Layout::clickReachesItsHandler()
{
    QFETCH(QString, name);
    Control *target = m_form->findControl(name);
    QVERIFY(target);
    QSignalSpy spy(m_form.get(), &FormWindow::eventRaised);
    if (QWidget *w = target->widget()) {
        QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
    } else {
        const std::optional<QPoint> p = exposedPoint(*m_form, *target, 1, true);
        QVERIFY(p);
        QTest::mouseClick(m_form.get(), Qt::LeftButton, {}, *p);
    }
    QStringList clicks;
    for (const QList<QVariant> &event : spy) {
        if (event.at(1).toString() == QLatin1String("Click"))
            clicks << event.at(0).toString();
    }
    QCOMPARE(clicks, QStringList{name});
}

void tst_Form1Layout::frontmostControlTakesThePress()
{
    // The logo covers Image1 completely.
    const QRect image1 = m_form->control("Image1").boxPixels();
    for (const QPoint p : {image1.topLeft() + QPoint(30, 0), image1.center(), image1.bottomRight()})
        QCOMPARE(m_form->drawnControlAt(p)->name(), QStringLiteral("Image18"));
    // The stretched gradient lies in front of the left 75 twips (5 pixels) of the
    // minimize glyph.
    const QRect glyph = m_form->control("Label4").boxPixels();
    QCOMPARE(m_form->drawnControlAt(glyph.topLeft() + QPoint(4, 5))->name(), QStringLiteral("Image4"));
    QCOMPARE(m_form->drawnControlAt(glyph.topLeft() + QPoint(5, 5))->name(), QStringLiteral("Label4"));

    QSignalSpy spy(m_form.get(), &FormWindow::eventRaised);
    QTest::mouseClick(m_form.get(), Qt::LeftButton, {}, glyph.topLeft() + QPoint(2, 8));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("Image4"));
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("Image4"));
    QCOMPARE(m_form->windowState(), Qt::WindowNoState);
}

void tst_Form1Layout::pressOnAShapeReachesTheWindow()
{
    // Inside the style panel, away from its toggles and lamps: the shapes take no
    // mouse input, so the window itself gets the press.
    const Control &panel = m_form->control("Shape7");
    const std::optional<QPoint> p = exposedPoint(*m_form, panel, 3);
    QVERIFY(p);
    QCOMPARE(m_form->drawnControlAt(*p), nullptr);
    QSignalSpy spy(m_form.get(), &FormWindow::eventRaised);
    QTest::mousePress(m_form.get(), Qt::LeftButton, {}, *p);
    QTest::mouseRelease(m_form.get(), Qt::LeftButton, {}, *p);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("Form"));
    QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("MouseDown"));
}

void tst_Form1Layout::disabledGlyphIgnoresClicks()
{
    QSignalSpy spy(m_form.get(), &FormWindow::eventRaised);
    QTest::mouseClick(m_form.get(), Qt::LeftButton, {}, m_form->control("Label7").boxPixels().center());
    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_form->windowState(), Qt::WindowNoState);
}

void tst_Form1Layout::cursors_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("hand");
    const char *hands[] = {"Label9", "Label26", "Image9", "Image6", "Image7", "Image8", "Image5",
                           "Image10", "Image11", "Image12", "Image16", "Image13", "Image14"};
    for (const char *name : hands)
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    const char *arrows[] = {"Label1", "Label4", "Label5", "Label6", "Label3", "Image18", "Label2"};
    for (const char *name : arrows)
        QTest::newRow(name) << QString::fromLatin1(name) << false;
    for (int i = 1; i <= 17; ++i)
        QTest::newRow(qPrintable(QStringLiteral("Picture%1").arg(i))) << QStringLiteral("Picture%1").arg(i) << true;
}

void tst_Form1Layout::cursors()
{
    QFETCH(QString, name);
    QFETCH(bool, hand);
    Control *target = m_form->findControl(name);
    QCursor cursor;
    if (QWidget *w = target->widget()) {
        cursor = w->cursor();
    } else {
        // Come from a place with the other cursor, so a change must happen.
        const QPoint away = hand ? QPoint(300, 300) : m_form->control("Image7").boxPixels().center();
        QTest::mouseMove(m_form.get(), away);
        const std::optional<QPoint> p = exposedPoint(*m_form, *target, 1, true);
        QVERIFY(p);
        QTest::mouseMove(m_form.get(), *p);
        cursor = m_form->cursor();
    }
    if (hand) {
        QCOMPARE(cursor.shape(), Qt::BitmapCursor);
        QCOMPARE(cursor.hotSpot(), QPoint(5, 0));
        QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
    } else {
        QCOMPARE(cursor.shape(), Qt::ArrowCursor);
    }
}

void tst_Form1Layout::typingGoesToTheEditor()
{
    QTRY_VERIFY(m_form->RichTextBox1->hasFocus());
    QTest::keyClicks(m_form->RichTextBox1, QStringLiteral("Bonjour"));
    QCOMPARE(m_form->RichTextBox1->text(), QStringLiteral("Bonjour"));
    // Typing in the search field changes nothing else.
    QCoreApplication::processEvents();
    const QImage before = m_form->grab(QRect(0, 0, 634, 100)).toImage();
    QTest::keyClicks(m_form->Text1, QStringLiteral("abc"));
    QCOMPARE(m_form->Text1->text(), QStringLiteral("abc"));
    QCOMPARE(m_form->RichTextBox1->text(), QStringLiteral("Bonjour"));
    QCoreApplication::processEvents();
    const QImage after = m_form->grab(QRect(0, 0, 634, 80)).toImage();
    // Nothing changes to the eye (edges of rounded panels may differ by a shade,
    // depending on which part was repainted).
    int changed = 0;
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 634; ++x) {
            const QColor a = after.pixelColor(x, y);
            const QColor b = before.pixelColor(x, y);
            if (qAbs(a.red() - b.red()) > 8 || qAbs(a.green() - b.green()) > 8 || qAbs(a.blue() - b.blue()) > 8)
                ++changed;
        }
    }
    QCOMPARE(changed, 0);
}

// A font name longer than its display shows on one line, ending in an ellipsis,
// and nothing of it below the line or outside the box.
void tst_Form1Layout::fontDisplaysStayInTheirBox()
{
    const QString name = QStringLiteral("DejaVu Sans Condensed");
    QTextCharFormat format;
    format.setFontFamilies({name});
    QTextCursor cursor(m_form->RichTextBox1->document());
    cursor.insertText(QStringLiteral("Bonjour"), format);
    m_form->RichTextBox1->setSelStart(0);
    m_form->RichTextBox1->setSelLength(7);
    QTRY_COMPARE(m_form->control("Label2").caption(), name);

    const Control &label = m_form->control("Label2");
    const QRect box = label.boxPixels();
    QVERIFY(QFontMetrics(label.font()).horizontalAdvance(name) > box.width());
    const int line = QFontMetrics(label.font()).height();
    QVERIFY(line < box.height());
    QCoreApplication::processEvents();
    const QImage image = m_form->grab().toImage();
    auto ink = [&](int x, int y) { return qGray(image.pixel(x, y)) < 110; };
    // Around the box: the panel, the lines and what lies beside it, as without text.
    const QRect around = box.adjusted(-2, 0, 0, 6);
    int inkedRows = 0, lastColumn = -1;
    for (int y = around.top(); y <= around.bottom(); ++y) {
        bool inked = false;
        for (int x = box.left(); x <= box.right(); ++x) {
            if (!ink(x, y))
                continue;
            QVERIFY2(y < box.top() + line, qPrintable(QStringLiteral("ink at %1,%2 below the line").arg(x).arg(y)));
            inked = true;
            lastColumn = qMax(lastColumn, x);
        }
        inkedRows += inked;
    }
    QVERIFY(inkedRows > 4);
    // The end is an ellipsis: the last inked column has its ink only low on the line,
    // where the dots sit, not a letter's stem.
    QVERIFY(lastColumn > box.right() - 12);
    for (int y = box.top(); y < box.top() + line; ++y) {
        if (ink(lastColumn, y))
            QVERIFY2(y > box.top() + line / 2, qPrintable(QStringLiteral("a stem at row %1").arg(y - box.top())));
    }
}

QTEST_MAIN(tst_Form1Layout)
#include "tst_form1layout.moc"
