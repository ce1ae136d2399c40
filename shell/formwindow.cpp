#include "shell/formwindow.h"

#include "platform/colors.h"
#include "platform/richtextbox.h"
#include "platform/services.h"
#include "shell/controlaccessible.h"
#include "shell/formaccessible.h"
#include "shell/pictureboxwidget.h"
#include "shell/skin.h"
#include "shell/twips.h"
#include "shell/windowactivation.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

int buttonMask(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}

int shiftMask(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

QPalette widgetPalette(const QWidget *widget, const Control &control)
{
    QPalette palette = widget->palette();
    if (control.backColor() != NoColor)
        palette.setColor(QPalette::Base, ColorInt::toQColor(control.backColor()));
    if (control.foreColor() != NoColor)
        palette.setColor(QPalette::Text, ColorInt::toQColor(control.foreColor()));
    return palette;
}

} // namespace

FormWindow::FormWindow(const FormDef &def, QWidget *parent, Qt::WindowType type)
    : QWidget(parent, type | Qt::FramelessWindowHint)
    , m_def(def)
    , m_alive(this)
{
    Skin::installFontSubstitutes();
    FormAccessible::installFactory();
    // The window's own font is the controls' default, so the child widgets start
    // with a font the desktop has instead of looking up the application's default.
    setFont(Skin::font(FontDef{}));
    WindowActivation::watch();
    setWindowTitle(QString::fromUtf8(def.caption));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ColorInt::toQColor(def.backColor));
    setPalette(palette);
    resize(Twips::toPixelsX(def.width), Twips::toPixelsY(def.height));

    m_controls.reserve(size_t(def.controlCount));
    for (int i = 0; i < def.controlCount; ++i) {
        m_controls.push_back(std::make_unique<Control>(def.controls[i], this));
        m_byName.insert(m_controls.back()->name(), m_controls.back().get());
    }
    for (int i = 0; i < def.accessCount; ++i) {
        if (Control *c = findControl(QString::fromLatin1(def.access[i].control))) {
            c->setAccess(&def.access[i]);
            if (def.access[i].partner)
                c->setPartner(findControl(QString::fromLatin1(def.access[i].partner)));
        }
    }
    for (int i = 0; i < def.ringCount; ++i) {
        if (Control *c = findControl(QString::fromLatin1(def.ring[i])))
            m_ringStops.push_back(c);
    }
    // Tab reaches the window itself, which passes the ring among its drawn controls;
    // a click does not take the focus from where it is.
    if (!m_ringStops.empty())
        setFocusPolicy(Qt::TabFocus);
    createWindowedControls();
}

FormWindow::~FormWindow() = default;

void FormWindow::createWindowedControls()
{
    // Created back to front, so each child lies above those behind it.
    std::vector<std::pair<int, QWidget *>> tabOrder;
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        Control &control = **it;
        const ControlDef &def = control.def();
        QWidget *widget = nullptr;
        switch (def.kind) {
        case ControlKind::PictureBox: {
            auto *box = new PictureBoxWidget(control, this);
            const QString name = control.name();
            box->setClickHandler([this, name] { raiseClick(name); });
            // A box without a name for assistive technology (the underline) is no
            // place for the focus.
            box->setFocusPolicy(def.tabIndex >= 0 && control.access() ? Qt::StrongFocus : Qt::NoFocus);
            widget = box;
            break;
        }
        case ControlKind::TextBox: {
            auto *edit = new QLineEdit(this);
            edit->setFrame(false);
            edit->setPalette(widgetPalette(edit, control));
            edit->setFont(control.font());
            edit->setTextMargins(1, 0, 1, 0);
            widget = edit;
            break;
        }
        case ControlKind::CommandButton:
            widget = new QPushButton(control.caption(), this);
            break;
        case ControlKind::RichTextBox: {
            auto *editor = new RichTextBox(this);
            editor->setFrameShape(QFrame::NoFrame);
            editor->setFont(control.font());
            editor->document()->setDefaultFont(control.font());
            widget = editor;
            break;
        }
        case ControlKind::Timer: {
            auto *timer = new QTimer(this);
            timer->setInterval(def.interval);
            const QString name = control.name();
            connect(timer, &QTimer::timeout, this, [this, name] {
                const auto it = m_handlers.constFind(name);
                if (it != m_handlers.constEnd() && it->click)
                    runGuarded(it->click);
            });
            m_timers.insert(name, timer);
            break;
        }
        default:
            break;
        }
        if (!widget)
            continue;
        widget->setObjectName(control.name());
        if (control.access())
            widget->setAccessibleName(control.accessibleName());
        widget->setGeometry(control.boxPixels());
        widget->setEnabled(control.isEnabled());
        widget->setVisible(control.isVisible());
        widget->setCursor(def.cursor == CursorKind::Hand ? Skin::handCursor() : QCursor(Qt::ArrowCursor));
        control.setWidget(widget);
        if (def.tabIndex >= 0)
            tabOrder.emplace_back(def.tabIndex, widget);
    }
    std::sort(tabOrder.begin(), tabOrder.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
}

