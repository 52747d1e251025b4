#pragma once

#include "PdfTextStore.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <list>
#include <mutex>

namespace vk {

// The page texts of the last few books read in this process, so that a book
// opened again is searched at once instead of read again. Kept in memory only,
// by the book's location and a digest of its bytes: a location whose book has
// changed reads the new one. Any thread.
class PdfTextCache
{
public:
    static constexpr int kMaxBooks = 3;
    static constexpr qint64 kMaxBytes = 64 * 1024 * 1024;

    // The one cache of the viewer's session.
    static PdfTextCache &session();

    static QByteArray digestOf(const QByteArray &bytes);

    // Cheap, without a digest: whether a book of this size was kept for the
    // location, so that reading it may be skipped.
    bool mayHold(const QString &location, qint64 byteCount) const;
    // The book's page texts, now the most recently used; empty when not kept.
    QList<PdfTextStore::PagePtr> find(const QString &location, const QByteArray &digest);
    // Keeps a whole book's texts, letting the least recently used go beyond
    // the limits. A book larger than kMaxBytes alone is not kept.
    void put(const QString &location, const QByteArray &digest, qint64 byteCount,
             const QList<PdfTextStore::PagePtr> &pages);

    // Lets every kept book go, so that the next opening reads its text again.
    void clear();

    int bookCount() const;
    qint64 memoryUse() const;

private:
    struct Entry
    {
        QString location;
        QByteArray digest;
        qint64 byteCount = 0;
        qint64 memory = 0;
        QList<PdfTextStore::PagePtr> pages;
    };

    mutable std::mutex m_mutex;
    std::list<Entry> m_entries; // most recently used first
    qint64 m_memory = 0;
};

} // namespace vk
