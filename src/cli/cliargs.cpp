#include "cli/cliargs.h"

#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "core/base/safefile.h"
#include "core/leases/lease.h"
#include "core/model/planscales.h"
#include "core/plan/plansource.h"

#include <QFile>

#include <filesystem>
#include <system_error>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void usageError(const QString &what)
{
    throw MetrolaError(what + u" Справка: metrola-cli --help"_s);
}

struct CommandName
{
    QString name;
    CliArgs::Command command;
};

bool namesSameFile(const QString &a, const QString &b)
{
    std::error_code error;
    return std::filesystem::equivalent(std::filesystem::path(QFile::encodeName(a).toStdString()),
                                       std::filesystem::path(QFile::encodeName(b).toStdString()), error);
}

int wholeNumber(const QString &option, const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        usageError(u"Значение %1 «%2» — не целое число от %3 до %4."_s.arg(option, text).arg(low).arg(high));
    return value;
}

// A pipe, a device or a folder at the name would be replaced by the result, not written to
// (as root, "-o /dev/null" would replace the system's /dev/null).
void refuseNonFileOutput(const QString &output)
{
    if (const auto kind = SafeFile::kindOf(output, true); kind != SafeFile::Kind::Missing && kind != SafeFile::Kind::Regular)
        throw MetrolaError(u"Файл результата «%1» — это %2, а не файл; ничего не записано."_s.arg(
            output, SafeFile::kindText(kind)));
}

// prepare and rooms take a plan file instead of an archive.
CliArgs parsePlanCommand(CliArgs args, const QStringList &arguments)
{
    const bool prepare = args.command == CliArgs::Command::Prepare;
    bool outputGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        const auto value = [&]() -> QString {
            if (i + 1 >= arguments.size())
                usageError(u"После %1 нужно значение."_s.arg(a));
            return arguments[++i];
        };
        if (a == u"-o"_s) {
            if (outputGiven)
                usageError(u"Файл результата указан дважды."_s);
            args.output = value();
            outputGiven = true;
        } else if (prepare && a == u"--page"_s) {
            args.page = wholeNumber(a, value(), 1, 100000);
        } else if (prepare && a == u"--dpi"_s) {
            args.dpi = wholeNumber(a, value(), PlanSource::kMinDpi, PlanSource::kMaxDpi);
        } else if (prepare && a == u"--threshold"_s) {
            args.threshold = wholeNumber(a, value(), 1, 255);
        } else if (!prepare && a == u"--json"_s) {
            args.json = true;
        } else if (!prepare && a == u"--close"_s) {
            args.close = true;
        } else if (a == u"--stages"_s) {
            args.stages = value();
        } else if (a.startsWith(u'-') && a.size() > 1) {
            usageError(u"Команда %1 не знает параметра «%2»."_s.arg(arguments.first(), a));
        } else if (args.archive.isEmpty()) {
            args.archive = a;
        } else {
            usageError(u"Лишний аргумент «%1»."_s.arg(a));
        }
    }
    if (args.archive.isEmpty())
        usageError(u"Не указан файл плана."_s);
    if ((prepare || args.close) && args.output.isEmpty())
        usageError(u"Не указан файл результата (-o)."_s);
    if (!prepare && !args.close && outputGiven)
        usageError(u"Файл результата (-o) пишется только с --close."_s);
    if (outputGiven)
        refuseNonFileOutput(args.output);
    if (outputGiven && namesSameFile(args.output, args.archive))
        usageError(
            u"Файл результата «%1» — это сам план; исходный план не перезаписывается."_s.arg(args.output));
    return args;
}

// dd.MM.yyyy as the files write it, or yyyy-MM-dd as scripts do.
QDate dayOf(const QString &text)
{
    if (const auto day = LeaseDate::parse(text))
        return *day;
    const QDate iso = QDate::fromString(text, Qt::ISODate);
    if (iso.isValid() && text.size() == 10)
        return iso;
    usageError(u"Дата «%1» — не дата: нужна ДД.ММ.ГГГГ или ГГГГ-ММ-ДД."_s.arg(text));
}

} // namespace