Control &FormWindow::control(const char *name) const
{
    Control *c = m_byName.value(QString::fromLatin1(name));
    Q_ASSERT_X(c, "FormWindow::control", name);
    return *c;
}

Control *FormWindow::findControl(const QString &name) const
{
    return m_byName.value(name);
}

QTimer *FormWindow::timer(const char *name) const
{
    return m_timers.value(QString::fromLatin1(name));
}

Control *FormWindow::drawnControlAt(const QPoint &pixel) const
{
    for (const auto &c : m_controls) {
        if (c->isDrawn() && c->takesMouse() && c->isVisible() && c->boxPixels().contains(pixel))
            return c.get();
    }
    return nullptr;
}

void FormWindow::centerOnScreen()
{
    const QRect screen = Services::screen().geometry(this);
    const int x = width() <= screen.width() ? screen.x() + (screen.width() - width()) / 2
                                            : screen.x() + screen.width() - width();
    const int y = height() <= screen.height() ? screen.y() + (screen.height() - height()) / 2 : screen.y();
    move(x, y);
}

Control *FormWindow::ringControl() const
{
    return m_ring >= 0 ? m_ringStops[size_t(m_ring)] : nullptr;
}

bool FormWindow::isRingStop(const Control &control) const
{
    return std::find(m_ringStops.begin(), m_ringStops.end(), &control) != m_ringStops.end();
}

QRect FormWindow::ringRect(int stop) const
{
    return m_ringStops[size_t(stop)]->accessBoxPixels().adjusted(-2, -2, 2, 2);
}

void FormWindow::moveRing(int stop)
{
    if (m_ring >= 0)
        update(ringRect(m_ring));
    m_ring = stop;
    if (m_ring < 0)
        return;
    update(ringRect(m_ring));
    if (QAccessible::isActive() && hasFocus()) {
        Control &control = *m_ringStops[size_t(m_ring)];
        ControlAccessible::of(control, this);
        control.notifyFocus();
    }
}

// The standard keys of a dialog, and of any window whose drawn controls take the
// focus ring: Tab and Shift+Tab move the ring, Space and Enter take the control it
// is on, Escape gives the answer that loses nothing.
bool FormWindow::focusNextPrevChild(bool next)
{
    if (m_ringStops.empty() || !hasFocus())
        return QWidget::focusNextPrevChild(next);
    const int count = int(m_ringStops.size());
    const int stop = m_ring < 0 ? (next ? 0 : count - 1) : m_ring + (next ? 1 : -1);
    if (stop >= 0 && stop < count) {
        moveRing(stop);
        return true;
    }
    // Past the last stop: on to the window's other controls, or round again when
    // none takes the focus.
    moveRing(-1);
    QWidget::focusNextPrevChild(next);
    if (hasFocus())
        moveRing(next ? 0 : count - 1);
    return true;
}

void FormWindow::focusInEvent(QFocusEvent *event)
{
    if (event->reason() == Qt::TabFocusReason && !m_ringStops.empty())
        moveRing(0);
    else if (event->reason() == Qt::BacktabFocusReason && !m_ringStops.empty())
        moveRing(int(m_ringStops.size()) - 1);
    else if (m_ring >= 0)
        moveRing(m_ring); // shown again where it was
}

void FormWindow::focusOutEvent(QFocusEvent *)
{
    if (m_ring >= 0)
        update(ringRect(m_ring));
}

