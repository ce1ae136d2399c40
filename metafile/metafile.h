#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRegion>
#include <QString>
#include <QTransform>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QFont;
class QPainter;
class CodePage;

// Plays a Windows metafile (WMF) or an enhanced metafile (EMF), the drawings and
// charts word processors embed, onto an image through QPainter. The player keeps a
// device context as the metafile's records change it (mapping, objects, colours,
// clipping, the current position, saved states, EMF paths) and draws the shapes,
// text and bitmaps they ask for, stretched over the whole image as a picture frame
// shows them. Everything the records say is checked against the bytes there are,
// and the work a metafile may cause is bounded by the limits in metafilelimits.h.
//
// The records are played in metafilewmf.cpp and metafileemf.cpp, the drawing
// is in metafiledraw.cpp and the device context in metafile.cpp.
class Metafile final
{
public:
    enum class Format : unsigned char { Wmf, Emf };
    // Decodes a bitmap file found inside the drawing (BMP, PNG or JPEG bytes) within
    // the caller's pixel budgets: a null image when it may not or cannot.
    using ImageDecoder = std::function<QImage(const QByteArray &file)>;
    // Takes pixels from the caller's budget for painting; false when it is spent,
    // and playing stops there.
    using PaintBudget = std::function<bool(long long pixels)>;

    Metafile(Format format, const QByteArray &data);
    ~Metafile();
    Metafile(const Metafile &) = delete;
    Metafile &operator=(const Metafile &) = delete;

    // The picture's size in hundredths of a millimetre as its header tells it;
    // empty when the header says nothing of it or is not a metafile's.
    QSizeF naturalSize() const { return m_natural; }

    // Draws the picture over the whole of image, which the caller has cleared, and
    // returns whether anything was drawn. Each shape is charged to spend at the area
    // it covers (at least MetafileLimits::ShapeCost) before it is painted.
    bool play(QImage *image, const PaintBudget &spend, const ImageDecoder &decodeImage);
    long long painted() const { return m_painted; }

private:
    // Bounds-checked little-endian reads in one record: a read past its end gives
    // 0 and marks the record damaged.
    struct Bytes
    {
        const uchar *data = nullptr;
        qsizetype size = 0;
        mutable bool damaged = false;

        bool has(qsizetype at, qsizetype n) const;
        quint8 u8(qsizetype at) const;
        quint16 u16(qsizetype at) const;
        qint16 s16(qsizetype at) const { return qint16(u16(at)); }
        quint32 u32(qsizetype at) const;
        qint32 s32(qsizetype at) const { return qint32(u32(at)); }
        float f32(qsizetype at) const;
        QByteArray bytes(qsizetype at, qsizetype n) const;
    };

    struct Pen
    {
        int style = 0; // PS_SOLID, with the end cap and join bits
        qreal width = 0; // logical units; 0 is one device pixel
        bool cosmetic = true;
        QColor color = Qt::black;
    };
    struct Brush
    {
        int style = 0; // BS_SOLID
        QColor color = Qt::white;
        int hatch = 0;
        QImage pattern;
    };
    struct Font
    {
        qreal height = 0; // logical units: negative for the em, positive for the cell
        qreal width = 0;
        int escapement = 0; // tenths of a degree
        int weight = 400;
        bool italic = false;
        bool underline = false;
        bool strikeOut = false;
        int charset = 0;
        int pitchAndFamily = 0;
        QString face;
    };
    struct Object
    {
        enum class Kind : unsigned char { None, Pen, Brush, Font, Palette, Region };
        Kind kind = Kind::None;
        Pen pen;
        Brush brush;
        Font font;
        std::vector<QRgb> palette;
        QRegion region; // logical units (WMF regions)
    };
    // The device context: what SaveDC keeps and RestoreDC brings back.
    struct State
    {
        Pen pen;
        Brush brush;
        Font font;
        std::vector<QRgb> palette;
        QColor textColor = Qt::black;
        QColor backColor = Qt::white;
        bool opaqueBack = true;
        int textAlign = 0;
        Qt::FillRule fillRule = Qt::OddEvenFill;
        int rop2 = 13; // R2_COPYPEN
        bool clockwise = false;
        int stretchMode = 1;
        int mapMode = 1; // MM_TEXT
        QPointF windowOrg, windowExt{1, 1}, viewportOrg, viewportExt{1, 1};
        bool viewportSet = false; // WMF: the metafile chose its own viewport
        QTransform world;
        std::optional<QRegion> clip; // device pixels of the image; none: no clipping
        QPointF position;            // logical units
        QPointF brushOrigin;
    };
    enum class Arc : unsigned char { Open, Chord, Pie };

    // metafile.cpp: header, playback, device context, objects, clipping.
    void readHeader();
    void playRecords();
    bool tick();
    void resetState();
    const QTransform &transform();
    qreal deviceScale();
    void mappingChanged() { m_transformValid = false; }
    void setMapMode(int mode);
    void setWindowOrg(QPointF p);
    void setWindowExt(QPointF e);
    void setViewportOrg(QPointF p);
    void setViewportExt(QPointF e);
    void scaleExtents(bool viewport, int xNum, int xDenom, int yNum, int yDenom);
    void modifyWorld(const QTransform &xform, quint32 mode);
    void saveState();
    void restoreState(int which);
    int addObject(Object object);
    void setObject(quint32 index, Object object);
    Object *object(quint32 index);
    void selectObject(quint32 index);
    void deleteObject(quint32 index);
    bool selectStockObject(quint32 index);
    QColor colorRef(quint32 value) const;
    void clipRect(const QRectF &logical, bool exclude);
    void combineClip(const std::optional<QRegion> &region, int mode);
    void offsetClip(QPointF logical);
    QRegion deviceRegion(const QRegion &logical);

