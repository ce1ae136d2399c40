#include "shell/pictureboxwidget.h"

#include "platform/colors.h"
#include "shell/control.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

PictureBoxWidget::PictureBoxWidget(const Control &control, QWidget *parent)
    : QWidget(parent)
    , m_control(control)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBoxWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), ColorInt::toQColor(m_control.backColor()));
    if (m_ring && hasFocus()) {
        // Dots on a light line, seen on every swatch colour.
        const QRect ring = rect().adjusted(0, 0, -1, -1);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(ring);
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(ring);
    }
}

void PictureBoxWidget::focusInEvent(QFocusEvent *event)
{
    m_ring = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    update();
    updateRing();
}

void PictureBoxWidget::focusOutEvent(QFocusEvent *)
{
    m_ring = false;
    update();
    updateRing();
}

void PictureBoxWidget::updateRing()
{
    if (QWidget *window = parentWidget())
        window->update(geometry().adjusted(-4, -4, 4, 4));
}

void PictureBoxWidget::keyPressEvent(QKeyEvent *event)
{
    const bool take = event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (take && !(event->modifiers() & ~Qt::KeypadModifier) && !event->isAutoRepeat()) {
        event->accept();
        click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PictureBoxWidget::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    // A click takes the focus, as a picture box does; the swatch handlers give it back.
    if (m_pressed && focusPolicy() != Qt::NoFocus)
        setFocus(Qt::MouseFocusReason);
}

void PictureBoxWidget::mouseReleaseEvent(QMouseEvent *event)
{
    const bool clicked = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (clicked)
        click();
}

void PictureBoxWidget::click()
{
    if (m_onClick && isEnabled())
        m_onClick();
}
