// Hostile Word and OpenDocument files: each one loads or is refused, the document
// either whole or not made at all, and no part is inflated beyond the package's
// limits (what Package::bytesRead counts is what the reading held in memory).
#include "zipmaker.h"

#include "package/package.h"
#include "package/packagelimits.h"
#include "package/packagexml.h"
#include "package/partstream.h"
#include "platform/documentloader.h"

#include <QTextDocument>
#include <QTextTable>
#include <QtEndian>
#include <QtTest>

#include <memory>

namespace {

const QByteArray wordNs = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

QByteArray documentXml(const QByteArray &body)
{
    return "<?xml version=\"1.0\"?><w:document " + wordNs + "><w:body>" + body + "</w:body></w:document>";
}

// A Word package whose main part is the XML given whole.
QByteArray docxWithMain(const QByteArray &xml)
{
    return makeZip({{"[Content_Types].xml",
                     "<Types><Override PartName=\"/word/document.xml\" ContentType=\"application/"
                     "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>"},
                    {"word/document.xml", xml}});
}

Failure loadBytes(const QByteArray &bytes, std::unique_ptr<QTextDocument> *doc)
{
    const Failure f = DocumentLoader::fromBytes(bytes, doc);
    // Loaded whole, or nothing made.
    if (f)
        doc->reset();
    return f;
}

// The offsets of a signature's occurrences.
QList<qsizetype> find(const QByteArray &bytes, const QByteArray &signature)
{
    QList<qsizetype> at;
    for (qsizetype i = bytes.indexOf(signature); i >= 0; i = bytes.indexOf(signature, i + 1))
        at << i;
    return at;
}

// The central directory entry of the named member.
qsizetype centralEntry(const QByteArray &zip, const QByteArray &name)
{
    for (const qsizetype at : find(zip, "PK\x01\x02")) {
        const quint16 length = qFromLittleEndian<quint16>(zip.constData() + at + 28);
        if (zip.mid(at + 46, length) == name)
            return at;
    }
    return -1;
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return ~crc;
}

template<typename T>
void put(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

// A stored archive in the ZIP64 form throughout: sizes and offsets in the extra
// fields, the end records of ZIP64 before the classic one.
QByteArray zip64(const QList<ZipEntry> &entries)
{
    QByteArray out, central;
    for (const ZipEntry &e : entries) {
        const QByteArray name = e.name.toUtf8();
        const quint64 offset = quint64(out.size());
        const quint32 crc = crc32(e.data);
        QByteArray extra;
        put<quint16>(extra, 1);
        put<quint16>(extra, 16);
        put<quint64>(extra, quint64(e.data.size()));
        put<quint64>(extra, quint64(e.data.size()));
        put<quint32>(out, 0x04034b50);
        put<quint16>(out, 45);
        put<quint16>(out, 0);
        put<quint16>(out, 0);
        put<quint32>(out, 0);
        put<quint32>(out, crc);
        put<quint32>(out, 0xFFFFFFFF);
        put<quint32>(out, 0xFFFFFFFF);
        put<quint16>(out, quint16(name.size()));
        put<quint16>(out, quint16(extra.size()));
        out += name + extra + e.data;
        QByteArray cextra;
        put<quint16>(cextra, 1);
        put<quint16>(cextra, 24);
        put<quint64>(cextra, quint64(e.data.size()));
        put<quint64>(cextra, quint64(e.data.size()));
        put<quint64>(cextra, offset);
        put<quint32>(central, 0x02014b50);
        put<quint16>(central, 45);
        put<quint16>(central, 45);
        put<quint16>(central, 0);
        put<quint16>(central, 0);
        put<quint32>(central, 0);
        put<quint32>(central, crc);
        put<quint32>(central, 0xFFFFFFFF);
        put<quint32>(central, 0xFFFFFFFF);
        put<quint16>(central, quint16(name.size()));
        put<quint16>(central, quint16(cextra.size()));
        put<quint16>(central, 0);
        put<quint16>(central, 0);
        put<quint16>(central, 0);
        put<quint32>(central, 0);
        put<quint32>(central, 0xFFFFFFFF);
        central += name + cextra;
    }
    const quint64 centralAt = quint64(out.size());
    out += central;
    const quint64 end64At = quint64(out.size());
    put<quint32>(out, 0x06064b50);
    put<quint64>(out, 44);
    put<quint16>(out, 45);
    put<quint16>(out, 45);
    put<quint32>(out, 0);
    put<quint32>(out, 0);
    put<quint64>(out, quint64(entries.size()));
    put<quint64>(out, quint64(entries.size()));
    put<quint64>(out, quint64(central.size()));
    put<quint64>(out, centralAt);
    put<quint32>(out, 0x07064b50);
    put<quint32>(out, 0);
    put<quint64>(out, end64At);
    put<quint32>(out, 1);
    put<quint32>(out, 0x06054b50);
    put<quint16>(out, 0xFFFF);
    put<quint16>(out, 0xFFFF);
    put<quint16>(out, 0xFFFF);
    put<quint16>(out, 0xFFFF);
    put<quint32>(out, 0xFFFFFFFF);
    put<quint32>(out, 0xFFFFFFFF);
    put<quint16>(out, 0);
    return out;
}

const QByteArray hello = documentXml("<w:p><w:r><w:t>Bonjour</w:t></w:r></w:p>");

// Paragraphs numbered from first, count of them: a few megabytes that inflate in
// many pieces.
QByteArray numberedParagraphs(int first, int count)
{
    QByteArray body;
    for (int i = first; i < first + count; ++i)
        body += "<w:p><w:r><w:t>paragraphe " + QByteArray::number(i * 7919 % 100003) + "</w:t></w:r></w:p>";
    return body;
}

// The texts of the w:t elements a reader sees, and whether it ended well.
QStringList textsOf(PackageXml &xml, bool *ok, int stopAfter = -1)
{
    QStringList texts;
    while (texts.size() != stopAfter && xml.next()) {
        if (xml.isText())
            texts << xml.text().toString();
    }
    *ok = !xml.failed();
    return texts;
}

} // namespace

class TestPackageHostile final : public QObject
{
    Q_OBJECT

private slots:
    // An entry that inflates a thousandfold is not inflated at all.
    void zipBombIsNotInflated()
    {
        const QByteArray bomb = docxWithMain(documentXml("<w:p><w:r><w:t>" + QByteArray(32 << 20, 'a') + "</w:t></w:r></w:p>"));
        QVERIFY(bomb.size() < (1 << 20));
        Failure failure;
        const auto package = Package::open(bomb, &failure);
        QVERIFY(package);
        QVERIFY(!package->read("word/document.xml"));
        QCOMPARE(package->bytesRead(), 0);
        std::unique_ptr<QTextDocument> doc;
        QCOMPARE(loadBytes(bomb, &doc).number, FailureNumber::InvalidFormat);
    }

