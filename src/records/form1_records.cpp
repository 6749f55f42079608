#include "app/form1.h"

void Form1::StringGrid1DblClick()
{
}

void Form1::BitBtn1Click()
{
}

void Form1::BitBtn2Click()
{
}

