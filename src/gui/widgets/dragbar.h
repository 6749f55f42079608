#pragma once

#include <QWidget>

// A thin horizontal bar the user drags up and down, as a splitter's handle: it reports how far
// the pointer moved since the press, and the release, and draws the usual grip.
class DragBar : public QWidget
{
    Q_OBJECT

public:
    explicit DragBar(QWidget *parent = nullptr);

Q_SIGNALS:
    void pressed();
    // How far the pointer is below where it was pressed.
    void dragged(int dy);
    void released();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_pressY = 0;
    bool m_pressed = false;
};
