// Metafile drawings in RTF documents: small WMF and EMF pictures written here record
// by record, read through the reader, and checked at the pixels a user would look at;
// the corpus drawings; and hostile metafiles, which must cost bounded time and memory.

#include "littleendian.h"
#include "model/marks.h"
#include "rtf/rtfreader.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QtEndian>
#include <QtTest>

#include <initializer_list>

namespace {

QByteArray f32(float v)
{
    quint32 bits;
    std::memcpy(&bits, &v, 4);
    return le32(bits);
}

QByteArray colour(QRgb c)
{
    return le32(qRed(c) | qGreen(c) << 8 | qBlue(c) << 16);
}

constexpr QRgb Red = 0xffff0000, Green = 0xff00c000, Blue = 0xff0000ff, None = 0;

// A 24-bit DIB, one row of pixels, bottom-up: header and bits.
QByteArray dibRow(std::initializer_list<QRgb> pixels)
{
    const int stride = (int(pixels.size()) * 3 + 3) & ~3;
    QByteArray bits(stride, '\0');
    int x = 0;
    for (const QRgb c : pixels) {
        bits[3 * x] = char(qBlue(c));
        bits[3 * x + 1] = char(qGreen(c));
        bits[3 * x + 2] = char(qRed(c));
        ++x;
    }
    return le32(40) + le32(qint64(pixels.size())) + le32(1) + le16(1) + le16(24) + le32(0) + le32(stride) + le32(0)
        + le32(0) + le32(0) + le32(0) + bits;
}

// A Windows metafile, record by record: 16-bit parameters in the order the records keep them.
struct Wmf
{
    QByteArray records;

    Wmf &add(quint16 function, QByteArray params)
    {
        if (params.size() % 2)
            params += '\0';
        records += le32((6 + params.size()) / 2) + le16(function) + params;
        return *this;
    }
    Wmf &add(quint16 function, std::initializer_list<int> params)
    {
        QByteArray p;
        for (const int v : params)
            p += le16(v);
        return add(function, p);
    }
    Wmf &window(int x, int y, int w, int h) { return add(0x020B, {y, x}).add(0x020C, {h, w}); }
    Wmf &brush(QRgb c, int style = 0, int hatch = 0) { return add(0x02FC, le16(style) + colour(c) + le16(hatch)); }
    Wmf &pen(QRgb c, int width, int style = 0) { return add(0x02FA, le16(style) + le16(width) + le16(0) + colour(c)); }
    Wmf &select(int index) { return add(0x012D, {index}); }
    Wmf &rectangle(int l, int t, int r, int b) { return add(0x041B, {b, r, t, l}); }
    // A red brush and no pen, in slots 0 and 1.
    Wmf &red() { return brush(Red).select(0).pen(0, 0, 5).select(1); }
    QByteArray bytes() const
    {
        const QByteArray end = le32(3) + le16(0);
        const qint64 words = (18 + records.size() + end.size()) / 2;
        return le16(1) + le16(9) + le16(0x300) + le32(words) + le16(16) + le32(words) + le16(0) + records + end;
    }
    QByteArray placeable(int l, int t, int r, int b, int inch) const
    {
        QByteArray head = le32(0x9AC6CDD7) + le16(0) + le16(l) + le16(t) + le16(r) + le16(b) + le16(inch) + le32(0);
        quint16 sum = 0;
        for (int i = 0; i < 20; i += 2)
            sum ^= qFromLittleEndian<quint16>(head.constData() + i);
        return head + le16(sum) + bytes();
    }
};

// An enhanced metafile whose reference device has 10 pixels a millimetre and whose
// frame is 1000 by 1000 of them.
struct Emf
{
    QByteArray records;
    int count = 0;

