#include "metafile/metafile.h"

#include "metafile/metafilelimits.h"

#include <QtEndian>

#include <cmath>

// Enhanced metafiles: 32-bit records of (type, size in bytes, parameters). Offsets
// below count from the start of the record, as the format describes them.

namespace {

enum EmfRecord : quint32 {
    EmfHeader = 1,
    EmfPolyBezier = 2,
    EmfPolygon = 3,
    EmfPolyline = 4,
    EmfPolyBezierTo = 5,
    EmfPolylineTo = 6,
    EmfPolyPolyline = 7,
    EmfPolyPolygon = 8,
    EmfSetWindowExtEx = 9,
    EmfSetWindowOrgEx = 10,
    EmfSetViewportExtEx = 11,
    EmfSetViewportOrgEx = 12,
    EmfSetBrushOrgEx = 13,
    EmfEof = 14,
    EmfSetPixelV = 15,
    EmfSetMapMode = 17,
    EmfSetBkMode = 18,
    EmfSetPolyFillMode = 19,
    EmfSetRop2 = 20,
    EmfSetStretchBltMode = 21,
    EmfSetTextAlign = 22,
    EmfSetTextColor = 24,
    EmfSetBkColor = 25,
    EmfOffsetClipRgn = 26,
    EmfMoveToEx = 27,
    EmfExcludeClipRect = 29,
    EmfIntersectClipRect = 30,
    EmfScaleViewportExtEx = 31,
    EmfScaleWindowExtEx = 32,
    EmfSaveDc = 33,
    EmfRestoreDc = 34,
    EmfSetWorldTransform = 35,
    EmfModifyWorldTransform = 36,
    EmfSelectObject = 37,
    EmfCreatePen = 38,
    EmfCreateBrushIndirect = 39,
    EmfDeleteObject = 40,
    EmfAngleArc = 41,
    EmfEllipse = 42,
    EmfRectangle = 43,
    EmfRoundRect = 44,
    EmfArc = 45,
    EmfChord = 46,
    EmfPie = 47,
    EmfSelectPalette = 48,
    EmfCreatePalette = 49,
    EmfLineTo = 54,
    EmfArcTo = 55,
    EmfPolyDraw = 56,
    EmfSetArcDirection = 57,
    EmfBeginPath = 59,
    EmfEndPath = 60,
    EmfCloseFigure = 61,
    EmfFillPath = 62,
    EmfStrokeAndFillPath = 63,
    EmfStrokePath = 64,
    EmfSelectClipPath = 67,
    EmfAbortPath = 68,
    EmfFillRgn = 71,
    EmfPaintRgn = 74,
    EmfExtSelectClipRgn = 75,
    EmfBitBlt = 76,
    EmfStretchBlt = 77,
    EmfMaskBlt = 78,
    EmfSetDiBitsToDevice = 80,
    EmfStretchDiBits = 81,
    EmfExtCreateFontIndirectW = 82,
    EmfExtTextOutA = 83,
    EmfExtTextOutW = 84,
    EmfPolyBezier16 = 85,
    EmfPolygon16 = 86,
    EmfPolyline16 = 87,
    EmfPolyBezierTo16 = 88,
    EmfPolylineTo16 = 89,
    EmfPolyPolyline16 = 90,
    EmfPolyPolygon16 = 91,
    EmfPolyDraw16 = 92,
    EmfCreateMonoBrush = 93,
    EmfCreateDibPatternBrushPt = 94,
    EmfExtCreatePen = 95,
    EmfSmallTextOut = 108,
    EmfAlphaBlend = 114,
    EmfTransparentBlt = 116,
};

constexpr quint32 EmfSignature = 0x464D4520u; // " EMF"

} // namespace

