#include "core/model/sidefile.h"

#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"
#include "core/model/descriptionfile.h"

#include <QStringDecoder>

#include <algorithm>

namespace SideFile {

QByteArray readCp1251(const QString &path, qint64 limit, const QString &what)
{
    QByteArray data;
    QString reason;
    if (!SafeFile::readWhole(path, limit, &data, &reason))
        throw MetrolaError(QStringLiteral("Не удалось прочитать %1 «%2»: %3").arg(what, path, reason));
    // A mark of UTF-8 put in front by an editor says nothing about the lines themselves.
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    if (const auto line = foreignTextLine(data)) {
        throw MetrolaError(QStringLiteral("%1 «%2», строка %3: текст не в кодировке Windows-1251.")
                               .arg(what.left(1).toUpper() + what.mid(1), path)
                               .arg(*line));
    }
    return data;
}

std::optional<int> foreignTextLine(QByteArrayView data)
{
    int number = 0;
    for (const QByteArrayView line : DescriptionFile::splitLines(data)) {
        ++number;
        const bool plain = std::all_of(line.begin(), line.end(), [](char c) { return uchar(c) < 0x80; });
        if (plain)
            continue;
        // Cyrillic in Windows-1251 almost never forms valid UTF-8 (its letters are lead bytes
        // followed by more letters), so a line that decodes as UTF-8 was written as UTF-8: its
        // plan ids or flags would match nothing and the line would be lost without a word.
        // 0x98 is no character of the code page.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8(line);
        Q_UNUSED(decoded)
        if (!utf8.hasError() || line.contains('\x98'))
            return number;
    }
    return std::nullopt;
}

} // namespace SideFile
