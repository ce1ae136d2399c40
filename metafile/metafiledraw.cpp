#include "metafile/metafile.h"

#include "base/codepage.h"
#include "metafile/dib.h"
#include "metafile/metafilelimits.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QtEndian>

#include <cmath>

// Drawing: every shape is mapped to the picture's pixels here and drawn with the
// painter's transform left alone, so that bounds, costs and clipping are known
// before anything is painted. Pen widths and text sizes follow the mapping.

namespace {

constexpr int PsNull = 5;
constexpr int BsNull = 1;
constexpr int BsHatched = 2;
constexpr int R2Black = 1;
constexpr int R2NotCopyPen = 4;
constexpr int R2Nop = 11;
constexpr int R2White = 16;
constexpr quint32 EtoOpaque = 0x2;
constexpr quint32 EtoClipped = 0x4;

bool sane(const QRectF &r)
{
    const qreal limit = MetafileLimits::MaxCoordinate;
    return std::isfinite(r.left()) && std::isfinite(r.top()) && std::isfinite(r.right()) && std::isfinite(r.bottom())
        && qAbs(r.left()) <= limit && qAbs(r.right()) <= limit && qAbs(r.top()) <= limit && qAbs(r.bottom()) <= limit;
}

// Text that per-character placement would break: joined scripts, right-to-left
// text and combining marks are laid out whole instead.
bool complexText(const QString &text)
{
    for (const QChar c : text) {
        const QChar::Direction d = c.direction();
        if (c.isMark() || d == QChar::DirR || d == QChar::DirAL || d == QChar::DirAN)
            return true;
    }
    return false;
}

// The average character width a font's width is given in: lower-case letters and
// the space weighted by how often English uses them, as the older font tables
// computed it (a font's own table now often averages all its glyphs, which comes
// out a quarter wider).
qreal averageCharWidth(const QFontMetricsF &metrics)
{
    static constexpr int Weights[27] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6, 35, 20, 56,
                                        56, 17, 4,  49, 56,  71, 31, 10, 18, 3,  18, 2, 166};
    qreal sum = 0;
    for (int i = 0; i < 27; ++i)
        sum += metrics.horizontalAdvance(i < 26 ? QChar(u'a' + i) : QChar(u' ')) * Weights[i];
    return sum / 1000;
}

} // namespace

QPointF Metafile::toDevice(QPointF logical)
{
    const QPointF p = transform().map(logical);
    const qreal limit = MetafileLimits::MaxCoordinate;
    return QPointF(std::isfinite(p.x()) ? qBound(-limit, p.x(), limit) : 0.0,
                   std::isfinite(p.y()) ? qBound(-limit, p.y(), limit) : 0.0);
}

QPolygonF Metafile::toDevice(const QPolygonF &logical)
{
    QPolygonF device;
    device.reserve(logical.size());
    for (const QPointF &p : logical)
        device.append(toDevice(p));
    return device;
}

bool Metafile::spendPoints(qsizetype n)
{
    if (n > MetafileLimits::MaxPointsPerRecord)
        return false;
    m_points += n;
    if (m_points > MetafileLimits::MaxPoints) {
        m_stopped = true;
        return false;
    }
    return true;
}

bool Metafile::charge(const QRectF &device)
{
    if (!sane(device))
        return false;
    if (m_measuring) {
        m_measured = m_measured.isNull() ? device : m_measured.united(device);
        return false;
    }
    QRectF visible = device & QRectF(m_image->rect());
    if (m_state.clip)
        visible &= QRectF(m_state.clip->boundingRect());
    if (visible.isEmpty())
        return false;
    const long long cost = qMax<long long>(MetafileLimits::ShapeCost,
                                           qint64(std::ceil(visible.width() + 1)) * qint64(std::ceil(visible.height() + 1)));
    if (!m_spend || !m_spend(cost)) {
        m_stopped = true;
        return false;
    }
    m_painted += cost;
    applyClip();
    return true;
}

