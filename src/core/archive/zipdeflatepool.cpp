#include "core/archive/zipdeflatepool.h"

#include <zlib.h>

#include <algorithm>

namespace {

constexpr int DictionarySize = 32768;

struct Deflater
{
    z_stream stream{};
    bool ready = false;

    Deflater()
    {
        // Raw deflate (negative window bits): ZIP keeps its own CRC and sizes.
        ready = deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater()
    {
        if (ready)
            deflateEnd(&stream);
    }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    bool compress(ZipDeflatePool::Job &job)
    {
        if (!ready || deflateReset(&stream) != Z_OK)
            return false;
        if (!job.previous.isEmpty()) {
            const qsizetype n = std::min<qsizetype>(DictionarySize, job.previous.size());
            const auto *tail = reinterpret_cast<const Bytef *>(job.previous.constData() + job.previous.size() - n);
            if (deflateSetDictionary(&stream, tail, uInt(n)) != Z_OK)
                return false;
        }
        // The bound covers Z_FINISH; a sync flush adds at most an empty stored block.
        job.output.resize(qsizetype(deflateBound(&stream, uLong(job.input.size()))) + 16);
        stream.next_in = reinterpret_cast<Bytef *>(job.input.data());
        stream.avail_in = uInt(job.input.size());
        qsizetype written = 0;
        const int flush = job.last ? Z_FINISH : Z_SYNC_FLUSH;
        for (;;) {
            stream.next_out = reinterpret_cast<Bytef *>(job.output.data() + written);
            stream.avail_out = uInt(job.output.size() - written);
            const int rc = deflate(&stream, flush);
            written = job.output.size() - qsizetype(stream.avail_out);
            if (rc == Z_STREAM_END)
                break;
            if (rc != Z_OK && rc != Z_BUF_ERROR)
                return false;
            if (!job.last && stream.avail_in == 0 && stream.avail_out != 0)
                break;
            if (stream.avail_out == 0)
                job.output.resize(job.output.size() + 65536);
        }
        job.output.resize(written);
        job.crc = quint32(crc32_z(crc32_z(0, nullptr, 0),
                                  reinterpret_cast<const Bytef *>(job.input.constData()),
                                  z_size_t(job.input.size())));
        return true;
    }
};

} // namespace

ZipDeflatePool::ZipDeflatePool(int threadCount)
{
    const int n = std::max(1, threadCount);
    m_threads.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        try {
            m_threads.emplace_back([this] { run(); });
        } catch (...) {
            // Fewer threads compress the same bytes; with none, the threads already started
            // must be stopped before the failure leaves (a running std::thread destroyed
            // unjoined ends the program).
            if (!m_threads.empty())
                break;
            throw;
        }
    }
}

ZipDeflatePool::~ZipDeflatePool()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_queued.notify_all();
    for (std::thread &t : m_threads)
        t.join();
}

std::shared_ptr<ZipDeflatePool::Job> ZipDeflatePool::submit(QByteArray input, QByteArray previous, bool last)
{
    auto job = std::make_shared<Job>();
    job->input = std::move(input);
    job->previous = std::move(previous);
    job->last = last;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(job);
    }
    m_queued.notify_one();
    return job;
}

bool ZipDeflatePool::wait(const std::shared_ptr<Job> &job)
{
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [&] { return job->done; });
    return !job->failed;
}

void ZipDeflatePool::run()
{
    Deflater deflater;
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(m_mutex);
            m_queued.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        // Growing the output is the only thing that throws, and only when memory runs out:
        // reported as zlib's own refusal is, never left to end the program on this thread.
        bool ok = false;
        try {
            ok = deflater.compress(*job);
        } catch (...) {
            ok = false;
        }
        // The input is no longer needed once compressed; dropping it here keeps the memory
        // of finished jobs that wait for their turn to be written small.
        job->input = QByteArray();
        job->previous = QByteArray();
        {
            std::lock_guard lock(m_mutex);
            job->failed = !ok;
            job->done = true;
        }
        m_finished.notify_all();
    }
}