    Emf &add(quint32 type, const QByteArray &params)
    {
        records += le32(type) + le32(8 + params.size()) + params;
        ++count;
        return *this;
    }
    Emf &add(quint32 type, std::initializer_list<qint64> params)
    {
        QByteArray p;
        for (const qint64 v : params)
            p += le32(v);
        return add(type, p);
    }
    Emf &brush(int ih, QRgb c) { return add(39, le32(ih) + le32(0) + colour(c) + le32(0)); }
    Emf &select(qint64 ih) { return add(37, {ih}); }
    Emf &rectangle(int l, int t, int r, int b) { return add(43, {l, t, r, b}); }
    Emf &red() { return brush(1, Red).select(1).select(0x80000008); } // and the stock null pen
    Emf &world(qreal m11, qreal m22, qreal dx, qreal dy, int mode)
    {
        QByteArray x = f32(m11) + f32(0) + f32(0) + f32(m22) + f32(dx) + f32(dy);
        return mode ? add(36, x + le32(mode)) : add(35, x);
    }
    QByteArray bytes() const
    {
        const QByteArray end = le32(14) + le32(20) + le32(0) + le32(16) + le32(20);
        const qint64 total = 108 + records.size() + end.size();
        QByteArray header = le32(1) + le32(108) + le32(0) + le32(0) + le32(999) + le32(999) + le32(0) + le32(0)
            + le32(10000) + le32(10000) + le32(0x464D4520) + le32(0x10000) + le32(total) + le32(count + 2) + le16(16)
            + le16(0) + le32(0) + le32(0) + le32(0) + le32(1000) + le32(1000) + le32(100) + le32(100) + le32(0)
            + le32(0) + le32(0) + le32(100000) + le32(100000);
        return header + records + end;
    }
};

struct Shown
{
    QImage image;
    QSizeF size;
    bool placeholder = false;
};

// The pictures of a document as the reader shows them.
QList<Shown> read(const QByteArray &rtf)
{
    QTextDocument doc;
    QList<Shown> shown;
    if (Rtf::read(rtf, &doc))
        return shown;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextImageFormat f = it.fragment().charFormat().toImageFormat();
            for (int i = 0; f.isValid() && i < it.fragment().length(); ++i) // equal pictures side by side share a fragment
                shown.append({doc.resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>(),
                              QSizeF(f.width(), f.height()), f.boolProperty(DocProperty::PicturePlaceholder)});
        }
    }
    return shown;
}

// A drawing 100 pixels square in a document.
Shown drawn(const QByteArray &words, const QByteArray &data)
{
    const QList<Shown> shown = read("{\\rtf1 {\\pict" + words + "\\picwgoal1500\\pichgoal1500 " + data.toHex() + "}}");
    return shown.size() == 1 ? shown[0] : Shown();
}

bool looksLike(QRgb actual, QRgb expected)
{
    if (expected == None)
        return qAlpha(actual) < 40;
    const QColor a = QColor::fromRgba(actual), e = QColor::fromRgba(expected);
    return a.alpha() > 200 && qAbs(a.red() - e.red()) < 60 && qAbs(a.green() - e.green()) < 60
        && qAbs(a.blue() - e.blue()) < 60;
}

// The bounds of the pixels drawn in an image.
QRect inked(const QImage &image)
{
    QRect r;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 100)
                r |= QRect(x, y, 1, 1);
        }
    }
    return r;
}

using Probes = QList<QPair<QPoint, QRgb>>;

} // namespace

Q_DECLARE_METATYPE(Probes)

class TestRtfMetafile : public QObject
{
    Q_OBJECT

private slots:
    void shapes_data();
    void shapes();
    void size_data();
    void size();
    void text_data();
    void text();
    void corpus();
    void hostile_data();
    void hostile();
    void paintingBudget();
};

