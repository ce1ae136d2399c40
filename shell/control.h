#pragma once

#include "shell/controldef.h"

#include <QAccessible>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>

class QWidget;

// One control of a window at run time: its definition and the state that handlers
// change (colours, caption, enabled, visible). Drawn controls are painted by their
// window; windowed ones are real child widgets, reached through widget().
class Control final
{
public:
    Control(const ControlDef &def, QWidget *window);
    ~Control();
    Q_DISABLE_COPY_MOVE(Control)

    const ControlDef &def() const { return m_def; }
    QString name() const { return QString::fromLatin1(m_def.name); }
    ControlKind kind() const { return m_def.kind; }
    bool isDrawn() const;
    // Labels and images take mouse input over their whole box; shapes and lines none.
    bool takesMouse() const;

    QRect boxTwips() const;
    // Where the control lies in its window, in pixels.
    QRect boxPixels() const;
    // How the window moved its controls to fit a screen smaller than it: all of them
    // left by shift, but those that give way keep their left edge and lose as much
    // at the right, and their bottom edge moves up by giveWay pixels.
    void fitTo(const QPoint &shift, int giveWay);
    QPoint shift() const { return m_shift; }

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    // Label and picture box back colour, shape fill.
    quint32 backColor() const { return m_backColor; }
    void setBackColor(quint32 color);
    // Label text colour, shape border, line colour.
    quint32 foreColor() const { return m_foreColor; }
    void setForeColor(quint32 color);
    quint32 fillColor() const { return m_backColor; }
    void setFillColor(quint32 color) { setBackColor(color); }
    quint32 borderColor() const { return m_foreColor; }
    void setBorderColor(quint32 color) { setForeColor(color); }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool isVisible() const { return m_visible; }

    QFont font() const;
    const QPixmap &picture() const { return m_picture; }
    // The picture to draw on a device with the given pixel ratio: drawn at twice the
    // size for high-density screens, where the generator made such a drawing.
    const QPixmap &pictureFor(qreal devicePixelRatio) const;

    QWidget *widget() const { return m_widget; }
    void setWidget(QWidget *widget) { m_widget = widget; }

    // What assistive technology is told about the control, or null when nothing.
    const AccessDef *access() const { return m_access; }
    void setAccess(const AccessDef *access) { m_access = access; }
    // The accessible name: the one defined, or else the caption.
    QString accessibleName() const;
    // The registered interface of a drawn control, which lives as long as the control.
    QAccessible::Id accessibleId() const { return m_accessibleId; }
    void setAccessibleId(QAccessible::Id id) { m_accessibleId = id; }
    // A lamp is on while its fill differs from the fill it starts with (off).
    bool isLampOn() const { return m_backColor != m_def.backColor; }
    // The control named as the partner in the access definition (the picture beside
    // an answer, or a toggle's lamp), and the control a partner picture belongs to.
    Control *partner() const { return m_partner; }
    void setPartner(Control *partner);
    Control *owner() const { return m_owner; }
    // The toggle a lamp shows the state of, or null.
    Control *toggle() const { return m_toggle; }
    // Where the control lies for assistive technology and the focus ring: its box,
    // joined with the picture that gives the same answer.
    QRect accessBoxPixels() const;
    // Tells assistive technology, once it asked for the control, that the control
    // has the keyboard focus now.
    void notifyFocus() const { notifyAccessibility(QAccessible::Focus); }

private:
    void changed();
    void notifyAccessibility(QAccessible::Event event) const;
    void notifyTextChanged(const QString &before) const;

    const ControlDef &m_def;
    QWidget *m_window = nullptr;
    QWidget *m_widget = nullptr;
    QString m_caption;
    QPoint m_shift;
    int m_giveWay = 0;
    quint32 m_backColor = NoColor;
    quint32 m_foreColor = NoColor;
    bool m_enabled = true;
    bool m_visible = true;
    QPixmap m_picture;
    QPixmap m_picture2x;
    Control *m_partner = nullptr;
    Control *m_owner = nullptr;
    Control *m_toggle = nullptr; // a lamp's toggle, which shows its state
    const AccessDef *m_access = nullptr;
    QAccessible::Id m_accessibleId = 0;
};