void FormWindow::keyPressEvent(QKeyEvent *event)
{
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    if (plain && !event->isAutoRepeat()) {
        if (event->key() == Qt::Key_Escape && m_def.cancel) {
            event->accept();
            raiseClick(QString::fromLatin1(m_def.cancel));
            return;
        }
        const bool take = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                          event->key() == Qt::Key_Space;
        if (take && hasFocus() && ringControl()) {
            event->accept();
            raiseClick(ringControl()->name());
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

int FormWindow::leftTwips() const { return int(std::lround(Twips::fromPixelsX(x()))); }
int FormWindow::topTwips() const { return int(std::lround(Twips::fromPixelsY(y()))); }
void FormWindow::setLeftTwips(int left) { move(Twips::toPixelsX(left), y()); }
void FormWindow::setTopTwips(int top) { move(x(), Twips::toPixelsY(top)); }
int FormWindow::widthTwips() const { return int(std::lround(Twips::fromPixelsX(frameGeometry().width()))); }
int FormWindow::heightTwips() const { return int(std::lround(Twips::fromPixelsY(frameGeometry().height()))); }

void FormWindow::runGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (...) {
        // A failing handler ends its own work only; the program goes on.
    }
}

void FormWindow::onClick(const char *name, ClickHandler handler)
{
    m_handlers[QString::fromLatin1(name)].click = std::move(handler);
}

void FormWindow::onMouseDown(const char *name, MouseHandler handler)
{
    m_handlers[QString::fromLatin1(name)].mouseDown = std::move(handler);
}

void FormWindow::onMouseMove(const char *name, MouseHandler handler)
{
    m_handlers[QString::fromLatin1(name)].mouseMove = std::move(handler);
}

void FormWindow::onTimer(const char *name, ClickHandler handler)
{
    onClick(name, std::move(handler));
}

void FormWindow::raiseClick(const QString &name)
{
    const Control *c = findControl(name);
    if (c && !c->isEnabled())
        return;
    emit eventRaised(name, QStringLiteral("Click"));
    const auto it = m_handlers.constFind(name);
    if (it != m_handlers.constEnd() && it->click) {
        const ClickHandler handler = it->click; // the handler may close this window
        runGuarded(handler);
    }
}

void FormWindow::raiseMouseDown(const QString &name, const MouseArgs &args)
{
    emit eventRaised(name, QStringLiteral("MouseDown"));
    const auto it = m_handlers.constFind(name);
    if (it != m_handlers.constEnd() && it->mouseDown) {
        const MouseHandler handler = it->mouseDown;
        runGuarded([&] { handler(args); });
    }
}

void FormWindow::raiseMouseMove(const QString &name, const MouseArgs &args)
{
    emit eventRaised(name, QStringLiteral("MouseMove"));
    const auto it = m_handlers.constFind(name);
    if (it != m_handlers.constEnd() && it->mouseMove) {
        const MouseHandler handler = it->mouseMove;
        runGuarded([&] { handler(args); });
    }
}

MouseArgs FormWindow::mouseArgs(const QMouseEvent *event, const Control *target, int button) const
{
    const QPointF origin = target ? QPointF(target->boxPixels().topLeft()) : QPointF(0, 0);
    // From the pointer's place on the screen and the window's position as last set:
    // a move event queued before the window's own last move (a drag moves it on
    // every event) still gives the pointer's true place over the control.
    const QPointF local = event->globalPosition() - QPointF(geometry().topLeft()) - origin;
    MouseArgs args;
    args.button = button;
    args.shift = shiftMask(event->modifiers());
    args.x = float(Twips::fromPixelsX(local.x()));
    args.y = float(Twips::fromPixelsY(local.y()));
    return args;
}

void FormWindow::mousePressEvent(QMouseEvent *event)
{
    Control *target = drawnControlAt(event->position().toPoint());
    // A disabled control ignores the mouse; the press goes nowhere.
    m_pressTaken = !(target && !target->isEnabled());
    m_pressed = target;
    if (!m_pressTaken)
        return;
    const QString name = target ? target->name() : QString::fromLatin1(Self);
    raiseMouseDown(name, mouseArgs(event, target, buttonMask(event->button())));
}

void FormWindow::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pixel = event->position().toPoint();
    if (event->buttons() == Qt::NoButton) {
        updateCursor(pixel);
        Control *target = drawnControlAt(pixel);
        if (target && !target->isEnabled())
            return;
        raiseMouseMove(target ? target->name() : QString::fromLatin1(Self), mouseArgs(event, target, 0));
        return;
    }
    // While a button is held the control that took the press gets every move.
    if (!m_pressTaken)
        return;
    raiseMouseMove(m_pressed ? m_pressed->name() : QString::fromLatin1(Self),
                   mouseArgs(event, m_pressed, buttonMask(event->buttons())));
}

void FormWindow::mouseReleaseEvent(QMouseEvent *event)
{
    Control *pressed = m_pressed;
    const bool taken = m_pressTaken;
    m_pressed = nullptr;
    m_pressTaken = false;
    if (!taken || !pressed || event->button() != Qt::LeftButton)
        return;
    if (drawnControlAt(event->position().toPoint()) == pressed)
        raiseClick(pressed->name());
}

void FormWindow::updateCursor(const QPoint &pixel)
{
    const Control *target = drawnControlAt(pixel);
    const bool hand = target && target->def().cursor == CursorKind::Hand;
    if (hand == m_handCursor)
        return;
    m_handCursor = hand;
    if (hand)
        setCursor(Skin::handCursor());
    else
        unsetCursor();
}

bool FormWindow::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        showToolTip(static_cast<QHelpEvent *>(event));
        return true;
    }
    // A window whose only place for the keyboard is itself (a prompt) takes it when
    // it becomes active; Qt would leave the focus nowhere.
    if (event->type() == QEvent::WindowActivate && !m_ringStops.empty() && !focusWidget())
        setFocus(Qt::ActiveWindowFocusReason);
    // The system colours drawn on the skin follow the desktop's scheme.
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange)
        update();
    return QWidget::event(event);
}

