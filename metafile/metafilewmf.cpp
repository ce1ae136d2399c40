#include "metafile/metafile.h"

#include "metafile/metafilelimits.h"

#include <QtEndian>

// Windows metafiles: 16-bit records of (size in words, function, parameters), most
// parameters in reverse order (y before x, bottom-right before top-left).

namespace {

enum WmfFunction : quint16 {
    WmfEof = 0x0000,
    WmfSaveDc = 0x001E,
    WmfRealizePalette = 0x0035,
    WmfSetPalEntries = 0x0037,
    WmfCreatePalette = 0x00F7,
    WmfSetBkMode = 0x0102,
    WmfSetMapMode = 0x0103,
    WmfSetRop2 = 0x0104,
    WmfSetPolyFillMode = 0x0106,
    WmfSetStretchBltMode = 0x0107,
    WmfRestoreDc = 0x0127,
    WmfInvertRegion = 0x012A,
    WmfPaintRegion = 0x012B,
    WmfSelectClipRegion = 0x012C,
    WmfSelectObject = 0x012D,
    WmfSetTextAlign = 0x012E,
    WmfDibCreatePatternBrush = 0x0142,
    WmfDeleteObject = 0x01F0,
    WmfCreatePatternBrush = 0x01F9,
    WmfSetBkColor = 0x0201,
    WmfSetTextColor = 0x0209,
    WmfSetWindowOrg = 0x020B,
    WmfSetWindowExt = 0x020C,
    WmfSetViewportOrg = 0x020D,
    WmfSetViewportExt = 0x020E,
    WmfOffsetWindowOrg = 0x020F,
    WmfOffsetViewportOrg = 0x0211,
    WmfLineTo = 0x0213,
    WmfMoveTo = 0x0214,
    WmfOffsetClipRgn = 0x0220,
    WmfFillRegion = 0x0228,
    WmfSelectPalette = 0x0234,
    WmfCreatePenIndirect = 0x02FA,
    WmfCreateFontIndirect = 0x02FB,
    WmfCreateBrushIndirect = 0x02FC,
    WmfPolygon = 0x0324,
    WmfPolyline = 0x0325,
    WmfScaleWindowExt = 0x0410,
    WmfScaleViewportExt = 0x0412,
    WmfExcludeClipRect = 0x0415,
    WmfIntersectClipRect = 0x0416,
    WmfEllipse = 0x0418,
    WmfRectangle = 0x041B,
    WmfSetPixel = 0x041F,
    WmfTextOut = 0x0521,
    WmfPolyPolygon = 0x0538,
    WmfRoundRect = 0x061C,
    WmfPatBlt = 0x061D,
    WmfCreateRegion = 0x06FF,
    WmfArc = 0x0817,
    WmfPie = 0x081A,
    WmfChord = 0x0830,
    WmfBitBlt = 0x0922,
    WmfDibBitBlt = 0x0940,
    WmfExtTextOut = 0x0A32,
    WmfStretchBlt = 0x0B23,
    WmfDibStretchBlt = 0x0B41,
    WmfSetDibToDev = 0x0D33,
    WmfStretchDib = 0x0F43,
};

// The records that put something on the page: the mapping in force at the first of
// them frames the picture.
bool draws(quint16 function)
{
    switch (function) {
    case WmfLineTo:
    case WmfPolygon:
    case WmfPolyline:
    case WmfPolyPolygon:
    case WmfEllipse:
    case WmfRectangle:
    case WmfRoundRect:
    case WmfSetPixel:
    case WmfTextOut:
    case WmfExtTextOut:
    case WmfPatBlt:
    case WmfArc:
    case WmfPie:
    case WmfChord:
    case WmfBitBlt:
    case WmfDibBitBlt:
    case WmfStretchBlt:
    case WmfDibStretchBlt:
    case WmfSetDibToDev:
    case WmfStretchDib:
    case WmfFillRegion:
    case WmfPaintRegion:
        return true;
    default:
        return false;
    }
}

constexpr quint32 PlaceableKey = 0x9AC6CDD7u;

} // namespace