    // Sizes the directory gives wrongly: the part is not read past what it says, nor
    // read at all when it claims more than a part may be.
    void lyingSizes_data()
    {
        QTest::addColumn<quint32>("declared");
        QTest::newRow("smaller than the content") << quint32(10);
        QTest::newRow("larger than the content") << quint32(hello.size() + 100);
        QTest::newRow("gigabytes") << quint32(0xFFFFFFF0);
    }
    void lyingSizes()
    {
        QFETCH(quint32, declared);
        QByteArray zip = docxWithMain(hello);
        const qsizetype entry = centralEntry(zip, "word/document.xml");
        QVERIFY(entry > 0);
        qToLittleEndian(declared, zip.data() + entry + 24);
        Failure failure;
        const auto package = Package::open(zip, &failure);
        if (package) {
            QVERIFY(!package->read("word/document.xml"));
            QVERIFY(package->bytesRead() <= qMin<qint64>(declared, PackageLimits::MaxPartBytes) + 1);
        }
        std::unique_ptr<QTextDocument> doc;
        QCOMPARE(loadBytes(zip, &doc).number, FailureNumber::InvalidFormat);
    }

    // A part read as it inflates gives the reader what a whole reading gives, and
    // counts what it holds as read.
    void streamedPartComesWhole()
    {
        const QByteArray xml = documentXml(numberedParagraphs(0, 60000));
        const QByteArray zip = docxWithMain(xml);
        Failure failure;
        const auto package = Package::open(zip, &failure);
        QVERIFY(package);
        const std::unique_ptr<PartStream> stream = package->stream("word/document.xml");
        QVERIFY(stream);
        QCOMPARE(package->bytesRead(), xml.size());
        PackageXml streamed(*stream);
        bool streamedOk = false;
        const QStringList texts = textsOf(streamed, &streamedOk);
        QVERIFY(streamedOk);
        QVERIFY(stream->waitComplete());
        QCOMPARE(stream->bytes(), xml);
        PackageXml whole(xml);
        bool wholeOk = false;
        QCOMPARE(texts, textsOf(whole, &wholeOk));
        QCOMPARE(texts.size(), 60000);
    }

