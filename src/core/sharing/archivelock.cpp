#include "core/sharing/archivelock.h"

#include "core/base/safefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kMaxLockSize = 4096;
const QString kDateFormat = u"dd.MM.yyyy HH:mm"_s;

// Office programs escape the separators inside a field with a backslash.
QByteArray escaped(const QString &field)
{
    QByteArray out;
    for (const char c : field.toUtf8()) {
        if (c == ',' || c == ';' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

QStringList fields(const QByteArray &content)
{
    QStringList out;
    QByteArray field;
    bool escape = false;
    for (const char c : content) {
        if (escape) {
            field += c;
            escape = false;
        } else if (c == '\\') {
            escape = true;
        } else if (c == ',') {
            out << QString::fromUtf8(field);
            field.clear();
        } else if (c == ';') {
            break;
        } else {
            field += c;
        }
    }
    out << QString::fromUtf8(field);
    return out;
}

QString hostName()
{
    return QSysInfo::machineHostName();
}

// When the process of that id started, from /proc; invalid when it cannot be told.
QDateTime processStart(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    QFile uptime(u"/proc/stat"_s);
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    // The command name may hold spaces and parentheses; the fields after its last ")" do not.
    const QList<QByteArray> after = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int kStartTime = 22 - 3;
    if (after.size() <= kStartTime)
        return {};
    qint64 bootTime = 0;
    for (const QByteArray &l : uptime.readAll().split('\n'))
        if (l.startsWith("btime "))
            bootTime = l.mid(6).trimmed().toLongLong();
    const long ticks = sysconf(_SC_CLK_TCK);
    if (bootTime <= 0 || ticks <= 0)
        return {};
    return QDateTime::fromSecsSinceEpoch(bootTime + after[kStartTime].toLongLong() / ticks);
}

// Why a lock of this host names no running process, or empty when its process runs.
QString goneProcess(const ArchiveLock::Owner &owner)
{
    if (kill(static_cast<pid_t>(owner.pid), 0) != 0 && errno == ESRCH)
        return u"процесс %1 на этом компьютере уже завершён"_s.arg(owner.pid);
    // A process id is reused: one started well after the lock is someone else.
    const QDateTime started = processStart(owner.pid);
    if (started.isValid() && owner.since.isValid() && started > owner.since.addSecs(60))
        return u"процесс %1 на этом компьютере завершён, его номер занят другой программой"_s.arg(owner.pid);
    return {};
}

} // namespace

ArchiveLock::~ArchiveLock()
{
    release();
}

QString ArchiveLock::lockPathOf(const QString &archivePath)
{
    const QFileInfo info(archivePath);
    return info.absolutePath() + u"/.~lock."_s + info.fileName() + u'#';
}

ArchiveLock::Owner ArchiveLock::thisRun()
{
    Owner owner;
    if (const passwd *pw = getpwuid(getuid())) {
        owner.login = QString::fromLocal8Bit(pw->pw_name);
        owner.name = QString::fromLocal8Bit(pw->pw_gecos).section(u',', 0, 0).trimmed();
    }
    if (owner.login.isEmpty())
        owner.login = qEnvironmentVariable("USER");
    if (owner.name.isEmpty())
        owner.name = owner.login;
    owner.host = hostName();
    owner.pid = getpid();
    owner.since = QDateTime::currentDateTime();
    return owner;
}

QByteArray ArchiveLock::format(const Owner &owner)
{
    // Office programs put the user's settings folder last; ours is the process and the exact
    // time, which they ignore.
    return escaped(owner.name) + ',' + escaped(owner.login) + ',' + escaped(owner.host) + ',' +
           escaped(owner.since.toString(kDateFormat)) + ',' +
           escaped(u"metrola:%1:%2"_s.arg(owner.pid).arg(owner.since.toSecsSinceEpoch())) + ';';
}

ArchiveLock::Owner ArchiveLock::parse(const QByteArray &content)
{
    const QStringList f = fields(content);
    Owner owner;
    owner.name = f.value(0);
    owner.login = f.value(1);
    owner.host = f.value(2);
    owner.since = QDateTime::fromString(f.value(3), kDateFormat);
    const QStringList ours = f.value(4).split(u':');
    if (ours.size() == 3 && ours[0] == u"metrola"_s) {
        owner.pid = ours[1].toLongLong();
        bool ok = false;
        const qint64 seconds = ours[2].toLongLong(&ok);
        if (ok)
            owner.since = QDateTime::fromSecsSinceEpoch(seconds);
    }
    if (owner.name.isEmpty())
        owner.name = owner.login;
    return owner;
}

QString ArchiveLock::describe(const Owner &owner)
{
    QString who = owner.name.isEmpty() ? u"неизвестный пользователь"_s : owner.name;
    QStringList where;
    if (!owner.login.isEmpty() && owner.login != owner.name)
        where << owner.login;
    if (!owner.host.isEmpty())
        where << u"компьютер %1"_s.arg(owner.host);
    if (!where.isEmpty())
        who += u" ("_s + where.join(u", "_s) + u')';
    if (owner.since.isValid())
        who += u" с "_s + owner.since.toString(kDateFormat);
    return who;
}

ArchiveLock::Found ArchiveLock::inspect(const QString &archivePath)
{
    Found found;
    found.lockPath = lockPathOf(archivePath);
    const QByteArray path = QFile::encodeName(found.lockPath);
    struct stat st
    {
    };
    if (lstat(path.constData(), &st) != 0) {
        if (errno != ENOENT) {
            found.state = State::Unreadable;
            found.reason = SafeFile::systemErrorText(errno);
        }
        return found;
    }
    found.device = st.st_dev;
    found.inode = st.st_ino;
    if (!S_ISREG(st.st_mode)) {
        found.state = State::NotAFile;
        found.reason = SafeFile::kindText(SafeFile::kindOf(found.lockPath, false));
        return found;
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        found.state = State::Unreadable;
        found.reason = SafeFile::systemErrorText(errno);
        return found;
    }
    QByteArray content(kMaxLockSize, '\0');
    const ssize_t n = ::read(fd, content.data(), content.size());
    ::close(fd);
    content.truncate(n > 0 ? n : 0);
    found.content = content;
    found.owner = parse(content);
    found.state = State::Held;
    const QDateTime touched = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
    if (!found.owner.since.isValid())
        found.owner.since = touched;
    const bool ours = found.owner.pid > 0;
    if (ours && found.owner.host == hostName()) {
        found.reason = goneProcess(found.owner);
    } else if ((ours || content.trimmed().isEmpty()) &&
               touched.secsTo(QDateTime::currentDateTime()) > kStaleSeconds) {
        // Another host's process cannot be asked; a running copy of ours touches its lock. An
        // office program's lock is never touched, so its age tells nothing: it stays held.
        found.reason = u"блокировку никто не обновлял с %1"_s.arg(touched.toString(kDateFormat));
    }
    if (!found.reason.isEmpty())
        found.state = State::Stale;
    return found;
}

bool ArchiveLock::take(const QString &archivePath, Found *found)
{
    release();
    const QString lockPath = lockPathOf(archivePath);
    const QByteArray path = QFile::encodeName(lockPath);
    Found local;
    Found &out = found ? *found : local;
    // A lock that goes between inspecting and creating is tried once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const QByteArray content = format(thisRun());
            const bool written = ::write(fd, content.constData(), content.size()) == content.size();
            if (!written) {
                const int error = errno;
                ::close(fd);
                ::unlink(path.constData());
                out = Found{};
                out.lockPath = lockPath;
                out.reason = SafeFile::systemErrorText(error);
                return false;
            }
            ::fsync(fd);
            m_fd = fd;
            m_archivePath = archivePath;
            m_lockPath = path;
            out = Found{};
            out.lockPath = lockPath;
            return true;
        }
        const int error = errno;
        if (error != EEXIST) {
            out = Found{};
            out.lockPath = lockPath;
            out.reason = SafeFile::systemErrorText(error);
            return false;
        }
        out = inspect(archivePath);
        if (out.state != State::Free)
            return false;
    }
    return false;
}

bool ArchiveLock::takeOverStale(const QString &archivePath, const Found &stale, Found *found)
{
    // Only the file judged stale goes: not one taken since, never a link or a folder.
    const Found now = inspect(archivePath);
    if (stale.state == State::Stale && now.state == State::Stale && now.device == stale.device &&
        now.inode == stale.inode && now.content == stale.content) {
        ::unlink(QFile::encodeName(now.lockPath).constData());
    }
    return take(archivePath, found);
}

void ArchiveLock::release()
{
    if (m_fd < 0)
        return;
    struct stat mine
    {
    };
    struct stat there
    {
    };
    // Someone may have removed a lock they took for stale and made their own: that one stays.
    if (fstat(m_fd, &mine) == 0 && lstat(m_lockPath.constData(), &there) == 0 &&
        mine.st_dev == there.st_dev && mine.st_ino == there.st_ino)
        ::unlink(m_lockPath.constData());
    ::close(m_fd);
    m_fd = -1;
    m_archivePath.clear();
    m_lockPath.clear();
}

void ArchiveLock::touch()
{
    if (m_fd >= 0)
        futimens(m_fd, nullptr);
}
