// Pictures in RTF documents: what the reader shows for each kind, at which size,
// inside shapes and objects, within its memory limits, and on the corpus documents
// that have pictures.

#include "littleendian.h"
#include "model/marks.h"
#include "rtf/rtfreader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QtEndian>
#include <QtTest>

#include <vector>

namespace {

struct Shown
{
    QTextImageFormat format;
    QImage image;
    bool placeholder() const { return format.boolProperty(DocProperty::PicturePlaceholder); }
};

std::vector<Shown> picturesOf(const QTextDocument &doc)
{
    std::vector<Shown> shown;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextImageFormat f = it.fragment().charFormat().toImageFormat();
            if (f.isValid())
                shown.push_back({f, doc.resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>()});
        }
    }
    return shown;
}

// A 24-bit bottom-up DIB: header and bits.
QByteArray dibOf(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    const int stride = (image.width() * 3 + 3) & ~3;
    QByteArray dib = le32(40) + le32(image.width()) + le32(image.height()) + le16(1) + le16(24) + le32(0)
        + le32(qint64(stride) * image.height()) + le32(2835) + le32(2835) + le32(0) + le32(0);
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            row[3 * x] = char(qBlue(c));
            row[3 * x + 1] = char(qGreen(c));
            row[3 * x + 2] = char(qRed(c));
        }
        dib += row;
    }
    return dib;
}

QByteArray wmf(const QByteArray &records)
{
    const QByteArray end = le32(3) + le16(0);
    const qint64 words = (18 + records.size() + end.size()) / 2;
    return le16(1) + le16(9) + le16(0x300) + le32(words) + le16(0) + le32(words) + le16(0) + records + end;
}

QByteArray emf(const QByteArray &records)
{
    QByteArray header = le32(1) + le32(88) + QByteArray(32, '\0') + le32(0x464D4520) + QByteArray(44, '\0');
    return header + records + le32(14) + le32(20) + QByteArray(12, '\0');
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Red on the left, blue on the right: halves of whole JPEG blocks, so they survive
// its compression.
QImage sample()
{
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    }
    return image;
}

QByteArray pict(const QByteArray &words, const QByteArray &data)
{
    return "{\\pict" + words + " " + data.toHex() + "}";
}

} // namespace

class TestRtfPictures : public QObject
{
    Q_OBJECT

private slots:
    void decoded_data();
    void decoded();
    void placeholders_data();
    void placeholders();
    void shapesAndObjects_data();
    void shapesAndObjects();
    void tooManyPixels();
    void corpus();
};

void TestRtfPictures::decoded_data()
{
    QTest::addColumn<QByteArray>("picture");
    QTest::addColumn<QSizeF>("display");

    const QImage image = sample();
    const QByteArray dib = dibOf(image);
    QTest::newRow("png at goal size") << pict("\\pngblip\\picwgoal1440\\pichgoal720", encoded(image, "PNG")) << QSizeF(96, 48);
    QTest::newRow("jpeg scaled") << pict("\\jpegblip\\picwgoal1440\\pichgoal720\\picscalex50\\picscaley200", encoded(image, "JPEG"))
                                 << QSizeF(48, 96);
    QTest::newRow("png in \\bin") << "{\\pict\\pngblip\\bin" + QByteArray::number(encoded(image, "PNG").size()) + " "
            + encoded(image, "PNG") + "}"
                                  << QSizeF(16, 8);
    QTest::newRow("dibitmap") << pict("\\dibitmap0\\picwgoal480\\pichgoal240", dib) << QSizeF(32, 16);
    QTest::newRow("bmp without a type") << pict("", encoded(image, "BMP")) << QSizeF(16, 8);
    // A monochrome device bitmap: 16 pixels in 4 bytes a row, rows from the top.
    QTest::newRow("wbitmap monochrome")
        << pict("\\wbitmap0\\wbmbitspixel1\\wbmplanes1\\wbmwidthbytes4\\picw16\\pich8",
                QByteArray::fromHex("00ff000000ff000000ff000000ff000000ff000000ff000000ff000000ff0000"))
        << QSizeF(16, 8);
    // Metafiles that only wrap a bitmap show the bitmap.
    QTest::newRow("wmf around a dib")
        << pict("\\wmetafile8\\picw423\\pich212\\picwgoal240\\pichgoal120",
                wmf(le32((28 + dib.size()) / 2) + le16(0x0F43) + le32(0x00CC0020) + le16(0) + le16(8) + le16(16)
                    + le16(0) + le16(0) + le16(8) + le16(16) + le16(0) + le16(0) + dib))
        << QSizeF(16, 8);
    QTest::newRow("emf around a dib")
        << pict("\\emfblip\\picwgoal240\\pichgoal120",
                emf(le32(81) + le32(80 + dib.size()) + QByteArray(40, '\0') + le32(80) + le32(40) + le32(120)
                    + le32(dib.size() - 40) + QByteArray(16, '\0') + dib))
        << QSizeF(16, 8);
}

