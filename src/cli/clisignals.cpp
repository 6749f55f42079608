#include "cli/clisignals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <unistd.h>

namespace CliSignals {

namespace {

std::mutex &folderMutex()
{
    static std::mutex mutex;
    return mutex;
}

QString &folderToRemove()
{
    static QString folder;
    return folder;
}

struct PartialOutput
{
    QString folder;
    QString prefix; // the output's name and a dot
    QStringList before;
};

PartialOutput &partialOutput()
{
    static PartialOutput output;
    return output;
}

// Names in the output's folder that a writer's unfinished copy of it may have: its name, a dot
// and six characters.
QStringList partialCopies(const PartialOutput &output)
{
    QStringList found;
    if (output.folder.isEmpty())
        return found;
    const QStringList names = QDir(output.folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (name.size() == output.prefix.size() + 6 && name.startsWith(output.prefix))
            found.append(name);
    }
    return found;
}

sigset_t endingSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&set, signal);
    return set;
}

[[noreturn]] void watch()
{
    const sigset_t set = endingSignals();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    {
        // Held to the end: the main thread must not go on to remove the folder itself, or
        // make a new one, while it is being removed here.
        std::lock_guard lock(folderMutex());
        const QString &folder = folderToRemove();
        // The main thread may still be writing into the folder; a file it adds between the
        // listing and the removal makes another pass necessary.
        for (int pass = 0; pass < 10 && !folder.isEmpty() && QFileInfo::exists(folder); ++pass)
            QDir(folder).removeRecursively();
        // The lock the tool keeps beside its folder.
        if (!folder.isEmpty())
            QFile::remove(folder + QStringLiteral(".lock"));
        const PartialOutput &output = partialOutput();
        for (const QString &name : partialCopies(output)) {
            if (!output.before.contains(name))
                QFile::remove(QDir(output.folder).filePath(name));
        }

        std::signal(signal, SIG_DFL);
        sigset_t single;
        sigemptyset(&single);
        sigaddset(&single, signal);
        pthread_sigmask(SIG_UNBLOCK, &single, nullptr);
        // Every other thread blocks it, so it comes back here and ends the process with the
        // signal's own status, which is what a calling script expects to see.
        kill(getpid(), signal);
    }
    _exit(128 + signal);
}

} // namespace

void install()
{
    // A reader that went away (`metrola-cli info x.zip | head -1`) makes writes fail instead
    // of ending the tool before it cleans up.
    std::signal(SIGPIPE, SIG_IGN);
    const sigset_t set = endingSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    try {
        std::thread(watch).detach();
    } catch (...) {
        // No thread to wait for them (no memory left for its stack): the signals end the
        // tool as they would any program, rather than being held back for ever.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
}

void removeOnSignal(const QString &folder)
{
    std::lock_guard lock(folderMutex());
    folderToRemove() = folder;
}

void removePartialOutputOnSignal(const QString &output)
{
    const QFileInfo info(output);
    PartialOutput partial{info.absolutePath(), info.fileName() + u'.', {}};
    partial.before = partialCopies(partial);
    std::lock_guard lock(folderMutex());
    partialOutput() = std::move(partial);
}

} // namespace CliSignals
