// The four lamps and the font name and size displays: what they show for a
// selection, that they are right in every frame the window paints, and that nothing
// polls.

#include "editing/styleindicators.h"
#include "editingfixture.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

constexpr quint32 Off = 0x00F8F1DC;
constexpr quint32 On = 0x00C0E0FF;

const char *const lampNames[] = {"Shape6", "Shape5", "Shape3", "Shape4"};
const char *const attributeNames[] = {"bold", "italic", "underline", "strike"};

QTextCharFormat styled(int attribute)
{
    QTextCharFormat f;
    switch (attribute) {
    case 0: f.setFontWeight(QFont::Bold); break;
    case 1: f.setFontItalic(true); break;
    case 2: f.setFontUnderline(true); break;
    default: f.setFontStrikeOut(true); break;
    }
    return f;
}

QTextCharFormat sized(double points, const QString &family = {})
{
    QTextCharFormat f;
    f.setFontPointSize(points);
    if (!family.isEmpty())
        f.setFontFamilies({family});
    return f;
}

// Checks, at every paint of the window or the editor, that the six displays show
// what the editor's selection holds at that moment.
class FrameWatcher final : public QObject
{
public:
    FrameWatcher(Form1 *form)
        : m_form(form)
    {
        form->installEventFilter(this);
        form->RichTextBox1->viewport()->installEventFilter(this);
    }
    int frames = 0;
    QStringList wrong;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        ++frames;
        const SelectionAttributes now = m_form->RichTextBox1->selectionAttributes();
        const TriState values[] = {now.bold, now.italic, now.underline, now.strikethru};
        for (int i = 0; i < 4; ++i) {
            if (m_form->control(lampNames[i]).fillColor() != StyleIndicators::lampColor(values[i]))
                wrong << QStringLiteral("%1 at frame %2").arg(lampNames[i]).arg(frames);
        }
        if (now.fontSize && m_form->control("Label8").caption() != QLocale().toString(*now.fontSize))
            wrong << QStringLiteral("Label8 at frame %1").arg(frames);
        if (now.fontName && m_form->control("Label2").caption() != *now.fontName)
            wrong << QStringLiteral("Label2 at frame %1").arg(frames);
        return false;
    }

private:
    Form1 *m_form;
};

} // namespace

class TstIndicators : public QObject
{
    Q_OBJECT
    EditingFixture fx;
    QLocale savedLocale;

    QString caption(const char *name) const { return fx.form->control(name).caption(); }

private slots:
    void initTestCase() { savedLocale = QLocale(); }
    void init()
    {
        QLocale::setDefault(QLocale::c());
        fx.setUp();
    }
    void cleanup()
    {
        fx.tearDown();
        QLocale::setDefault(savedLocale);
    }

    void startUpShowsTheEditorsFont()
    {
        for (const char *lamp : lampNames)
            QCOMPARE(fx.form->control(lamp).fillColor(), Off);
        const QFont font = fx.editor()->document()->defaultFont();
        QCOMPARE(caption("Label2"), font.family());
        QCOMPARE(caption("Label8"), QLocale().toString(font.pointSizeF()));
    }

    void lamp_data()
    {
        QTest::addColumn<int>("attribute");
        QTest::addColumn<int>("styledFrom");
        QTest::addColumn<int>("styledTo");
        QTest::addColumn<uint>("expected");
        for (int a = 0; a < 4; ++a) {
            const QByteArray n = attributeNames[a];
            // The selection covers characters 2 to 7 of ten.
            QTest::newRow(n + " mixed: on") << a << 4 << 10 << uint(On);
            QTest::newRow(n + " throughout: on") << a << 0 << 10 << uint(On);
            QTest::newRow(n + " outside only: off") << a << 8 << 10 << uint(Off);
        }
    }

    void lamp()
    {
        QFETCH(int, attribute);
        QFETCH(int, styledFrom);
        QFETCH(int, styledTo);
        QFETCH(uint, expected);
        for (int i = 0; i < 10; ++i)
            fx.append(QString(QChar(u'a' + i)), i >= styledFrom && i < styledTo ? styled(attribute) : QTextCharFormat());
        // Light the lamp first, so that an "off" below is the refresh's doing.
        fx.select(styledFrom, styledTo - styledFrom);
        fx.settle();
        QCOMPARE(fx.form->control(lampNames[attribute]).fillColor(), On);
        fx.select(2, 6);
        fx.settle();
        QCOMPARE(fx.form->control(lampNames[attribute]).fillColor(), quint32(expected));
        // The other lamps follow their own attributes only.
        for (int other = 0; other < 4; ++other) {
            if (other != attribute)
                QCOMPARE(fx.form->control(lampNames[other]).fillColor(), Off);
        }
    }

