#pragma once

#include <QWidget>

// Progress as a red pie without border, 0..100 percent.
class PieGauge : public QWidget
{
    Q_OBJECT

public:
    explicit PieGauge(QWidget *parent = nullptr);

    int progress() const { return m_progress; }
    void setProgress(int percent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_progress = 0;
};
