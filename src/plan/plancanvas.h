#pragma once

#include <QWidget>

class QImage;

// Image1: shows the plan at its natural size and reports mouse events in plan pixels.
// It paints the image it is given directly; callers call update() with the changed box.
class PlanCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit PlanCanvas(QWidget *parent = nullptr);

    // The image stays owned by the caller and must outlive the canvas's use of it.
    void setImage(const QImage *image);
    // Call after the image was replaced or changed size.
    void imageReplaced();

Q_SIGNALS:
    void mouseDown(Qt::MouseButton button, int x, int y);
    void mouseMove(int x, int y);
    void mouseUp(Qt::MouseButton button, int x, int y);
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    const QImage *m_image = nullptr;
};
