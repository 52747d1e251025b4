#include "UrlLocalFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vk {

namespace {

constexpr qint64 kChunkBytes = 1 << 20;

UrlResponse failure(const QString &error)
{
    return {std::nullopt, 0, error};
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Reads to the end; files under /proc report a size of 0 and still have content.
UrlResponse readAll(int fd, qint64 expected, qint64 maxBytes)
{
    QByteArray data;
    data.reserve(qMin(expected, maxBytes));
    for (;;) {
        const qint64 room = qMin<qint64>(kChunkBytes, maxBytes + 1 - data.size());
        const qsizetype at = data.size();
        data.resize(at + room);
        const ssize_t got = ::read(fd, data.data() + at, size_t(room));
        if (got < 0 && errno == EINTR) {
            data.resize(at);
            continue;
        }
        if (got < 0)
            return failure(QStringLiteral("Cannot read the file: ") + systemError());
        data.resize(at + got);
        if (data.size() > maxBytes)
            return failure(QStringLiteral("Larger than %1 bytes").arg(maxBytes));
        if (got == 0)
            return {std::move(data), 0, {}};
    }
}

}

UrlResponse readLocalFile(const QString &path, qint64 maxBytes)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failure(QStringLiteral("Cannot open the file: ") + systemError());
    struct stat info {};
    UrlResponse response;
    if (::fstat(fd, &info) != 0)
        response = failure(QStringLiteral("Cannot read the file: ") + systemError());
    else if (!S_ISREG(info.st_mode))
        response = failure(QStringLiteral("Not a regular file"));
    else if (info.st_size > maxBytes)
        response = failure(QStringLiteral("Larger than %1 bytes").arg(maxBytes));
    else
        response = readAll(fd, info.st_size, maxBytes);
    ::close(fd);
    return response;
}

} // namespace vk