QPen Metafile::qtPen(qreal length)
{
    const Pen &p = m_state.pen;
    const qreal largest = qMax(m_image->width(), m_image->height()) * 2.0;
    const qreal width = qBound(1.0, p.cosmetic || p.width <= 0 ? 1.0 : p.width * deviceScale(), largest);
    QColor color = p.color;
    if (m_state.rop2 == R2Black)
        color = Qt::black;
    else if (m_state.rop2 == R2White)
        color = Qt::white;
    else if (m_state.rop2 == R2NotCopyPen)
        color = QColor(255 - color.red(), 255 - color.green(), 255 - color.blue());
    QPen pen(color, width);
    // Thin lines end where they end, as a screen draws them; wide pens have the
    // round ends and joins of a drawing program unless the pen says otherwise.
    const bool thin = width < 2;
    const int cap = p.style & 0x0F00;
    const int join = p.style & 0xF000;
    pen.setCapStyle(cap == 0x100 ? Qt::SquareCap : cap == 0x200 || thin ? Qt::FlatCap : Qt::RoundCap);
    pen.setJoinStyle(join == 0x1000 ? Qt::BevelJoin : join == 0x2000 || thin ? Qt::MiterJoin : Qt::RoundJoin);
    QList<qreal> dashes;
    switch (p.style & 0xF) {
    case 1:
        dashes = thin ? QList<qreal>{18, 6} : QList<qreal>{3, 1};
        break;
    case 2:
        dashes = thin ? QList<qreal>{3, 3} : QList<qreal>{1, 1};
        break;
    case 3:
        dashes = thin ? QList<qreal>{9, 6, 3, 6} : QList<qreal>{3, 1, 1, 1};
        break;
    case 4:
        dashes = thin ? QList<qreal>{9, 3, 3, 3, 3, 3} : QList<qreal>{3, 1, 1, 1, 1, 1};
        break;
    case 8:
        dashes = {1, 1};
        break;
    default:
        break;
    }
    if (!dashes.isEmpty()) {
        qreal period = 0;
        for (const qreal d : dashes)
            period += d * width;
        if (length / period <= MetafileLimits::MaxDashes) {
            if (!thin && pen.capStyle() != Qt::FlatCap) {
                // Round and square caps lengthen each dash by a width: keep the gaps.
                for (qsizetype i = 0; i < dashes.size(); ++i)
                    dashes[i] += i % 2 ? 1 : -1;
                for (qreal &d : dashes)
                    d = qMax(d, 0.01);
            }
            pen.setDashPattern(dashes);
        }
    }
    return pen;
}

void Metafile::drawPath(const QPainterPath &device, bool fill, bool stroke)
{
    if (m_pathOpen) {
        m_path.addPath(device);
        return;
    }
    const State &s = m_state;
    if (s.rop2 == R2Nop)
        return;
    fill = fill && s.brush.style != BsNull;
    stroke = stroke && (s.pen.style & 0xF) != PsNull;
    if (!fill && !stroke)
        return;
    qreal margin = 1;
    QPen pen;
    if (stroke && m_image) {
        const bool dashed = (s.pen.style & 0xF) >= 1 && (s.pen.style & 0xF) <= 4;
        pen = qtPen(dashed ? device.length() : 0);
        margin += pen.widthF();
    }
    if (!charge(device.controlPointRect().adjusted(-margin, -margin, margin, margin)))
        return;
    if (fill) {
        QBrush brush(s.brush.color);
        if (s.rop2 == R2Black || s.rop2 == R2White)
            brush = QBrush(s.rop2 == R2Black ? Qt::black : Qt::white);
        else if (s.brush.style == BsHatched) {
            static constexpr Qt::BrushStyle Hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                         Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
            if (s.opaqueBack)
                m_painter->fillPath(device, s.backColor);
            brush = QBrush(s.brush.color, Hatches[qBound(0, s.brush.hatch, 5)]);
        } else if (s.brush.style != 0 && !s.brush.pattern.isNull()) {
            brush = QBrush(s.brush.pattern);
            brush.setTransform(QTransform::fromTranslate(s.brushOrigin.x(), s.brushOrigin.y()));
        }
        m_painter->fillPath(device, brush);
    }
    if (stroke)
        m_painter->strokePath(device, pen);
    m_drawn = true;
}

