// The built program at 200 % on a screen too small for its window (1024 x 768, run
// by CTest with that screen): the window keeps its title strip and glyphs on the
// screen and its editor gives way so its bottom edge is on it too, it is moved by
// its caption and closed by its glyph with real pointer events, maximised it keeps
// restore and close on the screen, the open dialog fits the screen, and its
// pictures are the ones drawn at twice the size, not the small ones enlarged.
// Geometry and pixels are read back from the X server.
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

namespace {

constexpr int Ratio = 2;
// As wide as defined, as high as the screen: 58 pixels of the editor give way.
const QSize Main(634 * Ratio, 768);
const QRect Caption(40, 0, 473, 17); // Label3, in the window's own pixels at 100 %
const QRect Close(616, 0, 17, 17);   // Label5
const QRect Maximise(584, 0, 17, 17); // Label6
const QRect Restore(600, 0, 17, 17);  // Label7
const QRect Open(176, 40, 16, 16);    // Image6
const QRect Image6(176, 40, 16, 16); // the open command's folder picture, P15

QString n(int v) { return QString::number(v); }

QString xdotool(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), args);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QRect serverGeometry(const QString &window)
{
    const QString out = xdotool({"getwindowgeometry", "--shell", window});
    auto value = [&](const char *key) {
        const QRegularExpression re(QStringLiteral("^%1=(-?\\d+)$").arg(QLatin1String(key)),
                                    QRegularExpression::MultilineOption);
        return re.match(out).captured(1).toInt();
    };
    return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
}

// A window with its frame: its place on the screen from the server, widened by the
// frame's extents the window manager sets on it.
QRect frameGeometry(const QString &window)
{
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {"-id", window});
    info.waitForFinished(10000);
    const QString out = QString::fromLocal8Bit(info.readAllStandardOutput());
    auto value = [&](const char *key) {
        const QRegularExpression re(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(key)));
        return re.match(out).captured(1).toInt();
    };
    QRect rect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height"));
    QProcess prop;
    prop.start(QStringLiteral("xprop"), {"-id", window, "_NET_FRAME_EXTENTS"});
    prop.waitForFinished(10000);
    const QStringList extents =
        QString::fromLocal8Bit(prop.readAllStandardOutput()).section(QLatin1Char('='), 1).split(QLatin1Char(','));
    if (extents.size() == 4)
        rect.adjust(-extents[0].trimmed().toInt(), -extents[2].trimmed().toInt(), extents[1].trimmed().toInt(),
                    extents[3].trimmed().toInt());
    return rect;
}

// A box of the window at 100 % where it lies on the screen.
QRect onScreen(const QRect &window, const QRect &box)
{
    return QRect(window.topLeft() + box.topLeft() * Ratio, box.size() * Ratio);
}

} // namespace

class tst_Scale final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void windowStaysReachable();
    void maximisedKeepsRestoreAndClose();
    void openDialogFitsTheScreen();
    void picturesDrawnAtTwiceTheSize();

private:
    // Starts the program at 200 % and gives where its window is.
    void startProgram(QRect *window);
    // The program's shown window of that name, or none.
    QString windowNamed(const QString &name);
    QProcess m_program;
    QString m_window;
};

void tst_Scale::cleanup()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished(3000);
    }
}

void tst_Scale::startProgram(QRect *window)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), n(Ratio));
    m_program.setProcessEnvironment(env);
    m_program.start(QStringLiteral(ORVO_BINARY), {});
    QVERIFY(m_program.waitForStarted());
    m_window = xdotool({"search", "--sync", "--all", "--onlyvisible", "--pid", n(int(m_program.processId())), "--name",
                        "^Orvo\\.\\.\\.$"})
                   .section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(!m_window.isEmpty(), "the main window did not show");
    QTRY_COMPARE(serverGeometry(m_window).size(), Main);
    *window = serverGeometry(m_window);
}

void tst_Scale::windowStaysReachable()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(screen.size(), QSize(1024, 768));
    QRect window;
    startProgram(&window);
    QVERIFY(!window.isEmpty());
    // Wider and higher than the screen: its right end and its top on it, so the
    // glyphs and most of the caption show.
    QCOMPARE(window.topLeft(), QPoint(screen.width() - Main.width(), 0));
    QVERIFY(screen.contains(onScreen(window, Close)));
    // Its bottom edge, the editor frame's, on the screen: a line of the border's blue
    // one pixel above the window's own edge.
    QCOMPARE(window.bottom(), screen.bottom());
    QTest::qWait(300); // the first paint reaches the server
    const QImage bottom =
        QGuiApplication::primaryScreen()->grabWindow(0, 0, screen.height() - 12, screen.width(), 12).toImage();
    int blueRows = 0;
    for (int y = 0; y < bottom.height(); ++y) {
        int blue = 0;
        for (int x = 0; x < bottom.width(); ++x)
            blue += QColor(bottom.pixel(x, y)) == QColor(37, 152, 190);
        blueRows += blue > bottom.width() * 3 / 4;
    }
    QVERIFY2(blueRows >= 2, qPrintable(QString::number(blueRows))); // the frame's and the window's edges
    const QRect caption = onScreen(window, Caption).intersected(screen);
    QVERIFY(caption.width() > Caption.width());

    // Moved by its caption with the pointer (Ctrl: no snapping), and back.
    const QPoint grip = caption.center();
    xdotool({"mousemove", n(grip.x()), n(grip.y()), "keydown", "ctrl", "mousedown", "1", "sleep", "0.05", "mousemove",
             n(grip.x() - 60), n(grip.y() + 40), "sleep", "0.05", "mouseup", "1", "keyup", "ctrl"});
    QTRY_COMPARE(serverGeometry(m_window).topLeft(), window.topLeft() + QPoint(-60, 40));
    // Closed by its glyph: the document is unchanged, so the program ends.
    const QPoint close = onScreen(serverGeometry(m_window), Close).center();
    xdotool({"mousemove", n(close.x()), n(close.y()), "click", "1"});
    QVERIFY(m_program.waitForFinished(10000));
    QCOMPARE(m_program.exitCode(), 0);
}

