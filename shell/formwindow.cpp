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

#include <QApplication>
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

// Whether the last key or button the user pressed in the program was a key: a
// window that opens then shows where the keyboard is, as after Tab.
class InputWatch final : public QObject
{
public:
    using QObject::QObject;
    static bool keyboard;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            keyboard = true;
        else if (event->type() == QEvent::MouseButtonPress)
            keyboard = false;
        return QObject::eventFilter(watched, event);
    }
};
bool InputWatch::keyboard = false;

void watchInput()
{
    static QPointer<InputWatch> watch;
    if (!watch && qApp) {
        watch = new InputWatch(qApp);
        qApp->installEventFilter(watch);
    }
}

} // namespace

bool FormWindow::keyboardInUse()
{
    return InputWatch::keyboard;
}

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
    watchInput();
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
    const QRect available = Services::screen().availableGeometry(this);
    // Taller than the screen's free area: the editor gives way until the window fits,
    // so its bottom edge and the horizontal scroll bar stay within reach.
    if (height() > available.height()) {
        const int defined = Twips::toPixelsY(m_def.height);
        resize(width(), std::max(available.height(), defined - mostGivenWay()));
    }
    if (width() <= screen.width() && height() <= screen.height() && available.contains(QRect(
            screen.x() + (screen.width() - width()) / 2, screen.y() + (screen.height() - height()) / 2, width(),
            height()))) {
        move(screen.x() + (screen.width() - width()) / 2, screen.y() + (screen.height() - height()) / 2);
        return;
    }
    // Larger than the free area: its top edge and its right end on it, where the main
    // window's title strip, its drag source and its glyphs lie.
    const int x = width() <= available.width() ? available.x() + (available.width() - width()) / 2
                                               : available.x() + available.width() - width();
    const int y = height() <= available.height() ? available.y() + (available.height() - height()) / 2
                                                 : available.y();
    move(x, y);
}

int FormWindow::mostGivenWay() const
{
    // An editor keeps room for a few lines and its scroll bar.
    constexpr int Kept = 64;
    int most = -1;
    for (const auto &c : m_controls) {
        if (c->def().flags & ControlFlag::GivesWay) {
            const int room = std::max(0, Twips::toPixels(c->boxTwips()).height() - Kept);
            most = most < 0 ? room : std::min(most, room);
        }
    }
    return std::max(0, most);
}

void FormWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // A window the desktop makes smaller than defined (maximised on a small screen):
    // the controls keep their right end with the title strip's glyphs in it, and
    // the editor, whole from its left edge, gives way at the right and the bottom.
    const QPoint shift(std::min(0, width() - Twips::toPixelsX(m_def.width)), 0);
    const int giveWay = std::clamp(Twips::toPixelsY(m_def.height) - height(), 0, mostGivenWay());
    for (const auto &c : m_controls)
        c->fitTo(shift, giveWay);
    update();
}

Control *FormWindow::ringControl() const
{
    return m_ring >= 0 ? m_ringStops[size_t(m_ring)] : nullptr;
}

bool FormWindow::isRingStop(const Control &control) const
{
    return control.isDrawn() && std::find(m_ringStops.begin(), m_ringStops.end(), &control) != m_ringStops.end();
}

QRect FormWindow::ringBox(const Control &control) const
{
    // A pixel of the control's own ground, then the ring, kept inside the window so
    // that the title strip's glyphs get one too.
    const QRect box = control.widget() ? control.widget()->geometry() : control.accessBoxPixels();
    QRect ring = box.adjusted(-1 - RingWidth, -1 - RingWidth, 1 + RingWidth, 1 + RingWidth).intersected(rect());
    if (control.widget())
        return ring;
    // Round a drawn control it keeps clear of the windowed controls beside it, which
    // would hide it: the search link's stays above the editor.
    for (const auto &c : m_controls) {
        const QWidget *widget = c->widget();
        if (!widget || !widget->isVisibleTo(this) || !ring.intersects(widget->geometry()))
            continue;
        const QRect other = widget->geometry();
        if (other.top() > box.top() && other.top() - 1 >= box.top())
            ring.setBottom(std::min(ring.bottom(), other.top() - 1));
        else if (other.bottom() < box.bottom() && other.bottom() + 1 <= box.bottom())
            ring.setTop(std::max(ring.top(), other.bottom() + 1));
    }
    return ring;
}

QRect FormWindow::ringRect(int stop) const
{
    return ringBox(*m_ringStops[size_t(stop)]);
}

void FormWindow::paintRing(QPainter &painter, const QRect &box) const
{
    // Solid and two pixels wide: a dotted pixel line was lost on the light skin and
    // in the strike-through glyph.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipping(false);
    for (int i = 0; i < RingWidth; ++i) {
        const QRect r = box.adjusted(i, i, -i, -i);
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), RingColor);
        painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), RingColor);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), RingColor);
        painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), RingColor);
    }
    painter.restore();
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

bool FormWindow::isReachable(const Control &control) const
{
    if (!control.isVisible() || !control.isEnabled())
        return false;
    if (control.isDrawn())
        return true;
    const QWidget *widget = control.widget();
    return widget && widget->isVisibleTo(this) && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus);
}

// The stop the keyboard is on: the ring's, or the windowed control that has the
// focus (or holds the widget that has it); -1 when neither.
int FormWindow::currentStop() const
{
    if (hasFocus())
        return m_ring;
    const QWidget *focus = QApplication::focusWidget();
    for (size_t i = 0; i < m_ringStops.size(); ++i) {
        const QWidget *widget = m_ringStops[i]->widget();
        if (widget && focus && (widget == focus || widget->isAncestorOf(focus)))
            return int(i);
    }
    return -1;
}

