// Feeds arbitrary bytes to the Word reader. Bytes that start as a zip archive are
// opened as a package, so the archive's reading is fuzzed too; any other bytes are
// the XML of the parts, split at form feeds (main document, styles, numbering),
// packed into a stored archive with the relationships that tie them, so that the
// fuzzer's changes reach the XML instead of breaking a deflate stream's checksum.

#include "docx/docxreader.h"
#include "package/package.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QList>
#include <QTextDocument>

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

template<typename T>
void put(QByteArray &out, T value)
{
    for (size_t i = 0; i < sizeof(T); ++i)
        out.append(char((quint64(value) >> (8 * i)) & 0xFF));
}

QByteArray storedZip(const QList<QPair<QByteArray, QByteArray>> &entries)
{
    QByteArray out, central;
    for (const auto &[name, data] : entries) {
        const quint32 offset = quint32(out.size());
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
        for (QByteArray *header : {&out, &central}) {
            const bool local = header == &out;
            put<quint32>(*header, local ? 0x04034b50 : 0x02014b50);
            if (!local)
                put<quint16>(*header, 20);
            put<quint16>(*header, 20);
            put<quint16>(*header, 0);
            put<quint16>(*header, 0);
            put<quint32>(*header, 0);
            put<quint32>(*header, crc);
            put<quint32>(*header, quint32(data.size()));
            put<quint32>(*header, quint32(data.size()));
            put<quint16>(*header, quint16(name.size()));
            put<quint16>(*header, 0);
            if (!local) {
                put<quint16>(*header, 0);
                put<quint16>(*header, 0);
                put<quint16>(*header, 0);
                put<quint32>(*header, 0);
                put<quint32>(*header, offset);
            }
            *header += name;
        }
        out += data;
    }
    const quint32 at = quint32(out.size());
    out += central;
    put<quint32>(out, 0x06054b50);
    put<quint32>(out, 0);
    put<quint16>(out, quint16(entries.size()));
    put<quint16>(out, quint16(entries.size()));
    put<quint32>(out, quint32(central.size()));
    put<quint32>(out, at);
    put<quint16>(out, 0);
    return out;
}

QByteArray package(const QByteArray &input)
{
    const QList<QByteArray> parts = input.split('\f');
    const QByteArray rel = "<Relationship Id=\"r%1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    return storedZip({
        {"[Content_Types].xml", "<Types><Override PartName=\"/word/document.xml\" ContentType=\"application/"
                                "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>"},
        {"word/document.xml", parts.value(0)},
        {"word/styles.xml", parts.value(1)},
        {"word/numbering.xml", parts.value(2)},
        {"word/media/image1.png", parts.value(3)},
        {"word/_rels/document.xml.rels",
         "<Relationships><Relationship Id=\"rS\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
         "Target=\"styles.xml\"/><Relationship Id=\"rN\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
         "numbering\" Target=\"numbering.xml\"/><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
         "2006/relationships/image\" Target=\"media/image1.png\"/></Relationships>"},
    });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray bytes = Package::hasSignature(input) ? input : package(input);
    Failure failure;
    const std::unique_ptr<Package> pkg = Package::open(bytes, &failure);
    if (!pkg || !Docx::isWordPackage(*pkg))
        return 0;
    QTextDocument doc;
    if (!Docx::read(*pkg, &doc)) {
        volatile qsizetype n = doc.characterCount();
        (void)n;
    }
    return 0;
}
