#include "app/form1.h"

void Form1::Image1MouseDown(Qt::MouseButton, int, int)
{
}

void Form1::Image1MouseMove(int, int)
{
}

void Form1::Image1DblClick()
{
}

void Form1::Timer1Timer()
{
}

void Form1::Button2Click()
{
}

void Form1::Button1Click()
{
}

