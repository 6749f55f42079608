#include "core/base/safefile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile {

namespace {

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

Kind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::Regular;
    if (S_ISDIR(mode))
        return Kind::Directory;
    if (S_ISLNK(mode))
        return Kind::Link;
    if (S_ISFIFO(mode))
        return Kind::Fifo;
    if (S_ISSOCK(mode))
        return Kind::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return Kind::Device;
    return Kind::Other;
}

QString notAFile(Kind kind)
{
    return kind == Kind::Missing ? systemErrorText(ENOENT)
                                 : QStringLiteral("это %1, а не файл").arg(kindText(kind));
}

} // namespace

Kind kindOf(const QString &path, bool followLinks)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    const int result = followLinks ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st);
    return result == 0 ? kindOfMode(st.st_mode) : Kind::Missing;
}

QString kindText(Kind kind)
{
    switch (kind) {
    case Kind::Missing:
        return QStringLiteral("несуществующий путь");
    case Kind::Regular:
        return QStringLiteral("файл");
    case Kind::Directory:
        return QStringLiteral("папка");
    case Kind::Link:
        return QStringLiteral("символическая ссылка");
    case Kind::Fifo:
        return QStringLiteral("канал (FIFO)");
    case Kind::Socket:
        return QStringLiteral("сокет");
    case Kind::Device:
        return QStringLiteral("устройство");
    case Kind::Other:
        break;
    }
    return QStringLiteral("особый файл системы");
}

QString systemErrorText(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("нет такого файла или папки");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав доступа");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("на диске нет места");
    case EROFS:
        return QStringLiteral("диск доступен только для чтения");
    case EISDIR:
        return QStringLiteral("это папка, а не файл");
    case ENOTDIR:
        return QStringLiteral("часть пути — не папка");
    case ELOOP:
        return QStringLiteral("слишком много символических ссылок в пути");
    case EEXIST:
        return QStringLiteral("файл уже существует");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    case ETXTBSY:
    case EBUSY:
        return QStringLiteral("файл занят");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case EFBIG:
        return QStringLiteral("файл слишком велик");
    case ENOMEM:
        return QStringLiteral("не хватает памяти");
    case EXDEV:
        return QStringLiteral("файл на другом диске");
    default:
        break;
    }
    return QStringLiteral("ошибка системы %1").arg(error);
}

QString reasonOf(const QString &qtErrorText)
{
    // Qt words a failed call with strerror() of its errno, sometimes behind words of its own.
    for (int error = 1; error < 134; ++error) {
        const QString text = QString::fromLocal8Bit(std::strerror(error));
        if (!text.isEmpty() && qtErrorText.contains(text))
            return systemErrorText(error);
    }
    return qtErrorText.isEmpty() ? QStringLiteral("неизвестная ошибка")
                                 : QStringLiteral("ошибка системы (%1)").arg(qtErrorText);
}

QString reasonOf(const QFileDevice &file)
{
    if (file.error() == QFileDevice::ResourceError && file.errorString().isEmpty())
        return systemErrorText(ENOSPC);
    return reasonOf(file.errorString());
}

bool openForReading(QFile &file, const QString &path, QString *reason, QIODevice::OpenMode extra)
{
    // Non-blocking, so that opening a pipe nobody writes to returns at once; the flag is
    // dropped again once the file is known to be a regular one.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *reason = systemErrorText(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = errno;
        ::close(fd);
        *reason = S_ISREG(st.st_mode) ? systemErrorText(error) : notAFile(kindOfMode(st.st_mode));
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly | extra, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *reason = reasonOf(file);
        return false;
    }
    return true;
}

bool readWhole(const QString &path, qint64 limit, QByteArray *bytes, QString *reason)
{
    QFile file;
    if (!openForReading(file, path, reason))
        return false;
    if (file.size() > limit) {
        *reason = systemErrorText(EFBIG);
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *reason = systemErrorText(EIO);
        return false;
    }
    return true;
}

