#pragma once

#include <QFile>
#include <QString>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace TestUtil
{
/// A FIFO (named pipe) that notices whoever opens it for reading. Code that opens a FIFO for reading waits
/// until a writer comes: a thread here waits as that writer, counts each reader that arrives and lets it go
/// at once (it reads end-of-file), so code under test that opens the FIFO is caught, never left hanging. The
/// thread is stopped and joined when the object goes: keep it in a local of the test.
class FifoSentinel
{
public:
    explicit FifoSentinel(const QString& path)
        : m_path(QFile::encodeName(path))
    {
        m_valid = ::mkfifo(m_path.constData(), 0600) == 0;
        if (m_valid) {
            m_thread = std::thread([this] { serve(); });
        }
    }

    ~FifoSentinel()
    {
        if (!m_valid) {
            return;
        }
        // Opening the read end ourselves releases the thread's waiting open; it sees the stop and ends.
        m_stopping = true;
        const int fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK);
        m_thread.join();
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(m_path.constData());
    }

    FifoSentinel(const FifoSentinel&) = delete;
    FifoSentinel& operator=(const FifoSentinel&) = delete;

    bool isValid() const { return m_valid; }
    /// How many times something opened the FIFO for reading so far.
    int readers() const { return m_readers; }

private:
    void serve()
    {
        for (;;) {
            const int fd = ::open(m_path.constData(), O_WRONLY); // waits for a reader
            if (fd < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (m_stopping) {
                ::close(fd);
                return;
            }
            ++m_readers;
            ::close(fd); // the reader gets end-of-file and goes on
            // A reader that keeps the FIFO open would let the next open through at once: give it a moment to
            // close instead of spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    QByteArray m_path;
    bool m_valid = false;
    std::atomic<bool> m_stopping { false };
    std::atomic<int> m_readers { 0 };
    std::thread m_thread;
};
} // namespace TestUtil
