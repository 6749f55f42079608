#pragma once

#include <QString>

#include <vector>

class AreaSchedule;

// Writes AreaSchedules as the sheets of an .xlsx workbook, in order. Every failure throws MetrolaError
// naming the file; no half-written file is left behind.
class XlsxWorkbook
{
public:
    // Replaces the file at path, by way of a temporary file in the same folder. The workbook is
    // put together in a scratch folder made under scratchParent (empty: the system's temporary
    // folder) and removed afterwards.
    using Sheets = std::vector<const AreaSchedule *>;
    static Sheets sheetsOf(const std::vector<AreaSchedule> &sheets);
    static void write(const Sheets &sheets, const QString &path, const QString &scratchParent = {});
    static void write(const AreaSchedule &sheet, const QString &path,
                      const QString &scratchParent = {});

    // The workbook as bytes, put together in a scratch folder under the system's temporary
    // folder; name names the report in error messages.
    static QByteArray bytes(const AreaSchedule &sheet, const QString &name);
    static QByteArray bytes(const Sheets &sheets, const QString &name);

    // Writes into a new folder under the system's temporary folder, so that nothing in the
    // working folder changes and a viewer still holding an earlier report open is not in the
    // way. The folder stays after the program ends: the viewer opens the file later.
    // Returns the file's path.
    static QString writeToTemporaryFolder(const AreaSchedule &sheet);

    // The report's file name for a title: "Размеркация plan.zip.xlsx", and
    // "Размеркация.xlsx" for a title naming no archive.
    static QString fileNameFor(const QString &title);
};
