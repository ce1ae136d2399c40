// The drag step on the edge cases of window dragging, with 15 twips per pixel
// unless a case says otherwise: the snap distance is then 300 twips.
#include "shell/dragstep.h"

#include <QTest>

Q_DECLARE_METATYPE(DragInput)

namespace {

// "L0 T300": set left to 0, then top to 300.
QString describe(const std::vector<DragOp> &ops)
{
    QStringList parts;
    for (const DragOp &op : ops)
        parts << (op.kind == DragOp::SetLeft ? QStringLiteral("L%1") : QStringLiteral("T%1")).arg(op.value);
    return parts.join(QLatin1Char(' '));
}

// A 3000 x 2000 window at (6000, 5000) on a 1280 x 1024 pixel screen, pressed at
// (500, 100) on its drag source; the pointer is placed so that the step proposes
// the given position.
DragInput proposing(double newLeft, double newTop)
{
    DragInput in;
    in.left = 6000;
    in.top = 5000;
    in.width = 3000;
    in.height = 2000;
    in.screenWidth = 19200;
    in.screenHeight = 15360;
    in.dragStartX = 500;
    in.dragStartY = 100;
    in.button = 1;
    in.x = float(newLeft - in.left + in.dragStartX);
    in.y = float(newTop - in.top + in.dragStartY);
    return in;
}

} // namespace

class tst_DragStep final : public QObject
{
    Q_OBJECT

private slots:
    void step_data();
    void step();
    void snapDistanceUsesTheHorizontalFactor();
};

void tst_DragStep::step_data()
{
    QTest::addColumn<DragInput>("in");
    QTest::addColumn<QString>("moves");

    // Near edges: strictly less than the snap distance, on either side of the edge.
    QTest::newRow("left 299 snaps") << proposing(299, 5000) << "L0 T5000";
    QTest::newRow("left 300 stays") << proposing(300, 5000) << "L300 T5000";
    QTest::newRow("left -299 snaps back") << proposing(-299, 5000) << "L0 T5000";
    QTest::newRow("left -300 stays off screen") << proposing(-300, 5000) << "L-300 T5000";
    QTest::newRow("top 299 snaps") << proposing(6000, 299) << "L6000 T0";
    QTest::newRow("top 300 stays") << proposing(6000, 300) << "L6000 T300";
    QTest::newRow("top -299 snaps back") << proposing(6000, -299) << "L6000 T0";
    QTest::newRow("top -300 stays off screen") << proposing(6000, -300) << "L6000 T-300";

    // Far edges: the window's right (bottom) edge against the screen's.
    QTest::newRow("right 299 inside snaps") << proposing(19200 - 3000 - 299, 5000) << "L16200 T5000";
    QTest::newRow("right 299 beyond snaps") << proposing(19200 - 3000 + 299, 5000) << "L16200 T5000";
    QTest::newRow("right 300 inside stays") << proposing(19200 - 3000 - 300, 5000) << "L15900 T5000";
    QTest::newRow("right 300 beyond stays") << proposing(19200 - 3000 + 300, 5000) << "L16500 T5000";
    QTest::newRow("bottom 299 inside snaps") << proposing(6000, 15360 - 2000 - 299) << "L6000 T13360";
    QTest::newRow("bottom 299 beyond snaps") << proposing(6000, 15360 - 2000 + 299) << "L6000 T13360";
    QTest::newRow("bottom 300 inside stays") << proposing(6000, 15360 - 2000 - 300) << "L6000 T13060";
    QTest::newRow("bottom 300 beyond stays") << proposing(6000, 15360 - 2000 + 300) << "L6000 T13660";
    QTest::newRow("corner snaps on both axes") << proposing(16300, -100) << "L16200 T0";

    DragInput wide = proposing(-700, 5000);
    wide.width = 20000;
    QTest::newRow("wider than the screen snaps right") << wide << "L-800 T5000";
    DragInput both = proposing(100, 100);
    both.width = 19000;
    both.height = 15200;
    QTest::newRow("near edge beats far edge") << both << "L0 T0";

    // The near edge compares in double precision, the far edge in single: with a
    // snap distance a hair above 300 twips, 300 snaps at the near edge only.
    DragInput nearHair = proposing(300, 5000);
    nearHair.twipsPerPixelX = 15.00000000005;
    QTest::newRow("near edge in double precision") << nearHair << "L0 T5000";
    DragInput farHair = proposing(19200 - 3000 - 300, 5000);
    farHair.twipsPerPixelX = 15.00000000005;
    QTest::newRow("far edge in single precision") << farHair << "L15900 T5000";

    // The vertical test uses the horizontal factor, the only one the step knows.
    DragInput coarse = proposing(6000, 399);
    coarse.twipsPerPixelX = 20;
    QTest::newRow("vertical threshold from the horizontal factor") << coarse << "L6000 T0";
    DragInput fine = proposing(6000, 240);
    fine.twipsPerPixelX = 12;
    QTest::newRow("vertical threshold at 12 twips per pixel") << fine << "L6000 T240";

    // Modifiers: Ctrl alone moves freely, top first; anything else does not move.
    DragInput ctrl = proposing(100, -50);
    ctrl.shift = 2;
    QTest::newRow("ctrl moves freely, top first") << ctrl << "T-50 L100";
    for (const int shift : {1, 3, 4, 6, 7}) {
        DragInput in = proposing(100, 100);
        in.shift = shift;
        QTest::addRow("modifier mask %d does not move", shift) << in << "";
    }
    for (const int button : {0, 2, 3, 4, 5}) {
        DragInput in = proposing(100, 100);
        in.button = button;
        QTest::addRow("button mask %d does not move", button) << in << "";
    }

    // A move before any press: the anchor is still (0, 0).
    DragInput unpressed;
    unpressed.left = 6000;
    unpressed.top = 5000;
    unpressed.width = 3000;
    unpressed.height = 2000;
    unpressed.screenWidth = 19200;
    unpressed.screenHeight = 15360;
    unpressed.button = 1;
    unpressed.x = 45;
    unpressed.y = 30;
    QTest::newRow("anchor (0, 0) before any press") << unpressed << "L6045 T5030";

    // Half twips go to the even whole twip.
    DragInput half = proposing(100.5, 101.5);
    half.shift = 2;
    QTest::newRow("100.5 and 101.5 with ctrl") << half << "T102 L100";
    QTest::newRow("half twips when snapping") << proposing(5000.5, 5001.5) << "L5000 T5002";
    QTest::newRow("negative half twips") << proposing(-1000.5, -999.5) << "L-1000 T-1000";
}

void tst_DragStep::step()
{
    QFETCH(DragInput, in);
    QFETCH(QString, moves);
    QCOMPARE(describe(DragStep::run(in)), moves);
}

void tst_DragStep::snapDistanceUsesTheHorizontalFactor()
{
    QCOMPARE(DragStep::snapDistance(15), 300.0);
    QCOMPARE(DragStep::snapDistance(12), 240.0);
}

QTEST_APPLESS_MAIN(tst_DragStep)
#include "tst_dragstep.moc"