QString CliArgs::usage()
{
    return u"Использование:\n"
           "  metrola-cli info ARCHIVE [--json] [--whole-complex] [--as-of DATE]\n"
           "                                               сводка проекта\n"
           "  metrola-cli check ARCHIVE [--json] [--tolerance P]\n"
           "                                               проверка записей, планов и площадей\n"
           "  metrola-cli schedule ARCHIVE [--whole-complex] [--as-of DATE] -o OUT.xlsx\n"
           "                                               размеркация (книга Excel)\n"
           "  metrola-cli picture ARCHIVE [-p PLAN] [--tenant] [--area] [--name] [--type]\n"
           "              [--unit TEXT] -o OUT.bmp         рисунок размещения арендаторов\n"
           "  metrola-cli repaint ARCHIVE [-p PLAN] -o OUT.bmp  план с закрашенными помещениями\n"
           "  metrola-cli pdf ARCHIVE [--mode keys|types|vacancy|tenants|leases] [-p PLAN]... [--paper "
           "A4|A3]\n"
           "              [--as-of DATE]\n"
           "              [--tenant] [--area] [--name] [--type] [--unit TEXT] -o OUT.pdf\n"
           "                                               планы, этажи и сводка в PDF\n"
           "  metrola-cli leases ARCHIVE [--as-of DATE] [--ending-within MONTHS] [--json]\n"
           "                                               договоры аренды на дату\n"
           "  metrola-cli prepare PLAN -o OUT.bmp [--page N] [--dpi D] [--threshold T] [--stages DIR]\n"
           "                                               подготовка плана (BMP, PNG, JPEG, TIFF, PDF)\n"
           "  metrola-cli rooms PLAN.bmp [--json] [--close -o OUT.bmp] [--stages DIR]\n"
           "                                               предлагаемые помещения и линии замыкания\n"
           "  metrola-cli --help | --version\n"
           "\n"
           "Коды завершения: 0 — успех, 1 — проверка нашла ошибки, 2 — ошибка запуска или архива.\n"
           "--whole-complex: МОП распределяются по всему комплексу, а не по планам.\n"
           "--as-of: арендаторы, занятые и свободные площади по договорам, действующим на эту дату\n"
           "(ДД.ММ.ГГГГ или ГГГГ-ММ-ДД); без него — по записям, у leases — на сегодня.\n"
           "METROLA_TMPDIR задаёт папку для временной распаковки архива.\n"_s;
}