void TestRtfMetafile::shapes_data()
{
    QTest::addColumn<QByteArray>("words");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<Probes>("probes");
    const QPoint topLeft(25, 25), bottomRight(75, 75), left(25, 50), right(75, 50), top(50, 25), bottom(50, 75);
    const QByteArray wmf = "\\wmetafile8\\picw2540\\pich2540";
    const QByteArray emf = "\\emfblip";
    const auto window = [] { return Wmf().window(0, 0, 1000, 1000); };

    QTest::newRow("wmf filled rectangle") << wmf << window().red().rectangle(100, 100, 500, 500).bytes()
                                          << Probes{{topLeft, Red}, {bottomRight, None}, {{5, 5}, None}};
    QTest::newRow("wmf line colour and width")
        << wmf << window().pen(Green, 40).select(0).add(0x0214, {500, 0}).add(0x0213, {500, 1000}).bytes()
        << Probes{{{50, 50}, Green}, {{50, 40}, None}, {{50, 60}, None}};
    QTest::newRow("wmf ellipse") << wmf << window().brush(Blue).select(0).add(0x0418, {1000, 1000, 0, 0}).bytes()
                                 << Probes{{{50, 50}, Blue}, {{3, 3}, None}, {{96, 96}, None}};
    // Counter-clockwise from three o'clock to twelve: the top right-hand quarter.
    QTest::newRow("wmf pie") << wmf << window().red().add(0x081A, {0, 500, 500, 1000, 1000, 1000, 0, 0}).bytes()
                             << Probes{{topLeft, None}, {{70, 30}, Red}, {bottomRight, None}};
    QTest::newRow("wmf rounded rectangle") << wmf << window().red().add(0x061C, {400, 400, 1000, 1000, 0, 0}).bytes()
                                           << Probes{{{2, 2}, None}, {{50, 50}, Red}, {{50, 2}, Red}};
    QTest::newRow("wmf bitmap pattern brush")
        << wmf << window().add(0x0142, le16(5) + le16(0) + dibRow({Red, Green})).select(0).rectangle(0, 0, 1000, 1000).bytes()
        << Probes{{{10, 10}, Red}, {{11, 10}, Green}, {{50, 51}, Red}};
    QTest::newRow("wmf polygon") << wmf << window().red().add(0x0324, {3, 0, 0, 1000, 0, 0, 1000}).bytes()
                                 << Probes{{topLeft, Red}, {bottomRight, None}};
    // The placeable header frames the picture; the window is stretched over it, or
    // fitted into it keeping its proportions.
    QTest::newRow("wmf anisotropic window")
        << wmf << Wmf().red().window(0, 0, 2000, 1000).rectangle(0, 0, 2000, 1000).placeable(0, 0, 1000, 1000, 1000)
        << Probes{{top, Red}, {bottom, Red}};
    QTest::newRow("wmf isotropic window")
        << wmf << Wmf().red().add(0x0103, {7}).window(0, 0, 2000, 1000).rectangle(0, 0, 2000, 1000).placeable(0, 0, 1000, 1000, 1000)
        << Probes{{top, Red}, {bottom, None}};
    QTest::newRow("wmf window counting y upwards")
        << wmf << Wmf().window(0, 1000, 1000, -1000).red().rectangle(0, 0, 1000, 500).bytes()
        << Probes{{bottom, Red}, {top, None}};
    QTest::newRow("wmf placeable header, no window") << wmf << Wmf().red().rectangle(0, 0, 720, 720).placeable(0, 0, 1440, 1440, 1440)
                                                     << Probes{{topLeft, Red}, {bottomRight, None}};
    QTest::newRow("wmf without a window: what it draws")
        << wmf << Wmf().red().rectangle(100, 100, 300, 300).brush(Blue).select(2).rectangle(300, 300, 500, 500).bytes()
        << Probes{{topLeft, Red}, {bottomRight, Blue}, {{75, 25}, None}};
    QTest::newRow("wmf saved and restored brush")
        << wmf << window().red().add(0x001E, {}).brush(Blue).select(2).add(0x0127, {-1}).rectangle(0, 0, 1000, 1000).bytes()
        << Probes{{topLeft, Red}, {bottomRight, Red}};
    QTest::newRow("wmf clipped to a rectangle")
        << wmf << window().red().add(0x0416, {1000, 500, 0, 0}).rectangle(0, 0, 1000, 1000).bytes()
        << Probes{{left, Red}, {right, None}};
    QTest::newRow("wmf rectangle excluded from the clip")
        << wmf << window().red().add(0x0415, {1000, 500, 0, 0}).rectangle(0, 0, 1000, 1000).bytes()
        << Probes{{left, None}, {right, Red}};
    QTest::newRow("wmf polygons, alternate fill")
        << wmf << window().red().add(0x0538, {2, 4, 4, 0, 0, 600, 0, 600, 600, 0, 600, 400, 400, 1000, 400, 1000, 1000, 400, 1000}).bytes()
        << Probes{{{20, 20}, Red}, {{50, 50}, None}, {{80, 80}, Red}};
    QTest::newRow("wmf polygons, winding fill")
        << wmf << window().red().add(0x0106, {2}).add(0x0538, {2, 4, 4, 0, 0, 600, 0, 600, 600, 0, 600, 400, 400, 1000, 400, 1000, 1000, 400, 1000}).bytes()
        << Probes{{{20, 20}, Red}, {{50, 50}, Red}, {{80, 80}, Red}};
    QTest::newRow("wmf pattern blit with the brush")
        << wmf << window().brush(Green).select(0).add(0x061D, le32(0x00F00021) + le16(500) + le16(1000) + le16(0) + le16(0)).bytes()
        << Probes{{top, Green}, {bottom, None}};
    QTest::newRow("wmf bitmap inside a drawing")
        << wmf
        << window().brush(Blue).select(0).rectangle(0, 0, 500, 1000)
               .add(0x0F43, le32(0x00CC0020) + le16(0) + le16(1) + le16(2) + le16(0) + le16(0) + le16(1000) + le16(500)
                                + le16(0) + le16(500) + dibRow({Red, Green}))
               .bytes()
        << Probes{{left, Blue}, {{62, 50}, Red}, {{88, 50}, Green}};

    QTest::newRow("emf filled rectangle") << emf << Emf().red().rectangle(100, 100, 500, 500).bytes()
                                          << Probes{{topLeft, Red}, {bottomRight, None}};
    QTest::newRow("emf stock brush") << emf << Emf().select(0x80000004).select(0x80000008).rectangle(0, 0, 1000, 500).bytes()
                                     << Probes{{top, 0xff000000}, {bottom, None}};
    QTest::newRow("emf world transform") << emf << Emf().red().world(2, 2, 0, 0, 0).rectangle(0, 0, 250, 250).bytes()
                                         << Probes{{{40, 40}, Red}, {{60, 60}, None}};
    // Left-multiplied, the new transform applies first: (p + 250) * 2.
    QTest::newRow("emf world transform, left multiplied")
        << emf << Emf().red().world(2, 2, 0, 0, 4).world(1, 1, 250, 0, 2).rectangle(0, 0, 100, 100).bytes()
        << Probes{{{60, 10}, Red}, {{30, 10}, None}};
    QTest::newRow("emf world transform, right multiplied")
        << emf << Emf().red().world(2, 2, 0, 0, 4).world(1, 1, 250, 0, 3).rectangle(0, 0, 100, 100).bytes()
        << Probes{{{30, 10}, Red}, {{60, 10}, None}};
    QTest::newRow("emf metric mapping, y upwards") << emf << Emf().red().add(17, {2}).rectangle(0, 0, 500, -500).bytes()
                                                   << Probes{{topLeft, Red}, {bottomRight, None}};
    QTest::newRow("emf anisotropic mapping")
        << emf << Emf().red().add(17, {8}).add(9, {10, 10}).add(11, {1000, 1000}).rectangle(0, 0, 5, 5).bytes()
        << Probes{{topLeft, Red}, {bottomRight, None}};
    QTest::newRow("emf filled path")
        << emf << Emf().red().add(59, {}).add(27, {0, 0}).add(54, {1000, 0}).add(54, {0, 1000}).add(61, {}).add(60, {}).add(62, {0, 0, 0, 0}).bytes()
        << Probes{{{20, 20}, Red}, {bottomRight, None}};
    QTest::newRow("emf 16-bit polygon")
        << emf << Emf().red().add(86, le32(0) + le32(0) + le32(0) + le32(0) + le32(3) + le16(1000) + le16(1000) + le16(0) + le16(1000) + le16(1000) + le16(0)).bytes()
        << Probes{{bottomRight, Red}, {topLeft, None}};
    QTest::newRow("emf clipped to a path")
        << emf << Emf().red().add(59, {}).rectangle(0, 0, 500, 500).add(60, {}).add(67, {5}).rectangle(0, 0, 1000, 1000).bytes()
        << Probes{{topLeft, Red}, {bottomRight, None}, {{75, 25}, None}};
    QTest::newRow("emf clipping region in device pixels")
        << emf << Emf().red().add(75, le32(48) + le32(5) + le32(32) + le32(1) + le32(1) + le32(16) + le32(500) + le32(0) + le32(1000) + le32(1000)
                                           + le32(500) + le32(0) + le32(1000) + le32(1000)).rectangle(0, 0, 1000, 1000).bytes()
        << Probes{{left, None}, {right, Red}};
    QTest::newRow("emf clip undone by restoring")
        << emf << Emf().red().add(33, {}).add(30, {0, 0, 100, 100}).add(34, {-1}).rectangle(0, 0, 1000, 1000).bytes()
        << Probes{{topLeft, Red}, {bottomRight, Red}};
    QTest::newRow("emf raster operation without a bitmap")
        << emf << Emf().brush(1, Green).select(1).add(76, QByteArray(16, '\0') + le32(0) + le32(500) + le32(1000) + le32(500) + le32(0x00F00021) + QByteArray(60, '\0')).bytes()
        << Probes{{bottom, Green}, {top, None}};
    const QByteArray dib = dibRow({Red, Green});
    QTest::newRow("emf bitmap stretched")
        << emf << Emf().add(81, QByteArray(16, '\0') + le32(0) + le32(0) + le32(0) + le32(0) + le32(2) + le32(1) + le32(80) + le32(40) + le32(120)
                                    + le32(dib.size() - 40) + le32(0) + le32(0x00CC0020) + le32(1000) + le32(1000) + dib).rectangle(0, 0, 0, 0).bytes()
        << Probes{{left, Red}, {right, Green}};
}

