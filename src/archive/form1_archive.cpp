#include "app/form1.h"

void Form1::SpeedButton2Click()
{
}

void Form1::SpeedButton3Click()
{
}

void Form1::ZipperTotalPercentDone(int)
{
}

void Form1::UnzipperTotalPercentDone(int)
{
}

bool Form1::openProjectArchive(const QString &, OpenForm)
{
    return false;
}

bool Form1::confirmDiscardChanges()
{
    return true;
}

void Form1::applyFinishedLock()
{
}