QRectF Metafile::rectOf(qreal left, qreal top, qreal right, qreal bottom)
{
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

void Metafile::readWmfHeader()
{
    const Bytes d{reinterpret_cast<const uchar *>(m_data.constData()), m_data.size()};
    qsizetype at = 0;
    if (d.u32(0) == PlaceableKey && d.has(0, 22)) {
        // The placeable header: the picture's bounds in logical units and how many
        // of those make an inch.
        const QRectF bounds = rectOf(d.s16(6), d.s16(8), d.s16(10), d.s16(12));
        const int inch = d.u16(14);
        if (bounds.width() != 0 && bounds.height() != 0) {
            m_frame = bounds;
            m_frameKnown = true;
        }
        if (inch > 0) {
            m_metricUnit = inch / 2540.0;
            m_natural = QSizeF(qAbs(bounds.width()), qAbs(bounds.height())) * (2540.0 / inch);
        }
        at = 22;
    }
    const quint16 type = d.u16(at);
    const quint16 headerWords = d.u16(at + 2);
    if (d.damaged || (type != 1 && type != 2) || headerWords < 9 || !d.has(at, headerWords * 2))
        return;
    m_tableSize = d.u16(at + 10);
    m_firstRecord = at + headerWords * 2;
    m_valid = true;
    if (!m_frameKnown)
        findWmfFrame();
}

void Metafile::findWmfFrame()
{
    // Without a placeable header the window the metafile sets before drawing is
    // the picture's frame; a metafile that sets none is measured when played.
    QPointF org, ext;
    qsizetype pos = m_firstRecord;
    for (long long n = 0; pos + 6 <= m_data.size() && n < MetafileLimits::MaxRecords; ++n) {
        const Bytes r{reinterpret_cast<const uchar *>(m_data.constData()) + pos, m_data.size() - pos};
        const qint64 words = r.u32(0);
        const quint16 function = r.u16(4);
        if (function == WmfEof || words < 3 || words > (m_data.size() - pos) / 2 || draws(function))
            break;
        if (function == WmfSetWindowOrg && words >= 5)
            org = QPointF(r.s16(8), r.s16(6));
        else if (function == WmfSetWindowExt && words >= 5)
            ext = QPointF(r.s16(8), r.s16(6));
        pos += qsizetype(words) * 2;
    }
    if (ext.x() != 0 && ext.y() != 0) {
        m_frame = QRectF(org.x(), org.y(), ext.x(), ext.y());
        m_frameKnown = true;
    }
}

void Metafile::playWmf()
{
    const uchar *data = reinterpret_cast<const uchar *>(m_data.constData());
    qsizetype pos = m_firstRecord;
    while (pos + 6 <= m_data.size() && tick()) {
        const qint64 words = qFromLittleEndian<quint32>(data + pos);
        const quint16 function = qFromLittleEndian<quint16>(data + pos + 4);
        if (function == WmfEof || words < 3 || words > (m_data.size() - pos) / 2)
            break; // the end, or a record the data cannot hold
        const Bytes r{data + pos + 6, qsizetype(words) * 2 - 6};
        wmfRecord(function, r);
        pos += qsizetype(words) * 2;
    }
}

void Metafile::wmfRecord(quint16 function, const Bytes &r)
{
    if (!wmfStateRecord(function, r))
        wmfDrawingRecord(function, r);
}

bool Metafile::wmfStateRecord(quint16 function, const Bytes &r)
{
    State &s = m_state;
    // Points are (x, y) pairs; rectangles come as bottom, right, top, left.
    const auto point = [&r](qsizetype at) { return QPointF(r.s16(at + 2), r.s16(at)); };
    const auto rect = [&r](qsizetype at) { return rectOf(r.s16(at + 6), r.s16(at + 4), r.s16(at + 2), r.s16(at)); };
    switch (function) {
    case WmfSaveDc:
        saveState();
        break;
    case WmfRestoreDc:
        restoreState(r.s16(0));
        break;
    case WmfSetBkMode:
        s.opaqueBack = r.u16(0) == 2;
        break;
    case WmfSetMapMode:
        setMapMode(r.u16(0));
        break;
    case WmfSetRop2:
        s.rop2 = r.u16(0);
        break;
    case WmfSetPolyFillMode:
        s.fillRule = r.u16(0) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
        break;
    case WmfSetStretchBltMode:
        s.stretchMode = r.u16(0);
        break;
    case WmfSetTextAlign:
        s.textAlign = r.u16(0);
        break;
    case WmfSetBkColor:
        s.backColor = colorRef(r.u32(0));
        break;
    case WmfSetTextColor:
        s.textColor = colorRef(r.u32(0));
        break;
    case WmfSetWindowOrg:
        setWindowOrg(point(0));
        break;
    case WmfSetWindowExt:
        setWindowExt(point(0));
        break;
    case WmfSetViewportOrg:
        setViewportOrg(point(0));
        break;
    case WmfSetViewportExt:
        setViewportExt(point(0));
        break;
    case WmfOffsetWindowOrg:
        setWindowOrg(s.windowOrg + point(0));
        break;
    case WmfOffsetViewportOrg:
        setViewportOrg((s.viewportSet ? s.viewportOrg : m_frame.topLeft()) + point(0));
        break;
    case WmfScaleWindowExt:
    case WmfScaleViewportExt:
        scaleExtents(function == WmfScaleViewportExt, r.s16(6), r.s16(4), r.s16(2), r.s16(0));
        break;
    case WmfSelectObject:
        selectObject(r.u16(0));
        break;
    case WmfSelectPalette:
        selectObject(r.u16(0));
        break;
    case WmfDeleteObject:
        deleteObject(r.u16(0));
        break;
    case WmfSelectClipRegion: {
        // Writers record "no clipping" as a selection of whatever is in slot 0.
        const Object *o = object(r.u16(0));
        combineClip(o && o->kind == Object::Kind::Region ? std::optional<QRegion>(deviceRegion(o->region)) : std::nullopt, 5);
        break;
    }
    case WmfOffsetClipRgn:
        offsetClip(point(0));
        break;
    case WmfExcludeClipRect:
    case WmfIntersectClipRect:
        if (r.has(0, 8))
            clipRect(rect(0), function == WmfExcludeClipRect);
        break;
    case WmfMoveTo:
        moveTo(point(0));
        break;
    case WmfCreatePenIndirect:
    case WmfCreateBrushIndirect:
    case WmfCreateFontIndirect:
    case WmfCreatePalette:
    case WmfCreateRegion:
    case WmfDibCreatePatternBrush:
    case WmfCreatePatternBrush:
        wmfCreate(function, r);
        break;
    default:
        return false;
    }
    return true;
}

void Metafile::wmfDrawingRecord(quint16 function, const Bytes &r)
{
    State &s = m_state;
    // Points are (x, y) pairs; rectangles come as bottom, right, top, left.
    const auto point = [&r](qsizetype at) { return QPointF(r.s16(at + 2), r.s16(at)); };
    const auto rect = [&r](qsizetype at) { return rectOf(r.s16(at + 6), r.s16(at + 4), r.s16(at + 2), r.s16(at)); };
    const auto polygon = [&r](qsizetype at, qsizetype count) {
        QPolygonF points;
        if (count <= 0 || count > MetafileLimits::MaxPointsPerRecord || !r.has(at, count * 4))
            return points;
        points.reserve(count);
        for (qsizetype i = 0; i < count; ++i)
            points.append(QPointF(r.s16(at + 4 * i), r.s16(at + 4 * i + 2)));
        return points;
    };
    switch (function) {
    case WmfLineTo:
        if (r.has(0, 4))
            drawLinesTo(QPolygonF{point(0)});
        break;
    case WmfPolygon:
    case WmfPolyline: {
        const QPolygonF points = polygon(2, r.s16(0));
        if (function == WmfPolygon)
            drawPolygon(points);
        else
            drawPolyline(points);
        break;
    }
    case WmfPolyPolygon: {
        const qsizetype count = r.u16(0);
        std::vector<QPolygonF> polygons;
        qsizetype at = 2 + count * 2;
        for (qsizetype i = 0; i < count && r.has(2 + i * 2, 2); ++i) {
            const qsizetype n = r.u16(2 + i * 2);
            QPolygonF p = polygon(at, n);
            if (p.isEmpty())
                break;
            polygons.push_back(std::move(p));
            at += n * 4;
        }
        drawPolyPolygon(polygons);
        break;
    }
    case WmfRectangle:
        if (r.has(0, 8))
            drawRectangle(rect(0));
        break;
    case WmfRoundRect:
        if (r.has(0, 12))
            drawRectangle(rect(4), QSizeF(r.s16(2), r.s16(0)));
        break;
    case WmfEllipse:
        if (r.has(0, 8))
            drawEllipse(rect(0));
        break;
    case WmfArc:
    case WmfChord:
    case WmfPie:
        if (r.has(0, 16))
            drawArc(rect(8), point(4), point(0),
                    function == WmfArc ? Arc::Open : function == WmfChord ? Arc::Chord : Arc::Pie);
        break;
    case WmfSetPixel:
        if (r.has(0, 8)) {
            const QPointF p = point(4);
            const Brush brush = s.brush;
            s.brush = Brush{0, colorRef(r.u32(0)), 0, {}};
            patternBlit(QRectF(p, QSizeF(1, 1)), 0x00F00021);
            s.brush = brush;
        }
        break;
    case WmfPatBlt:
        if (r.has(0, 12))
            patternBlit(QRectF(r.s16(10), r.s16(8), r.s16(6), r.s16(4)), r.u32(0));
        break;
    case WmfTextOut:
    case WmfExtTextOut:
        wmfText(function, r);
        break;
    case WmfBitBlt:
    case WmfStretchBlt:
    case WmfDibBitBlt:
    case WmfDibStretchBlt:
    case WmfStretchDib:
    case WmfSetDibToDev:
        wmfBlit(function, r);
        break;
    case WmfFillRegion:
    case WmfPaintRegion: {
        const Object *region = object(r.u16(0));
        const Object *brush = function == WmfFillRegion ? object(r.u16(2)) : nullptr;
        if (region && region->kind == Object::Kind::Region) {
            if (function == WmfPaintRegion)
                fillRegion(deviceRegion(region->region), s.brush);
            else if (brush && brush->kind == Object::Kind::Brush)
                fillRegion(deviceRegion(region->region), brush->brush);
        }
        break;
    }
    default: // palettes realised, escapes, comments and the rest draw nothing here
        break;
    }
}

Metafile::Font Metafile::wmfFont(const Bytes &r, qsizetype at)
{
    Font f;
    f.height = r.s16(at);
    f.width = qAbs(r.s16(at + 2));
    f.escapement = r.s16(at + 4);
    f.weight = r.s16(at + 8);
    f.italic = r.u8(at + 10);
    f.underline = r.u8(at + 11);
    f.strikeOut = r.u8(at + 12);
    f.charset = r.u8(at + 13);
    f.pitchAndFamily = r.u8(at + 17);
    QByteArray face;
    for (qsizetype i = at + 18; i < at + 18 + 32 && r.has(i, 1) && r.u8(i); ++i)
        face += char(r.u8(i));
    // Face names are written in the font's own code page (Japanese fonts' names in
    // Shift-JIS); the common ones are plain ASCII.
    const Font latin;
    f.face = decodeText(face, f.charset > 2 ? f : latin);
    return f;
}

QRegion Metafile::wmfRegion(const Bytes &r)
{
    // A region object: a header with the bounds, then scans of (count, top, bottom,
    // count / 2 pairs of left and right, count again).
    const int scans = r.s16(10);
    const QRect bounds(QPoint(r.s16(14), r.s16(16)), QPoint(r.s16(18) - 1, r.s16(20) - 1));
    if (scans <= 0)
        return QRegion(bounds.normalized());
    QRegion region;
    qsizetype at = 22;
    int rects = 0;
    for (int i = 0; i < scans && r.has(at, 6); ++i) {
        const int count = r.u16(at);
        const int top = r.s16(at + 2), bottom = r.s16(at + 4);
        for (int k = 0; k + 1 < count && r.has(at + 6 + k * 2, 4); k += 2) {
            const int left = r.s16(at + 6 + k * 2), right = r.s16(at + 8 + k * 2);
            if (right > left && bottom > top)
                region += QRect(left, top, right - left, bottom - top);
            if (++rects > MetafileLimits::MaxClipRects)
                return region;
        }
        at += 8 + qsizetype(count) * 2;
    }
    return region;
}

void Metafile::wmfCreate(quint16 function, const Bytes &r)
{
    Object o;
    switch (function) {
    case WmfCreatePenIndirect:
        o.kind = Object::Kind::Pen;
        o.pen = Pen{r.u16(0), qreal(qAbs(r.s16(2))), r.s16(2) == 0, colorRef(r.u32(6))};
        break;
    case WmfCreateBrushIndirect:
        o.kind = Object::Kind::Brush;
        o.brush = Brush{r.u16(0), colorRef(r.u32(2)), r.u16(6), {}};
        break;
    case WmfCreateFontIndirect:
        o.kind = Object::Kind::Font;
        o.font = wmfFont(r, 0);
        break;
    case WmfCreatePalette: {
        o.kind = Object::Kind::Palette;
        const int count = r.u16(2);
        for (int i = 0; i < count && r.has(4 + i * 4, 4); ++i)
            o.palette.push_back(qRgb(r.u8(4 + i * 4), r.u8(5 + i * 4), r.u8(6 + i * 4)));
        break;
    }
    case WmfCreateRegion:
        o.kind = Object::Kind::Region;
        o.region = wmfRegion(r);
        break;
    case WmfDibCreatePatternBrush:
    case WmfCreatePatternBrush: {
        // A pattern of a bitmap: drawn as the pattern when its DIB decodes, else as
        // a middle grey, the colour most patterns average to.
        o.kind = Object::Kind::Brush;
        o.brush = Brush{5, QColor(128, 128, 128), 0, {}};
        if (function == WmfDibCreatePatternBrush && r.u16(0) != 3 && !m_measuring)
            o.brush.pattern = decodeDib(r.bytes(4, r.size - 4), QByteArray());
        break;
    }
    default:
        return;
    }
    addObject(std::move(o));
}

void Metafile::wmfText(quint16 function, const Bytes &r)
{
    if (function == WmfTextOut) {
        const qsizetype count = r.s16(0);
        const qsizetype padded = (count + 1) & ~qsizetype(1);
        if (count <= 0 || !r.has(2, padded + 4))
            return;
        const QString text = decodeText(r.bytes(2, count), m_state.font);
        drawText(QPointF(r.s16(4 + padded), r.s16(2 + padded)), text, {}, 0, QRectF());
        return;
    }
    const QPointF reference(r.s16(2), r.s16(0));
    const qsizetype count = r.s16(4);
    const quint16 options = r.u16(6);
    qsizetype at = 8;
    QRectF box;
    if (options & 0x6) { // ETO_OPAQUE, ETO_CLIPPED: a rectangle comes first
        box = rectOf(r.s16(8), r.s16(10), r.s16(12), r.s16(14));
        at = 16;
    }
    if (r.damaged || count < 0 || !r.has(at, count))
        return;
    const QString text = decodeText(r.bytes(at, count), m_state.font);
    // The advances follow the text, one for each byte.
    std::vector<qreal> dx;
    const qsizetype dxAt = at + ((count + 1) & ~qsizetype(1));
    if (count > 0 && r.has(dxAt, count * 2) && text.size() == count) {
        dx.reserve(size_t(count));
        for (qsizetype i = 0; i < count; ++i)
            dx.push_back(r.s16(dxAt + i * 2));
    }
    drawText(reference, text, dx, options, box);
}

void Metafile::wmfBlit(quint16 function, const Bytes &r)
{
    // A raster operation with no bitmap is recorded in a shorter form, told by its
    // size: it paints with the brush.
    const bool withoutBitmap = r.size == qsizetype(function >> 8) * 2;
    const quint32 rop = r.u32(0);
    switch (function) {
    case WmfBitBlt:
    case WmfDibBitBlt:
        if (withoutBitmap)
            patternBlit(QRectF(r.s16(16), r.s16(14), r.s16(12), r.s16(10)), rop);
        else if (function == WmfDibBitBlt && r.has(16, 40))
            blit(QRectF(r.s16(14), r.s16(12), r.s16(10), r.s16(8)), r.bytes(16, r.size - 16), QByteArray(),
                 QRectF(r.s16(6), r.s16(4), r.s16(10), r.s16(8)), false, rop);
        break;
    case WmfStretchBlt:
    case WmfDibStretchBlt:
        if (withoutBitmap)
            patternBlit(QRectF(r.s16(20), r.s16(18), r.s16(16), r.s16(14)), rop);
        else if (function == WmfDibStretchBlt && r.has(20, 40))
            blit(QRectF(r.s16(18), r.s16(16), r.s16(14), r.s16(12)), r.bytes(20, r.size - 20), QByteArray(),
                 QRectF(r.s16(10), r.s16(8), r.s16(6), r.s16(4)), false, rop);
        break;
    case WmfStretchDib:
        if (r.has(22, 40))
            blit(QRectF(r.s16(20), r.s16(18), r.s16(16), r.s16(14)), r.bytes(22, r.size - 22), QByteArray(),
                 QRectF(r.s16(12), r.s16(10), r.s16(8), r.s16(6)), true, rop);
        break;
    case WmfSetDibToDev:
        if (r.has(18, 40))
            blit(QRectF(r.s16(16), r.s16(14), r.s16(12), r.s16(10)), r.bytes(18, r.size - 18), QByteArray(),
                 QRectF(r.s16(8), r.s16(6), r.s16(12), r.s16(10)), true, 0x00CC0020);
        break;
    default:
        break;
    }
}