void TestRtfMetafile::shapes()
{
    QFETCH(QByteArray, words);
    QFETCH(QByteArray, data);
    QFETCH(Probes, probes);
    const Shown shown = drawn(words, data);
    QVERIFY(!shown.placeholder);
    QCOMPARE(shown.image.size(), QSize(100, 100));
    for (const auto &[at, expected] : probes) {
        const QRgb actual = shown.image.pixel(at);
        QVERIFY2(looksLike(actual, expected), qPrintable(QStringLiteral("at (%1, %2): %3, expected %4")
                                                            .arg(at.x()).arg(at.y()).arg(actual, 8, 16, QLatin1Char('0'))
                                                            .arg(expected, 8, 16, QLatin1Char('0'))));
    }
}

void TestRtfMetafile::size_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QSizeF>("display");
    const QByteArray placeable = Wmf().red().rectangle(0, 0, 720, 720).placeable(0, 0, 1440, 720, 1440).toHex();
    const QByteArray emf = Emf().red().rectangle(0, 0, 500, 500).bytes().toHex();
    QTest::newRow("wmf: the document's size") << "{\\pict\\wmetafile8\\picw5080\\pich2540 " + placeable + "}" << QSizeF(192, 96);
    QTest::newRow("wmf: the placeable header's size") << "{\\pict\\wmetafile8 " + placeable + "}" << QSizeF(96, 48);
    QTest::newRow("emf: the frame's size, scaled") << "{\\pict\\emfblip\\picscalex50 " + emf + "}" << QSizeF(189, 378);
}