void Metafile::readEmfHeader()
{
    const Bytes d{reinterpret_cast<const uchar *>(m_data.constData()), m_data.size()};
    if (!d.has(0, 88) || d.u32(0) != EmfHeader || d.u32(40) != EmfSignature)
        return;
    const qint64 headerSize = d.u32(4);
    if (headerSize < 88 || headerSize > m_data.size())
        return;
    const QRectF bounds = rectOf(d.s32(8), d.s32(12), d.s32(16), d.s32(20));
    const QRectF frame = rectOf(d.s32(24), d.s32(28), d.s32(32), d.s32(36)); // hundredths of a millimetre
    m_tableSize = d.u16(56);
    // The reference device's pixels per hundredth of a millimetre; a screen at 96
    // pixels an inch when the header's sizes are missing.
    qreal perX = 96.0 / 2540.0, perY = perX;
    const qint64 deviceX = d.s32(72), deviceY = d.s32(76);
    qint64 micronsX = qint64(d.s32(80)) * 1000, micronsY = qint64(d.s32(84)) * 1000;
    if (headerSize >= 108 && d.s32(100) > 0 && d.s32(104) > 0) {
        micronsX = d.s32(100);
        micronsY = d.s32(104);
    }
    if (deviceX > 0 && deviceY > 0 && micronsX > 0 && micronsY > 0) {
        perX = deviceX * 10.0 / micronsX;
        perY = deviceY * 10.0 / micronsY;
    }
    m_metricUnit = perX;
    if (frame.width() > 0 && frame.height() > 0) {
        m_frame = QRectF(frame.left() * perX, frame.top() * perY, frame.width() * perX, frame.height() * perY);
        m_natural = frame.size();
        m_frameKnown = true;
    } else if (bounds.width() >= 0 && bounds.height() >= 0) { // inclusive bounds, in device pixels
        m_frame = bounds.adjusted(0, 0, 1, 1);
        m_natural = QSizeF(m_frame.width() / perX, m_frame.height() / perY);
        m_frameKnown = true;
    }
    m_firstRecord = headerSize;
    m_valid = true;
}

void Metafile::playEmf()
{
    const uchar *data = reinterpret_cast<const uchar *>(m_data.constData());
    qsizetype pos = m_firstRecord;
    while (pos + 8 <= m_data.size() && tick()) {
        const quint32 type = qFromLittleEndian<quint32>(data + pos);
        const qint64 size = qFromLittleEndian<quint32>(data + pos + 4);
        if (type == EmfEof || size < 8 || size > m_data.size() - pos)
            break; // the end, or a record the data cannot hold
        emfRecord(type, Bytes{data + pos, qsizetype(size)});
        pos += qsizetype(size);
    }
}

void Metafile::emfRecord(quint32 type, const Bytes &r)
{
    if (!emfStateRecord(type, r))
        emfDrawingRecord(type, r);
}