void Metafile::drawPolygon(const QPolygonF &logical)
{
    if (!spendPoints(logical.size()) || logical.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(toDevice(logical));
    path.closeSubpath();
    path.setFillRule(m_state.fillRule);
    drawPath(path, true, true);
}

void Metafile::drawPolyline(const QPolygonF &logical)
{
    if (!spendPoints(logical.size()) || logical.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(toDevice(logical));
    drawPath(path, false, true);
    m_pathNeedsMove = true;
}

void Metafile::drawPolyPolygon(const std::vector<QPolygonF> &logical)
{
    QPainterPath path;
    path.setFillRule(m_state.fillRule);
    for (const QPolygonF &polygon : logical) {
        if (!spendPoints(polygon.size()))
            return;
        path.addPolygon(toDevice(polygon));
        path.closeSubpath();
    }
    drawPath(path, true, true);
}

void Metafile::drawPolyPolyline(const std::vector<QPolygonF> &logical)
{
    QPainterPath path;
    for (const QPolygonF &polyline : logical) {
        if (!spendPoints(polyline.size()))
            return;
        path.addPolygon(toDevice(polyline));
    }
    drawPath(path, false, true);
    m_pathNeedsMove = true;
}

void Metafile::moveTo(QPointF logical)
{
    m_state.position = logical;
    m_pathNeedsMove = true;
}

void Metafile::drawLinesTo(const QPolygonF &logical)
{
    if (logical.isEmpty() || !spendPoints(logical.size() + 1))
        return;
    if (m_pathOpen) {
        if (m_pathNeedsMove || m_path.elementCount() == 0)
            m_path.moveTo(toDevice(m_state.position));
        for (const QPointF &p : logical)
            m_path.lineTo(toDevice(p));
        m_pathNeedsMove = false;
    } else {
        QPainterPath path(toDevice(m_state.position));
        for (const QPointF &p : logical)
            path.lineTo(toDevice(p));
        drawPath(path, false, true);
    }
    m_state.position = logical.last();
}

void Metafile::drawBeziers(const QPolygonF &logical, bool fromPosition)
{
    if (!spendPoints(logical.size() + 1))
        return;
    qsizetype i = 0;
    QPointF start = m_state.position;
    if (!fromPosition) {
        if (logical.isEmpty())
            return;
        start = logical[0];
        i = 1;
    }
    QPainterPath curve(toDevice(start));
    for (; i + 3 <= logical.size(); i += 3)
        curve.cubicTo(toDevice(logical[i]), toDevice(logical[i + 1]), toDevice(logical[i + 2]));
    if (fromPosition) {
        if (m_pathOpen) {
            if (m_pathNeedsMove || m_path.elementCount() == 0)
                m_path.moveTo(curve.elementAt(0));
            m_path.connectPath(curve);
            m_pathNeedsMove = false;
        } else {
            drawPath(curve, false, true);
        }
        m_state.position = i > 0 ? logical[i - 1] : m_state.position;
    } else {
        drawPath(curve, false, true);
        m_pathNeedsMove = true;
    }
}

void Metafile::drawRectangle(const QRectF &logical, QSizeF corner)
{
    if (!spendPoints(corner.isEmpty() ? 4 : 16))
        return;
    QPainterPath path;
    if (corner.isEmpty())
        path.addRect(logical.normalized());
    else
        path.addRoundedRect(logical.normalized(), qAbs(corner.width()) / 2, qAbs(corner.height()) / 2);
    const QPainterPath device = transform().map(path);
    if (sane(device.controlPointRect()))
        drawPath(device, true, true);
}

void Metafile::drawEllipse(const QRectF &logical)
{
    if (!spendPoints(16))
        return;
    QPainterPath path;
    path.addEllipse(logical.normalized());
    const QPainterPath device = transform().map(path);
    if (sane(device.controlPointRect()))
        drawPath(device, true, true);
}

void Metafile::drawArc(const QRectF &logicalBox, QPointF start, QPointF end, Arc kind)
{
    const QRectF box = logicalBox.normalized();
    if (!spendPoints(20) || box.width() <= 0 || box.height() <= 0)
        return;
    // The radial points are where the rays from the centre through start and end
    // cross the ellipse; Qt counts that angle counter-clockwise from three o'clock.
    const QPointF c = box.center();
    const qreal rx = box.width() / 2, ry = box.height() / 2;
    const auto angle = [&](QPointF p) { return qRadiansToDegrees(std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx)); };
    const qreal a0 = angle(start);
    qreal sweep = angle(end) - a0;
    while (sweep <= 0)
        sweep += 360;
    if (m_state.clockwise)
        sweep -= 360;
    if (qFuzzyIsNull(sweep) || qFuzzyCompare(qAbs(sweep), 360.0))
        sweep = m_state.clockwise ? -360 : 360;
    QPainterPath path;
    if (kind == Arc::Pie)
        path.moveTo(c);
    else
        path.arcMoveTo(box, a0);
    path.arcTo(box, a0, sweep);
    if (kind != Arc::Open)
        path.closeSubpath();
    const QPainterPath device = transform().map(path);
    if (sane(device.controlPointRect()))
        drawPath(device, kind != Arc::Open, true);
    if (kind == Arc::Open)
        m_pathNeedsMove = true;
}

QString Metafile::decodeText(const QByteArray &bytes, const Font &font)
{
    if (!m_codePage)
        m_codePage = std::make_unique<CodePage>();
    int codePage = CodePage::fromCharset(font.charset);
    if (font.face.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
        codePage = CodePage::SymbolFont;
    QString text;
    m_codePage->decode(CodePage::normalise(codePage ? codePage : 1252), bytes.constData(), bytes.size(), text);
    return text;
}

QRectF Metafile::fillTextBox(quint32 options, const QRectF &rect)
{
    const State &s = m_state;
    QRectF box; // the options' rectangle, in device pixels
    if ((options & (EtoOpaque | EtoClipped)) && rect.width() != 0 && rect.height() != 0) {
        QPainterPath p;
        p.addRect(rect.normalized());
        const QPainterPath device = transform().map(p);
        box = device.boundingRect();
        if ((options & EtoOpaque) && !m_pathOpen && charge(box)) {
            m_painter->fillPath(device, s.backColor);
            m_drawn = true;
        }
    }
    return box;
}

QFont Metafile::textFont(const Font &f, qreal *em, int *pixels)
{
    QFont font;
    QString face = f.face.trimmed();
    const int family = f.pitchAndFamily & 0xF0;
    font.setStyleHint(family == 0x10 ? QFont::Serif : family == 0x30 ? QFont::Monospace : family == 0x40 ? QFont::Cursive : QFont::SansSerif);
    if (face.isEmpty())
        face = family == 0x10 ? QStringLiteral("Serif") : family == 0x30 ? QStringLiteral("Monospace") : QStringLiteral("Sans Serif");
    font.setFamilies({face});
    font.setWeight(QFont::Weight(qBound(1, f.weight > 0 ? f.weight : 400, 1000)));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    font.setHintingPreference(QFont::PreferNoHinting);
    *pixels = qMax(16, qRound(*em));
    font.setPixelSize(*pixels);
    if (f.height > 0) { // the cell height: ascent and descent together
        const qreal cell = QFontMetricsF(font).height();
        if (cell > 0) {
            *em *= *pixels / cell;
            *pixels = qMax(16, qRound(*em));
            font.setPixelSize(*pixels);
        }
    }
    return font;
}

void Metafile::drawText(QPointF reference, const QString &text, const std::vector<qreal> &dx, quint32 options,
                           const QRectF &rect)
{
    const State &s = m_state;
    const QRectF box = fillTextBox(options, rect); // the options' rectangle, in device pixels
    if (text.isEmpty() || m_stopped)
        return;
    m_textChars += text.size();
    if (m_textChars > MetafileLimits::MaxTextChars) {
        m_stopped = true;
        return;
    }
    const bool updatePosition = s.textAlign & 1;
    if (updatePosition)
        reference = s.position;
    const QTransform &t = transform();
    const QPointF origin = toDevice(reference);
    const QPointF ex = t.map(reference + QPointF(1, 0)) - t.map(reference);
    const QPointF ey = t.map(reference + QPointF(0, 1)) - t.map(reference);
    const qreal sx = std::hypot(ex.x(), ex.y()), sy = std::hypot(ey.x(), ey.y());
    if (!(sx > 0 && sy > 0 && std::isfinite(sx) && std::isfinite(sy)))
        return;
    const Font &f = s.font;
    // The font at a whole pixel size near the wanted one, scaled to it exactly.
    qreal em = f.height == 0 ? 12.0 : qAbs(f.height) * sy;
    const qreal largest = qMax(m_image->width(), m_image->height()) * 4.0;
    if (!(em >= 0.5) || em > largest)
        return;
    int pixels = 0;
    const QFont font = textFont(f, &em, &pixels);
    const QFontMetricsF metrics(font);
    const qreal scale = em / pixels;
    // Text stays upright under the mapping's flips and follows its rotations.
    QPointF u(1, 0);
    if (!qFuzzyIsNull(ex.y()) || !qFuzzyIsNull(ey.x()))
        u = ex / sx;
    if (f.escapement) {
        // The angle turns counter-clockwise in logical space: a mapping that flips
        // one axis turns it the other way on the page.
        const bool flipped = t.m11() * t.m22() - t.m12() * t.m21() < 0;
        const qreal a = qDegreesToRadians(f.escapement / 10.0) * (flipped ? -1 : 1);
        u = QPointF(u.x() * std::cos(a) + u.y() * std::sin(a), -u.x() * std::sin(a) + u.y() * std::cos(a));
    }
    const QPointF v(-u.y(), u.x());
    qreal stretch = sx / sy;
    if (f.width > 0) {
        if (const qreal average = averageCharWidth(metrics); average > 0)
            stretch = qBound(0.05, f.width * sx / (average * scale), 20.0);
    }
    const qreal across = scale * stretch;
    const QTransform local(u.x() * across, u.y() * across, v.x() * scale, v.y() * scale, origin.x(), origin.y());
    // Advances given by the writer place each character where it put it.
    const qreal toLocal = sx / across;
    qreal width = 0;
    if (!dx.empty()) {
        for (const qreal d : dx)
            width += d * toLocal;
    } else {
        width = metrics.horizontalAdvance(text);
    }
    const int align = s.textAlign;
    const qreal x0 = (align & 6) == 6 ? -width / 2 : (align & 2) ? -width : 0;
    const qreal y0 = (align & 24) == 24 ? 0 : (align & 8) ? -metrics.descent() : metrics.ascent();
    // The box the glyphs take: writers give the last character no advance.
    const QRectF cell(x0, y0 - metrics.ascent(), qMax(width, metrics.horizontalAdvance(text)),
                      metrics.ascent() + metrics.descent());
    if (updatePosition)
        m_state.position = reference + QPointF(width * across / sx, 0);

    const bool simple = !dx.empty() && !complexText(text);
    QPainterPath outline;
    const auto place = [&](const auto &draw) {
        if (!simple) {
            draw(QPointF(x0, y0), text);
            return;
        }
        qreal x = x0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            draw(QPointF(x, y0), text.mid(i, n));
            for (qsizetype k = i; k < i + n && size_t(k) < dx.size(); ++k)
                x += dx[size_t(k)] * toLocal;
            i += n - 1;
        }
    };
    if (m_pathOpen) {
        place([&](QPointF at, const QString &piece) { outline.addText(at, font, piece); });
        m_path.addPath(local.map(outline));
        return;
    }
    if (!charge(local.mapRect(cell)))
        return;
    m_painter->save();
    if (!box.isEmpty() && (options & EtoClipped))
        m_painter->setClipRect(box, m_state.clip ? Qt::IntersectClip : Qt::ReplaceClip);
    m_painter->setTransform(local);
    if (s.opaqueBack && !(options & EtoOpaque))
        m_painter->fillRect(cell, s.backColor);
    m_painter->setFont(font);
    m_painter->setPen(s.textColor);
    if (!simple && !dx.empty() && metrics.horizontalAdvance(text) > 0) {
        // Whole text within the width the writer gave it.
        const qreal natural = metrics.horizontalAdvance(text);
        m_painter->translate(x0, 0);
        m_painter->scale(width / natural, 1);
        m_painter->translate(-x0, 0);
    }
    place([&](QPointF at, const QString &piece) { m_painter->drawText(at, piece); });
    m_painter->restore();
    m_drawn = true;
}

void Metafile::fillRegion(const QRegion &device, const Brush &brush)
{
    if (device.isEmpty() || brush.style == BsNull)
        return;
    QPainterPath path;
    path.addRegion(device);
    const Brush selected = m_state.brush;
    const Pen pen = m_state.pen;
    m_state.brush = brush;
    m_state.pen.style = PsNull;
    drawPath(path, true, false);
    m_state.brush = selected;
    m_state.pen = pen;
}

void Metafile::patternBlit(const QRectF &logical, quint32 rop)
{
    Brush brush = m_state.brush;
    switch (rop) {
    case 0x00000042: // BLACKNESS
        brush = Brush{0, Qt::black, 0, {}};
        break;
    case 0x00FF0062: // WHITENESS
        brush = Brush{0, Qt::white, 0, {}};
        break;
    case 0x00AA0029: // the destination as it is
    case 0x00550009: // DSTINVERT
    case 0x005A0049: // PATINVERT
        return;
    default:
        break;
    }
    if (!spendPoints(4))
        return;
    QPainterPath path;
    path.addRect(logical.normalized());
    const QPainterPath device = transform().map(path);
    if (!sane(device.controlPointRect()))
        return;
    const Brush selected = m_state.brush;
    const Pen pen = m_state.pen;
    const bool open = m_pathOpen;
    m_pathOpen = false;
    m_state.brush = brush;
    m_state.pen.style = PsNull;
    drawPath(device, true, false);
    m_state.brush = selected;
    m_state.pen = pen;
    m_pathOpen = open;
}

QByteArray Metafile::fileOfDib(const QByteArray &info, const QByteArray &bits) const
{
    if (info.size() < 12)
        return {};
    const quint32 headerSize = qFromLittleEndian<quint32>(info.constData());
    if (headerSize >= 40 && info.size() >= 20) {
        const quint32 compression = qFromLittleEndian<quint32>(info.constData() + 16);
        if (compression == 4 || compression == 5) // BI_JPEG, BI_PNG: the bits are the file
            return bits;
    }
    if (bits.isNull()) // a packed DIB: header, colours and bits in one
        return Dib::toBmp(info);
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    qToLittleEndian<quint32>(quint32(14 + info.size() + bits.size()), file.data() + 2);
    qToLittleEndian<quint32>(quint32(14 + info.size()), file.data() + 10);
    return file + info + bits;
}

QImage Metafile::decodeDib(const QByteArray &info, const QByteArray &bits)
{
    const QByteArray file = fileOfDib(info, bits);
    return file.isEmpty() || !m_decodeImage ? QImage() : m_decodeImage(file);
}

void Metafile::blit(const QRectF &dest, const QByteArray &info, const QByteArray &bits, QRectF source,
                       bool bottomUpSource, quint32 rop, std::optional<QRgb> transparent, qreal opacity)
{
    if (m_pathOpen || m_state.rop2 == R2Nop || !spendPoints(4))
        return;
    QPainterPath path;
    path.addRect(dest.normalized());
    const QPainterPath device = transform().map(path);
    if (dest.width() == 0 || dest.height() == 0 || !charge(device.controlPointRect()))
        return;
    QImage image = decodeDib(info, bits);
    if (image.isNull())
        return;
    // A bottom-up DIB counts its source rows from the bottom.
    bool bottomUp = true;
    if (info.size() >= 12) {
        const quint32 headerSize = qFromLittleEndian<quint32>(info.constData());
        bottomUp = headerSize == 12 || (info.size() >= 12 && qFromLittleEndian<qint32>(info.constData() + 8) > 0);
    }
    if (source.width() <= 0 || source.height() <= 0)
        source = QRectF(image.rect());
    else if (bottomUpSource && bottomUp)
        source.moveTop(image.height() - source.top() - source.height());
    source &= QRectF(image.rect());
    if (source.isEmpty())
        return;
    if (rop == 0x00330008) // NOTSRCCOPY
        image.invertPixels();
    if (transparent) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = *transparent & 0xFFFFFF;
        for (int y = 0; y < image.height(); ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if ((line[x] & 0xFFFFFF) == key)
                    line[x] = 0;
            }
        }
    }
    QRectF target = dest;
    if (target.width() < 0) {
        image = image.mirrored(true, false);
        source.moveLeft(image.width() - source.right());
        target = QRectF(target.right(), target.top(), -target.width(), target.height());
    }
    if (target.height() < 0) {
        image = image.mirrored(false, true);
        source.moveTop(image.height() - source.bottom());
        target = QRectF(target.left(), target.bottom(), target.width(), -target.height());
    }
    m_painter->save();
    switch (rop) {
    case 0x008800C6: // SRCAND
        m_painter->setCompositionMode(QPainter::CompositionMode_Multiply);
        break;
    case 0x00EE0086: // SRCPAINT
        m_painter->setCompositionMode(QPainter::CompositionMode_Lighten);
        break;
    case 0x00660046: // SRCINVERT
        m_painter->setCompositionMode(QPainter::CompositionMode_Difference);
        break;
    default:
        break;
    }
    m_painter->setTransform(transform());
    m_painter->setOpacity(qBound(0.0, opacity, 1.0));
    // Photographs are smoothed when shrunk; small bitmaps keep their pixels when
    // enlarged, unless the drawing asked for halftone stretching.
    const QRectF shown = device.controlPointRect();
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform,
                             shown.width() < source.width() || shown.height() < source.height() || m_state.stretchMode == 4);
    m_painter->drawImage(target, image, source);
    m_painter->restore();
    m_drawn = true;
}

void Metafile::beginPath()
{
    m_pathOpen = true;
    m_path = QPainterPath();
    m_pathNeedsMove = true;
}

void Metafile::closeFigure()
{
    if (m_pathOpen && m_path.elementCount() > 0) {
        m_path.closeSubpath();
        m_pathNeedsMove = true;
    }
}

void Metafile::finishPath(bool fill, bool stroke)
{
    QPainterPath path = m_path;
    m_path = QPainterPath();
    m_pathOpen = false;
    if (path.isEmpty())
        return;
    path.setFillRule(m_state.fillRule);
    drawPath(path, fill, stroke);
}

void Metafile::selectClipPath(int mode)
{
    const QPainterPath path = m_path;
    m_path = QPainterPath();
    m_pathOpen = false;
    if (m_measuring || !spendPoints(path.elementCount()))
        return;
    QRegion region;
    const QList<QPolygonF> polygons = path.toSubpathPolygons();
    for (const QPolygonF &polygon : polygons) {
        const QRegion part(polygon.toPolygon(), m_state.fillRule);
        region = m_state.fillRule == Qt::OddEvenFill ? region ^ part : region | part;
        if (region.rectCount() > MetafileLimits::MaxClipRects)
            return;
    }
    combineClip(region, mode);
}
