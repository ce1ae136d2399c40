#pragma once

#include "shell/control.h"
#include "shell/controldef.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QHelpEvent;
class QTimer;

// Mouse event arguments: button mask (1 left, 2 right, 4 middle), modifier mask
// (1 Shift, 2 Ctrl, 4 Alt) and the pointer in twips relative to the control, or to
// the client area when the window itself receives the event.
struct MouseArgs
{
    int button = 0;
    int shift = 0;
    float x = 0;
    float y = 0;
};

// A frameless window built from its definition: drawn controls painted in stacking
// order and hit-tested front to back, windowed controls as child widgets above them.
class FormWindow : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormWindow)

public:
    // The name under which the window's own events are registered.
    static constexpr const char *Self = "Form";

    // A window of the given type: an ordinary one, or a tool window kept above the
    // parent it belongs to.
    explicit FormWindow(const FormDef &def, QWidget *parent = nullptr, Qt::WindowType type = Qt::Window);
    ~FormWindow() override;

    const FormDef &definition() const { return m_def; }
    Control &control(const char *name) const;
    Control *findControl(const QString &name) const;
    const std::vector<std::unique_ptr<Control>> &controls() const { return m_controls; }
    QTimer *timer(const char *name) const;

    // The window's caption, as the desktop knows it.
    QString caption() const { return windowTitle(); }
    void setCaption(const QString &caption) { setWindowTitle(caption); }

    // The frontmost drawn control that takes mouse input at a point (pixels), or null.
    Control *drawnControlAt(const QPoint &pixel) const;

    // Places the window in the middle of the screen that holds it. A window larger
    // than the screen's free area keeps its top edge and its right end on it
    // instead, where the main window's title strip, its drag source and its glyphs
    // lie, and one taller than it is made shorter where its editor gives way.
    void centerOnScreen();

    // The drawn control that holds the focus ring, or null. The ring shows while the
    // window itself has the keyboard focus, once the keyboard is in use.
    Control *ringControl() const;
    bool isRingStop(const Control &control) const;
    // Whether the ring is drawn: the mouse user's window shows none.
    bool showsRing() const { return m_ring >= 0 && m_cues && hasFocus(); }
    // Where the ring round a control is drawn, in the window's pixels.
    QRect ringBox(const Control &control) const;
    static constexpr int RingWidth = 2;
    static constexpr QColor RingColor = QColor(0, 0, 0);
    // Whether the last key or button pressed in the program was a key.
    static bool keyboardInUse();

    // Window geometry in twips, as the drag step reads and sets it.
    int leftTwips() const;
    int topTwips() const;
    void setLeftTwips(int left);
    void setTopTwips(int top);
    int widthTwips() const;
    int heightTwips() const;

    // The drag anchor: where a button was last pressed on the window's drag source,
    // in twips relative to that source.
    float DragStartX = 0;
    float DragStartY = 0;

    // Runs a handler so that a failure inside it never takes the program down.
    static void runGuarded(const std::function<void()> &handler);

    // Events of the window's own activation among the program's windows.
    virtual void Form_Activate() {}
    virtual void Form_Deactivate() {}

    // Dispatch, as a mouse or the program raises the events.
    void raiseClick(const QString &name);
    void raiseMouseDown(const QString &name, const MouseArgs &args);
    void raiseMouseMove(const QString &name, const MouseArgs &args);

signals:
    // Every event the window raises for one of its controls (or for "Form"), before
    // its handler runs, whether or not a handler is registered.
    void eventRaised(const QString &control, const QString &event);

protected:
    using ClickHandler = std::function<void()>;
    using MouseHandler = std::function<void(const MouseArgs &)>;
    void onClick(const char *name, ClickHandler handler);
    void onMouseDown(const char *name, MouseHandler handler);
    void onMouseMove(const char *name, MouseHandler handler);
    void onTimer(const char *name, ClickHandler handler);

    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    struct Handlers
    {
        ClickHandler click;
        MouseHandler mouseDown;
        MouseHandler mouseMove;
    };

    void createWindowedControls();
    void showToolTip(const QHelpEvent *event);
    void paintControl(QPainter &painter, const Control &control) const;
    MouseArgs mouseArgs(const QMouseEvent *event, const Control *target, int button) const;
    void updateCursor(const QPoint &pixel);
    // How far the controls that give way can: the window's least height is its
    // defined one less this.
    int mostGivenWay() const;
    void moveRing(int stop);
    QRect ringRect(int stop) const;
    bool isReachable(const Control &control) const;
    int currentStop() const;
    void goToStop(int stop, bool next);
    void paintRing(QPainter &painter, const QRect &box) const;

    const FormDef &m_def;
    std::vector<std::unique_ptr<Control>> m_controls;
    QHash<QString, Control *> m_byName;
    QHash<QString, QTimer *> m_timers;
    QHash<QString, Handlers> m_handlers;
    // The control that took the last press (capture), and whether the press was
    // taken at all (a press on a disabled control is not).
    QPointer<QObject> m_alive;
    Control *m_pressed = nullptr;
    bool m_pressTaken = false;
    bool m_handCursor = false;
    // The controls Tab moves among, and the drawn one the ring is on (-1: none).
    std::vector<Control *> m_ringStops;
    int m_ring = -1;
    // The ring is drawn once the keyboard was used on the window, or opened it.
    bool m_cues = false;
};
