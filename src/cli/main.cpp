// metrola-cli: reports of project archives, and plan preparation, for servers without a display.

#include "cli/cliareas.h"
#include "cli/cliargs.h"
#include "cli/clicheck.h"
#include "cli/cliinfo.h"
#include "cli/clileases.h"
#include "cli/clioutputs.h"
#include "cli/cliplans.h"
#include "cli/cliproject.h"
#include "cli/clirawnames.h"
#include "cli/clisignals.h"
#include "cli/clitext.h"
#include "core/base/largebuffers.h"
#include "core/base/metrolaerror.h"
#include "core/base/numericlocale.h"
#include "core/base/qttranslation.h"

#include <QGuiApplication>

#include <cstdlib>
#include <exception>
#include <new>
#include <system_error>

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
    case Command::Prepare:
        CliSignals::removePartialOutputOnSignal(args.output);
        CliPlans::prepare(args);
        return 0;
    case Command::Rooms:
        if (!args.output.isEmpty())
            CliSignals::removePartialOutputOnSignal(args.output);
        CliPlans::rooms(args);
        return 0;
    default:
        break;
    }

    CliProject project(args.archive);
    if (!args.output.isEmpty())
        CliSignals::removePartialOutputOnSignal(args.output);
    if (args.command == Command::Leases)
        return CliLeases::list(project, args);
    if (args.asOf)
        CliLeases::applyAsOf(project, *args.asOf);
    switch (args.command) {
    case Command::Info: {
        const ProjectSummary summary = ProjectSummary::of(project, args.wholeComplex);
        if (args.json) {
            QJsonObject json = summary.json();
            CliAreas::addToInfo(json, project);
            if (args.asOf)
                json.insert(u"asOf"_s, args.asOf->toString(u"dd.MM.yyyy"_s));
            CliText::printJson(json);
        } else {
            const QString day =
                args.asOf
                    ? u"На дату %1 (арендаторы по договорам)\n"_s.arg(args.asOf->toString(u"dd.MM.yyyy"_s))
                    : QString();
            CliText::out(day + summary.text() + CliAreas::infoText(project));
        }
        return 0;
    }
    case Command::Check: {
        ProjectCheck check = ProjectCheck::of(project);
        CliAreas::addProblems(check, project, args.tolerance);
        CliLeases::addProblems(check, project, QDate::currentDate());
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
    case Command::Pdf:
        CliOutputs::pdf(project, args);
        return 0;
    default:
        return 0;
    }
}

void startupMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtFatalMsg)
        return;
    CliText::err(u"metrola-cli: не удалось запустить Qt на платформе offscreen: "_s
                 + message.simplified() + u'\n');
    std::_Exit(2);
}

} // namespace

int main(int argc, char **argv)
{
    CliSignals::install();
    LargeBuffers::keepForReuse();

    // Text rendering needs a platform, and the tool must run alike with a display, without one
    // or with a QT_QPA_PLATFORM meant for other programs: it always takes the offscreen one.
    // Qt sees only that option, so it never takes options of its own out of the user's words.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    char platformOption[] = "-platform";
    char platformName[] = "offscreen";
    char *qtArgv[] = {argv[0], platformOption, platformName, nullptr};
    int qtArgc = 3;
    // The platform's start-up chatter (a missing XDG_RUNTIME_DIR and the like) would spoil the
    // one-line error contract on stderr; a failure to start becomes that one line.
    const QtMessageHandler previous = qInstallMessageHandler(startupMessage);
    QGuiApplication app(qtArgc, qtArgv);
    NumericLocale::useC();
    qInstallMessageHandler(previous);
    QtTranslation::installRussian(u"metrola-cli"_s);

    try {
        CliRawNames names;
        const CliArgs args = CliArgs::parse(names.decode(argc, argv));
        const int status = run(args);
        names.finish();
        return status;
    } catch (const MetrolaError &error) {
        CliText::err(u"metrola-cli: "_s + error.message().simplified() + u'\n');
    } catch (const std::bad_alloc &error) {
        // The archive's temporary folder went with the unwinding.
        CliText::err(u"metrola-cli: "_s + errorMessage(error) + u'\n');
    } catch (const std::system_error &error) {
        // A thread that could not start for want of memory is said as memory; others are ours.
        const QString said = errorMessage(error);
        CliText::err(u"metrola-cli: "_s
                     + (said.startsWith(u"Недостаточно"_s) ? said : u"внутренняя ошибка: "_s + said) + u'\n');
    } catch (const std::exception &error) {
        CliText::err(u"metrola-cli: внутренняя ошибка: "_s + QString::fromLocal8Bit(error.what())
                     + u'\n');
    }
    return 2;
}