    void selectionAcrossParagraphs_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<uint>("expected");
        // "AAA", "bbb", "CCC" in three paragraphs, the outer ones bold.
        QTest::newRow("the plain middle") << 4 << 3 << uint(Off);
        QTest::newRow("middle with both paragraph ends") << 3 << 5 << uint(Off);
        QTest::newRow("reaching into the bold last") << 4 << 5 << uint(On);
        QTest::newRow("from the bold first") << 2 << 5 << uint(On);
        QTest::newRow("everything") << 0 << 11 << uint(On);
    }

    void selectionAcrossParagraphs()
    {
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(uint, expected);
        fx.append(QStringLiteral("AAA"), styled(0));
        fx.append(QStringLiteral("\nbbb\n"));
        fx.append(QStringLiteral("CCC"), styled(0));
        fx.select(0, 3);
        fx.settle();
        QCOMPARE(fx.form->control("Shape6").fillColor(), On);
        fx.select(start, length);
        fx.settle();
        QCOMPARE(fx.form->control("Shape6").fillColor(), quint32(expected));
    }

    void caretShowsTheFormatItTypesWith()
    {
        fx.append(QStringLiteral("plain"));
        fx.append(QStringLiteral("BOLD"), styled(0));
        fx.editor()->moveCursor(QTextCursor::End);
        QTRY_COMPARE(fx.form->control("Shape6").fillColor(), On);
        fx.editor()->moveCursor(QTextCursor::Start);
        QTRY_COMPARE(fx.form->control("Shape6").fillColor(), Off);
    }

    void toggleOnMixedSelectionTurnsTheLampOff()
    {
        fx.append(QStringLiteral("half"));
        fx.append(QStringLiteral("BOLD"), styled(0));
        fx.select(0, 8);
        QTRY_COMPARE(fx.form->control("Shape6").fillColor(), On);
        fx.click("Image12");
        QTRY_COMPARE(fx.form->control("Shape6").fillColor(), Off);
        fx.click("Image12");
        QTRY_COMPARE(fx.form->control("Shape6").fillColor(), On);
    }

    void labelsKeepTheirTextOnMixedSelections()
    {
        fx.append(QStringLiteral("small"), sized(12, QStringLiteral("DejaVu Sans")));
        fx.append(QStringLiteral("LARGE"), sized(18, QStringLiteral("DejaVu Serif")));
        fx.select(1, 2);
        QTRY_COMPARE(caption("Label8"), QStringLiteral("12"));
        QTRY_COMPARE(caption("Label2"), QStringLiteral("DejaVu Sans"));
        fx.select(1, 7); // both sizes, both fonts
        fx.settle();
        QCOMPARE(caption("Label8"), QStringLiteral("12"));
        QCOMPARE(caption("Label2"), QStringLiteral("DejaVu Sans"));
        fx.select(6, 3); // a single size and font again
        QTRY_COMPARE(caption("Label8"), QStringLiteral("18"));
        QTRY_COMPARE(caption("Label2"), QStringLiteral("DejaVu Serif"));
    }

    void sizeInTheUsersNumberFormat_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("points");
        QTest::addColumn<QString>("shown");
        QTest::newRow("whole, English") << QLocale(QLocale::English, QLocale::UnitedStates) << 12.0 << "12";
        QTest::newRow("whole, French") << QLocale(QLocale::French, QLocale::France) << 12.0 << "12";
        QTest::newRow("fraction, English") << QLocale(QLocale::English, QLocale::UnitedStates) << 10.5 << "10.5";
        QTest::newRow("fraction, French") << QLocale(QLocale::French, QLocale::France) << 10.5 << "10,5";
        QTest::newRow("quarter, German") << QLocale(QLocale::German, QLocale::Germany) << 8.25 << "8,25";
    }

    void sizeInTheUsersNumberFormat()
    {
        QFETCH(QLocale, locale);
        QFETCH(double, points);
        QFETCH(QString, shown);
        QLocale::setDefault(locale);
        fx.append(QStringLiteral("text"), sized(points));
        fx.select(0, 4);
        QTRY_COMPARE(caption("Label8"), shown);
    }

    void displaysAreRightInEveryFrame()
    {
        fx.append(QStringLiteral("plain "));
        fx.append(QStringLiteral("bold "), styled(0));
        fx.append(QStringLiteral("big"), sized(20, QStringLiteral("DejaVu Serif")));
        fx.editor()->moveCursor(QTextCursor::Start);
        FrameWatcher watcher(fx.form.get());
        // Extend the selection across every change of format, then move and type:
        // each keystroke raises several notifications before the frame is painted.
        for (int i = 0; i < 14; ++i) {
            QTest::keyClick(fx.editor(), Qt::Key_Right, Qt::ShiftModifier);
            fx.settle();
        }
        for (int i = 0; i < 14; ++i) {
            QTest::keyClick(fx.editor(), Qt::Key_Left);
            fx.settle();
        }
        QTest::keyClicks(fx.editor(), QStringLiteral("xy"));
        fx.settle();
        fx.click("Image12");
        fx.settle();
        QVERIFY(watcher.frames > 10);
        QVERIFY2(watcher.wrong.isEmpty(), qPrintable(watcher.wrong.join(QLatin1String(", "))));
    }

    void nothingPolls()
    {
        QTimer *timer4 = fx.form->timer("Timer4");
        QVERIFY(timer4);
        QTest::qWait(50);
        QVERIFY(!timer4->isActive());
        // No timer of the window's own is running while the user does nothing.
        const auto timers = QAbstractEventDispatcher::instance()->registeredTimers(fx.form.get());
        QVERIFY(timers.isEmpty());
    }

    void followsALoadedDocument()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bold.rtf"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Serif;}}\\f0\\fs21\\b Hello\\b0  world}");
        file.close();
        QVERIFY(!fx.editor()->loadFile(path));
        QTRY_COMPARE(fx.form->control("Shape6").fillColor(), On);
        QCOMPARE(caption("Label2"), QStringLiteral("DejaVu Serif"));
        QCOMPARE(caption("Label8"), QStringLiteral("10.5"));
    }
};

QTEST_MAIN(TstIndicators)
#include "tst_indicators.moc"
