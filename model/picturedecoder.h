#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QSizeF>

// A picture as a reader gathered it (in RTF's words, from a \pict group).
struct Picture
{
    enum class Kind : unsigned char {
        Unknown, // no type keyword: whatever the data turn out to be
        Png,
        Jpeg,
        Dib,     // \dibitmap: a device-independent bitmap without its file header
        Wbitmap, // \wbitmap: raw device-dependent bits
        Wmf,
        Emf,
        MacPict,
        Os2Metafile,
    };

    Kind kind = Kind::Unknown;
    QByteArray data;
    int width = 0;  // \picw: pixels for bitmaps, hundredths of a millimetre for metafiles
    int height = 0; // \pich
    int goalWidth = 0;  // \picwgoal, twips
    int goalHeight = 0; // \pichgoal, twips
    int scaleX = 100;   // \picscalex, per cent
    int scaleY = 100;
    int bitsPerPixel = 1; // \wbmbitspixel
    int widthBytes = 0;   // \wbmwidthbytes
};

// Turns a picture into what the document shows: the decoded image at its display
// size (metafile drawings played at that size), or a placeholder of that size (a
// light frame with a picture symbol) for what cannot or may not be decoded. A picture's size is read from its header before it is
// decoded, and one decoder per document keeps the document's pictures within the
// reader's pixel budgets.
class PictureDecoder final
{
public:
    struct Result
    {
        QImage image;       // null: nothing to show (a picture without data)
        QSizeF displaySize; // pixels at 96 per inch
        bool placeholder = false;
    };

    Result decode(const Picture &picture);

    // The bitmap inside a metafile that draws nothing but that one bitmap, as a BMP
    // file; empty for any other metafile. Word processors and rich-edit controls
    // wrap pasted bitmaps this way.
    static QByteArray bitmapInMetafile(Picture::Kind kind, const QByteArray &data);

private:
    Result decodeBitmap(const Picture &picture, const QByteArray &file);
    Result decodeWbitmap(const Picture &picture);
    // Plays a WMF or EMF drawing at its display size.
    Result decodeMetafile(const Picture &picture);
    // A bitmap inside a drawing (BMP, PNG or JPEG bytes), charged as decoded.
    QImage decodeEmbeddedBitmap(const QByteArray &file);
    // The size to reserve for a picture whose natural size in pixels is natural
    // (invalid when unknown).
    static QSizeF displaySize(const Picture &picture, QSize natural);
    // Whether a picture of natural pixels may be decoded, and to which size.
    QSize decodeSize(QSize natural, QSizeF display) const;
    void charge(QSize natural, QSize kept);
    Result placeholder(QSizeF display);

    long long m_keptPixels = 0;
    long long m_decodedPixels = 0;
    QHash<quint64, QImage> m_placeholders; // by pixel size: equal placeholders share one image
};
