#include "metafile/metafile.h"

#include "base/codepage.h"
#include "metafile/metafilelimits.h"

#include <QPainter>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

// The device context: mapping from logical units to the picture's pixels, saved
// states, the object table, colours and clipping.

namespace {

enum MapMode { MmText = 1, MmLoMetric, MmHiMetric, MmLoEnglish, MmHiEnglish, MmTwips, MmIsotropic, MmAnisotropic };

// Hundredths of a millimetre in one logical unit of the metric mapping modes.
qreal himetricPerUnit(int mode)
{
    switch (mode) {
    case MmLoMetric:
        return 10.0;
    case MmHiMetric:
        return 1.0;
    case MmLoEnglish:
        return 25.4;
    case MmHiEnglish:
        return 2.54;
    case MmTwips:
        return 2540.0 / 1440.0;
    default:
        return 0.0;
    }
}

// Slots a WMF's object table has at least, whatever its header says.
constexpr int MinWmfObjects = 64;

bool finite(const QTransform &t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22())
        && std::isfinite(t.dx()) && std::isfinite(t.dy());
}

} // namespace

bool Metafile::Bytes::has(qsizetype at, qsizetype n) const
{
    return at >= 0 && n >= 0 && at <= size && n <= size - at;
}

quint8 Metafile::Bytes::u8(qsizetype at) const
{
    if (!has(at, 1)) {
        damaged = true;
        return 0;
    }
    return data[at];
}

quint16 Metafile::Bytes::u16(qsizetype at) const
{
    if (!has(at, 2)) {
        damaged = true;
        return 0;
    }
    return qFromLittleEndian<quint16>(data + at);
}

quint32 Metafile::Bytes::u32(qsizetype at) const
{
    if (!has(at, 4)) {
        damaged = true;
        return 0;
    }
    return qFromLittleEndian<quint32>(data + at);
}

float Metafile::Bytes::f32(qsizetype at) const
{
    const quint32 bits = u32(at);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return std::isfinite(f) ? f : 0.0f;
}

QByteArray Metafile::Bytes::bytes(qsizetype at, qsizetype n) const
{
    if (!has(at, n)) {
        damaged = true;
        return {};
    }
    return QByteArray(reinterpret_cast<const char *>(data + at), n);
}

Metafile::Metafile(Format format, const QByteArray &data)
    : m_format(format)
    , m_data(data)
{
    readHeader();
}

Metafile::~Metafile() = default;

void Metafile::readHeader()
{
    if (m_format == Format::Wmf)
        readWmfHeader();
    else
        readEmfHeader();
}