    // metafiledraw.cpp: shapes, text and bitmaps, in device pixels.
    QPointF toDevice(QPointF logical);
    QPolygonF toDevice(const QPolygonF &logical);
    bool spendPoints(qsizetype n);
    void drawPath(const QPainterPath &device, bool fill, bool stroke);
    void drawPolygon(const QPolygonF &logical);
    void drawPolyline(const QPolygonF &logical);
    void drawPolyPolygon(const std::vector<QPolygonF> &logical);
    void drawPolyPolyline(const std::vector<QPolygonF> &logical);
    void drawBeziers(const QPolygonF &logical, bool fromPosition);
    void drawLinesTo(const QPolygonF &logical);
    void moveTo(QPointF logical);
    void drawRectangle(const QRectF &logical, QSizeF corner = QSizeF());
    void drawEllipse(const QRectF &logical);
    void drawArc(const QRectF &box, QPointF start, QPointF end, Arc kind);
    void drawText(QPointF reference, const QString &text, const std::vector<qreal> &dx, quint32 options,
                  const QRectF &rect);
    // What a text record's options fill before the text (the background of the
    // rectangle, when opaque), and that rectangle in device pixels.
    QRectF fillTextBox(quint32 options, const QRectF &rect);
    // A text record's font at a whole pixel size near em, the size wanted in device
    // pixels, which becomes the size the font is then scaled to exactly.
    static QFont textFont(const Font &f, qreal *em, int *pixels);
    void fillRegion(const QRegion &device, const Brush &brush);
    void patternBlit(const QRectF &logical, quint32 rop);
    void blit(const QRectF &dest, const QByteArray &dib, const QByteArray &bits, QRectF source, bool bottomUpSource,
              quint32 rop, std::optional<QRgb> transparent = std::nullopt, qreal opacity = 1.0);
    QByteArray fileOfDib(const QByteArray &info, const QByteArray &bits) const;
    QImage decodeDib(const QByteArray &info, const QByteArray &bits);
    void beginPath();
    void closeFigure();
    void finishPath(bool fill, bool stroke);
    void selectClipPath(int mode);
    bool charge(const QRectF &device);
    void applyClip();
    QPen qtPen(qreal length);
    QString decodeText(const QByteArray &bytes, const Font &font);

    // metafilewmf.cpp and metafileemf.cpp: the records.
    void readWmfHeader();
    void findWmfFrame();
    void playWmf();
    void wmfRecord(quint16 function, const Bytes &r);
    // The records that change the device context, false for any other; then those
    // that draw.
    bool wmfStateRecord(quint16 function, const Bytes &r);
    void wmfDrawingRecord(quint16 function, const Bytes &r);
    void wmfCreate(quint16 function, const Bytes &r);
    void wmfBlit(quint16 function, const Bytes &r);
    void wmfText(quint16 function, const Bytes &r);
    Font wmfFont(const Bytes &r, qsizetype at);
    QRegion wmfRegion(const Bytes &r);
    void readEmfHeader();
    void playEmf();
    void emfRecord(quint32 type, const Bytes &r);
    // The records that change the device context (mapping, colours, modes, clipping,
    // saved states, objects), false for any other; then those that draw.
    bool emfStateRecord(quint32 type, const Bytes &r);
    void emfDrawingRecord(quint32 type, const Bytes &r);
    void emfArc(quint32 type, const Bytes &r);
    void emfAngleArc(const Bytes &r);
    void emfPoly(quint32 type, const Bytes &r);
    void emfCreate(quint32 type, const Bytes &r);
    void emfBlit(quint32 type, const Bytes &r);
    void emfText(quint32 type, const Bytes &r);
    std::optional<QRegion> emfRegion(const Bytes &r, qsizetype at, qsizetype size);
    static QRectF rectOf(qreal left, qreal top, qreal right, qreal bottom);

    Format m_format;
    QByteArray m_data;
    qsizetype m_firstRecord = 0;
    bool m_valid = false;
    QSizeF m_natural;
    // The frame: the rectangle of the picture in the space below the page mapping
    // (WMF: the logical units of the frame window; EMF: the reference device's
    // pixels), stretched over the image.
    QRectF m_frame;
    bool m_frameKnown = false;
    qreal m_metricUnit = 1; // frame units per hundredth of a millimetre, for the metric mapping modes
    int m_tableSize = 0;

    QImage *m_image = nullptr;
    QPainter *m_painter = nullptr;
    ImageDecoder m_decodeImage;
    PaintBudget m_spend;
    std::unique_ptr<CodePage> m_codePage;
    State m_state;
    std::vector<State> m_saved;
    int m_savedBeyondLimit = 0;
    std::vector<Object> m_objects;
    std::vector<int> m_freeObjects; // a min-heap of free WMF table slots
    QTransform m_transform;
    bool m_transformValid = false;
    bool m_clipApplied = false;

    bool m_pathOpen = false;
    bool m_pathNeedsMove = true;
    QPainterPath m_path; // device pixels

    bool m_measuring = false; // only finding the bounds of what is drawn
    QRectF m_measured;
    bool m_drawn = false;
    bool m_stopped = false;
    long long m_painted = 0;
    long long m_records = 0;
    long long m_points = 0;
    long long m_textChars = 0;
};