void FormWindow::showToolTip(const QHelpEvent *event)
{
    const Control *target = drawnControlAt(event->pos());
    const AccessDef *access = target ? target->access() : nullptr;
    if (!access || !access->toolTip) {
        QToolTip::hideText();
        return;
    }
    QToolTip::showText(event->globalPos(), QString::fromUtf8(access->toolTip), this, target->boxPixels());
}

void FormWindow::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), ColorInt::toQColor(m_def.backColor));
    // Back to front, so the frontmost control is painted last.
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        const Control &c = **it;
        if (c.isDrawn() && c.isVisible() && c.boxPixels().adjusted(-1, -1, 1, 1).intersects(event->rect()))
            paintControl(painter, c);
    }
    // The focus ring, a dotted line just outside the control, while the keyboard is
    // on it.
    if (m_ring >= 0 && hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(ringControl()->accessBoxPixels().adjusted(-1, -1, 0, 0));
    }
}

void FormWindow::paintControl(QPainter &painter, const Control &c) const
{
    const QRect box = c.boxPixels();
    const ControlDef &def = c.def();
    switch (def.kind) {
    case ControlKind::Label: {
        if (!(def.flags & ControlFlag::Transparent) && c.backColor() != NoColor)
            painter.fillRect(box, ColorInt::toQColor(c.backColor()));
        const quint32 fore = c.foreColor() == NoColor ? ButtonText : c.foreColor();
        const QColor color = ColorInt::toQColor(c.isEnabled() ? fore : ColorInt::SystemGrayText);
        if (Skin::isGlyphFont(def.font.family)) {
            if (!c.caption().isEmpty()) {
                if (!c.isEnabled())
                    Skin::drawGlyph(painter, box.translated(1, 1), c.caption().at(0), Qt::white);
                Skin::drawGlyph(painter, box, c.caption().at(0), color);
            }
            break;
        }
        if (c.caption().isEmpty())
            break;
        painter.save();
        painter.setClipRect(box);
        painter.setFont(c.font());
        const bool singleLine = def.flags & ControlFlag::SingleLine;
        const int flags = (singleLine ? Qt::TextSingleLine : Qt::TextWordWrap) | Qt::AlignTop |
                          ((def.flags & ControlFlag::Centred) ? Qt::AlignHCenter : Qt::AlignLeft);
        // A display that would wrap out of its box shows what fits, then an ellipsis.
        const QString text =
            singleLine ? painter.fontMetrics().elidedText(c.caption(), Qt::ElideRight, box.width()) : c.caption();
        if (!c.isEnabled()) {
            // Greyed the classic way: a light copy one pixel down and right.
            painter.setPen(Qt::white);
            painter.drawText(box.translated(1, 1), flags, text);
        }
        painter.setPen(color);
        painter.drawText(box, flags, text);
        painter.restore();
        break;
    }
    case ControlKind::Image: {
        const qreal ratio = painter.device()->devicePixelRatioF();
        const QPixmap &picture = c.pictureFor(ratio);
        if (picture.isNull())
            break;
        painter.save();
        painter.setClipRect(box);
        // Between the sizes drawn, the nearer one is smoothed to the screen's.
        if (ratio != std::floor(ratio))
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        if (def.flags & ControlFlag::Stretch)
            painter.drawPixmap(box, picture);
        else
            painter.drawPixmap(box.topLeft(), picture);
        painter.restore();
        break;
    }
    case ControlKind::Shape: {
        painter.save();
        const QColor border = ColorInt::toQColor(c.borderColor());
        painter.setPen(QPen(border, 1));
        painter.setBrush(c.fillColor() == NoColor ? QBrush(Qt::NoBrush) : QBrush(ColorInt::toQColor(c.fillColor())));
        if (def.shape == ShapeStyle::Circle) {
            const int d = qMin(box.width(), box.height());
            const QRect circle(box.x() + (box.width() - d) / 2, box.y() + (box.height() - d) / 2, d, d);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.drawEllipse(QRectF(circle).adjusted(0.5, 0.5, -0.5, -0.5));
        } else if (def.shape == ShapeStyle::RoundedRectangle) {
            const qreal radius = qMax(2, qMin(box.width(), box.height()) / 6);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
        } else {
            painter.drawRect(box.adjusted(0, 0, -1, -1));
        }
        painter.restore();
        break;
    }
    case ControlKind::Line: {
        painter.save();
        painter.setPen(QPen(ColorInt::toQColor(c.foreColor()), 1));
        painter.drawLine(Twips::toPixels(QPoint(def.left, def.top)), Twips::toPixels(QPoint(def.width, def.height)));
        painter.restore();
        break;
    }
    default:
        break;
    }
}