namespace {

class CheckedDevice : public QIODevice
{
public:
    explicit CheckedDevice(QFile &file)
        : m_file(file)
    {
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    // The errno of the first write that failed, 0 while none did.
    int failure() const { return m_failure; }
    int handle() const { return m_file.handle(); }

    bool seek(qint64 pos) override { return QIODevice::seek(pos) && m_file.seek(pos); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override
    {
        if (m_failure != 0)
            return -1;
        // A disk that fills up takes part of a write without an error; the rest of it then
        // fails with the reason.
        qint64 done = 0;
        while (done < length) {
            errno = 0;
            const qint64 written = m_file.write(data + done, length - done);
            if (written <= 0) {
                m_failure = errno != 0 ? errno : EIO;
                return -1;
            }
            done += written;
        }
        return done;
    }

private:
    QFile &m_file;
    int m_failure = 0;
};

int failureOf(const std::unique_ptr<QIODevice> &checked)
{
    return checked ? static_cast<const CheckedDevice &>(*checked).failure() : 0;
}

} // namespace

int handleOf(QIODevice &device)
{
    if (const auto *file = qobject_cast<QFileDevice *>(&device))
        return file->handle();
    if (const auto *checked = dynamic_cast<CheckedDevice *>(&device))
        return checked->handle();
    return -1;
}

QIODevice &ReplacingFile::checkedDevice()
{
    if (!m_checked)
        m_checked = std::make_unique<CheckedDevice>(m_file);
    return *m_checked;
}

QString ReplacingFile::writeError() const
{
    return failureOf(m_checked) != 0 ? systemErrorText(failureOf(m_checked)) : QString();
}

ReplacingFile::ReplacingFile(QString path)
    : m_path(std::move(path))
{
}

ReplacingFile::~ReplacingFile()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_temporary.isEmpty())
        ::unlink(QFile::encodeName(m_temporary).constData());
}

bool ReplacingFile::open()
{
    const QFileInfo target(m_path);
    const QString dir = target.absolutePath() + u'/';
    if (kindOf(m_path, false) == Kind::Directory) {
        m_error = systemErrorText(EISDIR);
        return false;
    }
    // A fresh name beside the target: O_EXCL with O_NOFOLLOW creates a new file or fails, so
    // nothing planted under the name is ever opened.
    for (int attempt = 0; attempt < 100; ++attempt) {
        // "name.XXXXXX", as every writer of the program names its unfinished copy, so that
        // one clean-up after a signal finds them all.
        QString suffix;
        for (int i = 0; i < 6; ++i)
            suffix += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
        const QString candidate = dir + target.fileName() + u'.' + suffix;
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            // A name too long for its own temporary copy still says what the user must know.
            m_error = systemErrorText(errno);
            return false;
        }
        m_temporary = candidate;
        m_file.setFileName(candidate);
        if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            m_error = reasonOf(m_file);
            return false;
        }
        return true;
    }
    m_error = systemErrorText(EEXIST);
    return false;
}

bool ReplacingFile::commit()
{
    if (!m_file.isOpen()) {
        m_error = QStringLiteral("файл не открыт");
        return false;
    }
    const bool flushed = m_file.flush() && ::fsync(m_file.handle()) == 0;
    const int error = errno;
    const bool writeFailed = m_file.error() != QFileDevice::NoError;
    const int checkedFailure = failureOf(m_checked);
    // Closing is the last chance a file system has to say that the data did not fit.
    const bool closed = ::close(dup(m_file.handle())) == 0;
    const int closeError = errno;
    m_file.close();
    if (checkedFailure != 0) {
        m_error = systemErrorText(checkedFailure);
        return false;
    }
    if (!flushed || writeFailed) {
        m_error = writeFailed ? systemErrorText(error == 0 ? EIO : error) : systemErrorText(error);
        return false;
    }
    if (!closed) {
        m_error = systemErrorText(closeError);
        return false;
    }
    // rename() replaces the directory entry: a link at the name is replaced, not followed.
    if (::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_path).constData()) != 0) {
        m_error = systemErrorText(errno);
        return false;
    }
    m_temporary.clear();
    return true;
}

QString ReplacingFile::errorString() const
{
    return m_error;
}

bool writeReplacing(const QString &path, QByteArrayView bytes, QString *reason)
{
    ReplacingFile file(path);
    if (!file.open() || file.device().write(bytes.data(), bytes.size()) != bytes.size() || !file.commit()) {
        *reason = file.errorString().isEmpty() ? systemErrorText(errno) : file.errorString();
        return false;
    }
    return true;
}

bool removeRegular(const QString &path)
{
    if (kindOf(path, false) != Kind::Regular)
        return false;
    return ::unlink(QFile::encodeName(path).constData()) == 0;
}

} // namespace SafeFile
