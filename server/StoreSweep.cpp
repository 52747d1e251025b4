#include "StoreSweep.h"

#include "PortalDatabase.h"
#include "PrivateFiles.h"
#include "StagedBookFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vk {

namespace {

bool isBookFileName(const QString &name)
{
    static const QRegularExpression kBookFilePattern(QStringLiteral("^[0-9a-f]{32}\\.pdf$"));
    return kBookFilePattern.match(name).hasMatch();
}

// A running add holds its file locked from creation until its row is
// committed. Where the file system has no locks, the age alone decides.
bool lockedByRunningAdd(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return true;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

} // namespace

int sweepBookStore(QSqlDatabase db, const QString &storeDir, qint64 nowMs)
{
    const QDir store(storeDir);
    if (!store.exists())
        return 0;
    keepPrivate(storeDir);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT file FROM books WHERE file IS NOT NULL")))
        return 0;
    QSet<QString> named;
    while (query.next())
        named.insert(query.value(0).toString());

    const QString partialPrefix = QLatin1String(StagedBookFile::kPartialPrefix);
    int removed = 0;
    const QFileInfoList entries = store.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        const bool partial = name.startsWith(partialPrefix);
        if (!partial && (!isBookFileName(name) || named.contains(name))) {
            keepPrivate(entry.filePath());
            continue;
        }
        const qint64 ageMs = nowMs - entry.lastModified().toMSecsSinceEpoch();
        if (ageMs < kLeftoverMinimumAgeSeconds * 1000 || lockedByRunningAdd(entry.filePath()))
            continue;
        if (QFile::remove(entry.filePath()))
            ++removed;
    }
    return removed;
}

void reportSweep(int removed, const QString &storeDir)
{
    if (removed > 0)
        std::fprintf(stderr, "velkarn-portal: removed %d unfinished or unlisted book file(s) from %s\n", removed,
                     qPrintable(storeDir));
}

void sweepBookStoreAtStart(const QString &databasePath, const QString &storeDir)
{
    ScopedConnection connection(databasePath);
    if (connection.isOpen())
        reportSweep(sweepBookStore(connection.database(), storeDir, QDateTime::currentMSecsSinceEpoch()), storeDir);
}

} // namespace vk
