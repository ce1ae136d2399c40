// The main window at 150 %, where a pixel of the window is a pixel and a half of
// the screen: every edge of the editor's frame shows round the editor, the bottom
// one too, read from the window's own pixels.
#include "editingfixture.h"

#include <QApplication>

namespace {

const QColor Border(37, 152, 190);

// Whether a row (or column) of device pixels near a place is the border's colour
// along most of a stretch.
bool edgeNear(const QImage &image, bool horizontal, int at, int from, int to)
{
    for (int line = at - 2; line <= at + 2; ++line) {
        int border = 0;
        for (int i = from; i < to; ++i) {
            const QPoint p = horizontal ? QPoint(i, line) : QPoint(line, i);
            if (image.rect().contains(p) && QColor(image.pixel(p)) == Border)
                ++border;
        }
        if (border > (to - from) * 9 / 10)
            return true;
    }
    return false;
}

} // namespace

class tst_FractionalScale final : public QObject
{
    Q_OBJECT

private slots:
    void init() { fx.setUp(); }
    void cleanup() { fx.tearDown(); }

    void editorFrameShowsAllRound()
    {
        const QImage image = fx.form->grab().toImage();
        QCOMPARE(image.devicePixelRatio(), 1.5);
        const QRect frame = fx.form->control("Shape266").boxPixels();
        auto device = [](int logical) { return int(std::lround(logical * 1.5)); };
        const int left = device(frame.left()) + 20, right = device(frame.right()) - 20;
        const int top = device(frame.top()) + 20, bottom = device(frame.bottom()) - 20;
        QVERIFY(edgeNear(image, true, device(frame.top()), left, right));
        QVERIFY(edgeNear(image, true, device(frame.bottom()), left, right));
        QVERIFY(edgeNear(image, false, device(frame.left()), top, bottom));
        QVERIFY(edgeNear(image, false, device(frame.right()), top, bottom));
    }

private:
    EditingFixture fx;
};

int main(int argc, char *argv[])
{
    qputenv("QT_SCALE_FACTOR", "1.5");
    QApplication app(argc, argv);
    tst_FractionalScale test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fractionalscale.moc"