void TestRtfMetafile::size()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QSizeF, display);
    const QList<Shown> shown = read("{\\rtf1 " + rtf + "}");
    QCOMPARE(shown.size(), 1);
    QVERIFY(!shown[0].placeholder);
    QCOMPARE(shown[0].size.toSize(), display.toSize());
    QCOMPARE(shown[0].image.size(), QSize(qCeil(shown[0].size.width()), qCeil(shown[0].size.height())));
    // The red square in the top left-hand corner of the frame.
    QVERIFY(looksLike(shown[0].image.pixel(3, 3), Red));
}

void TestRtfMetafile::text_data()
{
    QTest::addColumn<QByteArray>("words");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QRect>("within");
    const QByteArray wmf = "\\wmetafile8\\picw2540\\pich2540";
    // A 20-pixel red font, with an opaque white background under the text.
    const Wmf font = Wmf().window(0, 0, 1000, 1000).add(0x02FB, le16(-200) + QByteArray(16, '\0') + "Arial" + QByteArray(27, '\0'))
                         .add(0x012D, {0}).add(0x0209, colour(Red)).add(0x0102, {1});
    QTest::newRow("wmf text out, from the top left") << wmf << Wmf(font).add(0x0521, le16(2) + "HH" + le16(100) + le16(100)).bytes()
                                                     << QRect(10, 10, 30, 25);
    QTest::newRow("wmf text right and bottom aligned")
        << wmf << Wmf(font).add(0x012E, {2 | 8}).add(0x0521, le16(2) + "HH" + le16(900) + le16(900)).bytes() << QRect(55, 60, 35, 30);
    QTest::newRow("wmf text centred on its baseline")
        << wmf << Wmf(font).add(0x012E, {6 | 24}).add(0x0A32, le16(500) + le16(500) + le16(3) + le16(0) + "HHH" + QByteArray(1, '\0') + le16(150) + le16(150) + le16(150)).bytes()
        << QRect(25, 30, 50, 25);
    QByteArray face(64, '\0');
    const QString arial = QStringLiteral("Arial");
    for (int i = 0; i < arial.size(); ++i)
        qToLittleEndian<quint16>(arial[i].unicode(), face.data() + 2 * i);
    const QString text = QStringLiteral("H\u00e9\u03a9");
    QByteArray utf16;
    for (const QChar c : text)
        utf16 += le16(c.unicode());
    utf16 += le16(0);
    QTest::newRow("emf wide text with advances")
        << QByteArray("\\emfblip")
        << Emf().add(82, le32(1) + le32(-200) + le32(0) + le32(0) + le32(0) + le32(700) + QByteArray(8, '\0') + face)
               .select(1).add(24, colour(Red)).add(18, {1})
               .add(84, QByteArray(16, '\0') + le32(1) + f32(0) + f32(0) + le32(600) + le32(600) + le32(3) + le32(76) + le32(0)
                            + QByteArray(16, '\0') + le32(76 + utf16.size()) + utf16 + le32(150) + le32(150) + le32(150))
               .bytes()
        << QRect(55, 55, 45, 45);
}

