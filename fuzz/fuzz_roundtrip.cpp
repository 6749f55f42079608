// A table made from the fuzz bytes must come back from build() + parse() cell for cell.
// The bytes are read as a rough description file (lines by LF, cells by ';') so real files make
// good seeds; each cell is then forced into what the format can carry.
#include "core/base/cp1251.h"
#include "core/base/namerule.h"
#include "core/model/captions.h"
#include "core/model/descriptionfile.h"
#include "core/model/recordtable.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr qsizetype kMaxRows = 2000;

QString cellFrom(QByteArrayView raw)
{
    QByteArray bytes = raw.toByteArray();
    bytes.replace('\r', ' '); // ';' and LF cannot reach here: they split the input
    return Cp1251::toUnicode(bytes);
}

// A record's plan id is never empty and is a bare file name; its type is never empty, so no
// record line is mistaken for an empty one and dropped.
QString planIdFrom(QString id)
{
    for (QChar &c : id) {
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            c = u'_';
    }
    // "." / ".." and a drive prefix such as "C:" are refused by the reader; a leading letter
    // makes them plain names.
    if (!NameRule::isBareFileName(id) || id.isEmpty())
        id.prepend(u'p');
    if (!NameRule::isBareFileName(id))
        __builtin_trap();
    return id;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    std::vector<std::vector<QString>> lines;
    for (QByteArrayView line : QByteArray(bytes.toByteArray()).split('\n')) {
        if (qsizetype(lines.size()) > kMaxRows)
            break;
        std::vector<QString> cells;
        for (QByteArrayView cell : line.toByteArray().split(';'))
            cells.push_back(cellFrom(cell));
        lines.push_back(std::move(cells));
    }
    if (lines.empty())
        return 0;

    Captions captions;
    for (int k = 0; k < Captions::Count && size_t(k) < lines[0].size(); ++k) {
        // A first line holding this word is taken for a header, not for captions.
        captions[k] = lines[0][size_t(k)].replace(QStringLiteral("Metrola"), QStringLiteral("metrola"));
    }
    std::vector<RecordTable::Row> rows;
    for (size_t i = 1; i < lines.size(); ++i) {
        RecordTable::Row row;
        for (int c = 0; c < RecordTable::ColumnCount && size_t(c) < lines[i].size(); ++c)
            row[size_t(c)] = lines[i][size_t(c)];
        rows.push_back(std::move(row));
    }
    for (size_t r = 0; r + 1 < rows.size(); ++r) {
        rows[r][RecordTable::PlanId] = planIdFrom(rows[r][RecordTable::PlanId]);
        if (rows[r][RecordTable::Type].isEmpty())
            rows[r][RecordTable::Type] = QStringLiteral("1");
    }

    RecordTable table;
    table.replaceRows(rows);
    const QByteArray file = DescriptionFile::build(captions, table);
    const DescriptionFile::Contents back = DescriptionFile::parse(file);

    if (!back.captions || *back.captions != captions)
        __builtin_trap();
    if (int(back.rows.size()) != table.tableRows() - 1)
        __builtin_trap();
    for (int r = 1; r < table.tableRows(); ++r) {
        if (back.rows[size_t(r - 1)] != table.row(r))
            __builtin_trap();
    }
    return 0;
}
