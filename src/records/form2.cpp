#include "form2.h"

#include "app/form1.h"

using namespace Qt::StringLiterals;

Form2::Form2(Form1 *owner)
    : QDialog(owner), m_owner(owner)
{
    setObjectName(u"Form2"_s);
    setWindowTitle(u"Ввод и редактирование записи"_s);
}

void Form2::setCaptions(const Captions &) {}
void Form2::openNew(quint32, QPoint, int, const QString &) {}
void Form2::openEdit(int, QPoint) {}
void Form2::abandon() {}
void Form2::setFinishedLock(bool) {}
RecordTable::Row Form2::recordTexts(const QString &) const { return {}; }
void Form2::Button2Click() {}
void Form2::Button1Click() {}
void Form2::SpeedButton1Click() {}
void Form2::Shape1MouseUp() {}
bool Form2::eventFilter(QObject *w, QEvent *e) { return QDialog::eventFilter(w, e); }
void Form2::keyPressEvent(QKeyEvent *e) { QDialog::keyPressEvent(e); }
void Form2::showEvent(QShowEvent *e) { QDialog::showEvent(e); }
void Form2::closeEvent(QCloseEvent *e) { QDialog::closeEvent(e); }
