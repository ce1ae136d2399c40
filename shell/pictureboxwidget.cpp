#include "shell/pictureboxwidget.h"

#include "platform/colors.h"
#include "shell/control.h"

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
