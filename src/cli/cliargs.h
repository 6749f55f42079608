#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

// The command line of metrola-cli. Parsing throws MetrolaError with a one-line message for any
// usage error, so main() has a single way out for every failure.
struct CliArgs
{
    enum class Command {
        Help,
        Version,
        Info,
        Check,
        Schedule,
        Picture,
        Repaint,
        Pdf,
        Prepare,
        Rooms,
        Leases
    };

    Command command = Command::Help;
    QString archive; // the archive, or for prepare and rooms the plan file
    QString output;
    QString plan; // empty: the plan of the first record
    // pdf: the plans in the order given (empty: every plan), the colouring, the paper.
    QStringList plans;
    QString mode = QStringLiteral("keys"); // keys, types, vacancy, tenants
    QString paper = QStringLiteral("A4");  // A4, A3
    bool json = false;
    // check: the area check's tolerance in percent instead of the archive's own.
    std::optional<double> tolerance;
    // info, schedule: common areas shared out over the whole complex instead of plan by plan.
    bool wholeComplex = false;
    bool tenant = false;
    bool area = false;
    bool name = false;
    bool type = false;
    bool unitGiven = false;
    QString unit;
    // prepare: the PDF page (from 1) and resolution, and a threshold instead of the automatic one.
    int page = 1;
    int dpi = 200;
    int threshold = 0;
    // info, schedule, pdf, leases: every figure as of that day (tenants from the leases in force).
    std::optional<QDate> asOf;
    // leases: only those ending within so many months of the day.
    std::optional<int> endingWithin;
    // rooms: write the plan with the proposed closing lines drawn.
    bool close = false;
    // prepare, rooms: the folder the stages of finding rooms are written into as pictures.
    QString stages;

    // arguments without the program name
    static CliArgs parse(const QStringList &arguments);
    static QString usage();
};
