#include "form2.h"

using namespace Qt::StringLiterals;

Form2::Form2(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"Form2"_s);
    setWindowTitle(u"Ввод и редактирование записи"_s);
}

void Form2::setCaptions(const Captions &)
{
}
