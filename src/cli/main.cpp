// metrola-cli: reports of project archives for servers without a display.

#include "cliareas.h"
#include "cliargs.h"
#include "clicheck.h"
#include "cliinfo.h"
#include "clioutputs.h"
#include "cliproject.h"
#include "clitext.h"
#include "model/metrolaerror.h"
#include "model/qttranslation.h"

#include <QGuiApplication>

#include <exception>

using namespace Qt::StringLiterals;

namespace {

int run(const CliArgs &args)
{
    using Command = CliArgs::Command;
    switch (args.command) {
    case Command::Help:
        CliText::out(CliArgs::usage());
        return 0;
    case Command::Version:
        CliText::out(u"metrola-cli "_s + QStringLiteral(METROLA_CLI_VERSION) + u'\n');
        return 0;
    default:
        break;
    }

    CliProject project(args.archive);
    switch (args.command) {
    case Command::Info: {
        const ProjectSummary summary = ProjectSummary::of(project);
        if (args.json) {
            QJsonObject json = summary.json();
            CliAreas::addToInfo(json, project);
            CliText::printJson(json);
        } else {
            CliText::out(summary.text() + CliAreas::infoText(project));
        }
        return 0;
    }
    case Command::Check: {
        ProjectCheck check = ProjectCheck::of(project);
        CliAreas::addProblems(check, project, args.tolerance);
        if (args.json)
            CliText::printJson(check.json());
        else
            CliText::out(check.text());
        return check.problems.empty() ? 0 : 1;
    }
    case Command::Schedule:
        CliOutputs::schedule(project, args);
        return 0;
    case Command::Picture:
        CliOutputs::picture(project, args);
        return 0;
    case Command::Repaint:
        CliOutputs::repaint(project, args);
        return 0;
    default:
        return 0;
    }
}

} // namespace

int main(int argc, char **argv)
{
    // Text rendering needs a platform, and a server has no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The platform's start-up chatter (a missing XDG_RUNTIME_DIR and the like) would spoil
    // the one-line error contract on stderr, so it is silenced while the application starts.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QGuiApplication app(argc, argv);
    qInstallMessageHandler(previous);
    QtTranslation::installRussian(u"metrola-cli"_s);

    try {
        const CliArgs args = CliArgs::parse(QCoreApplication::arguments().mid(1));
        return run(args);
    } catch (const MetrolaError &error) {
        CliText::err(u"metrola-cli: "_s + error.message().simplified() + u'\n');
    } catch (const std::exception &error) {
        CliText::err(u"metrola-cli: внутренняя ошибка: "_s + QString::fromLocal8Bit(error.what())
                     + u'\n');
    }
    return 2;
}
