#pragma once

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Compresses the pieces of a member's deflate stream on several threads, the way pigz does.
// Each piece is primed with the last 32 KiB of the piece before it and ends on a byte
// boundary (Z_SYNC_FLUSH), so the compressed pieces simply concatenate into one valid
// stream. The bytes depend only on the input and on PieceSize, never on the number of threads
// or the order in which they finish, so the same files always give the same archive.
class ZipDeflatePool
{
public:
    static constexpr qint64 PieceSize = qint64(1) << 20;

    struct Job
    {
        QByteArray input;
        QByteArray previous; // the preceding piece of the same member; empty for the first
        bool last = false;

        QByteArray output;
        quint32 crc = 0; // CRC-32 of input alone; the caller combines the pieces
        bool done = false;
        bool failed = false;
    };

    explicit ZipDeflatePool(int threadCount);
    ~ZipDeflatePool();
    ZipDeflatePool(const ZipDeflatePool &) = delete;
    ZipDeflatePool &operator=(const ZipDeflatePool &) = delete;

    std::shared_ptr<Job> submit(QByteArray input, QByteArray previous, bool last);
    // Blocks until the job is finished; false if zlib refused it (out of memory).
    bool wait(const std::shared_ptr<Job> &job);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::condition_variable m_finished;
    std::deque<std::shared_ptr<Job>> m_queue;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};
