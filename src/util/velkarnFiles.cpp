#include "velkarn.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace {

// Hidden entries are left out (and hidden directories not entered); broken
// links, sockets and pipes are kept as files.
constexpr QDir::Filters kListingFilters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System;

} // namespace

void velkarn::resetFileLists()
{
    dirs.clear();
    files.clear();
    _filelist.clear();
    _filelistmax = 0;
    dirmax = 0;
    filemax = 0;
    dircount = 0;
    filecount = 0;
}

void velkarn::addFileInfo(const QFileInfo &info)
{
    // A link to a directory is an entry of its own, never walked into.
    if (info.isDir() && !info.isSymLink()) {
        dirs.append(QUrl::fromLocalFile(info.filePath()));
        ++dirmax;
        return;
    }
    files.append(QUrl::fromLocalFile(info.filePath()).toString(QUrl::FullyEncoded).remove(QLatin1String("file://")));
    ++filemax;
}

void velkarn::fetchfiles(const QUrl &u)
{
    resetFileLists();
    filetree(u);
    _filelist = files;
    _filelistmax = filemax;
}

void velkarn::fetchfilesman(const QUrl &u)
{
    resetFileLists();
    filetreeman(u);
    while (dircount < dirmax) {
        filetreeman(dirs.at(dircount));
        ++dircount;
    }
    _filelist = files;
    _filelistmax = filemax;
}

void velkarn::filetree(const QUrl &u)
{
    if (!u.isLocalFile())
        return;
    QDirIterator it(u.toLocalFile(), kListingFilters, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        addFileInfo(it.fileInfo());
    }
}

void velkarn::filetreeman(const QUrl &u)
{
    if (!u.isLocalFile())
        return;
    const QFileInfoList entries = QDir(u.toLocalFile()).entryInfoList(kListingFilters, QDir::Unsorted);
    for (const QFileInfo &info : entries)
        addFileInfo(info);
}

// The cursor counts up to filemax while a direct filetree() call can make
// filemax outgrow the list, so every read is bounded by the list itself.
QString velkarn::fileEntryAt(qint32 index) const
{
    return _filelist.value(index, QStringLiteral(""));
}

bool velkarn::fileEntryMatches(qint32 index, const QString &pattern)
{
    return Findstring(Findfilename(fileEntryAt(index).toLower()), pattern) >= 0;
}

QString velkarn::searchFilesFrom(const QString &pattern)
{
    while (!fileEntryMatches(filecount, pattern) && filecount < filemax - 1)
        ++filecount;
    return fileEntryMatches(filecount, pattern) ? fileEntryAt(filecount) : QStringLiteral("");
}

QString velkarn::GetFirstFile(const QString &pattern)
{
    if (filemax < 1)
        return QStringLiteral("");
    filecount = 0;
    if (pattern.isEmpty())
        return fileEntryAt(0);
    return searchFilesFrom(pattern);
}

QString velkarn::GetNextFile(const QString &pattern)
{
    ++filecount;
    if (filecount >= filemax)
        return QStringLiteral("");
    if (pattern.isEmpty())
        return fileEntryAt(filecount);
    return searchFilesFrom(pattern);
}

QString velkarn::GetPrevFile()
{
    if (filemax <= 0)
        return QStringLiteral("");
    if (filecount < 1) {
        filecount = 0;
        return QStringLiteral("");
    }
    // After running past the end, stepping back lands on the last entry.
    filecount = qMin(filecount - 1, filemax - 1);
    return fileEntryAt(filecount);
}

QString velkarn::GetLastFile()
{
    filecount = filemax - 1;
    return filemax >= 1 ? fileEntryAt(filecount) : QStringLiteral("");
}