CliArgs CliArgs::parse(const QStringList &arguments)
{
    CliArgs args;
    if (arguments.isEmpty())
        usageError(u"Не указана команда."_s);

    const QString &first = arguments.first();
    if (first == u"--help"_s || first == u"-h"_s) {
        if (arguments.size() > 1)
            usageError(u"Лишние аргументы после --help."_s);
        return args;
    }
    if (first == u"--version"_s) {
        if (arguments.size() > 1)
            usageError(u"Лишние аргументы после --version."_s);
        args.command = Command::Version;
        return args;
    }

    static const CommandName commands[] = {
        {u"info"_s, Command::Info},         {u"check"_s, Command::Check},
        {u"schedule"_s, Command::Schedule}, {u"picture"_s, Command::Picture},
        {u"repaint"_s, Command::Repaint},   {u"pdf"_s, Command::Pdf},
        {u"prepare"_s, Command::Prepare},   {u"rooms"_s, Command::Rooms},
        {u"leases"_s, Command::Leases},
    };
    bool known = false;
    for (const CommandName &c : commands) {
        if (c.name == first) {
            args.command = c.command;
            known = true;
        }
    }
    if (!known)
        usageError(u"Неизвестная команда «%1»."_s.arg(first));

    const Command cmd = args.command;
    if (cmd == Command::Prepare || cmd == Command::Rooms)
        return parsePlanCommand(args, arguments);
    const bool report = cmd == Command::Info || cmd == Command::Check || cmd == Command::Leases;
    const bool dated =
        cmd == Command::Info || cmd == Command::Schedule || cmd == Command::Pdf || cmd == Command::Leases;
    const bool drawing = cmd == Command::Picture || cmd == Command::Repaint;
    const bool texts = cmd == Command::Picture || cmd == Command::Pdf;
    bool outputGiven = false;
    bool planGiven = false;

    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        const auto value = [&]() -> QString {
            if (i + 1 >= arguments.size())
                usageError(u"После %1 нужно значение."_s.arg(a));
            return arguments[++i];
        };
        if (a == u"--json"_s && report) {
            args.json = true;
        } else if (a == u"--tolerance"_s && cmd == Command::Check) {
            const QString text = value();
            const auto percent = NumberText::scale(text);
            if (!percent || *percent < 0 || *percent > PlanScales::kMaxTolerance)
                usageError(u"Допуск «%1» — не число процентов от 0 до %2."_s.arg(
                    text, QString::number(PlanScales::kMaxTolerance)));
            args.tolerance = percent;
        } else if (a == u"--as-of"_s && dated) {
            args.asOf = dayOf(value());
        } else if (a == u"--ending-within"_s && cmd == Command::Leases) {
            args.endingWithin = wholeNumber(a, value(), 0, 1200);
        } else if (a == u"--whole-complex"_s && (cmd == Command::Info || cmd == Command::Schedule)) {
            args.wholeComplex = true;
        } else if (a == u"-o"_s && !report) {
            if (outputGiven)
                usageError(u"Файл результата указан дважды."_s);
            args.output = value();
            outputGiven = true;
        } else if (a == u"-p"_s && cmd == Command::Pdf) {
            const QString plan = value();
            if (plan.isEmpty())
                usageError(u"Пустое имя плана."_s);
            if (!args.plans.contains(plan))
                args.plans.append(plan);
        } else if (a == u"--mode"_s && cmd == Command::Pdf) {
            args.mode = value();
            if (!QStringList{u"keys"_s, u"types"_s, u"vacancy"_s, u"tenants"_s, u"leases"_s}.contains(
                    args.mode))
                usageError(
                    u"Раскраска «%1» неизвестна: keys, types, vacancy, tenants или leases."_s.arg(args.mode));
        } else if (a == u"--paper"_s && cmd == Command::Pdf) {
            args.paper = value().toUpper();
            if (args.paper != u"A4"_s && args.paper != u"A3"_s)
                usageError(u"Формат бумаги «%1» неизвестен: A4 или A3."_s.arg(args.paper));
        } else if (a == u"-p"_s && drawing) {
            if (planGiven)
                usageError(u"План указан дважды."_s);
            args.plan = value();
            planGiven = true;
        } else if (texts && a == u"--tenant"_s) {
            args.tenant = true;
        } else if (texts && a == u"--area"_s) {
            args.area = true;
        } else if (texts && a == u"--name"_s) {
            args.name = true;
        } else if (texts && a == u"--type"_s) {
            args.type = true;
        } else if (texts && a == u"--unit"_s) {
            args.unit = value();
            args.unitGiven = true;
        } else if (a.startsWith(u'-') && a.size() > 1) {
            usageError(u"Команда %1 не знает параметра «%2»."_s.arg(first, a));
        } else if (args.archive.isEmpty()) {
            args.archive = a;
        } else {
            usageError(u"Лишний аргумент «%1»."_s.arg(a));
        }
    }

    if (args.archive.isEmpty())
        usageError(u"Не указан архив."_s);
    if (!report && args.output.isEmpty())
        usageError(u"Не указан файл результата (-o)."_s);
    if (planGiven && args.plan.isEmpty())
        usageError(u"Пустое имя плана."_s);
    // The result is renamed over its target, which would silently replace the archive the
    // tool reads (also through a symbolic or a hard link).
    if (!report)
        refuseNonFileOutput(args.output);
    if (!report && namesSameFile(args.output, args.archive))
        usageError(u"Файл результата «%1» — это сам архив; архив не перезаписывается."_s.arg(args.output));
    // Without a choice the picture shows the tenants, as the GUI's picture does by default.
    if (texts && !(args.tenant || args.area || args.name || args.type))
        args.tenant = true;
    return args;
}
