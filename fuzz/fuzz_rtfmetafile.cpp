// Feeds arbitrary bytes to the metafile player as a WMF or an EMF picture (the first
// byte chooses which): any crash, sanitizer report, hang or runaway memory use is a
// bug in the player. The RTF reader's target reaches it too, but only through hex
// text, which mutates into valid metafiles slowly.

#include "model/picturedecoder.h"

#include <QByteArray>
#include <QGuiApplication>

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
    if (size < 1)
        return 0;
    Picture picture;
    picture.kind = data[0] & 1 ? Picture::Kind::Emf : Picture::Kind::Wmf;
    picture.data = QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    // A picture of 100 by 100 pixels, or one sized by the metafile's own header.
    if (!(data[0] & 2)) {
        picture.goalWidth = 1500;
        picture.goalHeight = 1500;
    }
    PictureDecoder decoder;
    const PictureDecoder::Result result = decoder.decode(picture);
    volatile bool placeholder = result.placeholder;
    (void)placeholder;
    return 0;
}