void TestRtfMetafile::text()
{
    QFETCH(QByteArray, words);
    QFETCH(QByteArray, data);
    QFETCH(QRect, within);
    const Shown shown = drawn(words, data);
    QVERIFY(!shown.placeholder);
    const QRect ink = inked(shown.image);
    QVERIFY2(!ink.isEmpty() && within.contains(ink), qPrintable(QStringLiteral("text drawn at %1,%2 %3x%4")
                                                                 .arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
    // Glyphs, not a box: some pixels in the middle of the text are ink, some are not.
    int red = 0, clear = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        for (int x = ink.left(); x <= ink.right(); ++x) {
            const QRgb c = shown.image.pixel(x, y);
            red += looksLike(c, Red);
            clear += qAlpha(c) < 40;
        }
    }
    QVERIFY(red > 20);
    QVERIFY(clear > 20);
}

void TestRtfMetafile::corpus()
{
    QDir dir(QString::fromLocal8Bit(qEnvironmentVariableIsSet("ORVO_RTF_CORPUS") ? qgetenv("ORVO_RTF_CORPUS")
                                                                                    : QByteArray(ORVO_RTF_CORPUS)));
    if (!dir.exists(QStringLiteral("structure.json")))
        QSKIP("RTF corpus not found (set ORVO_RTF_CORPUS)");
    // The documents whose pictures are drawings and charts, and how many each shows.
    const QList<QPair<QString, int>> documents = {{QStringLiteral("rtfjs-wmf-and-emf.rtf"), 2},
                                                  {QStringLiteral("rtfpipe-issue46-word.rtf"), 1},
                                                  {QStringLiteral("rtfpipe-old3-from-web.rtf"), 2},
                                                  {QStringLiteral("tika-embedded-link-object.rtf"), 1}};
    for (const auto &[name, count] : documents) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<Shown> shown = read(file.readAll());
        QCOMPARE(shown.size(), count);
        for (const Shown &s : shown) {
            QVERIFY2(!s.placeholder, qPrintable(name));
            QCOMPARE(s.image.size(), QSize(qCeil(s.size.width()), qCeil(s.size.height())));
            // Something drawn: dark lines or text, and not everything dark.
            int dark = 0;
            const int pixels = s.image.width() * s.image.height();
            for (int y = 0; y < s.image.height(); ++y) {
                for (int x = 0; x < s.image.width(); ++x)
                    dark += qAlpha(s.image.pixel(x, y)) > 128 && qGray(s.image.pixel(x, y)) < 100;
            }
            QVERIFY2(dark > pixels / 500 && dark < pixels / 2, qPrintable(QStringLiteral("%1: %2 of %3 pixels dark").arg(name).arg(dark).arg(pixels)));
        }
    }
}