void FormWindow::goToStop(int stop, bool next)
{
    Control &control = *m_ringStops[size_t(stop)];
    m_cues = true;
    if (!control.isDrawn()) {
        moveRing(-1);
        control.widget()->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return;
    }
    if (!hasFocus()) {
        m_ring = stop; // focusInEvent keeps it
        setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    }
    moveRing(stop);
}

// The standard keys of a dialog, and of any window whose drawn controls take the
// focus ring: Tab and Shift+Tab go round every control in the window's visual order,
// drawn and windowed alike, Space and Enter take the drawn control the ring is on,
// Escape gives the answer that loses nothing.
bool FormWindow::focusNextPrevChild(bool next)
{
    if (m_ringStops.empty())
        return QWidget::focusNextPrevChild(next);
    const int count = int(m_ringStops.size());
    const int from = currentStop();
    for (int step = 1; step <= count; ++step) {
        int stop = from < 0 ? (next ? step - 1 : count - step) : from + (next ? step : -step);
        stop = (stop % count + count) % count;
        if (isReachable(*m_ringStops[size_t(stop)])) {
            goToStop(stop, next);
            return true;
        }
    }
    return QWidget::focusNextPrevChild(next);
}

void FormWindow::focusInEvent(QFocusEvent *event)
{
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
        m_cues = true;
    else if (!m_cues)
        m_cues = keyboardInUse();
    if (m_ring >= 0 && isReachable(*m_ringStops[size_t(m_ring)])) {
        moveRing(m_ring); // shown again where it was
        return;
    }
    m_ring = -1;
    // Tab from outside the window's stops, or a window that opens with the keyboard
    // on one of its controls (a prompt on the answer that goes ahead).
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
        const bool next = reason == Qt::TabFocusReason;
        const int count = int(m_ringStops.size());
        for (int step = 0; step < count; ++step) {
            const int stop = next ? step : count - 1 - step;
            if (m_ringStops[size_t(stop)]->isDrawn() && isReachable(*m_ringStops[size_t(stop)])) {
                moveRing(stop);
                return;
            }
        }
    } else if (m_def.focus) {
        const Control *first = findControl(QString::fromLatin1(m_def.focus));
        const auto it = std::find(m_ringStops.begin(), m_ringStops.end(), first);
        if (it != m_ringStops.end() && isReachable(**it))
            moveRing(int(it - m_ringStops.begin()));
    }
}

void FormWindow::focusOutEvent(QFocusEvent *)
{
    if (m_ring >= 0)
        update(ringRect(m_ring));
}

void FormWindow::keyPressEvent(QKeyEvent *event)
{
    m_cues = true;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    // Ctrl+Tab leaves a control where Tab is typed (the editor), forwards, and
    // Ctrl+Shift+Tab backwards, as in Qt's own text editors.
    const bool ctrlTab = (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
                         (modifiers & Qt::ControlModifier) && !(modifiers & (Qt::AltModifier | Qt::MetaModifier));
    if (ctrlTab) {
        event->accept();
        focusNextPrevChild(event->key() == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier));
        return;
    }
    const bool plain = !modifiers;
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
            const QPointer<FormWindow> alive = this;
            const int stop = m_ring;
            update(ringRect(stop));
            raiseClick(ringControl()->name());
            // A command that turned itself off (maximise, which hands over to
            // restore) passes the ring on rather than leave it on a dead control.
            if (alive && m_ring == stop && !isReachable(*m_ringStops[size_t(stop)]))
                focusNextPrevChild(true);
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
    // The focus ring, just outside the control the keyboard is on: a drawn control,
    // or a swatch (which draws a ring of its own inside, on its colour).
    if (showsRing()) {
        paintRing(painter, ringRect(m_ring));
    } else if (auto *box = qobject_cast<PictureBoxWidget *>(QApplication::focusWidget());
               box && box->parentWidget() == this && box->showsRing()) {
        paintRing(painter, ringBox(box->control()));
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
        } else if (const qreal ratio = painter.device()->devicePixelRatioF(); ratio == std::floor(ratio)) {
            painter.drawRect(box.adjusted(0, 0, -1, -1));
        } else {
            // At a fractional scale (150 %) a stroked outline falls between device
            // pixels, where the editor over the frame's bottom edge covered it: the
            // edges are filled as rows and columns of whole pixels instead.
            if (c.fillColor() != NoColor)
                painter.fillRect(box, ColorInt::toQColor(c.fillColor()));
            painter.fillRect(QRect(box.left(), box.top(), box.width(), 1), border);
            painter.fillRect(QRect(box.left(), box.bottom(), box.width(), 1), border);
            painter.fillRect(QRect(box.left(), box.top(), 1, box.height()), border);
            painter.fillRect(QRect(box.right(), box.top(), 1, box.height()), border);
        }
        painter.restore();
        break;
    }
    case ControlKind::Line: {
        painter.save();
        painter.setPen(QPen(ColorInt::toQColor(c.foreColor()), 1));
        painter.drawLine(Twips::toPixels(QPoint(def.left, def.top)) + c.shift(),
                         Twips::toPixels(QPoint(def.width, def.height)) + c.shift());
        painter.restore();
        break;
    }
    default:
        break;
    }
}
