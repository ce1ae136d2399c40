// Feeds arbitrary bytes to the RTF reader: any crash, sanitizer report, hang or
// runaway memory use is a bug in the reader.

#include "rtf/rtfreader.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Fonts and images need an application object; offscreen needs no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument doc;
    const Failure failure = Rtf::read(bytes, &doc);
    if (!failure) {
        // Walk what was built so a broken document structure shows up here.
        volatile qsizetype n = doc.characterCount();
        (void)n;
    }
    return 0;
}