bool Metafile::play(QImage *image, const PaintBudget &spend, const ImageDecoder &decodeImage)
{
    if (!m_valid || !image || image->isNull())
        return false;
    m_image = image;
    m_decodeImage = decodeImage;
    m_spend = spend;
    m_painted = 0;
    m_drawn = false;
    if (!m_frameKnown) {
        // Nothing tells which part of the logical space the picture shows: find the
        // bounds of what it draws first.
        m_measuring = true;
        m_frame = QRectF(0, 0, image->width(), image->height());
        playRecords();
        m_measuring = false;
        if (!m_measured.isValid() || m_measured.width() <= 0 || m_measured.height() <= 0)
            return false;
        m_frame = m_measured;
        m_frameKnown = true;
    }
    QPainter painter(image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    m_painter = &painter;
    playRecords();
    m_painter = nullptr;
    m_image = nullptr;
    m_decodeImage = nullptr;
    m_spend = nullptr;
    return m_drawn;
}

void Metafile::playRecords()
{
    resetState();
    if (m_format == Format::Wmf)
        playWmf();
    else
        playEmf();
    m_path = QPainterPath();
    m_saved.clear();
    m_objects.clear();
    m_freeObjects.clear();
}

bool Metafile::tick()
{
    if (m_stopped || ++m_records > MetafileLimits::MaxRecords) {
        m_stopped = true;
        return false;
    }
    return true;
}

void Metafile::resetState()
{
    m_state = State();
    m_stopped = false;
    m_records = 0;
    m_points = 0;
    m_textChars = 0;
    m_saved.clear();
    m_savedBeyondLimit = 0;
    m_pathOpen = false;
    m_pathNeedsMove = true;
    m_path = QPainterPath();
    m_clipApplied = false;
    m_measured = QRectF();
    if (m_format == Format::Wmf) {
        // The reader plays a Windows metafile as the picture's frame asks: anisotropic,
        // with the frame's window stretched over the picture. Records may change both.
        m_state.mapMode = MmAnisotropic;
        m_state.windowOrg = m_frame.topLeft();
        m_state.windowExt = QPointF(m_frame.width(), m_frame.height());
    }
    m_objects.clear();
    m_freeObjects.clear();
    // The header's count of objects is the writer's own reckoning; the objects keep
    // the slots the writer gave them in a larger table all the same.
    const int size = qBound(MinWmfObjects, m_tableSize, MetafileLimits::MaxObjects);
    if (m_format == Format::Wmf) {
        m_objects.resize(size_t(size));
        for (int i = 0; i < size; ++i)
            m_freeObjects.push_back(i); // ascending: already a min-heap
    }
    mappingChanged();
}

const QTransform &Metafile::transform()
{
    if (m_transformValid)
        return m_transform;
    const State &s = m_state;
    QPointF viewportOrg = s.viewportOrg;
    QPointF viewportExt = s.viewportExt;
    if (m_format == Format::Wmf && !s.viewportSet) {
        viewportOrg = m_frame.topLeft();
        viewportExt = QPointF(m_frame.width(), m_frame.height());
    }
    qreal sx = 1, sy = 1;
    if (s.mapMode == MmIsotropic || s.mapMode == MmAnisotropic) {
        sx = viewportExt.x() / s.windowExt.x();
        sy = viewportExt.y() / s.windowExt.y();
        if (s.mapMode == MmIsotropic) {
            const qreal m = qMin(qAbs(sx), qAbs(sy));
            sx = sx < 0 ? -m : m;
            sy = sy < 0 ? -m : m;
        }
    } else if (const qreal unit = himetricPerUnit(s.mapMode)) {
        sx = unit * m_metricUnit;
        sy = -sx; // the metric modes count y upwards
    }
    const QTransform page(sx, 0, 0, sy, viewportOrg.x() - s.windowOrg.x() * sx, viewportOrg.y() - s.windowOrg.y() * sy);
    const qreal fx = m_image ? m_image->width() / m_frame.width() : 1.0;
    const qreal fy = m_image ? m_image->height() / m_frame.height() : 1.0;
    const QTransform frame(fx, 0, 0, fy, -m_frame.left() * fx, -m_frame.top() * fy);
    m_transform = s.world * page * frame;
    if (!finite(m_transform))
        m_transform = QTransform(0, 0, 0, 0, 0, 0); // draws nothing visible
    m_transformValid = true;
    return m_transform;
}

qreal Metafile::deviceScale()
{
    const QTransform &t = transform();
    return std::sqrt(qAbs(t.m11() * t.m22() - t.m12() * t.m21()));
}

void Metafile::setMapMode(int mode)
{
    if (mode < MmText || mode > MmAnisotropic)
        return;
    m_state.mapMode = mode;
    mappingChanged();
}

void Metafile::setWindowOrg(QPointF p)
{
    m_state.windowOrg = p;
    mappingChanged();
}

void Metafile::setWindowExt(QPointF e)
{
    if (e.x() == 0 || e.y() == 0 || !std::isfinite(e.x()) || !std::isfinite(e.y()))
        return; // an empty window maps nothing anywhere: keep the one in force
    m_state.windowExt = e;
    mappingChanged();
}

void Metafile::setViewportOrg(QPointF p)
{
    if (m_format == Format::Wmf && !m_state.viewportSet) {
        m_state.viewportExt = QPointF(m_frame.width(), m_frame.height());
        m_state.viewportSet = true;
    }
    m_state.viewportOrg = p;
    mappingChanged();
}

void Metafile::setViewportExt(QPointF e)
{
    if (e.x() == 0 || e.y() == 0 || !std::isfinite(e.x()) || !std::isfinite(e.y()))
        return;
    if (m_format == Format::Wmf && !m_state.viewportSet) {
        m_state.viewportOrg = m_frame.topLeft();
        m_state.viewportSet = true;
    }
    m_state.viewportExt = e;
    mappingChanged();
}

void Metafile::scaleExtents(bool viewport, int xNum, int xDenom, int yNum, int yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    QPointF e = viewport ? m_state.viewportExt : m_state.windowExt;
    if (viewport && m_format == Format::Wmf && !m_state.viewportSet)
        e = QPointF(m_frame.width(), m_frame.height());
    e = QPointF(e.x() * xNum / xDenom, e.y() * yNum / yDenom);
    if (viewport)
        setViewportExt(e);
    else
        setWindowExt(e);
}

void Metafile::modifyWorld(const QTransform &xform, quint32 mode)
{
    switch (mode) {
    case 1: // MWT_IDENTITY
        m_state.world = QTransform();
        break;
    case 2: // MWT_LEFTMULTIPLY: the new transform applies before the old one
        m_state.world = xform * m_state.world;
        break;
    case 3: // MWT_RIGHTMULTIPLY
        m_state.world = m_state.world * xform;
        break;
    case 4: // MWT_SET
        m_state.world = xform;
        break;
    default:
        return;
    }
    if (!finite(m_state.world))
        m_state.world = QTransform();
    mappingChanged();
}

void Metafile::saveState()
{
    if (int(m_saved.size()) >= MetafileLimits::MaxSavedStates) {
        ++m_savedBeyondLimit;
        return;
    }
    m_saved.push_back(m_state);
}

void Metafile::restoreState(int which)
{
    // Negative: that many levels up; positive: the state saved as that number.
    qsizetype target;
    if (which < 0) {
        long long up = -qint64(which);
        const long long beyond = qMin<long long>(up, m_savedBeyondLimit);
        m_savedBeyondLimit -= int(beyond);
        up -= beyond;
        if (up == 0)
            return;
        target = qsizetype(qMax<long long>(0, qint64(m_saved.size()) - up));
    } else if (which > 0 && which <= qsizetype(m_saved.size())) {
        target = which - 1;
        m_savedBeyondLimit = 0;
    } else {
        return;
    }
    if (target >= qsizetype(m_saved.size()))
        return;
    m_state = m_saved[size_t(target)];
    m_saved.resize(size_t(target));
    mappingChanged();
    m_clipApplied = false;
}

int Metafile::addObject(Object object)
{
    if (m_freeObjects.empty())
        return -1; // the table is full: the writer's later selections of it fail
    std::pop_heap(m_freeObjects.begin(), m_freeObjects.end(), std::greater<int>());
    const int index = m_freeObjects.back();
    m_freeObjects.pop_back();
    m_objects[size_t(index)] = std::move(object);
    return index;
}

void Metafile::setObject(quint32 index, Object object)
{
    if (index == 0 || index >= quint32(MetafileLimits::MaxObjects))
        return;
    if (index >= m_objects.size())
        m_objects.resize(size_t(index) + 1);
    m_objects[index] = std::move(object);
}

Metafile::Object *Metafile::object(quint32 index)
{
    if (index >= m_objects.size() || m_objects[index].kind == Object::Kind::None)
        return nullptr;
    return &m_objects[index];
}

void Metafile::selectObject(quint32 index)
{
    if (m_format == Format::Emf && (index & 0x80000000u)) {
        selectStockObject(index & 0x7FFFFFFFu);
        return;
    }
    const Object *o = object(index);
    if (!o)
        return;
    switch (o->kind) {
    case Object::Kind::Pen:
        m_state.pen = o->pen;
        break;
    case Object::Kind::Brush:
        m_state.brush = o->brush;
        break;
    case Object::Kind::Font:
        m_state.font = o->font;
        break;
    case Object::Kind::Palette:
        m_state.palette = o->palette;
        break;
    case Object::Kind::Region:
        combineClip(deviceRegion(o->region), 5);
        break;
    case Object::Kind::None:
        break;
    }
}

void Metafile::deleteObject(quint32 index)
{
    if (index >= m_objects.size() || m_objects[index].kind == Object::Kind::None)
        return;
    m_objects[index] = Object();
    if (m_format == Format::Wmf) {
        m_freeObjects.push_back(int(index));
        std::push_heap(m_freeObjects.begin(), m_freeObjects.end(), std::greater<int>());
    }
}

bool Metafile::selectStockObject(quint32 index)
{
    static constexpr int BrushGrey[] = {255, 192, 128, 64, 0};
    State &s = m_state;
    if (index <= 4) {
        s.brush = Brush{0, QColor(BrushGrey[index], BrushGrey[index], BrushGrey[index]), 0, {}};
    } else if (index == 5) {
        s.brush.style = 1; // BS_NULL
    } else if (index == 6 || index == 7 || index == 8) {
        s.pen = Pen{index == 8 ? 5 : 0, 0, true, index == 6 ? QColor(Qt::white) : QColor(Qt::black)};
    } else if (index >= 10 && index <= 17 && index != 15) {
        s.font = Font();
        const bool fixed = index == 10 || index == 11 || index == 16;
        s.font.pitchAndFamily = fixed ? 0x31 : 0x22;
        s.font.face = fixed ? QStringLiteral("Courier New") : QStringLiteral("Arial");
    } else if (index == 15) {
        s.palette.clear();
    } else if (index == 18) {
        s.brush = Brush();
    } else if (index == 19) {
        s.pen = Pen();
    } else {
        return false;
    }
    return true;
}

QColor Metafile::colorRef(quint32 value) const
{
    if ((value >> 24) == 1) { // an index into the selected palette
        const quint32 index = value & 0xFFFF;
        return index < m_state.palette.size() ? QColor(m_state.palette[index]) : QColor(Qt::black);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

void Metafile::clipRect(const QRectF &logical, bool exclude)
{
    const QRectF device = transform().mapRect(logical.normalized());
    if (!std::isfinite(device.left()) || !std::isfinite(device.right()) || !std::isfinite(device.top())
        || !std::isfinite(device.bottom()))
        return;
    const qreal limit = MetafileLimits::MaxCoordinate;
    const QRect r(QPoint(int(qRound(qBound(-limit, device.left(), limit))), int(qRound(qBound(-limit, device.top(), limit)))),
                  QPoint(int(qRound(qBound(-limit, device.right(), limit))) - 1,
                         int(qRound(qBound(-limit, device.bottom(), limit))) - 1));
    combineClip(QRegion(r.isValid() ? r : QRect()), exclude ? 4 : 1);
}

void Metafile::combineClip(const std::optional<QRegion> &region, int mode)
{
    const QRegion whole(m_image ? m_image->rect() : QRect());
    QRegion result;
    if (mode == 5) { // RGN_COPY; no region at all is no clipping
        if (!region) {
            m_state.clip.reset();
            m_clipApplied = false;
            return;
        }
        result = *region;
    } else {
        if (!region)
            return;
        const QRegion current = m_state.clip.value_or(whole);
        switch (mode) {
        case 1: // RGN_AND
            result = current & *region;
            break;
        case 2: // RGN_OR
            result = current | *region;
            break;
        case 3: // RGN_XOR
            result = current ^ *region;
            break;
        case 4: // RGN_DIFF
            result = current - *region;
            break;
        default:
            return;
        }
    }
    if (result.rectCount() > MetafileLimits::MaxClipRects)
        return;
    m_state.clip = result & whole.boundingRect().adjusted(-1, -1, 1, 1);
    m_clipApplied = false;
}

void Metafile::offsetClip(QPointF logical)
{
    if (!m_state.clip)
        return;
    const QTransform &t = transform();
    const QPointF d = t.map(logical) - t.map(QPointF(0, 0));
    const qreal limit = MetafileLimits::MaxCoordinate;
    if (!std::isfinite(d.x()) || !std::isfinite(d.y()) || qAbs(d.x()) > limit || qAbs(d.y()) > limit)
        return;
    m_state.clip->translate(qRound(d.x()), qRound(d.y()));
    m_clipApplied = false;
}

QRegion Metafile::deviceRegion(const QRegion &logical)
{
    QRegion device;
    const qreal limit = MetafileLimits::MaxCoordinate;
    for (const QRect &r : logical) {
        const QRectF d = transform().mapRect(QRectF(r));
        if (!(qAbs(d.left()) < limit && qAbs(d.right()) < limit && qAbs(d.top()) < limit && qAbs(d.bottom()) < limit))
            continue;
        device += QRect(QPoint(qRound(d.left()), qRound(d.top())), QPoint(qRound(d.right()) - 1, qRound(d.bottom()) - 1));
        if (device.rectCount() > MetafileLimits::MaxClipRects)
            break;
    }
    return device;
}

void Metafile::applyClip()
{
    if (m_clipApplied || !m_painter)
        return;
    if (m_state.clip)
        m_painter->setClipRegion(*m_state.clip);
    else
        m_painter->setClipping(false);
    m_clipApplied = true;
}
