#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vk {

namespace {

constexpr mode_t kPrivateFile = 0600;
constexpr mode_t kPrivateDirectory = 0700;

} // namespace

QString makePrivateDirectory(const QString &path)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("cannot create %1").arg(info.absolutePath());
    const QByteArray name = QFile::encodeName(path);
    // mkdir applies the umask, which may take away the owner's own bits too.
    if (::mkdir(name.constData(), kPrivateDirectory) != 0 && errno != EEXIST)
        return QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (::chmod(name.constData(), kPrivateDirectory) != 0)
        return QStringLiteral("cannot make %1 private: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

void keepPrivate(const QString &path)
{
    struct stat status {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &status) != 0)
        return;
    const mode_t wanted = status.st_mode & (S_ISDIR(status.st_mode) ? kPrivateDirectory : kPrivateFile);
    if ((status.st_mode & 07777) != wanted)
        ::chmod(name.constData(), wanted);
}

void protectDatabaseFiles(const QString &path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char(':')))
        return;
    // Never open an existing database file here: closing any descriptor of
    // it drops every POSIX lock this process holds on it, SQLite's included.
    // A file created here cannot be locked yet.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFile);
    if (fd >= 0) {
        ::fchmod(fd, kPrivateFile);
        ::close(fd);
    }
    keepPrivate(path);
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")}) {
        if (QFileInfo::exists(path + suffix))
            keepPrivate(path + suffix);
    }
}

} // namespace vk
