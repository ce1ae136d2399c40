// The style toggles, the palette swatches and the font and colour commands, clicked
// where the user clicks them.

#include "editingfixture.h"
#include "platform/colors.h"

#include <QTest>

namespace {

enum Attribute { Bold, Italic, Underline, Strike };

bool has(const QTextCharFormat &f, int attribute)
{
    switch (attribute) {
    case Bold: return f.fontWeight() >= QFont::DemiBold;
    case Italic: return f.fontItalic();
    case Underline: return f.fontUnderline();
    default: return f.fontStrikeOut();
    }
}

void set(QTextCharFormat *f, int attribute, bool on)
{
    switch (attribute) {
    case Bold: f->setFontWeight(on ? QFont::Bold : QFont::Normal); break;
    case Italic: f->setFontItalic(on); break;
    case Underline: f->setFontUnderline(on); break;
    default: f->setFontStrikeOut(on); break;
    }
}

const char *const toggles[] = {"Image12", "Image16", "Image13", "Image14"};
const char *const attributeNames[] = {"bold", "italic", "underline", "strike"};

} // namespace

class TstFormatting : public QObject
{
    Q_OBJECT
    EditingFixture fx;

    // Which of the six characters of the document carry the attribute, as "110000".
    QString pattern(int attribute) const
    {
        QString p;
        for (int i = 0; i < 6; ++i)
            p += has(fx.formatAt(i), attribute) ? QLatin1Char('1') : QLatin1Char('0');
        return p;
    }

private slots:
    void init() { fx.setUp(); }
    void cleanup() { fx.tearDown(); }

    void toggle_data()
    {
        QTest::addColumn<int>("attribute");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("afterFirst");
        QTest::addColumn<QString>("afterSecond");
        for (int a = Bold; a <= Strike; ++a) {
            const QByteArray n = attributeNames[a];
            // The selection covers characters 1 to 4; the ends stay as they were.
            QTest::newRow(n + " mixed: cleared, then set") << a << "011000" << "000000" << "011110";
            QTest::newRow(n + " throughout: cleared") << a << "011110" << "000000" << "011110";
            QTest::newRow(n + " nowhere: set") << a << "100001" << "111111" << "100001";
        }
    }

    void toggle()
    {
        QFETCH(int, attribute);
        QFETCH(QString, before);
        QFETCH(QString, afterFirst);
        QFETCH(QString, afterSecond);
        for (int i = 0; i < 6; ++i) {
            QTextCharFormat f;
            set(&f, attribute, before.at(i) == QLatin1Char('1'));
            fx.append(QString(QChar(u'a' + i)), f);
        }
        fx.select(1, 4);

        fx.click(toggles[attribute]);
        QCOMPARE(pattern(attribute), afterFirst);
        fx.click(toggles[attribute]);
        QCOMPARE(pattern(attribute), afterSecond);
        // The toggles leave the focus and the selection where they were.
        QVERIFY(fx.editor()->hasFocus());
        QCOMPARE(fx.editor()->selStart(), 1);
        QCOMPARE(fx.editor()->selLength(), 4);
        QCOMPARE(fx.editor()->text(), QStringLiteral("abcdef"));
    }

    void toggleTouchesOnlyItsOwnAttribute_data()
    {
        QTest::addColumn<int>("attribute");
        for (int a = Bold; a <= Strike; ++a)
            QTest::newRow(attributeNames[a]) << a;
    }

    void toggleTouchesOnlyItsOwnAttribute()
    {
        QFETCH(int, attribute);
        // Every other style on, a colour and a size of its own.
        QTextCharFormat f;
        for (int other = Bold; other <= Strike; ++other)
            set(&f, other, other != attribute);
        f.setForeground(QColor(200, 0, 0));
        f.setFontPointSize(17);
        fx.append(QStringLiteral("styled"), f);
        fx.select(0, 6);

        fx.click(toggles[attribute]);
        for (int other = Bold; other <= Strike; ++other)
            QCOMPARE(pattern(other), QStringLiteral("111111"));
        const QTextCharFormat after = fx.formatAt(3);
        QCOMPARE(after.foreground().color(), QColor(200, 0, 0));
        QCOMPARE(after.fontPointSize(), 17.0);
    }

