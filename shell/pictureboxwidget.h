#pragma once

#include <QWidget>

#include <functional>

class Control;

// A windowed picture box that shows only its back colour (the palette swatches and
// the search field's underline). A press and release inside it is its click, and
// so are Space and Enter while the keyboard's focus ring is on it.
class PictureBoxWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PictureBoxWidget)

public:
    PictureBoxWidget(const Control &control, QWidget *parent);
    void setClickHandler(std::function<void()> handler) { m_onClick = std::move(handler); }
    const Control &control() const { return m_control; }
    // A click as the mouse gives it, unless the box is disabled.
    void click();
    // Whether the keyboard's focus ring is on the box.
    bool showsRing() const { return m_ring && hasFocus(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    // The window draws the ring's outer part, round the box.
    void updateRing();

    const Control &m_control;
    std::function<void()> m_onClick;
    bool m_pressed = false;
    bool m_ring = false; // the focus came by the keyboard: the ring shows it
};
