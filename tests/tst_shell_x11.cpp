// The window shell on a real X server with a window manager: the built program is
// driven with real pointer events (xdotool) and its geometry read back from the
// server. The prompts, which only a modified document brings up in the program,
// are shown in this process and driven the same way.
#include "shell/form1.h"
#include "document/form2.h"

#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace {

const QSize Screen(1280, 1024);
const QSize Main(634, 413);
const QPoint Caption(50, 8);     // on Label3
const QPoint Logo(65, 55);       // on Image18
const QPoint Minimize(579, 8);   // Label4, right of the gradient that covers its left edge
const QPoint Maximize(592, 8);   // Label6
const QPoint Restore(608, 8);    // Label7
const QPoint GlyphBack(618, 14); // Label5's background, clear of its symbol
const QPoint Panel(20, 73);      // a prompt's panel, clear of its labels and images
const QPoint Question(180, 40);  // a prompt's question text
const QPoint Annuler(216, 88);   // a prompt's "annuler"
const QPoint NewImage(157, 46);  // Image9, the New command

// Runs xdotool and returns its output; the event loop keeps running meanwhile, so
// windows of this process answer the events it sends.
QString xdotool(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), args);
    if (!process.waitForStarted())
        return {};
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        process.waitForFinished(10);
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The window's client rectangle on the screen, as the X server has it.
QRect serverGeometry(WId window)
{
    const QString out =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)});
    auto value = [&](const char *key) {
        const QRegularExpression re(QStringLiteral("^%1=(-?\\d+)$").arg(QLatin1String(key)),
                                    QRegularExpression::MultilineOption);
        return re.match(out).captured(1).toInt();
    };
    return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
}

QString n(int v) { return QString::number(v); }

// Presses the left button at a point of the screen, moves the pointer to another
// in a few steps, releases it; with Ctrl held throughout when asked.
void dragOnScreen(QPoint from, QPoint to, bool ctrl = false)
{
    QStringList args;
    if (ctrl)
        args << "keydown" << "ctrl";
    args << "mousemove" << n(from.x()) << n(from.y()) << "mousedown" << "1";
    for (int step = 1; step <= 4; ++step) {
        const QPoint p = from + (to - from) * step / 4;
        args << "sleep" << "0.03" << "mousemove" << n(p.x()) << n(p.y());
    }
    args << "sleep" << "0.03" << "mouseup" << "1";
    if (ctrl)
        args << "keyup" << "ctrl";
    xdotool(args);
}

void clickOnScreen(QPoint at)
{
    xdotool({"mousemove", n(at.x()), n(at.y()), "click", "1"});
}

QColor screenPixel(QPoint at)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
}

} // namespace

class tst_ShellX11 final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void captionDragSnaps_data();
    void captionDragSnaps();
    void logoIsNoDragSource();
    void glyphsSetTheWindowState();
    void programPromptGreysTheStripAndDrags();
    void titleStripGreysWhileAPromptIsActive();
    void promptDragsByItsPanelOnly();
    void promptStaysAboveTheMainWindow();

private:
    // The built program, started afresh for each test.
    void startProgram();
    QProcess m_program;
    WId m_window = 0;
    QRect m_start;
    QPointer<Form1> m_form1;
};

void tst_ShellX11::init()
{
    m_window = 0;
}

void tst_ShellX11::cleanup()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished(3000);
    }
    delete Form2::current();
    delete m_form1;
}

void tst_ShellX11::startProgram()
{
    m_program.start(QStringLiteral(ORVO_BINARY), {});
    QVERIFY(m_program.waitForStarted());
    const QString id = xdotool({"search", "--sync", "--all", "--onlyvisible", "--pid", n(int(m_program.processId())),
                                "--name", "^Orvo\\.\\.\\.$"})
                           .section(QLatin1Char('\n'), 0, 0);
    m_window = id.toULongLong();
    QVERIFY2(m_window, "the main window did not show");
    // Centred on the screen, at its defined size.
    QTRY_COMPARE(serverGeometry(m_window).size(), Main);
    m_start = serverGeometry(m_window);
    QCOMPARE(m_start.topLeft(), QPoint((Screen.width() - Main.width()) / 2, (Screen.height() - Main.height()) / 2));
}

void tst_ShellX11::captionDragSnaps_data()
{
    QTest::addColumn<QPoint>("proposed");
    QTest::addColumn<bool>("ctrl");
    QTest::addColumn<QPoint>("expected");
    const int y = 300;
    const int right = Screen.width() - Main.width();
    const int bottom = Screen.height() - Main.height();
    QTest::newRow("left edge") << QPoint(12, y) << false << QPoint(0, y);
    QTest::newRow("right edge") << QPoint(right - 12, y) << false << QPoint(right, y);
    QTest::newRow("top edge") << QPoint(200, 12) << false << QPoint(200, 0);
    QTest::newRow("bottom edge") << QPoint(200, bottom + 12) << false << QPoint(200, bottom);
    QTest::newRow("20 pixels away stays") << QPoint(20, y) << false << QPoint(20, y);
    QTest::newRow("ctrl near the edge") << QPoint(12, 12) << true << QPoint(12, 12);
}