void TestRtfPictures::decoded()
{
    QFETCH(QByteArray, picture);
    QFETCH(QSizeF, display);
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1 a" + picture + "b}", &doc));
    QCOMPARE(doc.toPlainText(), QStringLiteral("a\uFFFCb"));
    const auto shown = picturesOf(doc);
    QCOMPARE(shown.size(), size_t(1));
    QVERIFY(!shown[0].placeholder());
    QCOMPARE(QSizeF(shown[0].format.width(), shown[0].format.height()), display);
    const QImage &image = shown[0].image;
    QCOMPARE(image.size(), QSize(16, 8));
    // Red on the left (black for the monochrome bitmap), blue on the right.
    const QRgb corner = image.pixel(2, 1);
    const QRgb rest = image.pixel(12, 5);
    if (QByteArray(QTest::currentDataTag()).startsWith("wbitmap")) {
        QCOMPARE(corner, qRgb(0, 0, 0));
        QCOMPARE(rest, qRgb(255, 255, 255));
    } else {
        QVERIFY2(qRed(corner) > 200 && qBlue(corner) < 80, qPrintable(QString::number(corner, 16)));
        QVERIFY2(qBlue(rest) > 200 && qRed(rest) < 80, qPrintable(QString::number(rest, 16)));
    }
}

void TestRtfPictures::placeholders_data()
{
    QTest::addColumn<QByteArray>("picture");
    QTest::addColumn<QSizeF>("display");
    // Metafiles whose records draw nothing the player knows: a record it does not
    // know, and a polyline whose points the record cannot hold.
    const QByteArray unknown = le32(5) + le16(0x0999) + le32(0);
    QTest::newRow("wmf drawing nothing, extent in hundredths of a millimetre")
        << pict("\\wmetafile8\\picw2540\\pich1270", wmf(unknown)) << QSizeF(96, 48);
    QTest::newRow("emf drawing nothing, at goal size")
        << pict("\\emfblip\\picwgoal2880\\pichgoal1440",
                emf(le32(87) + le32(36) + QByteArray(16, '\0') + le32(200) + le32(0) + le32(0x000a000a)))
        << QSizeF(192, 96);
    QTest::newRow("quickdraw picture") << pict("\\macpict\\picwgoal720\\pichgoal720", "PICT") << QSizeF(48, 48);
    QTest::newRow("os/2 metafile") << pict("\\pmmetafile\\picwgoal720\\pichgoal360", "meta") << QSizeF(48, 24);
    QTest::newRow("broken jpeg, scaled") << pict("\\jpegblip\\picwgoal1440\\pichgoal1440\\picscalex50", "\xff\xd8 broken")
                                         << QSizeF(48, 96);
    QTest::newRow("unknown data, no size") << pict("", "not a picture") << QSizeF(96, 96);
    QTest::newRow("wbitmap without a palette") << pict("\\wbitmap0\\wbmbitspixel8\\wbmwidthbytes2\\picw2\\pich2", "abcd")
                                               << QSizeF(2, 2);
    QTest::newRow("larger than a page")
        << pict("\\macpict\\picwgoal31680\\pichgoal15840\\picscalex1000\\picscaley1000", "PICT") << QSizeF(2112, 1056);
}

