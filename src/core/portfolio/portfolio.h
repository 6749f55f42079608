#pragma once

#include <QDate>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

// The complexes of a management company on one page: one row per archive in a folder, the
// sum of them, and the tenants across complexes. Each archive is read by complex() alone, so
// a figure added to the row is added in one place for the window, the batch tool and the
// workbook. Only the directory and the small members the figures need (the description file,
// the room flags) are read, never the plans; an archive that cannot be read is a row with the
// reason, never skipped.
namespace Portfolio {

// A description file larger than this is no complex's (a real one of 10,000 rooms has 1 MB);
// with it, the memory one archive can take while read is bounded.
inline constexpr qint64 kDescriptionLimit = qint64(16) << 20;
inline constexpr qint64 kFlagsLimit = qint64(4) << 20;
// A project of 24 plans has a directory of a few kilobytes.
inline constexpr qint64 kDirectoryLimit = qint64(16) << 20;

struct TenantArea
{
    QString tenant;
    double area = 0; // let usable area
};

struct Complex
{
    QString path;
    QString name;  // the archive's file name without ".zip"
    QString error; // why the archive could not be read; empty when it was
    int plans = 0;
    int rooms = 0;
    double area = 0;                  // every room
    double let = 0;                   // usable rooms with a tenant
    double vacant = 0;                // usable rooms without one
    double common = 0;                // places of common use
    std::optional<double> letShare;   // let / usable, in percent
    std::optional<double> loadFactor; // (usable + common) / usable
    int tenants = 0;
    // Leases in force on the day that end within the 12 months after it, and their rooms' area.
    int leasesEnding = 0;
    double leasesEndingArea = 0;
    std::vector<TenantArea> tenantAreas; // alphabetical
    bool ok() const { return error.isEmpty(); }
};

struct Tenant
{
    QString tenant; // as first spelt
    double area = 0;
    // The complexes it rents in: index into Result::complexes, and its area there.
    std::vector<std::pair<int, double>> areas;
};

struct Result
{
    QString folder;
    QDate day;                      // the figures are as of this day
    std::vector<Complex> complexes; // in the order given, unreadable ones included
    Complex total;                  // of the readable ones; plans and rooms summed
    std::vector<Tenant> tenants;    // alphabetical; one per tenant over all complexes
    int unreadable = 0;
};

// The one function that makes a complex's row: its tenants, let and vacant areas as the leases
// in force on `day` say (the records' own tenants where a room has no lease), and the leases
// ending within 12 months of it.
Complex complex(const QString &archivePath, QDate day);

// The archives (*.zip, any letter case) in the folder, with recursive its subfolders too
// (links to folders are not followed, so a loop cannot make it endless), in the order of their
// names.
// Throws MetrolaError when the folder cannot be read.
QStringList findArchives(const QString &folder, bool recursive);

// Reads the archives in parallel, a few at a time. progress is told (done, total) as rows
// finish, from the reading threads but never two at once; cancel stops it early (the rows not
// read yet are left out).
using Progress = std::function<void(int done, int total)>;
Result collect(const QString &folder, const QStringList &archives, QDate day, const Progress &progress = {},
               const std::atomic<bool> *cancel = nullptr);

QString text(const Result &result);
QJsonObject json(const Result &result);
// Two sheets: "Портфель" (one row per complex and the total, unreadable archives with their
// reason) and "Арендаторы" (one row per tenant, a column per complex). Replaces the file at
// path; throws MetrolaError.
void writeWorkbook(const Result &result, const QString &path, const QString &scratchParent = {});

} // namespace Portfolio
