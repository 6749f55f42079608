#pragma once

#include <QFrame>

// A filled rectangle showing a colour key (Shape1, Shape2 of both windows). Releasing a mouse
// button over it is reported, for the record dialog's colour choice.
class ColourSwatch : public QFrame
{
    Q_OBJECT

public:
    explicit ColourSwatch(QWidget *parent = nullptr);

    quint32 colour() const { return m_colour; }
    void setColour(quint32 key);

Q_SIGNALS:
    void released();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    quint32 m_colour = 0;
};
