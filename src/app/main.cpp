#include "core/base/largebuffers.h"
#include "core/base/metrolaerror.h"
#include "core/base/numericlocale.h"
#include "core/base/qttranslation.h"
#include "core/model/recoveryfile.h"
#include "core/model/workfolder.h"
#include "gui/mainwindow/form1.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <memory>

#ifdef METROLA_TEST_HOOK
#include "testhook.h"
#endif

namespace {

// Qt aborts when no window platform can start (no display, a display that does not answer).
// While the application starts, such a failure becomes one Russian line and exit code 1; the
// other start-up messages are passed on afterwards.
struct StartMessage
{
    QtMsgType type;
    QString category;
    QString text;
};
std::vector<StartMessage> startMessages;

void duringStart(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg) {
        std::fputs("metrola: нет графического дисплея, окно программы открыть нельзя; запустите её в "
                   "графическом сеансе или под Xvfb (xvfb-run -a metrola), а отчёты по архиву без "
                   "дисплея делает metrola-cli.\n",
                   stderr);
        std::_Exit(1);
    }
    startMessages.push_back({type, QString::fromLatin1(context.category), text});
}

} // namespace
int main(int argc, char **argv)
{
    LargeBuffers::keepForReuse();
    const QtMessageHandler previous = qInstallMessageHandler(duringStart);
    QApplication app(argc, argv);
    NumericLocale::useC();
    qInstallMessageHandler(previous);
    for (const StartMessage &message : startMessages) {
        const QByteArray category = message.category.toLatin1();
        const QMessageLogContext context(nullptr, 0, nullptr, category.constData());
        qt_message_output(message.type, context, message.text);
    }
    startMessages.clear();

    QApplication::setApplicationName(QStringLiteral("metrola"));
    QApplication::setApplicationVersion(QStringLiteral("1.8"));
    QApplication::setDesktopFileName(QStringLiteral("metrola"));
    // Both windows wear the menu entry's icon (drawn with the Qt SVG plugin when present).
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/metrola.svg")));
    QtTranslation::installRussian(QStringLiteral("metrola"));
    std::unique_ptr<WorkFolder> workFolder;
    try {
        workFolder = std::make_unique<WorkFolder>();
    } catch (const MetrolaError &error) {
        std::fprintf(stderr, "metrola: %s\n", error.what());
        QMessageBox::critical(nullptr, Form1::applicationTitle(), error.message());
        return 1;
    }
    RecoveryFile::adopt(workFolder->path(), workFolder->family());
    Form1 window(workFolder->path());
#ifdef METROLA_TEST_HOOK
    TestHook::install(window);
#endif
    window.FormCreate(QCoreApplication::arguments().mid(1), QDir::currentPath());
    window.show();
    return app.exec();
}