void tst_ShellX11::captionDragSnaps()
{
    QFETCH(QPoint, proposed);
    QFETCH(bool, ctrl);
    QFETCH(QPoint, expected);
    startProgram();
    dragOnScreen(m_start.topLeft() + Caption, proposed + Caption, ctrl);
    QTRY_COMPARE(serverGeometry(m_window).topLeft(), expected);
}

void tst_ShellX11::logoIsNoDragSource()
{
    startProgram();
    dragOnScreen(m_start.topLeft() + Logo, m_start.topLeft() + Logo + QPoint(120, 90));
    // Had the logo dragged the window, this press would miss the caption.
    dragOnScreen(m_start.topLeft() + Caption, m_start.topLeft() + Caption + QPoint(7, 9), true);
    QTRY_COMPARE(serverGeometry(m_window), QRect(m_start.topLeft() + QPoint(7, 9), Main));
}

void tst_ShellX11::glyphsSetTheWindowState()
{
    startProgram();
    const QRect normal = m_start;
    const QRect full(QPoint(0, 0), Screen);

    clickOnScreen(normal.topLeft() + Maximize);
    QTRY_COMPARE(serverGeometry(m_window), full);
    // The caption does not drag a maximized window; the glyphs stay in place.
    dragOnScreen(Caption, Caption + QPoint(100, 80));
    clickOnScreen(Restore);
    QTRY_COMPARE(serverGeometry(m_window), normal);

    // Minimized from maximized, restored through the desktop: maximized again, and
    // the restore glyph still answers.
    clickOnScreen(normal.topLeft() + Maximize);
    QTRY_COMPARE(serverGeometry(m_window), full);
    clickOnScreen(Minimize);
    QTRY_VERIFY(xdotool({"search", "--all", "--onlyvisible", "--pid", n(int(m_program.processId())), "--name",
                         "^Orvo\\.\\.\\.$"})
                    .trimmed()
                    .isEmpty());
    xdotool({"windowactivate", "--sync", n(int(m_window))});
    QTRY_COMPARE(serverGeometry(m_window), full);
    clickOnScreen(Restore);
    QTRY_COMPARE(serverGeometry(m_window), normal);

    // Minimized from the normal state, it comes back normal.
    clickOnScreen(normal.topLeft() + Minimize);
    QTRY_VERIFY(xdotool({"search", "--all", "--onlyvisible", "--pid", n(int(m_program.processId())), "--name",
                         "^Orvo\\.\\.\\.$"})
                    .trimmed()
                    .isEmpty());
    xdotool({"windowactivate", "--sync", n(int(m_window))});
    QTRY_COMPARE(serverGeometry(m_window), normal);
}

void tst_ShellX11::programPromptGreysTheStripAndDrags()
{
    startProgram();
    const QPoint main = m_start.topLeft();
    QCOMPARE(screenPixel(main + GlyphBack), QColor(152, 215, 235));

    // A change to the document, then New: the program shows its prompt.
    xdotool({"type", "x"});
    clickOnScreen(main + NewImage);
    const QString id = xdotool({"search", "--sync", "--all", "--onlyvisible", "--pid", n(int(m_program.processId())),
                                "--name", "^Form2$"})
                           .section(QLatin1Char('\n'), 0, 0);
    const WId prompt = id.toULongLong();
    QVERIFY2(prompt, "the prompt did not show");
    QTRY_COMPARE(serverGeometry(prompt).size(), QSize(289, 100));
    const QRect start = serverGeometry(prompt);
    QCOMPARE(start.center(), QRect(QPoint(0, 0), Screen).center());
    QTRY_COMPARE(screenPixel(main + GlyphBack), QColor(192, 192, 192));

    // The question text is no drag source; the panel is.
    dragOnScreen(start.topLeft() + Question, start.topLeft() + Question + QPoint(90, -60));
    dragOnScreen(start.topLeft() + Panel, start.topLeft() + Panel + QPoint(160, 120));
    const QPoint moved = start.topLeft() + QPoint(160, 120);
    QTRY_COMPARE(serverGeometry(prompt).topLeft(), moved);

    // "annuler": the prompt goes, the main window is active again.
    clickOnScreen(moved + Annuler);
    QTRY_COMPARE(screenPixel(main + GlyphBack), QColor(152, 215, 235));
    QVERIFY(xdotool({"search", "--all", "--onlyvisible", "--pid", n(int(m_program.processId())), "--name", "^Form2$"})
                .trimmed()
                .isEmpty());
}

