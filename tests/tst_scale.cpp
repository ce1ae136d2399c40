// The built program at 200 % on a screen too small for its window (1024 x 768, run
// by CTest with that screen): the window keeps its title strip and glyphs on the
// screen, it is moved by its caption and closed by its glyph with real pointer
// events, and its pictures are the ones drawn at twice the size, not the small ones
// enlarged. Geometry and pixels are read back from the X server.
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

namespace {

constexpr int Ratio = 2;
const QSize Main(634 * Ratio, 413 * Ratio);
const QRect Caption(40, 0, 473, 17); // Label3, in the window's own pixels at 100 %
const QRect Close(616, 0, 17, 17);   // Label5
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
    void picturesDrawnAtTwiceTheSize();

private:
    // Starts the program at 200 % and gives where its window is.
    void startProgram(QRect *window);
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
