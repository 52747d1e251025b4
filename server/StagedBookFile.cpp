#include "StagedBookFile.h"

#include "CommandLine.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vk {

namespace {

constexpr qsizetype kBufferBytes = 1024 * 1024;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

StagedBookFile::StagedBookFile(const QString &storeDir, const QString &fileName)
    : m_storeDir(storeDir)
    , m_fileName(fileName)
{
    const QByteArray path = QFile::encodeName(currentPath());
    // A leftover of the same name would be another run's: never write into it.
    m_fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (m_fd < 0)
        throw CommandError{QStringLiteral("cannot create a file in the book store %1: %2").arg(storeDir, systemError())};
    ::fchmod(m_fd, 0600);
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    m_buffer.reserve(kBufferBytes);
}

StagedBookFile::~StagedBookFile()
{
    if (!m_kept)
        ::unlink(QFile::encodeName(currentPath()).constData());
    // Closing releases the lock, only after the file is gone or kept.
    if (m_fd >= 0)
        ::close(m_fd);
}

QString StagedBookFile::currentPath() const
{
    return QDir(m_storeDir).filePath(m_inPlace ? m_fileName : QLatin1String(kPartialPrefix) + m_fileName);
}

bool StagedBookFile::fail(const QString &what)
{
    if (m_error.isEmpty())
        m_error = what;
    return false;
}

bool StagedBookFile::flushBuffer()
{
    const char *data = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(QStringLiteral("write failed after %1 bytes: %2").arg(m_written).arg(systemError()));
        data += n;
        left -= n;
        m_written += n;
    }
    m_buffer.clear();
    return true;
}

bool StagedBookFile::write(const char *data, qint64 size)
{
    if (!m_error.isEmpty())
        return false;
    m_buffer.append(data, qsizetype(size));
    return m_buffer.size() < kBufferBytes || flushBuffer();
}

bool StagedBookFile::finish()
{
    if (!m_error.isEmpty() || !flushBuffer())
        return false;
    if (::fsync(m_fd) != 0)
        return fail(QStringLiteral("cannot sync the copy to disk: %1").arg(systemError()));
    struct stat status {};
    if (::fstat(m_fd, &status) != 0)
        return fail(QStringLiteral("cannot check the copy: %1").arg(systemError()));
    if (status.st_size != m_written)
        return fail(QStringLiteral("the copy holds %1 bytes instead of %2").arg(qint64(status.st_size)).arg(m_written));
    return true;
}

bool StagedBookFile::moveIntoPlace()
{
    const QString partial = currentPath();
    const QString target = QDir(m_storeDir).filePath(m_fileName);
    if (::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) != 0)
        return fail(QStringLiteral("cannot move the copy into place: %1").arg(systemError()));
    m_inPlace = true;
    // Without this a crash could keep the row and lose the name.
    const int dir = ::open(QFile::encodeName(m_storeDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0) {
        fail(QStringLiteral("cannot sync the book store: %1").arg(systemError()));
        if (dir >= 0)
            ::close(dir);
        return false;
    }
    ::close(dir);
    return true;
}

void StagedBookFile::keep()
{
    m_kept = true;
}

} // namespace vk