void tst_Scale::maximisedKeepsRestoreAndClose()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QRect window;
    startProgram(&window);
    QVERIFY(!window.isEmpty());
    const QPoint maximise = onScreen(window, Maximise).center();
    xdotool({"mousemove", n(maximise.x()), n(maximise.y()), "click", "1"});
    QTRY_COMPARE(serverGeometry(m_window), screen);
    // The window keeps its right end: restore and close lie at the screen's right.
    const QRect shifted(screen.width() - Main.width(), 0, 0, 0);
    QVERIFY(screen.contains(onScreen(shifted, Restore)));
    QVERIFY(screen.contains(onScreen(shifted, Close)));
    // The editor keeps its left edge: its frame's left line is on the screen where
    // it was, the editor giving way at its right.
    QTest::qWait(300); // the maximised window's paint reaches the server
    const QImage left = QGuiApplication::primaryScreen()->grabWindow(0, 0, 300, 40, 400).toImage();
    int frameColumns = 0;
    for (int x = 0; x < left.width(); ++x) {
        int blue = 0;
        for (int y = 0; y < left.height(); ++y)
            blue += QColor(left.pixel(x, y)) == QColor(37, 152, 190);
        frameColumns += blue == left.height();
    }
    // The frame's line, two columns at 200 %, beside the window's own edge.
    QVERIFY2(frameColumns >= Ratio + 1, qPrintable(QString::number(frameColumns)));
    const QPoint restore = onScreen(shifted, Restore).center();
    xdotool({"mousemove", n(restore.x()), n(restore.y()), "click", "1"});
    QTRY_COMPARE(serverGeometry(m_window), window);
    // Maximised again, and closed by its glyph from there.
    xdotool({"mousemove", n(maximise.x()), n(maximise.y()), "click", "1"});
    QTRY_COMPARE(serverGeometry(m_window), screen);
    const QPoint close = onScreen(shifted, Close).center();
    xdotool({"mousemove", n(close.x()), n(close.y()), "click", "1"});
    QVERIFY(m_program.waitForFinished(10000));
    QCOMPARE(m_program.exitCode(), 0);
}

void tst_Scale::openDialogFitsTheScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QRect window;
    startProgram(&window);
    QVERIFY(!window.isEmpty());
    const QPoint open = onScreen(window, Open).center();
    xdotool({"mousemove", n(open.x()), n(open.y()), "click", "1"});
    QString dialog;
    QTRY_VERIFY_WITH_TIMEOUT(!(dialog = windowNamed(QStringLiteral("Ouvrir"))).isEmpty(), 10000);
    // The dialog with the frame the window manager gives it, once framed and fitted.
    QRect framed;
    QTRY_VERIFY2(screen.contains(framed = frameGeometry(dialog)) && framed.height() > 300,
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(framed.x()).arg(framed.y()).arg(framed.width())
                                .arg(framed.height())));
    xdotool({"key", "--window", dialog, "Escape"});
    QTRY_VERIFY(windowNamed(QStringLiteral("Ouvrir")).isEmpty());
}

QString tst_Scale::windowNamed(const QString &name)
{
    const QStringList found = xdotool({"search", "--onlyvisible", "--pid", n(int(m_program.processId())), "--name",
                                       QStringLiteral("^%1$").arg(name)})
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &window : found) {
        if (xdotool({"getwindowname", window}).trimmed() == name)
            return window;
    }
    return {};
}

void tst_Scale::picturesDrawnAtTwiceTheSize()
{
    QRect window;
    startProgram(&window);
    QVERIFY(!window.isEmpty());
    QTest::qWait(300); // the first paint reaches the server
    const QRect box = onScreen(window, Image6);
    const QImage shown = QGuiApplication::primaryScreen()->grabWindow(0, box.x(), box.y(), box.width(), box.height()).toImage();
    const QImage big(QStringLiteral(ORVO_SOURCE_DIR "/resources/art/P15@2x.png"));
    const QImage small = QImage(QStringLiteral(ORVO_SOURCE_DIR "/resources/art/P15.png")).scaled(big.size());
    QCOMPARE(big.size(), box.size());
    int opaque = 0, unlikeTheSmall = 0;
    for (int y = 0; y < big.height(); ++y) {
        for (int x = 0; x < big.width(); ++x) {
            const QRgb drawn = big.pixel(x, y);
            if (qAlpha(drawn) != 255)
                continue;
            ++opaque;
            QCOMPARE(QColor(shown.pixel(x, y)), QColor(drawn));
            unlikeTheSmall += qAlpha(small.pixel(x, y)) != 255 || small.pixel(x, y) != drawn;
        }
    }
    QVERIFY(opaque > 300);
    // Diagonals are drawn, not steps of doubled pixels.
    QVERIFY2(unlikeTheSmall > 20, qPrintable(QString::number(unlikeTheSmall)));
}

QTEST_MAIN(tst_Scale)
#include "tst_scale.moc"