    // The directory's lies and a bomb's ratio are refused as a whole reading refuses
    // them: before inflating, or by the reader failing.
    void streamedLyingSizes_data()
    {
        QTest::addColumn<quint32>("declared");
        QTest::newRow("smaller than the content") << quint32(100000);
        QTest::newRow("larger than the content") << quint32(4 << 20);
        QTest::newRow("a thousandfold") << quint32(250 << 20);
    }
    void streamedLyingSizes()
    {
        QFETCH(quint32, declared);
        QByteArray zip = docxWithMain(documentXml(numberedParagraphs(0, 30000)));
        const qsizetype entry = centralEntry(zip, "word/document.xml");
        QVERIFY(entry > 0);
        qToLittleEndian(declared, zip.data() + entry + 24);
        Failure failure;
        const auto package = Package::open(zip, &failure);
        QVERIFY(package);
        const std::unique_ptr<PartStream> stream = package->stream("word/document.xml");
        if (declared > (200 << 20)) {
            QVERIFY(!stream);
            QCOMPARE(package->bytesRead(), 0);
        } else {
            QVERIFY(stream);
            PackageXml xml(*stream);
            bool ok = true;
            textsOf(xml, &ok);
            QVERIFY(!stream->waitComplete());
            QVERIFY(xml.failed());
            QVERIFY(!xml.errorString().isEmpty());
        }
        std::unique_ptr<QTextDocument> doc;
        QCOMPARE(loadBytes(zip, &doc).number, FailureNumber::InvalidFormat);
    }

    // A tag of too many attributes far into a streamed part: the reader fails
    // before it gets to the tag.
    void streamedTagOfManyAttributes()
    {
        QByteArray attributes;
        for (int i = 0; i < 5000; ++i)
            attributes += " a" + QByteArray::number(i) + "=\"\"";
        const QByteArray xml = documentXml(numberedParagraphs(0, 20000) + "<w:p" + attributes + "/>" + numberedParagraphs(0, 10));
        const QByteArray zip = docxWithMain(xml);
        Failure failure;
        const auto package = Package::open(zip, &failure);
        QVERIFY(package);
        const std::unique_ptr<PartStream> stream = package->stream("word/document.xml");
        QVERIFY(stream);
        PackageXml reader(*stream);
        bool sawTag = false;
        while (reader.next())
            sawTag = sawTag || (reader.isStart() && reader.attributeCount() > 1);
        QVERIFY(!sawTag);
        QVERIFY(reader.failed());
        QCOMPARE(reader.errorString(), QStringLiteral("too many attributes in one tag"));
        std::unique_ptr<QTextDocument> doc;
        QCOMPARE(loadBytes(zip, &doc).number, FailureNumber::InvalidFormat);
    }

