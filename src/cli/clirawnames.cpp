#include "cli/clirawnames.h"

#include "core/base/metrolaerror.h"
#include "core/base/safefile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray folderOf(const QByteArray &name)
{
    const qsizetype slash = name.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : name.left(slash);
}

QByteArray baseOf(const QByteArray &name)
{
    return name.mid(name.lastIndexOf('/') + 1);
}

} // namespace

CliRawNames::~CliRawNames()
{
    if (m_outputDir >= 0) {
        if (!m_standIn.isEmpty())
            ::unlinkat(m_outputDir, m_standIn.constData(), 0);
        ::close(m_outputDir);
    }
    for (const int fd : m_descriptors)
        ::close(fd);
}

bool CliRawNames::survivesDecoding(const QByteArray &name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

QStringList CliRawNames::decode(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        if (survivesDecoding(raw))
            continue;
        const bool output = i > 1 && qstrcmp(argv[i - 1], "-o") == 0;
        if (output)
            arguments[i - 1] = standInFor(i, argc, argv);
        else
            arguments[i - 1] = openThroughDescriptor(raw);
    }
    return arguments;
}

QString CliRawNames::openThroughDescriptor(const QByteArray &name)
{
    // Non-blocking: what a pipe is, the archive's own check says.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return QFile::decodeName(name); // reported missing under the name as it reads
    m_descriptors.push_back(fd);
    return u"/proc/self/fd/%1"_s.arg(fd);
}

QString CliRawNames::standInFor(int index, int argc, char **argv)
{
    const QByteArray name(argv[index]);
    const QString shown = QFile::decodeName(name);
    const QByteArray folder = folderOf(name);
    m_outputDir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_outputDir < 0) {
        throw MetrolaError(u"Не удалось открыть папку файла результата «%1»: %2."_s.arg(
            shown, SafeFile::systemErrorText(errno)));
    }
    m_target = baseOf(name);
    m_shownTarget = shown;
    struct stat target {};
    if (::fstatat(m_outputDir, m_target.constData(), &target, 0) == 0) {
        if (!S_ISREG(target.st_mode)) {
            throw MetrolaError(u"Файл результата «%1» — это %2, а не файл; ничего не записано."_s.arg(
                shown, SafeFile::kindText(S_ISDIR(target.st_mode)    ? SafeFile::Kind::Directory
                                          : S_ISFIFO(target.st_mode) ? SafeFile::Kind::Fifo
                                          : S_ISSOCK(target.st_mode) ? SafeFile::Kind::Socket
                                                                     : SafeFile::Kind::Device)));
        }
        // The result takes the name by a rename, which would replace an archive read under it.
        for (int i = 1; i < argc; ++i) {
            struct stat other {};
            if (i != index && ::stat(argv[i], &other) == 0 && other.st_dev == target.st_dev
                && other.st_ino == target.st_ino)
                throw MetrolaError(u"Файл результата «%1» — это сам архив; архив не перезаписывается."_s.arg(shown));
        }
    }
    m_standIn = ".metrola-cli-" + QByteArray::number(qint64(::getpid())) + ".out";
    return u"/proc/self/fd/%1/%2"_s.arg(m_outputDir).arg(QString::fromLatin1(m_standIn));
}

void CliRawNames::finish()
{
    if (m_outputDir < 0 || m_standIn.isEmpty())
        return;
    if (::renameat(m_outputDir, m_standIn.constData(), m_outputDir, m_target.constData()) != 0) {
        throw MetrolaError(u"Не удалось записать файл результата «%1»: %2."_s.arg(
            m_shownTarget, SafeFile::systemErrorText(errno)));
    }
    m_standIn.clear();
}
