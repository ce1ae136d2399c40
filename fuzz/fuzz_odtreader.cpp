// Feeds arbitrary bytes to the OpenDocument reader: a zip archive as a package, any
// other bytes as a flat file's XML, whose styles and text the fuzzer then changes
// directly.

#include "odt/odtreader.h"
#include "package/package.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument doc;
    Failure failure;
    if (Package::hasSignature(bytes)) {
        const std::unique_ptr<Package> pkg = Package::open(bytes, &failure);
        if (!pkg || !Odt::isTextPackage(*pkg))
            return 0;
        failure = Odt::read(*pkg, &doc);
    } else {
        failure = Odt::readFlat(bytes, &doc);
    }
    if (!failure) {
        volatile qsizetype n = doc.characterCount();
        (void)n;
    }
    return 0;
}
