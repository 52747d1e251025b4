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
    : _storeDir(storeDir)
    , _fileName(fileName)
{
    const QByteArray path = QFile::encodeName(currentPath());
    // A leftover of the same name would be another run's: never write into it.
    _fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (_fd < 0)
        throw CommandError{QStringLiteral("cannot create a file in the book store %1: %2").arg(storeDir, systemError())};
    ::fchmod(_fd, 0600);
    ::flock(_fd, LOCK_EX | LOCK_NB);
    _buffer.reserve(kBufferBytes);
}

StagedBookFile::~StagedBookFile()
{
    if (!_kept)
        ::unlink(QFile::encodeName(currentPath()).constData());
    // Closing releases the lock, only after the file is gone or kept.
    if (_fd >= 0)
        ::close(_fd);
}

QString StagedBookFile::currentPath() const
{
    return QDir(_storeDir).filePath(_inPlace ? _fileName : QLatin1String(kPartialPrefix) + _fileName);
}

bool StagedBookFile::fail(const QString &what)
{
    if (_error.isEmpty())
        _error = what;
    return false;
}

bool StagedBookFile::flushBuffer()
{
    const char *data = _buffer.constData();
    qsizetype left = _buffer.size();
    while (left > 0) {
        const ssize_t n = ::write(_fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(QStringLiteral("write failed after %1 bytes: %2").arg(_written).arg(systemError()));
        data += n;
        left -= n;
        _written += n;
    }
    _buffer.clear();
    return true;
}

bool StagedBookFile::write(const char *data, qint64 size)
{
    if (!_error.isEmpty())
        return false;
    _buffer.append(data, qsizetype(size));
    return _buffer.size() < kBufferBytes || flushBuffer();
}

bool StagedBookFile::finish()
{
    if (!_error.isEmpty() || !flushBuffer())
        return false;
    if (::fsync(_fd) != 0)
        return fail(QStringLiteral("cannot sync the copy to disk: %1").arg(systemError()));
    struct stat status {};
    if (::fstat(_fd, &status) != 0)
        return fail(QStringLiteral("cannot check the copy: %1").arg(systemError()));
    if (status.st_size != _written)
        return fail(QStringLiteral("the copy holds %1 bytes instead of %2").arg(qint64(status.st_size)).arg(_written));
    return true;
}

bool StagedBookFile::moveIntoPlace()
{
    const QString partial = currentPath();
    const QString target = QDir(_storeDir).filePath(_fileName);
    if (::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) != 0)
        return fail(QStringLiteral("cannot move the copy into place: %1").arg(systemError()));
    _inPlace = true;
    // Without this a crash could keep the row and lose the name.
    const int dir = ::open(QFile::encodeName(_storeDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
    _kept = true;
}

} // namespace vk