void TestRtfMetafile::hostile_data()
{
    QTest::addColumn<QByteArray>("words");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("drawn"); // the red square after the hostile part is drawn
    const QByteArray wmf = "\\wmetafile8\\picw2540\\pich2540";
    const QByteArray emf = "\\emfblip";
    const auto window = [] { return Wmf().window(0, 0, 1000, 1000).red(); };
    const auto square = [](auto m) { return m.rectangle(0, 0, 500, 500).bytes(); };

    QTest::newRow("wmf polygon counting more points than it has") << wmf << square(window().add(0x0324, {32767, 0, 0, 10, 10})) << true;
    QTest::newRow("wmf polypolygon counting more polygons than it has") << wmf << square(window().add(0x0538, {65535, 3, 0, 0})) << true;
    QTest::newRow("wmf record longer than the file") << wmf << window().rectangle(0, 0, 500, 500).bytes() + le32(0x7FFFFFFF) + le16(0x041B) << true;
    QByteArray overrun = window().bytes();
    overrun.chop(6);
    overrun += le32(0x7FFFFFFF) + le16(0x041B) + le16(500) + le16(500) + le16(0) + le16(0);
    QTest::newRow("wmf drawing record longer than the file") << wmf << overrun << false;
    QTest::newRow("wmf zero window") << wmf << square(window().window(0, 0, 0, 0)) << true;
    QTest::newRow("wmf negative window") << wmf << Wmf().window(1000, 1000, -1000, -1000).red().rectangle(500, 500, 1000, 1000).bytes() << true;
    QTest::newRow("wmf enormous scale")
        << wmf << square(Wmf().window(0, 0, 1, 1).red().rectangle(-32000, -32000, 32000, 32000).window(0, 0, 1000, 1000)) << true;
    QTest::newRow("wmf selections of objects never made") << wmf << square(window().select(40000).select(7).add(0x01F0, {65535})) << true;
    QTest::newRow("wmf region with absurd scans")
        << wmf << square(window().add(0x06FF, le16(0) + le16(6) + le32(0) + le16(0) + le16(32767) + le16(0) + QByteArray(8, '\0') + le16(32767)).add(0x012C, {2}).rectangle(0, 0, 1000, 1000).add(0x012C, {0})) << true;
    Wmf deep = window();
    for (int i = 0; i < 20000; ++i)
        deep.add(0x001E, {});
    QTest::newRow("wmf 20 000 saved states") << wmf << square(deep) << true;
    Wmf restores = window();
    for (int i = 0; i < 1000; ++i)
        restores.add(0x0127, {-30000});
    QTest::newRow("wmf restoring states never saved") << wmf << square(restores) << true;
    Wmf many = window();
    for (int i = 0; i < 260000; ++i)
        many.add(0x0102, {1});
    QTest::newRow("wmf more records than are played") << wmf << square(many) << false;
    QTest::newRow("wmf huge font") << wmf << square(window().add(0x02FB, le16(-32000) + QByteArray(48, '\0')).select(2).add(0x0521, le16(1) + "H" + QByteArray(1, '\0') + le16(0) + le16(0))) << true;
    QTest::newRow("wmf bitmap claiming a billion pixels")
        << wmf << square(window().add(0x0F43, le32(0x00CC0020) + QByteArray(18, '\0') + le32(40) + le32(100000) + le32(100000) + le16(1) + le16(24) + QByteArray(24, '\0'))) << true;
    QTest::newRow("wmf text longer than its record") << wmf << square(window().add(0x0A32, {0, 0, 30000, 0, 'a'})) << true;

    QTest::newRow("emf polyline of four thousand million points")
        << emf << square(Emf().red().add(4, QByteArray(16, '\0') + le32(0xFFFFFFFF) + le32(0) + le32(0))) << true;
    QTest::newRow("emf polypolygon counts beyond the record")
        << emf << square(Emf().red().add(8, QByteArray(16, '\0') + le32(0x7FFFFFFF) + le32(0x7FFFFFFF) + le32(3))) << true;
    QTest::newRow("emf absurd coordinates")
        << emf << square(Emf().red().rectangle(-2000000000, -2000000000, 2000000000, 2000000000).add(3, QByteArray(16, '\0') + le32(3) + le32(-2000000000) + le32(0) + le32(2000000000) + le32(0) + le32(0) + le32(2000000000))) << true;
    QTest::newRow("emf world transform of infinities and zeros")
        << emf << square(Emf().red().world(qInf(), 0, 0, 0, 4).rectangle(0, 0, 1000, 1000).world(0, 0, 0, 0, 4).rectangle(0, 0, 1000, 1000).world(1, 1, 0, 0, 1)) << true;
    QTest::newRow("emf objects beyond any table") << emf << square(Emf().red().brush(0x7FFFFFFF, Blue).select(0x7FFFFFFF).add(40, {0x7FFFFFFF}).select(0xFFFFFFFF)) << true;
    QTest::newRow("emf region of four thousand million rectangles")
        << emf << square(Emf().red().add(75, le32(48) + le32(5) + le32(32) + le32(1) + le32(0xFFFFFFFF) + QByteArray(20, '\0'))) << true;
    QTest::newRow("emf text offsets outside the record")
        << emf << square(Emf().red().add(84, QByteArray(28, '\0') + le32(0) + le32(0) + le32(0x7FFFFFFF) + le32(0x7FFFFFF0) + QByteArray(20, '\0') + le32(0xFFFFFFF0))) << true;
    QTest::newRow("emf bitmap offsets outside the record")
        << emf << square(Emf().red().add(81, QByteArray(40, '\0') + le32(0xFFFFFF00) + le32(0x1000) + le32(0xFFFFFF00) + le32(0x1000) + QByteArray(16, '\0'))) << true;
    QTest::newRow("emf dashed line a million pixels long")
        << emf << square(Emf().red().add(38, {5, 1, 0, 0, 0}).select(5).add(27, {0, 500}).add(54, {2000000000, 500}).select(0x80000008)) << true;
    QTest::newRow("emf record of size zero") << emf << Emf().red().rectangle(0, 0, 500, 500).add(43, QByteArray()).bytes().replace(le32(43) + le32(8), le32(43) + le32(0)) << true;
}

