// Any byte string as metrola.csv: parse, load into the table and ask the colour lookups the
// plan view asks on every mouse move. The lookups are checked against a plain scan.
#include "core/base/metrolaerror.h"
#include "core/base/namerule.h"
#include "core/model/descriptionfile.h"
#include "core/model/recordtable.h"
#include "core/plan/colourkey.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// What rowOfColour promises, by brute force over the record rows.
int scanRowOfColour(const RecordTable &t, quint32 colour)
{
    int found = 0;
    for (int r = 1; r <= t.tableRows() - 2; ++r) {
        const QString &key = t.cellText(RecordTable::ColourKey, r);
        if (key.isEmpty())
            continue;
        const std::optional<int> n = parseCellNumber(key);
        if (!n)
            return -1; // the lookup must throw
        if (qint64(*n) == qint64(colour) && !ColourKey::isReserved(*n))
            found = r;
    }
    return found;
}

bool scanColourInUse(const RecordTable &t, quint32 colour)
{
    const QString text = QString::number(colour);
    for (int r = 1; r < t.tableRows(); ++r) {
        if (t.cellText(RecordTable::ColourKey, r) == text)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    DescriptionFile::Contents contents;
    try {
        contents = DescriptionFile::parse(bytes);
    } catch (const MetrolaError &e) {
        if (e.message().isEmpty())
            __builtin_trap();
        return 0;
    }
    for (size_t r = 0; r + 1 < contents.rows.size(); ++r) {
        if (!NameRule::isBareFileName(contents.rows[r][RecordTable::PlanId]))
            __builtin_trap();
    }

    // As opening does: read into a table aside, then exchanged into the shown one.
    RecordTable table;
    {
        RecordTable loaded;
        loaded.replaceRows(contents.rows);
        table.exchangeRows(loaded);
    }
    if (table.tableRows() < 2)
        __builtin_trap();

    std::vector<quint32> colours{0u, 1u, 0xFFFFFFFFu, 0x00FFFFFFu};
    for (int r = 1; r < table.tableRows() && colours.size() < 12; ++r) {
        if (const std::optional<int> n = parseCellNumber(table.cellText(RecordTable::ColourKey, r)))
            colours.push_back(quint32(*n));
    }
    const bool small = table.tableRows() <= 300;
    for (quint32 colour : colours) {
        const bool inUse = table.colourInUse(colour);
        int row = -1;
        try {
            row = table.rowOfColour(colour);
        } catch (const MetrolaError &e) {
            if (e.message().isEmpty())
                __builtin_trap();
        }
        if (small && (inUse != scanColourInUse(table, colour) || row != scanRowOfColour(table, colour)))
            __builtin_trap();
    }
    return 0;
}
