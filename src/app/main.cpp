#include "app/form1.h"
#include "model/metrolaerror.h"
#include "model/workfolder.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("metrola"));
    QApplication::setApplicationVersion(QStringLiteral("1.8"));
    std::unique_ptr<WorkFolder> workFolder;
    try {
        workFolder = std::make_unique<WorkFolder>();
    } catch (const MetrolaError &error) {
        std::fprintf(stderr, "metrola: %s\n", error.what());
        QMessageBox::critical(nullptr, Form1::applicationTitle(), error.message());
        return 1;
    }
    Form1 window(workFolder->path());
    window.FormCreate(QCoreApplication::arguments().mid(1), QDir::currentPath());
    window.show();
    return app.exec();
}
