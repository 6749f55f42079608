#pragma once

#include "core/model/captions.h"
#include "core/model/recordtable.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// "metrola.csv": the record table and the captions as Windows-1251 text, one line per table
// row, fields ended by ";" with no quoting. Line 0 holds the ten captions and one more ";",
// line 1 the header (never read back), then the records, then the EntryRow. Lines end in
// CR LF; a bare CR or LF also ends a line when reading.
namespace DescriptionFile {

QString fileName();

QByteArray build(const Captions &captions, const RecordTable &table);
// The same from a copy of the table's rows (header, then rows 1 .. with the EntryRow last), so
// that the file can be built away from the table.
QByteArray build(const Captions &captions, const RecordTable::Row &header,
                 const std::vector<RecordTable::Row> &rows);
// Writes programDir + "metrola.csv" through a temporary file; throws MetrolaError.
void write(const QString &programDir, const Captions &captions, const RecordTable &table);

// A file of more lines is refused before its rows are built; a real complex has thousands.
inline constexpr qsizetype kMaxLines = 1000000;

// A final line break does not make an extra empty line.
std::vector<QByteArrayView> splitLines(QByteArrayView data);
// The number of lines splitLines() would give, without building them.
qsizetype lineCount(QByteArrayView data);
// Field k (0..9) of a line: the text before the first ";" for k = 0, else between the k-th and
// (k+1)-th ";". A line with too few separators yields an empty field.
QString field(QByteArrayView line, int k);

struct Contents
{
    // Absent when line 0 is missing or holds the word "Metrola" (then it is no caption line).
    std::optional<Captions> captions;
    // Table rows 1 .. in file order; the last is the EntryRow. Empty for a file of fewer than
    // three lines.
    std::vector<RecordTable::Row> rows;
};
// Throws MetrolaError for a record whose plan id is not a bare file name and for a file of
// more than kMaxLines lines; std::bad_alloc when memory runs out, on whichever thread.
Contents parse(QByteArrayView data);

// Reads programDir + "metrola.csv" into the table (rows 1 ..) and, when asked, the captions.
// On any failure nothing is changed.
void load(const QString &programDir, bool applyCaptions, Captions &captions, RecordTable &table);

// The file has no quoting and is written in Windows-1251: a cell or caption holding ";", a line
// end or a character the code page lacks would split its line or come back altered.
bool canHold(QChar c);
// The first character of `text` the file cannot hold.
std::optional<QChar> firstUnholdable(QStringView text);

} // namespace DescriptionFile