bool Metafile::emfStateRecord(quint32 type, const Bytes &r)
{
    State &s = m_state;
    const auto point = [&r](qsizetype at) { return QPointF(r.s32(at), r.s32(at + 4)); };
    const auto rect = [&r](qsizetype at) { return rectOf(r.s32(at), r.s32(at + 4), r.s32(at + 8), r.s32(at + 12)); };
    const auto xform = [&r](qsizetype at) {
        return QTransform(r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12), r.f32(at + 16), r.f32(at + 20));
    };
    switch (type) {
    case EmfSetWindowExtEx:
        setWindowExt(point(8));
        break;
    case EmfSetWindowOrgEx:
        setWindowOrg(point(8));
        break;
    case EmfSetViewportExtEx:
        setViewportExt(point(8));
        break;
    case EmfSetViewportOrgEx:
        setViewportOrg(point(8));
        break;
    case EmfSetBrushOrgEx:
        s.brushOrigin = point(8);
        break;
    case EmfSetPixelV: {
        const Brush brush = s.brush;
        s.brush = Brush{0, colorRef(r.u32(16)), 0, {}};
        patternBlit(QRectF(point(8), QSizeF(1, 1)), 0x00F00021);
        s.brush = brush;
        break;
    }
    case EmfSetMapMode:
        setMapMode(int(r.u32(8)));
        break;
    case EmfSetBkMode:
        s.opaqueBack = r.u32(8) == 2;
        break;
    case EmfSetPolyFillMode:
        s.fillRule = r.u32(8) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
        break;
    case EmfSetRop2:
        s.rop2 = int(r.u32(8));
        break;
    case EmfSetStretchBltMode:
        s.stretchMode = int(r.u32(8));
        break;
    case EmfSetTextAlign:
        s.textAlign = int(r.u32(8));
        break;
    case EmfSetTextColor:
        s.textColor = colorRef(r.u32(8));
        break;
    case EmfSetBkColor:
        s.backColor = colorRef(r.u32(8));
        break;
    case EmfOffsetClipRgn:
        offsetClip(point(8));
        break;
    case EmfMoveToEx:
        moveTo(point(8));
        break;
    case EmfExcludeClipRect:
    case EmfIntersectClipRect:
        if (r.has(8, 16))
            clipRect(rect(8), type == EmfExcludeClipRect);
        break;
    case EmfScaleViewportExtEx:
    case EmfScaleWindowExtEx:
        scaleExtents(type == EmfScaleViewportExtEx, r.s32(8), r.s32(12), r.s32(16), r.s32(20));
        break;
    case EmfSaveDc:
        saveState();
        break;
    case EmfRestoreDc:
        restoreState(r.s32(8));
        break;
    case EmfSetWorldTransform:
        if (r.has(8, 24))
            modifyWorld(xform(8), 4);
        break;
    case EmfModifyWorldTransform:
        if (r.has(8, 28))
            modifyWorld(xform(8), r.u32(32));
        break;
    case EmfSelectObject:
    case EmfSelectPalette:
        selectObject(r.u32(8));
        break;
    case EmfDeleteObject:
        deleteObject(r.u32(8));
        break;
    case EmfCreatePen:
    case EmfCreateBrushIndirect:
    case EmfCreatePalette:
    case EmfExtCreatePen:
    case EmfExtCreateFontIndirectW:
    case EmfCreateMonoBrush:
    case EmfCreateDibPatternBrushPt:
        emfCreate(type, r);
        break;
    default:
        return false;
    }
    return true;
}

void Metafile::emfDrawingRecord(quint32 type, const Bytes &r)
{
    State &s = m_state;
    const auto point = [&r](qsizetype at) { return QPointF(r.s32(at), r.s32(at + 4)); };
    const auto rect = [&r](qsizetype at) { return rectOf(r.s32(at), r.s32(at + 4), r.s32(at + 8), r.s32(at + 12)); };
    switch (type) {
    case EmfPolyBezier:
    case EmfPolygon:
    case EmfPolyline:
    case EmfPolyBezierTo:
    case EmfPolylineTo:
    case EmfPolyPolyline:
    case EmfPolyPolygon:
    case EmfPolyDraw:
    case EmfPolyBezier16:
    case EmfPolygon16:
    case EmfPolyline16:
    case EmfPolyBezierTo16:
    case EmfPolylineTo16:
    case EmfPolyPolyline16:
    case EmfPolyPolygon16:
    case EmfPolyDraw16:
        emfPoly(type, r);
        break;
    case EmfEllipse:
        if (r.has(8, 16))
            drawEllipse(rect(8));
        break;
    case EmfRectangle:
        if (r.has(8, 16))
            drawRectangle(rect(8));
        break;
    case EmfRoundRect:
        if (r.has(8, 24))
            drawRectangle(rect(8), QSizeF(r.s32(24), r.s32(28)));
        break;
    case EmfArc:
    case EmfChord:
    case EmfPie:
    case EmfArcTo:
        if (r.has(8, 32))
            emfArc(type, r);
        break;
    case EmfAngleArc:
        if (r.has(8, 20))
            emfAngleArc(r);
        break;
    case EmfLineTo:
        if (r.has(8, 8))
            drawLinesTo(QPolygonF{point(8)});
        break;
    case EmfSetArcDirection:
        s.clockwise = r.u32(8) == 2;
        break;
    case EmfBeginPath:
        beginPath();
        break;
    case EmfEndPath:
        m_pathOpen = false;
        break;
    case EmfCloseFigure:
        closeFigure();
        break;
    case EmfFillPath:
    case EmfStrokeAndFillPath:
    case EmfStrokePath:
        finishPath(type != EmfStrokePath, type != EmfFillPath);
        break;
    case EmfSelectClipPath:
        selectClipPath(int(r.u32(8)));
        break;
    case EmfAbortPath:
        m_pathOpen = false;
        m_path = QPainterPath();
        break;
    case EmfFillRgn:
    case EmfPaintRgn: {
        const qsizetype at = type == EmfFillRgn ? 32 : 28;
        const std::optional<QRegion> region = emfRegion(r, at, r.u32(24));
        if (!region)
            break;
        if (type == EmfPaintRgn) {
            fillRegion(*region, s.brush);
        } else if (const Object *o = object(r.u32(28)); o && o->kind == Object::Kind::Brush) {
            fillRegion(*region, o->brush);
        } else if (r.u32(28) & 0x80000000u) {
            const Brush brush = s.brush;
            if (selectStockObject(r.u32(28) & 0x7FFFFFFFu))
                fillRegion(*region, s.brush);
            s.brush = brush;
        }
        break;
    }
    case EmfExtSelectClipRgn: {
        const qint64 size = r.u32(8);
        const int mode = int(r.u32(12));
        combineClip(size == 0 ? std::nullopt : emfRegion(r, 16, size), mode);
        break;
    }
    case EmfBitBlt:
    case EmfStretchBlt:
    case EmfMaskBlt:
    case EmfSetDiBitsToDevice:
    case EmfStretchDiBits:
    case EmfAlphaBlend:
    case EmfTransparentBlt:
        emfBlit(type, r);
        break;
    case EmfExtTextOutA:
    case EmfExtTextOutW:
    case EmfSmallTextOut:
        emfText(type, r);
        break;
    default: // comments (EMF+ among them: their drawing is repeated in the records here), colour management, ...
        break;
    }
}

