#pragma once

#include <QByteArray>
#include <QString>

namespace vk {

// A book file on its way into the store. It is written as ".partial-NAME",
// created for its owner only, with every write and the final flush to disk
// checked, so that a full disk shows up as an error instead of a short book.
// The file stays locked while this object lives: a store sweep that runs
// meanwhile leaves it alone, however long encryption or the database wait.
// Unless keep() is called, the file is removed again on destruction.
class StagedBookFile
{
public:
    // Throws CommandError when the file cannot be created.
    StagedBookFile(const QString &storeDir, const QString &fileName);
    ~StagedBookFile();
    StagedBookFile(const StagedBookFile &) = delete;
    StagedBookFile &operator=(const StagedBookFile &) = delete;

    // false once any write failed; errorText() says why.
    bool write(const char *data, qint64 size);
    // Writes what is buffered, syncs it to disk and checks that the file on
    // disk holds exactly the bytes written.
    bool finish();
    // Renames the finished file to its own name and syncs the directory.
    bool moveIntoPlace();
    // The row naming the file is committed: leave the file where it is.
    void keep();

    QString errorText() const { return m_error; }
    QString fileName() const { return m_fileName; }
    // Where the file is now: the partial name until moveIntoPlace().
    QString currentPath() const;
    qint64 bytesWritten() const { return m_written; }

    static constexpr const char *kPartialPrefix = ".partial-";

private:
    bool flushBuffer();
    bool fail(const QString &what);

    QString m_storeDir;
    QString m_fileName;
    int m_fd = -1;
    QByteArray m_buffer;
    qint64 m_written = 0;
    bool m_inPlace = false;
    bool m_kept = false;
    QString m_error;
};

} // namespace vk