void TestRtfPictures::placeholders()
{
    QFETCH(QByteArray, picture);
    QFETCH(QSizeF, display);
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1 a" + picture + "b" + picture + "}", &doc));
    QCOMPARE(doc.toPlainText(), QStringLiteral("a\uFFFCb\uFFFC"));
    const auto shown = picturesOf(doc);
    QCOMPARE(shown.size(), size_t(2));
    QVERIFY(shown[0].placeholder());
    QCOMPARE(QSizeF(shown[0].format.width(), shown[0].format.height()), display);
    // Drawn no larger than needed, and once for both.
    const QImage &image = shown[0].image;
    QVERIFY(!image.isNull());
    QVERIFY(image.width() <= 1024 && image.height() <= 1024);
    QCOMPARE(shown[1].format.name(), shown[0].format.name());
    // A light inside within a darker frame.
    if (image.width() > 4 && image.height() > 4) {
        QVERIFY(qGray(image.pixel(0, image.height() / 2)) < qGray(image.pixel(2, 2)));
        QVERIFY(qGray(image.pixel(2, 2)) > 200);
    }
}

void TestRtfPictures::shapesAndObjects_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pictures");
    const QByteArray png = pict("\\pngblip", encoded(sample(), "PNG"));
    const QByteArray pib = "{\\sp{\\sn pib}{\\sv " + png + "}}";
    const QByteArray other = "{\\sp{\\sn fillColor}{\\sv 255}}";
    QTest::newRow("picture frame")
        << "{\\rtf1 a{\\shp{\\*\\shpinst\\shpleft0" + other + pib
            + "{\\shptxt box " + png + "}}{\\shprslt{\\*\\do text " + png + "}" + png + "}}b}"
        << "a\uFFFCb" << 1;
    QTest::newRow("shape without a picture: its result")
        << "{\\rtf1 a{\\shp{\\*\\shpinst" + other + "}{\\shprslt result " + png + png + "}}b}"
        << "a\uFFFC\uFFFCb" << 2;
    // The result repeats the text box for readers without shapes. The box stands in
    // front of its paragraph, after the block its table needs there.
    QTest::newRow("text box: not its result")
        << "{\\rtf1 a{\\shp{\\*\\shpinst" + other + "{\\shptxt box}}{\\shprslt result " + png + png + "}}b}"
        << "\nbox\nab" << 0;
    QTest::newRow("group of pictures")
        << "{\\rtf1 a{\\shpgrp{\\*\\shpinst{\\shp{\\*\\shpinst" + pib + "}}{\\shp{\\*\\shpinst" + pib
            + "}}}{\\shprslt " + png + "}}b}"
        << "a\uFFFC\uFFFCb" << 2;
    QTest::newRow("picture property outside a shape") << "{\\rtf1 a{\\sp{\\sn pib}{\\sv " + png + "}}b}" << "ab" << 0;
    QTest::newRow("object result, once")
        << "{\\rtf1 a{\\object\\objemb{\\*\\objclass Paint}{\\*\\objdata 0102}{\\result{\\*\\shppict" + png
            + "}{\\nonshppict" + png + "}}}b}"
        << "a\uFFFCb" << 1;
    QTest::newRow("hidden picture") << "{\\rtf1 a{\\v " + png + "}b}" << "ab" << 0;
    QTest::newRow("picture in a header") << "{\\rtf1 a{\\header " + png + "}b}" << "ab" << 0;
}

void TestRtfPictures::shapesAndObjects()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QFETCH(int, pictures);
    QTextDocument doc;
    QVERIFY(!Rtf::read(rtf, &doc));
    QCOMPARE(doc.toPlainText(), text);
    QCOMPARE(int(picturesOf(doc).size()), pictures);
}