    // A reader that stops early leaves the inflation behind it: the stream goes at
    // once, and the package reads the part again whole.
    void streamLeftEarly()
    {
        const QByteArray xml = documentXml(numberedParagraphs(0, 60000));
        const QByteArray zip = docxWithMain(xml);
        Failure failure;
        const auto package = Package::open(zip, &failure);
        QVERIFY(package);
        for (const int stopAfter : {0, 1, 5000}) {
            std::unique_ptr<PartStream> stream = package->stream("word/document.xml");
            QVERIFY(stream);
            {
                PackageXml reader(*stream);
                bool ok = false;
                QCOMPARE(textsOf(reader, &ok, stopAfter).size(), stopAfter);
                QVERIFY(ok);
            }
            stream.reset();
        }
        QCOMPARE(package->read("word/document.xml"), xml);
    }

    void tooManyEntries()
    {
        QList<ZipEntry> entries{{"[Content_Types].xml", "<Types/>"}};
        for (int i = 0; i < 100000; ++i)
            entries << ZipEntry{QStringLiteral("x/%1").arg(i), QByteArray(), false};
        const QByteArray zip = makeZip(entries);
        Failure failure;
        QVERIFY(!Package::open(zip, &failure));
        QCOMPARE(failure.number, FailureNumber::InvalidFormat);
        std::unique_ptr<QTextDocument> doc;
        QCOMPARE(loadBytes(zip, &doc).number, FailureNumber::InvalidFormat);
    }

    void damagedArchives_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = makeDocx("<w:p><w:r><w:t>Bonjour</w:t></w:r></w:p>");
        QTest::newRow("truncated") << good.left(good.size() - 30);
        QTest::newRow("cut in the entries") << good.left(good.size() / 3);
        QByteArray broken = good;
        const qsizetype central = broken.indexOf("PK\x01\x02");
        broken.replace(central + 4, 30, QByteArray(30, '\xFF'));
        QTest::newRow("broken central directory") << broken;
        QByteArray offset = good;
        const qsizetype end = offset.lastIndexOf("PK\x05\x06");
        qToLittleEndian(quint32(0x7FFFFFF0), offset.data() + end + 16);
        QTest::newRow("directory offset past the end") << offset;
        QByteArray encrypted = docxWithMain(hello);
        const qsizetype entry = centralEntry(encrypted, "word/document.xml");
        encrypted[entry + 8] = char(encrypted[entry + 8] | 1);
        const qsizetype local = encrypted.indexOf("PK\x03\x04" + QByteArray(), encrypted.indexOf("word/document.xml") - 30);
        if (local >= 0)
            encrypted[local + 6] = char(encrypted[local + 6] | 1);
        QTest::newRow("encrypted entry") << encrypted;
    }
    void damagedArchives()
    {
        QFETCH(QByteArray, bytes);
        std::unique_ptr<QTextDocument> doc;
        const Failure f = loadBytes(bytes, &doc);
        QCOMPARE(f.number, FailureNumber::InvalidFormat);
        QVERIFY(!doc);
    }

    // ZIP64 is a form of the format like another: such a package opens.
    void zip64Opens()
    {
        const QByteArray zip = zip64({{"[Content_Types].xml",
                                       "<Types><Override PartName=\"/word/document.xml\" ContentType=\"application/"
                                       "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>"},
                                      {"word/document.xml", hello}});
        std::unique_ptr<QTextDocument> doc;
        const Failure f = loadBytes(zip, &doc);
        QVERIFY2(!f, qPrintable(f.description));
        QCOMPARE(doc->toPlainText(), QStringLiteral("Bonjour"));
    }