void TestRtfMetafile::hostile()
{
    QFETCH(QByteArray, words);
    QFETCH(QByteArray, data);
    QFETCH(bool, drawn);
    const Shown shown = ::drawn(words, data);
    QCOMPARE(shown.size, QSizeF(100, 100));
    QCOMPARE(!shown.placeholder, drawn);
    if (drawn)
        QVERIFY(looksLike(shown.image.pixel(25, 25), Red));
}

void TestRtfMetafile::paintingBudget()
{
    // Each drawing is charged for the pixels it paints: 300 pictures of 600 full-size
    // squares ask for far more than a document may spend. Those drawn once it is
    // spent are placeholders.
    Wmf heavy = Wmf().window(0, 0, 1000, 1000).red();
    for (int i = 0; i < 600; ++i)
        heavy.rectangle(0, 0, 1000, 1000);
    const QByteArray pict = "{\\pict\\wmetafile8\\picw2540\\pich2540\\picwgoal1500\\pichgoal1500 " + heavy.bytes().toHex() + "}";
    QByteArray rtf = "{\\rtf1 ";
    for (int i = 0; i < 300; ++i)
        rtf += pict;
    const QList<Shown> shown = read(rtf + "}");
    QCOMPARE(shown.size(), 300);
    QVERIFY(!shown.first().placeholder);
    QVERIFY(looksLike(shown.first().image.pixel(50, 50), Red));
    QVERIFY(shown.last().placeholder);
}

QTEST_MAIN(TestRtfMetafile)
#include "tst_rtfmetafile.moc"
