#include "app/form1.h"

#include <QApplication>
#include <QDir>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("metrola"));
    QApplication::setApplicationVersion(QStringLiteral("1.8"));
    Form1 window(QCoreApplication::applicationDirPath() + u'/');
    window.FormCreate(QCoreApplication::arguments().mid(1), QDir::currentPath());
    window.show();
    return app.exec();
}
