#include "core/reports/reportfolder.h"

#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"
#include "core/reports/areaschedule.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMaxFileNameBytes = 255;
// A folder holding this many reports of one name is not going to want another number.
constexpr int kMaxNumber = 9999;

[[noreturn]] void fail(const QString &path, const QString &reason)
{
    throw MetrolaError(u"Не удалось сохранить отчёт «%1»: %2"_s.arg(path, reason));
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The stem comes from an archive or plan name that another system may have written.
QString fileName(QString stem, int number, const QString &suffix)
{
    for (QChar &c : stem) {
        if (c == u'/' || c.category() == QChar::Other_Control)
            c = u'_';
    }
    const QString tail = (number > 1 ? u" (%1)"_s.arg(number) : QString()) + suffix;
    while (!stem.isEmpty() && (stem + tail).toUtf8().size() > kMaxFileNameBytes) {
        stem.chop(1);
        if (!stem.isEmpty() && stem.back().isHighSurrogate())
            stem.chop(1);
    }
    return stem + tail;
}

// Moves from into place at to, unless anything at all (a link included) is named to already.
// Returns 0 or the error; EEXIST means the name is taken.
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without the no-replace rename still refuse a hard link onto a taken name.
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    ::unlink(from.constData());
    return 0;
}

} // namespace

QString ReportFolder::documents()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        throw MetrolaError(u"Не найдена папка документов пользователя, отчёт не сохранён"_s);
    if (!QDir().mkpath(folder))
        throw MetrolaError(u"Не удалось создать папку документов «%1», отчёт не сохранён"_s.arg(folder));
    return folder;
}

QString ReportFolder::saveNew(const QString &folder, const QString &stem, const QString &suffix,
                              const QByteArray &bytes)
{
    const QDir dir(folder);
    const QString first = dir.filePath(fileName(stem, 1, suffix));
    // Made with a name of its own and O_EXCL, so the bytes never go through a planted link.
    QTemporaryFile scratch(dir.filePath(u".metrola-XXXXXX"_s));
    if (!scratch.open())
        fail(first, SafeFile::reasonOf(scratch.errorString()));
    // A report is an ordinary document of the user, not a private temporary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(scratch.handle(), 0666 & ~mask);
    if (scratch.write(bytes) != bytes.size() || !scratch.flush())
        fail(first, SafeFile::reasonOf(scratch.errorString()));
    scratch.close();
    const QByteArray from = QFile::encodeName(scratch.fileName());
    for (int number = 1; number <= kMaxNumber; ++number) {
        const QString target = dir.filePath(fileName(stem, number, suffix));
        const int error = renameNoReplace(from, QFile::encodeName(target));
        if (error == 0) {
            scratch.setAutoRemove(false);
            return target;
        }
        if (error != EEXIST)
            fail(target, systemError(error));
    }
    fail(first, u"все имена до «%1» заняты"_s.arg(fileName(stem, kMaxNumber, suffix)));
}

QString ReportFolder::scheduleStem(const QString &archivePath)
{
    // The archive is named as the workbook's title names it.
    QString stem = AreaSchedule::titleFor(archivePath).trimmed();
    if (stem.endsWith(u".zip"_s, Qt::CaseInsensitive))
        stem.chop(4);
    return stem.trimmed();
}

QString ReportFolder::pictureStem(const QString &planId)
{
    const qsizetype dot = planId.lastIndexOf(u'.');
    return (u"Размещение "_s + (dot > 0 ? planId.left(dot) : planId)).trimmed();
}
