#include "app/form1.h"

#include "plan/plancanvas.h"

void Form1::TabSet1Change(int)
{
}

// Image1 lies in the plan area below the tool panel; the scroll bars' maxima are kept by
// layoutPlanArea() so that every edge of the plan can be reached.
void Form1::HorzScrollBarChange(int position)
{
    Image1->move(-position, Image1->y());
}

void Form1::VertScrollBarChange(int position)
{
    Image1->move(Image1->x(), -position);
}

void Form1::SpeedButton1Click()
{
}

void Form1::Button4Click()
{
}

void Form1::Image1MouseUp(Qt::MouseButton, int, int)
{
}