    void hostileXml_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("loads");
        QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY a \"hahahahaha\">";
        for (char c = 'b'; c <= 'j'; ++c)
            laughs += QByteArray("<!ENTITY ") + c + " \"" + QByteArray(10, '&').replace("&", QByteArray("&") + char(c - 1) + ";") + "\">";
        laughs += "]><w:document " + wordNs + "><w:body><w:p><w:r><w:t>&j;</w:t></w:r></w:p></w:body></w:document>";
        QTest::newRow("billion laughs") << laughs << false;
        QTest::newRow("external entity")
            << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><w:document " + wordNs
                          + "><w:body><w:p><w:r><w:t>&x;</w:t></w:r></w:p></w:body></w:document>")
            << false;
        QTest::newRow("document type declaration")
            << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE w:document SYSTEM \"http://exemple.fr/w.dtd\"><w:document " + wordNs
                          + "><w:body/></w:document>")
            << false;
        QTest::newRow("nested a hundred thousand deep")
            << documentXml("<w:p>" + QByteArray("<w:smartTag>").repeated(100000) + QByteArray("</w:smartTag>").repeated(100000) + "</w:p>")
            << false;
        QTest::newRow("nested a million deep")
            << documentXml(QByteArray("<w:sdt>").repeated(1000000) + QByteArray("</w:sdt>").repeated(1000000)) << false;
        QTest::newRow("tables nested deep")
            << documentXml(QByteArray("<w:tbl><w:tr><w:tc>").repeated(80) + "<w:p/>" + QByteArray("</w:tc></w:tr></w:tbl>").repeated(80))
            << true;
        QTest::newRow("text boxes inside text boxes")
            << documentXml(QByteArray("<w:p><w:r><w:pict><w:txbxContent>").repeated(60) + "<w:p><w:r><w:t>x</w:t></w:r></w:p>"
                           + QByteArray("</w:txbxContent></w:pict></w:r></w:p>").repeated(60))
            << true;
        QTest::newRow("not well formed") << documentXml("<w:p><w:r><w:t>ouvert</w:r></w:p>") << false;
    }
    void hostileXml()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, loads);
        std::unique_ptr<QTextDocument> doc;
        const Failure f = loadBytes(docxWithMain(xml), &doc);
        QCOMPARE(!f, loads);
        if (f)
            QCOMPARE(f.number, FailureNumber::InvalidFormat);
    }

    // Text that is not valid UTF-8: refused by the XML reader, or read with
    // replacement characters; never the bytes as other characters.
    void invalidUtf8()
    {
        std::unique_ptr<QTextDocument> doc;
        const Failure f = loadBytes(docxWithMain(documentXml("<w:p><w:r><w:t>caf\xC3\x28 \xFF\xFE</w:t></w:r></w:p>")), &doc);
        if (!f)
            QVERIFY(!doc->toPlainText().contains(QChar(0xFF)));
        else
            QCOMPARE(f.number, FailureNumber::InvalidFormat);
    }

    void absurdNumbering()
    {
        const QByteArray numbering = "<w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"2147483647\"/>"
                                     "<w:numFmt w:val=\"upperLetter\"/><w:lvlText w:val=\"" + QByteArray("%1%9").repeated(40) + "\"/></w:lvl>"
                                     "<w:lvl w:ilvl=\"99\"><w:start w:val=\"-5\"/></w:lvl></w:abstractNum>"
                                     "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
                                     "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"2\"/></w:num>";
        QByteArray body;
        for (const char *props : {"<w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/>", "<w:ilvl w:val=\"99\"/><w:numId w:val=\"1\"/>",
                                  "<w:ilvl w:val=\"-3\"/><w:numId w:val=\"2\"/>", "<w:ilvl w:val=\"0\"/><w:numId w:val=\"99999999999\"/>"})
            body += "<w:p><w:pPr><w:numPr>" + QByteArray(props) + "</w:numPr></w:pPr><w:r><w:t>item</w:t></w:r></w:p>";
        std::unique_ptr<QTextDocument> doc;
        const Failure f = loadBytes(makeDocx(body, {}, numbering), &doc);
        QVERIFY2(!f, qPrintable(f.description));
        QCOMPARE(doc->blockCount(), 4);
        QVERIFY(doc->begin().text().size() < 1000);
    }

    // A row of fifty thousand cells is as wide as a table can be, its other cells'
    // text kept in its last.
    void rowOfManyCells()
    {
        const QByteArray row = "<w:tbl><w:tr>" + QByteArray("<w:tc><w:p><w:r><w:t>c</w:t></w:r></w:p></w:tc>").repeated(50000) + "</w:tr></w:tbl>";
        std::unique_ptr<QTextDocument> doc;
        const Failure f = loadBytes(makeDocx(row), &doc);
        QVERIFY2(!f, qPrintable(f.description));
        QTextTable *table = qobject_cast<QTextTable *>(doc->rootFrame()->childFrames().value(0));
        QVERIFY(table);
        QCOMPARE(table->columns(), 64);
        QCOMPARE(doc->toPlainText().count(QLatin1Char('c')), 50000);
    }

    // A picture whose header claims a hundred thousand pixels a side, shown larger
    // than any page: no such image is made.
    void pictureClaimingHugeSize()
    {
        QByteArray png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
        put<quint32>(png, qToBigEndian<quint32>(100000));
        put<quint32>(png, qToBigEndian<quint32>(100000));
        png += QByteArray("\x08\x02\0\0\0\0\0\0\0", 9);
        const QByteArray body = "<w:p><w:r><w:t>avant</w:t></w:r><w:r><w:drawing><wp:inline><wp:extent cx=\"9223372036854775807\" "
                                "cy=\"-5\"/><a:graphic><a:graphicData><pic:pic><pic:blipFill><a:blip r:embed=\"rIdP\"/></pic:blipFill>"
                                "</pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>";
        std::unique_ptr<QTextDocument> doc;
        const Failure f = loadBytes(makeDocx(body, {}, {}, {{"word/media/huge.png", png}},
                                             "<Relationship Id=\"rIdP\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
                                             "2006/relationships/image\" Target=\"media/huge.png\"/>"),
                                    &doc);
        QVERIFY2(!f, qPrintable(f.description));
        QVERIFY(doc->toPlainText().startsWith(QLatin1String("avant")));
        for (const QVariant &v : {doc->resource(QTextDocument::ImageResource, QUrl("rtfimage://1"))}) {
            const QImage image = v.value<QImage>();
            QVERIFY(image.isNull() || qint64(image.width()) * image.height() < 100000LL * 1000);
        }
    }

    // Styles whose parents make a cycle, and a list style's absurd levels and values.
    void openDocumentStyleCycleAndAbsurdLists()
    {
        const QByteArray styles = "<style:style style:name=\"A\" style:family=\"paragraph\" style:parent-style-name=\"B\">"
                                  "<style:text-properties fo:font-weight=\"bold\"/></style:style>"
                                  "<style:style style:name=\"B\" style:family=\"paragraph\" style:parent-style-name=\"A\"/>"
                                  "<text:list-style style:name=\"L\"><text:list-level-style-number text:level=\"99\" "
                                  "text:start-value=\"2147483647\" text:display-levels=\"1000\" style:num-format=\"a\"/>"
                                  "<text:list-level-style-number text:level=\"1\" text:start-value=\"-7\" "
                                  "text:display-levels=\"10\" style:num-format=\"I\"/></text:list-style>";
        QByteArray lists = QByteArray("<text:list text:style-name=\"L\"><text:list-item>").repeated(40) + "<text:p>fond</text:p>"
            + QByteArray("</text:list-item></text:list>").repeated(40);
        std::unique_ptr<QTextDocument> doc;
        const Failure f = loadBytes(makeOdt("<text:p text:style-name=\"A\">boucle</text:p>" + lists, {}, styles), &doc);
        QVERIFY2(!f, qPrintable(f.description));
        QVERIFY(doc->toPlainText().startsWith(QLatin1String("boucle")));
        QVERIFY(doc->toPlainText().contains(QLatin1String("fond")));
        QVERIFY(doc->toPlainText().size() < 2000);
    }

    void deepSpansInOpenDocument()
    {
        const QByteArray spans = QByteArray("<text:span>").repeated(100000) + "x" + QByteArray("</text:span>").repeated(100000);
        std::unique_ptr<QTextDocument> doc;
        const Failure f = loadBytes(makeOdt("<text:p>" + spans + "</text:p>"), &doc);
        QCOMPARE(f.number, FailureNumber::InvalidFormat);
    }
};

QTEST_MAIN(TestPackageHostile)
#include "tst_packagehostile.moc"