void TestRtfPictures::tooManyPixels()
{
    // One-bit pictures: tiny as files, large in pixels.
    QImage big(8000, 7000, QImage::Format_Mono);
    big.fill(1);
    QImage large(5000, 5000, QImage::Format_Mono);
    large.fill(1);
    const QByteArray over = "{\\pict\\pngblip\\picwgoal1440\\pichgoal1260 " + encoded(big, "PNG").toHex() + "}";
    const QByteArray under = "{\\pict\\pngblip\\picwgoal1440\\pichgoal1440 " + encoded(large, "PNG").toHex() + "}";
    QTextDocument doc;
    QVERIFY(!Rtf::read("{\\rtf1 " + over + under + under + under + under + under + "}", &doc));
    const auto shown = picturesOf(doc);
    QCOMPARE(shown.size(), size_t(6));
    // Over the limit for one picture: its place and size, nothing decoded.
    QVERIFY(shown[0].placeholder());
    QCOMPARE(shown[0].format.width(), 96.0);
    QCOMPARE(shown[0].format.height(), 84.0);
    QVERIFY(shown[0].image.width() <= 1024);
    // Three fit the document's budget at full size (the placeholder took a little of
    // it); the others are kept at their display size.
    for (size_t i = 1; i <= 3; ++i)
        QCOMPARE(shown[i].image.size(), QSize(5000, 5000));
    for (size_t i = 4; i <= 5; ++i) {
        QVERIFY(!shown[i].placeholder());
        QCOMPARE(shown[i].image.size(), QSize(96, 96));
        QCOMPARE(shown[i].format.width(), 96.0);
    }
}

void TestRtfPictures::corpus()
{
    QDir dir(QString::fromLocal8Bit(qEnvironmentVariableIsSet("ORVO_RTF_CORPUS") ? qgetenv("ORVO_RTF_CORPUS")
                                                                                    : QByteArray(ORVO_RTF_CORPUS)));
    QFile structureFile(dir.filePath(QStringLiteral("structure.json")));
    if (!structureFile.open(QIODevice::ReadOnly))
        QSKIP("RTF corpus not found (set ORVO_RTF_CORPUS)");
    const QJsonObject structure = QJsonDocument::fromJson(structureFile.readAll()).object();
    int expectedTotal = 0, shownTotal = 0, placeholderTotal = 0;
    QStringList mismatches;
    QString table = QStringLiteral("%1 %2 %3 %4\n").arg(QStringLiteral("document"), -42).arg("expected", 8).arg("shown", 6).arg("placeholders");
    for (auto it = structure.constBegin(); it != structure.constEnd(); ++it) {
        if (!it.value().toObject().value(QLatin1String("loaded")).toBool(true))
            continue; // the oracle refuses the document
        const int expected = it.value().toObject().value(QLatin1String("pictures")).toInt();
        QFile file(dir.filePath(it.key()));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QTextDocument doc;
        if (Rtf::read(file.readAll(), &doc))
            continue;
        const auto shown = picturesOf(doc);
        if (expected == 0 && shown.empty())
            continue;
        int placeholders = 0;
        for (const Shown &s : shown)
            placeholders += s.placeholder();
        expectedTotal += expected;
        shownTotal += qMin(int(shown.size()), expected);
        placeholderTotal += placeholders;
        if (int(shown.size()) != expected)
            mismatches << QStringLiteral("%1: %2 shown, %3 expected").arg(it.key()).arg(shown.size()).arg(expected);
        table += QStringLiteral("%1 %2 %3 %4\n").arg(it.key(), -42).arg(expected, 8).arg(shown.size(), 6).arg(placeholders);
    }
    table += QStringLiteral("\n%1 of %2 pictures shown, %3 of them as placeholders\n").arg(shownTotal).arg(expectedTotal).arg(placeholderTotal);
    qInfo().noquote() << "\n" + table;
    // Every picture once: none lost, none doubled.
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(QStringLiteral("; "))));
    QCOMPARE(shownTotal, expectedTotal);
    // Drawings and charts are played.
    QCOMPARE(placeholderTotal, 0);
}

QTEST_MAIN(TestRtfPictures)
#include "tst_rtfpictures.moc"