void tst_ShellX11::titleStripGreysWhileAPromptIsActive()
{
    m_form1 = new Form1;
    m_form1->start();
    QTRY_VERIFY(m_form1->isActiveWindow());
    const QPoint glyph = m_form1->mapToGlobal(GlyphBack);
    QTRY_COMPARE(screenPixel(glyph), QColor(152, 215, 235));

    QPointer<Form2> prompt = Form2::showPrompt();
    QTRY_VERIFY(prompt->isActiveWindow());
    QTRY_COMPARE(screenPixel(glyph), QColor(192, 192, 192));

    // "annuler", clicked for real: the prompt goes and the main window's look returns.
    clickOnScreen(prompt->mapToGlobal(prompt->control("Label4").boxPixels().center()));
    QTRY_VERIFY(prompt.isNull());
    QTRY_VERIFY(m_form1->isActiveWindow());
    QTRY_COMPARE(screenPixel(glyph), QColor(152, 215, 235));
}

void tst_ShellX11::promptDragsByItsPanelOnly()
{
    m_form1 = new Form1;
    m_form1->start();
    QPointer<Form2> prompt = Form2::showPrompt();
    QTRY_VERIFY(prompt->isActiveWindow());
    const WId id = prompt->winId();
    QTRY_COMPARE(serverGeometry(id).size(), QSize(289, 100));
    const QRect start = serverGeometry(id);
    QCOMPARE(start.center(), QRect(QPoint(0, 0), Screen).center());

    // The question text is no drag source; the panel is.
    const QPoint question = prompt->control("Label1").boxPixels().center();
    dragOnScreen(start.topLeft() + question, start.topLeft() + question + QPoint(-90, 60));
    dragOnScreen(start.topLeft() + Panel, start.topLeft() + Panel + QPoint(-150, 100));
    QTRY_COMPARE(serverGeometry(id).topLeft(), start.topLeft() + QPoint(-150, 100));
    // And it snaps like the main window.
    dragOnScreen(start.topLeft() + QPoint(-150, 100) + Panel, QPoint(8, 500) + Panel);
    QTRY_COMPARE(serverGeometry(id).topLeft(), QPoint(0, 500));
}

// The prompt belongs to the main window: a click into the main window reaches its
// control and makes it active again, and the prompt stays in front of it, without
// a taskbar entry of its own and still captioned "Form2".
void tst_ShellX11::promptStaysAboveTheMainWindow()
{
    m_form1 = new Form1;
    m_form1->start();
    QTRY_VERIFY(m_form1->isActiveWindow());
    QPointer<Form2> prompt = Form2::showPrompt();
    QTRY_COMPARE(QGuiApplication::focusWindow(), prompt->windowHandle());
    const QString mainId = QStringLiteral("0x%1").arg(m_form1->winId(), 0, 16);
    const QString promptId = QStringLiteral("0x%1").arg(prompt->winId(), 0, 16);

    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {"-id", promptId, "WM_TRANSIENT_FOR", "_NET_WM_WINDOW_TYPE", "WM_NAME"});
    QVERIFY(xprop.waitForFinished(5000));
    const QString props = QString::fromLatin1(xprop.readAllStandardOutput());
    QVERIFY2(props.contains(QStringLiteral("WM_TRANSIENT_FOR(WINDOW): window id # ") + mainId), qPrintable(props));
    QVERIFY2(props.contains(QStringLiteral("= _NET_WM_WINDOW_TYPE_UTILITY")), qPrintable(props));
    QVERIFY2(props.contains(QStringLiteral("WM_NAME(STRING) = \"Form2\"")), qPrintable(props));

    const QPoint glyph = m_form1->mapToGlobal(GlyphBack);
    const QPoint promptPanel = prompt->mapToGlobal(QPoint(12, 50)); // the light-blue margin, Shape1
    QVERIFY(m_form1->geometry().contains(promptPanel));
    QTRY_COMPARE(screenPixel(glyph), QColor(192, 192, 192));

    QSignalSpy events(m_form1.data(), &FormWindow::eventRaised);
    clickOnScreen(m_form1->mapToGlobal(m_form1->control("Image12").boxPixels().center()));
    QTRY_COMPARE(QGuiApplication::focusWindow(), m_form1->windowHandle());
    QTRY_VERIFY(events.contains(QList<QVariant>{QStringLiteral("Image12"), QStringLiteral("Click")}));
    QTRY_COMPARE(screenPixel(glyph), QColor(152, 215, 235));
    QVERIFY(prompt);
    QVERIFY(prompt->isVisible());
    // In front where the two overlap: its light-blue margin, not the editor's white.
    QTRY_COMPARE(screenPixel(promptPanel), QColor(152, 215, 235));
    xprop.start(QStringLiteral("xprop"), {"-root", "_NET_CLIENT_LIST_STACKING"});
    QVERIFY(xprop.waitForFinished(5000));
    const QString order = QString::fromLatin1(xprop.readAllStandardOutput());
    QVERIFY2(order.indexOf(mainId) >= 0 && order.indexOf(mainId) < order.indexOf(promptId), qPrintable(order));
}

QTEST_MAIN(tst_ShellX11)
#include "tst_shell_x11.moc"
