#include "app/form1.h"

void Form1::Button7Click()
{
}

void Form1::SpeedButton5Click()
{
}