void Metafile::emfArc(quint32 type, const Bytes &r)
{
    const auto point = [&r](qsizetype at) { return QPointF(r.s32(at), r.s32(at + 4)); };
    const QRectF bounds = rectOf(r.s32(8), r.s32(12), r.s32(16), r.s32(20));
    if (type == EmfArcTo) {
        // A line from the current position to where the arc starts, then
        // the arc, which leaves the position at its end.
        const QRectF box = bounds.normalized();
        const QPointF c = box.center();
        const auto onEllipse = [&](QPointF p) {
            const qreal a = std::atan2((p.y() - c.y()) / (box.height() / 2), (p.x() - c.x()) / (box.width() / 2));
            return QPointF(c.x() + box.width() / 2 * std::cos(a), c.y() + box.height() / 2 * std::sin(a));
        };
        if (box.width() > 0 && box.height() > 0) {
            drawLinesTo(QPolygonF{onEllipse(point(24))});
            drawArc(box, point(24), point(32), Arc::Open);
            m_state.position = onEllipse(point(32));
        }
    } else {
        drawArc(bounds, point(24), point(32), type == EmfArc ? Arc::Open : type == EmfChord ? Arc::Chord : Arc::Pie);
    }
}

void Metafile::emfAngleArc(const Bytes &r)
{
    const auto point = [&r](qsizetype at) { return QPointF(r.s32(at), r.s32(at + 4)); };
    const QPointF c = point(8);
    const qreal radius = r.u32(16);
    const qreal start = r.f32(20), sweep = r.f32(24);
    if (radius > 0 && radius < MetafileLimits::MaxCoordinate * 16) {
        const QRectF box(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
        const auto at = [&](qreal degrees) {
            const qreal a = qDegreesToRadians(degrees);
            return QPointF(c.x() + radius * std::cos(a), c.y() - radius * std::sin(a));
        };
        drawLinesTo(QPolygonF{at(start)});
        const bool clockwise = m_state.clockwise;
        m_state.clockwise = sweep < 0;
        if (std::abs(sweep) >= 360)
            drawEllipse(box);
        else if (sweep != 0)
            drawArc(box, at(start), at(start + sweep), Arc::Open);
        m_state.clockwise = clockwise;
        m_state.position = at(start + sweep);
    }
}

void Metafile::emfPoly(quint32 type, const Bytes &r)
{
    const bool small = type >= EmfPolyBezier16;
    const qsizetype pointSize = small ? 4 : 8;
    const auto readPoints = [&](qsizetype at, qint64 count) {
        QPolygonF points;
        if (count <= 0 || count > MetafileLimits::MaxPointsPerRecord || !r.has(at, count * pointSize))
            return points;
        points.reserve(count);
        for (qsizetype i = 0; i < count; ++i) {
            const qsizetype p = at + i * pointSize;
            points.append(small ? QPointF(r.s16(p), r.s16(p + 2)) : QPointF(r.s32(p), r.s32(p + 4)));
        }
        return points;
    };
    switch (type) {
    case EmfPolyPolyline:
    case EmfPolyPolygon:
    case EmfPolyPolyline16:
    case EmfPolyPolygon16: {
        const qint64 polygons = r.u32(24);
        const qint64 total = r.u32(28);
        if (polygons <= 0 || polygons > MetafileLimits::MaxPointsPerRecord || total > MetafileLimits::MaxPointsPerRecord)
            return;
        std::vector<QPolygonF> parts;
        qsizetype at = 32 + polygons * 4;
        qint64 used = 0;
        for (qint64 i = 0; i < polygons; ++i) {
            const qint64 n = r.u32(32 + i * 4);
            used += n;
            if (r.damaged || used > total)
                return;
            QPolygonF part = readPoints(at, n);
            if (part.isEmpty())
                return;
            parts.push_back(std::move(part));
            at += n * pointSize;
        }
        if (type == EmfPolyPolygon || type == EmfPolyPolygon16)
            drawPolyPolygon(parts);
        else
            drawPolyPolyline(parts);
        return;
    }
    case EmfPolyDraw:
    case EmfPolyDraw16: {
        // Points with a type each: move, line, or the three points of a curve, any of
        // which may close the figure.
        const qint64 count = r.u32(24);
        const QPolygonF points = readPoints(28, count);
        const qsizetype typesAt = 28 + count * pointSize;
        if (points.isEmpty() || !r.has(typesAt, count))
            return;
        for (qsizetype i = 0; i < points.size(); ++i) {
            const quint8 t = r.u8(typesAt + i);
            if ((t & 6) == 6) {
                if (m_pathOpen)
                    closeFigure();
                moveTo(points[i]);
                continue;
            }
            if ((t & 6) == 4 && i + 2 < points.size()) {
                drawBeziers(QPolygonF{points[i], points[i + 1], points[i + 2]}, true);
                i += 2;
            } else {
                drawLinesTo(QPolygonF{points[i]});
            }
            if (t & 1)
                closeFigure();
        }
        return;
    }
    default:
        break;
    }
    const QPolygonF points = readPoints(28, r.u32(24));
    if (points.isEmpty())
        return;
    switch (type) {
    case EmfPolyBezier:
    case EmfPolyBezier16:
        drawBeziers(points, false);
        break;
    case EmfPolygon:
    case EmfPolygon16:
        drawPolygon(points);
        break;
    case EmfPolyline:
    case EmfPolyline16:
        drawPolyline(points);
        break;
    case EmfPolyBezierTo:
    case EmfPolyBezierTo16:
        drawBeziers(points, true);
        break;
    default: // the polyline from the current position
        drawLinesTo(points);
        break;
    }
}

void Metafile::emfCreate(quint32 type, const Bytes &r)
{
    const quint32 index = r.u32(8);
    Object o;
    switch (type) {
    case EmfCreatePen:
        o.kind = Object::Kind::Pen;
        o.pen = Pen{int(r.u32(12)), qreal(qAbs(r.s32(16))), r.s32(16) == 0, colorRef(r.u32(24))};
        break;
    case EmfExtCreatePen: {
        // The pen's own brush gives its colour; a cosmetic pen is a pixel wide
        // whatever the mapping.
        o.kind = Object::Kind::Pen;
        const int style = int(r.u32(28));
        const bool cosmetic = (style & 0x000F0000) == 0;
        o.pen = Pen{r.u32(36) == 1 ? 5 : style, cosmetic ? 0.0 : qreal(r.u32(32)), cosmetic, colorRef(r.u32(40))};
        break;
    }
    case EmfCreateBrushIndirect:
        o.kind = Object::Kind::Brush;
        o.brush = Brush{int(r.u32(12)), colorRef(r.u32(16)), int(r.u32(20)), {}};
        break;
    case EmfCreateMonoBrush:
    case EmfCreateDibPatternBrushPt: {
        o.kind = Object::Kind::Brush;
        o.brush = Brush{5, QColor(128, 128, 128), 0, {}};
        const qint64 offBmi = r.u32(16), cbBmi = r.u32(20), offBits = r.u32(24), cbBits = r.u32(28);
        if (!m_measuring && r.has(offBmi, cbBmi) && r.has(offBits, cbBits))
            o.brush.pattern = decodeDib(r.bytes(offBmi, cbBmi), r.bytes(offBits, cbBits));
        break;
    }
    case EmfCreatePalette: {
        o.kind = Object::Kind::Palette;
        const int count = r.u16(14);
        for (int i = 0; i < count && r.has(16 + i * 4, 4); ++i)
            o.palette.push_back(qRgb(r.u8(16 + i * 4), r.u8(17 + i * 4), r.u8(18 + i * 4)));
        break;
    }
    case EmfExtCreateFontIndirectW: {
        o.kind = Object::Kind::Font;
        Font &f = o.font;
        f.height = r.s32(12);
        f.width = qAbs(qint64(r.s32(16)));
        f.escapement = int(qBound<qint32>(-36000, r.s32(20), 36000));
        f.weight = int(qBound<qint32>(0, r.s32(28), 1000));
        f.italic = r.u8(32);
        f.underline = r.u8(33);
        f.strikeOut = r.u8(34);
        f.charset = r.u8(35);
        f.pitchAndFamily = r.u8(39);
        for (qsizetype i = 40; i < 40 + 64 && r.has(i, 2) && r.u16(i); i += 2)
            f.face += QChar(r.u16(i));
        break;
    }
    default:
        return;
    }
    setObject(index, std::move(o));
}

std::optional<QRegion> Metafile::emfRegion(const Bytes &r, qsizetype at, qsizetype size)
{
    // Region data: a 32-byte header with the count, then rectangles in the reference
    // device's pixels, which only the frame maps to the picture.
    if (size < 32 || !r.has(at, size))
        return std::nullopt;
    const qint64 count = r.u32(at + 8);
    if (count < 0 || count > MetafileLimits::MaxClipRects || !r.has(at + 32, count * 16))
        return std::nullopt;
    const qreal fx = m_image->width() / m_frame.width(), fy = m_image->height() / m_frame.height();
    const qreal limit = MetafileLimits::MaxCoordinate;
    QRegion region;
    for (qint64 i = 0; i < count; ++i) {
        const QRectF d = rectOf(r.s32(at + 32 + i * 16), r.s32(at + 36 + i * 16), r.s32(at + 40 + i * 16), r.s32(at + 44 + i * 16));
        const QRectF p = QRectF((d.left() - m_frame.left()) * fx, (d.top() - m_frame.top()) * fy, d.width() * fx, d.height() * fy)
                             .normalized();
        if (qAbs(p.left()) < limit && qAbs(p.right()) < limit && qAbs(p.top()) < limit && qAbs(p.bottom()) < limit)
            region += QRect(QPoint(qRound(p.left()), qRound(p.top())), QPoint(qRound(p.right()) - 1, qRound(p.bottom()) - 1));
    }
    return region;
}

void Metafile::emfBlit(quint32 type, const Bytes &r)
{
    const auto dibAt = [&](qsizetype at, QByteArray &info, QByteArray &bits) {
        const qint64 offBmi = r.u32(at), cbBmi = r.u32(at + 4), offBits = r.u32(at + 8), cbBits = r.u32(at + 12);
        if (cbBmi < 12 || !r.has(offBmi, cbBmi) || !r.has(offBits, cbBits))
            return false;
        info = r.bytes(offBmi, cbBmi);
        bits = r.bytes(offBits, cbBits);
        return true;
    };
    QByteArray info, bits;
    switch (type) {
    case EmfStretchDiBits:
    case EmfSetDiBitsToDevice: {
        const QRectF source(r.s32(32), r.s32(36), r.s32(40), r.s32(44));
        const QSizeF size = type == EmfStretchDiBits ? QSizeF(r.s32(72), r.s32(76)) : source.size();
        const quint32 rop = type == EmfStretchDiBits ? r.u32(68) : 0x00CC0020;
        const QRectF dest(QPointF(r.s32(24), r.s32(28)), size);
        if (dibAt(48, info, bits))
            blit(dest, info, bits, source, true, rop);
        else if (type == EmfStretchDiBits)
            patternBlit(dest, rop);
        break;
    }
    default: { // BitBlt and its kin: the source is a bitmap selected into a device context
        const QRectF dest(r.s32(24), r.s32(28), r.s32(32), r.s32(36));
        const quint32 rop = r.u32(40);
        const bool stretched = type != EmfBitBlt && type != EmfMaskBlt;
        QRectF source(r.s32(44), r.s32(48), stretched ? r.s32(100) : dest.width(), stretched ? r.s32(104) : dest.height());
        if (!dibAt(84, info, bits)) {
            if (type == EmfBitBlt || type == EmfStretchBlt)
                patternBlit(dest, rop); // no bitmap: the operation paints with the brush
            break;
        }
        if (type == EmfAlphaBlend)
            blit(dest, info, bits, source, false, 0x00CC0020, std::nullopt, r.u8(42) / 255.0);
        else if (type == EmfTransparentBlt)
            blit(dest, info, bits, source, false, 0x00CC0020, colorRef(r.u32(40)).rgb());
        else
            blit(dest, info, bits, source, false, rop);
        break;
    }
    }
}

void Metafile::emfText(quint32 type, const Bytes &r)
{
    constexpr quint32 EtoNoRect = 0x100, EtoSmallChars = 0x200, EtoGlyphIndex = 0x10, EtoPdy = 0x2000;
    QPointF reference;
    qint64 count = 0;
    quint32 options = 0;
    qsizetype textAt = 0;
    QRectF box;
    qint64 dxAt = 0;
    bool wide = type != EmfExtTextOutA;
    if (type == EmfSmallTextOut) {
        reference = QPointF(r.s32(8), r.s32(12));
        count = r.u32(16);
        options = r.u32(20);
        textAt = 36;
        if (!(options & EtoNoRect)) {
            box = rectOf(r.s32(36), r.s32(40), r.s32(44), r.s32(48));
            textAt = 52;
        }
        wide = !(options & EtoSmallChars);
    } else {
        reference = QPointF(r.s32(36), r.s32(40));
        count = r.u32(44);
        textAt = r.u32(48);
        options = r.u32(52);
        box = rectOf(r.s32(56), r.s32(60), r.s32(64), r.s32(68));
        dxAt = r.u32(72);
    }
    if (r.damaged || count < 0 || count > MetafileLimits::MaxTextChars || !r.has(textAt, count * (wide ? 2 : 1)))
        return;
    QString text;
    if (options & EtoGlyphIndex) {
        // Glyph numbers of the writer's font mean nothing in ours: the box is still painted.
        drawText(reference, QString(), {}, options, box);
        return;
    }
    if (wide) {
        text.reserve(count);
        const bool symbol = m_state.font.face.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0;
        for (qint64 i = 0; i < count; ++i) {
            const char16_t c = r.u16(textAt + i * 2);
            // Symbol fonts are written in the private-use range; the Symbol font's
            // glyphs have Unicode equivalents.
            if (symbol && c >= 0xF020 && c <= 0xF0FF)
                text += decodeText(QByteArray(1, char(c & 0xFF)), m_state.font);
            else
                text += QChar(c);
        }
    } else {
        text = decodeText(r.bytes(textAt, count), m_state.font);
    }
    std::vector<qreal> dx;
    const qsizetype step = options & EtoPdy ? 8 : 4;
    if (dxAt > 0 && text.size() == count && r.has(dxAt, count * step)) {
        dx.reserve(size_t(count));
        for (qint64 i = 0; i < count; ++i)
            dx.push_back(r.s32(dxAt + i * step));
    }
    drawText(reference, text, dx, options, box);
}
