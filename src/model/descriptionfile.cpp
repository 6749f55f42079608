#include "descriptionfile.h"

#include "cp1251.h"
#include "metrolaerror.h"

#include <QFile>
#include <QSaveFile>

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
    QByteArray out;
    out.reserve(static_cast<qsizetype>(table.tableRows()) * 64 + 256);
    for (const QString &text : captions.texts)
        appendField(out, text);
    out += kSeparator;
    out += "\r\n";
    // Of every run of adjacent row lines beginning with ";;;" only the first remains: the
    // EntryRow begins so, a record never does, since its plan id and type are never empty.
    // The caption line never starts a run, because the header line follows it.
    bool previousCollapsible = false;
    for (int r = 0; r < table.tableRows(); ++r) {
        const qsizetype lineStart = out.size();
        for (const QString &cell : table.row(r))
            appendField(out, cell);
        const bool collapsible = startsCollapsible(QByteArrayView(out).sliced(lineStart));
        if (collapsible && previousCollapsible) {
            out.truncate(lineStart);
            continue;
        }
        previousCollapsible = collapsible;
        out += "\r\n";
    }
    return out;
}

void write(const QString &programDir, const Captions &captions, const RecordTable &table)
{
    const QString path = programDir + fileName();
    const QByteArray bytes = build(captions, table);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw MetrolaError(QStringLiteral("Не удалось записать файл описания «%1»: %2")
                               .arg(path, file.errorString()));
    }
}

std::vector<QByteArrayView> splitLines(QByteArrayView data)
{
    std::vector<QByteArrayView> lines;
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

bool isSafePlanId(const QString &id)
{
    if (id == u"." || id == u"..")
        return false;
    for (QChar c : id) {
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

namespace {

RecordTable::Row parseRow(QByteArrayView line)
{
    // One pass over the line instead of field() per cell: the file may hold 100,000 rows.
    RecordTable::Row row;
    qsizetype begin = 0;
    for (int c = 0; c < RecordTable::ColumnCount; ++c) {
        const qsizetype sep = line.indexOf(kSeparator, begin);
        if (sep < 0)
            break;
        row[static_cast<size_t>(c)] = Cp1251::toUnicode(line.sliced(begin, sep - begin));
        begin = sep + 1;
    }
    return row;
}

} // namespace

Contents parse(QByteArrayView data)
{
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
    contents.rows.reserve(lines.size() - 2);
    for (size_t i = 2; i < lines.size(); ++i)
        contents.rows.push_back(parseRow(lines[i]));
    for (size_t r = 0; r + 1 < contents.rows.size(); ++r) {
        const QString &id = contents.rows[r][RecordTable::PlanId];
        if (!isSafePlanId(id)) {
            throw MetrolaError(
                QStringLiteral("Файл описания содержит недопустимое имя плана «%1» в строке %2: "
                               "имя плана должно быть простым именем файла. Проект не загружен, "
                               "таблица не изменена.")
                    .arg(id)
                    .arg(r + 3));
        }
    }
    return contents;
}

void load(const QString &programDir, bool applyCaptions, Captions &captions, RecordTable &table)
{
    const QString path = programDir + fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw MetrolaError(QStringLiteral("Не удалось открыть файл описания «%1»: %2")
                               .arg(path, file.errorString()));
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw MetrolaError(QStringLiteral("Не удалось прочитать файл описания «%1»: %2")
                               .arg(path, file.errorString()));
    }
    Contents contents = parse(data);
    if (applyCaptions && contents.captions)
        captions = *contents.captions;
    table.replaceRows(std::move(contents.rows));
}

} // namespace DescriptionFile
