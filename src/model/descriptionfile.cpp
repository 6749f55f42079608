#include "descriptionfile.h"

#include "cp1251.h"
#include "metrolaerror.h"

#include <QFile>
#include <QSaveFile>

namespace {

constexpr char kSeparator = ';';

void appendField(QByteArray &out, const QString &text)
{
    out += Cp1251::fromUnicode(text);
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
    std::vector<QByteArray> lines;
    lines.reserve(static_cast<size_t>(table.tableRows()) + 1);
    QByteArray captionLine;
    for (const QString &text : captions.texts)
        appendField(captionLine, text);
    captionLine += kSeparator;
    lines.push_back(std::move(captionLine));
    for (int r = 0; r < table.tableRows(); ++r) {
        QByteArray line;
        for (const QString &cell : table.row(r))
            appendField(line, cell);
        lines.push_back(std::move(line));
    }
    // Of every run of adjacent lines beginning with ";;;" only the first remains: the EntryRow
    // begins so, a record never does, since its plan id and type are never empty.
    std::vector<QByteArray> kept;
    kept.reserve(lines.size());
    bool previousCollapsible = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool collapsible = startsCollapsible(lines[i]);
        if (!(i >= 1 && collapsible && previousCollapsible))
            kept.push_back(std::move(lines[i]));
        previousCollapsible = collapsible;
    }
    qsizetype size = 0;
    for (const QByteArray &line : kept)
        size += line.size() + 2;
    QByteArray out;
    out.reserve(size);
    for (const QByteArray &line : kept) {
        out += line;
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
