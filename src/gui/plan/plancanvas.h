#pragma once

#include <QImage>
#include <QWidget>

class DisplayColours;

// Image1: shows the plan at its natural size and reports mouse events in plan pixels.
// It paints the image it is given, through a display colour table when one is set; callers
// call update() with the changed box, and only that box is mapped again.
class PlanCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit PlanCanvas(QWidget *parent = nullptr);

    // The image stays owned by the caller and must outlive the canvas's use of it.
    void setImage(const QImage *image);
    // Call after the image was replaced or changed size.
    void imageReplaced();
    // The colours to draw the image's pixels in; null or empty draws the pixels as they are.
    // The table stays owned by the caller; call update() after changing it.
    void setColours(const DisplayColours *colours);

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
    const DisplayColours *m_colours = nullptr;
    QImage m_mapped; // scratch for the mapped part of a paint
};