    void swatch_data()
    {
        QTest::addColumn<QString>("swatch");
        QTest::addColumn<uint>("colour");
        QTest::newRow("Picture1 black") << "Picture1" << 0x00000000u;
        QTest::newRow("Picture6 red-ish") << "Picture6" << 0x008080FFu;
        QTest::newRow("Picture14 green") << "Picture14" << 0x0000C000u;
        QTest::newRow("Picture17 blue-ish") << "Picture17" << 0x00FEDFB1u;
    }

    void swatch()
    {
        QFETCH(QString, swatch);
        QFETCH(uint, colour);
        fx.append(QStringLiteral("colour me"));
        fx.select(2, 4);

        fx.click(swatch.toLatin1().constData());
        for (int i = 2; i < 6; ++i)
            QCOMPARE(fx.formatAt(i).foreground().color(), ColorInt::toQColor(colour));
        QVERIFY(!fx.formatAt(1).hasProperty(QTextFormat::ForegroundBrush));
        QVERIFY(!fx.formatAt(6).hasProperty(QTextFormat::ForegroundBrush));
        // Typing goes on in the editor, over the same characters.
        QTRY_VERIFY(fx.editor()->hasFocus());
        QCOMPARE(fx.editor()->selStart(), 2);
        QCOMPARE(fx.editor()->selLength(), 4);
        QTest::keyClicks(fx.editor(), QStringLiteral("X"));
        QCOMPARE(fx.editor()->text(), QStringLiteral("coX me"));
    }

    void swatchReadsItsColourAtClickTime()
    {
        fx.append(QStringLiteral("abc"));
        fx.select(0, 3);
        fx.form->control("Picture6").setBackColor(0x00123456);
        fx.click("Picture6");
        QCOMPARE(fx.formatAt(1).foreground().color(), ColorInt::toQColor(0x00123456));
    }

    void fontCommandAppliesTheNameAlone()
    {
        QTextCharFormat f;
        f.setFontPointSize(14);
        f.setFontItalic(true);
        fx.append(QStringLiteral("font"), f);
        fx.select(0, 4);
        QFont chosen(QStringLiteral("DejaVu Serif"));
        chosen.setPointSize(30);
        chosen.setBold(true);
        chosen.setUnderline(true);
        chosen.setStrikeOut(true);
        fx.services.dialogs->fontAnswers.push_back(chosen);

        fx.click("Label1");
        QCOMPARE(fx.services.dialogs->fontDialogs, 1);
        QCOMPARE(fx.form->control("Label2").caption(), QStringLiteral("DejaVu Serif"));
        for (int i = 0; i < 4; ++i) {
            const QTextCharFormat after = fx.formatAt(i);
            QCOMPARE(after.fontFamilies().toStringList().value(0), QStringLiteral("DejaVu Serif"));
            QCOMPARE(after.fontPointSize(), 14.0);
            QVERIFY(after.fontItalic());
            QVERIFY(!has(after, Bold));
            QVERIFY(!has(after, Underline));
            QVERIFY(!has(after, Strike));
        }
        QCOMPARE(fx.editor()->selLength(), 4);
    }

    void cancelledDialogChangesNothing_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("font") << "Label1";
        QTest::newRow("colour") << "Label26";
    }

    void cancelledDialogChangesNothing()
    {
        QFETCH(QString, link);
        fx.append(QStringLiteral("keep"), boldFormat());
        fx.select(0, 4);
        fx.settle();
        const QString labelBefore = fx.form->control("Label2").caption();
        const QTextCharFormat before = fx.formatAt(2);
        fx.form->setModified(false);

        fx.click(link.toLatin1().constData()); // no answer queued: the dialog is cancelled
        QCOMPARE(fx.services.dialogs->fontDialogs + fx.services.dialogs->colorDialogs, 1);
        QCOMPARE(fx.formatAt(2), before);
        QCOMPARE(fx.form->control("Label2").caption(), labelBefore);
        QVERIFY(!fx.form->isModified());
    }

    void colourCommand()
    {
        fx.append(QStringLiteral("paint"));
        fx.select(1, 3);
        fx.services.dialogs->colorAnswers.push_back(QColor(10, 20, 30));
        fx.click("Label26");
        QCOMPARE(fx.formatAt(2).foreground().color(), QColor(10, 20, 30));
        QVERIFY(!fx.formatAt(0).hasProperty(QTextFormat::ForegroundBrush));
        QVERIFY(fx.editor()->hasFocus());
    }
};

QTEST_MAIN(TstFormatting)
#include "tst_formatting.moc"
