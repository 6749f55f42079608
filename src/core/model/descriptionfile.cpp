#include "core/model/descriptionfile.h"

#include "core/base/cp1251.h"
#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"
#include "core/base/namerule.h"

#include <QFile>

#include <limits>

#include <algorithm>
#include <exception>
#include <thread>

namespace {

constexpr char kSeparator = ';';

void appendField(QByteArray &out, const QString &text)
{
    Cp1251::appendEncoded(out, text);
    out += kSeparator;
}

bool startsCollapsible(QByteArrayView line)
{
    return line.startsWith(";;;");
}

} // namespace

namespace DescriptionFile {

QString fileName()
{
    return QStringLiteral("metrola.csv");
}

QByteArray build(const Captions &captions, const RecordTable &table)
{
    return build(captions, table.row(0), table.rows());
}

QByteArray build(const Captions &captions, const RecordTable::Row &header,
                 const std::vector<RecordTable::Row> &rows)
{
    QByteArray out;
    out.reserve(static_cast<qsizetype>(rows.size() + 1) * 64 + 256);
    for (const QString &text : captions.texts)
        appendField(out, text);
    out += kSeparator;
    out += "\r\n";
    // Of every run of adjacent row lines beginning with ";;;" only the first remains: the
    // EntryRow begins so, a record never does, since its plan id and type are never empty.
    // The caption line never starts a run, because the header line follows it.
    bool previousCollapsible = false;
    const auto appendRow = [&](const RecordTable::Row &row) {
        const qsizetype lineStart = out.size();
        for (const QString &cell : row)
            appendField(out, cell);
        const bool collapsible = startsCollapsible(QByteArrayView(out).sliced(lineStart));
        if (collapsible && previousCollapsible) {
            out.truncate(lineStart);
            return;
        }
        previousCollapsible = collapsible;
        out += "\r\n";
    };
    appendRow(header);
    for (const RecordTable::Row &row : rows)
        appendRow(row);
    return out;
}

void write(const QString &programDir, const Captions &captions, const RecordTable &table)
{
    const QString path = programDir + fileName();
    const QByteArray bytes = build(captions, table);
    QString reason;
    if (!SafeFile::writeReplacing(path, bytes, &reason))
        throw MetrolaError(QStringLiteral("Не удалось записать файл описания «%1»: %2").arg(path, reason));
}

qsizetype lineCount(QByteArrayView data)
{
    qsizetype count = 0;
    const char *p = data.data();
    const char *const end = p + data.size();
    const char *start = p;
    for (; p < end; ++p) {
        if (*p != '\r' && *p != '\n')
            continue;
        ++count;
        if (*p == '\r' && p + 1 < end && p[1] == '\n')
            ++p;
        start = p + 1;
    }
    return count + (start < end ? 1 : 0);
}

std::vector<QByteArrayView> splitLines(QByteArrayView data)
{
    std::vector<QByteArrayView> lines;
    lines.reserve(static_cast<size_t>(lineCount(data)));
    qsizetype start = 0;
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.push_back(data.sliced(start, i - start));
        if (c == '\r' && i + 1 < n && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.push_back(data.sliced(start));
    return lines;
}

QString field(QByteArrayView line, int k)
{
    qsizetype begin = 0;
    for (int found = 0; found <= k; ++found) {
        const qsizetype sep = line.indexOf(kSeparator, begin);
        if (sep < 0)
            return QString();
        if (found == k)
            return Cp1251::toUnicode(line.sliced(begin, sep - begin));
        begin = sep + 1;
    }
    return QString();
}

bool canHold(QChar c)
{
    return c != u';' && c != u'\r' && c != u'\n' && Cp1251::canEncode(c);
}

std::optional<QChar> firstUnholdable(QStringView text)
{
    for (QChar c : text) {
        if (!canHold(c))
            return c;
    }
    return std::nullopt;
}

namespace {

// Plan ids and type codes take a handful of values over the whole file; sharing one string
// per value saves an allocation for two cells of every row.
class RepeatedTexts
{
public:
    QString decode(QByteArrayView bytes)
    {
        for (const auto &[known, text] : m_texts) {
            if (known == bytes)
                return text;
        }
        QString text = Cp1251::toUnicode(bytes);
        if (m_texts.size() < kLimit)
            m_texts.emplace_back(bytes.toByteArray(), text);
        return text;
    }

private:
    static constexpr size_t kLimit = 32;
    std::vector<std::pair<QByteArray, QString>> m_texts;
};

struct RowDecoder
{
    RecordTable::Row decode(QByteArrayView line)
    {
        // One pass over the line instead of field() per cell: the file may hold 100,000 rows.
        RecordTable::Row row;
        qsizetype begin = 0;
        for (int c = 0; c < RecordTable::ColumnCount; ++c) {
            const qsizetype sep = line.indexOf(kSeparator, begin);
            if (sep < 0)
                break;
            const QByteArrayView bytes = line.sliced(begin, sep - begin);
            if (c == RecordTable::PlanId)
                row[static_cast<size_t>(c)] = plans.decode(bytes);
            else if (c == RecordTable::Type)
                row[static_cast<size_t>(c)] = types.decode(bytes);
            else
                row[static_cast<size_t>(c)] = Cp1251::toUnicode(bytes);
            begin = sep + 1;
        }
        return row;
    }

    RepeatedTexts plans;
    RepeatedTexts types;
};

} // namespace

Contents parse(QByteArrayView data)
{
    // Counted before anything is built: a row costs a few hundred bytes however short its
    // line, so a small archive of empty lines could otherwise take gigabytes.
    static_assert(kMaxLines == 1000000, "the refusal names the limit");
    if (const qsizetype count = lineCount(data); count > kMaxLines) {
        throw MetrolaError(QStringLiteral("Файл описания содержит более 1 000 000 строк (в нём %1): "
                                          "столько записей комплекс не имеет. Проект не загружен, "
                                          "таблица не изменена.")
                               .arg(count));
    }
    const std::vector<QByteArrayView> lines = splitLines(data);
    Contents contents;
    if (!lines.empty() && !lines[0].contains(QByteArrayView("Metrola"))) {
        Captions captions;
        for (int k = 0; k < Captions::Count; ++k)
            captions[k] = field(lines[0], k);
        contents.captions = captions;
    }
    if (lines.size() < 3)
        return contents;
    // Decoding makes one string per cell; on a large file the rows are shared among the
    // machine's cores, each writing its own slice of the result.
    const size_t count = lines.size() - 2;
    contents.rows.resize(count);
    const auto decode = [&](size_t begin, size_t end) {
        RowDecoder decoder;
        for (size_t r = begin; r < end; ++r)
            contents.rows[r] = decoder.decode(lines[r + 2]);
    };
    constexpr size_t kRowsPerThread = 20000;
    const size_t threads = std::clamp<size_t>(count / kRowsPerThread, 1,
                                              std::max(1u, std::thread::hardware_concurrency()));
    if (threads == 1) {
        decode(0, count);
    } else {
        // A failure on any thread (out of memory, mostly) is carried to the caller and thrown
        // there like any other, never left to end the program; a thread that cannot be
        // started leaves its slice to this one.
        const size_t slice = (count + threads - 1) / threads;
        std::vector<std::exception_ptr> failures(threads);
        const auto run = [&](size_t t) {
            try {
                decode(t * slice, std::min(count, (t + 1) * slice));
            } catch (...) {
                failures[t] = std::current_exception();
            }
        };
        std::vector<std::thread> workers;
        workers.reserve(threads - 1);
        size_t started = 1;
        for (; started < threads; ++started) {
            try {
                workers.emplace_back(run, started);
            } catch (...) {
                // No thread (std::system_error) or no memory for its start: nothing was
                // started, and the slices left are decoded here.
                break;
            }
        }
        run(0);
        for (size_t t = started; t < threads; ++t)
            run(t);
        for (std::thread &worker : workers)
            worker.join();
        for (const std::exception_ptr &failure : failures) {
            if (failure)
                std::rethrow_exception(failure);
        }
    }
    for (size_t r = 0; r + 1 < contents.rows.size(); ++r) {
        const QString &id = contents.rows[r][RecordTable::PlanId];
        if (!NameRule::isBareFileName(id)) {
            throw MetrolaError(
                QStringLiteral("Файл описания содержит недопустимое имя плана «%1» в строке %2: "
                               "имя плана должно быть простым именем файла. Проект не загружен, "
                               "таблица не изменена.")
                    .arg(id, QString::number(r + 3)));
        }
    }
    return contents;
}

void load(const QString &programDir, bool applyCaptions, Captions &captions, RecordTable &table)
{
    const QString path = programDir + fileName();
    QByteArray data;
    QString reason;
    if (!SafeFile::readWhole(path, std::numeric_limits<qint64>::max(), &data, &reason))
        throw MetrolaError(QStringLiteral("Не удалось прочитать файл описания «%1»: %2").arg(path, reason));
    Contents contents = parse(data);
    if (applyCaptions && contents.captions)
        captions = *contents.captions;
    table.replaceRows(std::move(contents.rows));
}

} // namespace DescriptionFile
