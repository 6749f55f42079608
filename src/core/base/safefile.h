#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <memory>

// The one way the program opens, writes and deletes files in folders it does not fully trust:
// the working folder (anyone who can write there may plant a link, a pipe or a device node under
// a name the program uses) and every path the user or a recovered file names.
namespace SafeFile {

enum class Kind { Missing, Regular, Directory, Link, Fifo, Socket, Device, Other };

// What is at the path, the path's last component itself when followLinks is false.
Kind kindOf(const QString &path, bool followLinks);
// "канал (FIFO)", "устройство", ... for messages that say what a path is instead of a file.
QString kindText(Kind kind);

// The operating system's reason in Russian ("нет такого файла или папки"), for errno values.
QString systemErrorText(int error);

// The reason a Qt file operation gave (its text is the C library's, in English on most
// desktops), in Russian: the system's reason when the text holds one, else a general one.
QString reasonOf(const QString &qtErrorText);
QString reasonOf(const QFileDevice &file);

// Opens an existing regular file for reading, without blocking on a pipe and without taking a
// terminal; anything else is refused with a Russian reason naming what it is. On failure
// returns false and sets *reason (without the file's name).
bool openForReading(QFile &file, const QString &path, QString *reason, QIODevice::OpenMode extra = {});

// Reads a whole regular file of at most `limit` bytes (larger is refused: "файл слишком
// велик"); false with *reason set otherwise.
bool readWhole(const QString &path, qint64 limit, QByteArray *bytes, QString *reason);

// Writes a regular file in place of whatever is at the path. The bytes go to a new file in the
// same folder that takes the name only at commit(): a link, pipe or device node at the name is
// replaced, never followed or opened, and a failure leaves the old file as it was. The new file
// gets mode 0666 less the umask.
class ReplacingFile
{
public:
    explicit ReplacingFile(QString path);
    ~ReplacingFile(); // removes the new file unless committed
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    bool open();
    // Where to write once open() succeeded.
    QFile &device() { return m_file; }
    // The same file for writers that never look at what a write returns (QPdfWriter): a write
    // cut short by a full disk or a failing device is remembered, and commit() then fails with
    // its reason instead of renaming a truncated file into place.
    QIODevice &checkedDevice();
    // Why a write through checkedDevice() failed ("на диске нет места"), empty while none did.
    QString writeError() const;
    // Flushes to the disk and renames into place.
    bool commit();
    // The reason of the last failure, in Russian.
    QString errorString() const;

private:
    QString m_path;
    QString m_temporary;
    QFile m_file;
    std::unique_ptr<QIODevice> m_checked;
    QString m_error;
};

// The file descriptor under a QFileDevice or a ReplacingFile's checked device, -1 under any
// other device: for advice to the kernel (early write-back) that must not be lost on the way.
int handleOf(QIODevice &device);

// Writes the bytes through a ReplacingFile; false with *reason set on failure.
bool writeReplacing(const QString &path, QByteArrayView bytes, QString *reason);

// Removes the path when it is a regular file itself: never a folder, a node, a link or the
// file a link points to. False when nothing was removed.
bool removeRegular(const QString &path);

} // namespace SafeFile
