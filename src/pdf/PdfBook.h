#pragma once

#include "PdfSelection.h"
#include "PdfState.h"
#include "PdfTextStore.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>

#include <memory>
#include <mutex>
#include <optional>

class QPdfDocument;

namespace vk {

// What a load found out, handed from the thread that loaded to the document's
// own thread.
struct PdfLoadResult
{
    PdfState state = PdfState::Empty;
    int error = 0;
    int pages = 0;
    QSizeF firstPageSize;
};

// The PDFium side of one document: the loaded book, its page texts and the
// selection outlines found so far. One thread loads it at a time; once loaded,
// the document's worker and its main thread both read it. Knows no signals, so
// it can outlive the document while the worker closes it.
class PdfBook
{
public:
    // Kept for QtPdf's page checks by the end of source3.pdf (1,611 pages):
    // 94 MiB, most of it over the last 200 pages, whose index entries carry
    // some 250 link annotations a page; paging through those took the process
    // from 142 to 280 MiB. Opening the book afresh costs 0.2 to 0.4 s on the
    // worker, so it waits until the process has grown this much since the
    // book's last opening. The growth is the whole process's (PDFium's heaps
    // grow outside the render calls as well); what the book did not gather,
    // such as page images and texts, costs at most one early reopening.
    static constexpr qint64 kHeapBudget = 48LL * 1024 * 1024;

    // A negative budget opens the book afresh at every chance.
    explicit PdfBook(qint64 heapBudget = kHeapBudget);
    ~PdfBook();

    quint64 id() const { return m_id; } // unique per book in the process; never 0

    // A load must not overlap another, or a job of the worker: the document
    // stops its worker before it loads on its own thread.
    void loadBytes(const QByteArray &data);
    void loadFile(const QString &path);
    void reloadWithPassword(const QString &password);
    PdfState loadState() const;
    // The bytes and password the book was opened with; no bytes for a file.
    QByteArray pdfBytes() const { return m_bytes; }
    QString password() const { return m_openedWith; }
    QString filePath() const { return m_filePath; }
    // Resets what the worker reads for the book just loaded.
    PdfLoadResult settle(quint64 generation);

    int loadedPages() const { return m_loadedPages; }
    quint64 loadedGeneration() const { return m_loadedGeneration; }
    // Page sizes measured so far after the first; worker thread.
    const QList<QSizeF> &measured() const { return m_measured; }
    void measureNextSizes(int count);
    PdfTextStore &texts() { return m_texts; }
    QString extractText(int page);
    QString pageText(int page);

    std::optional<QList<QRectF>> cachedBounds(const PdfSelection &selection) const;
    QList<QRectF> selectionBounds(const PdfSelection &selection);
    // The whole page at pixelSize, or only the tile clip of that image. Null
    // for an image over kMaxImagePixels and for a clip outside the page.
    QImage render(int page, const QSize &pixelSize, const QRect &clip = {});

    // Opens the book afresh once the process has outgrown its budget since the
    // book's last opening, and lets the old opening go with all that PDFium kept
    // for it. Worker thread only, between jobs; true when it did. A reopening
    // that fails keeps the old one.
    bool renewIfGrown();

private:
    const quint64 m_id;
    int m_loadedPages = 0;
    quint64 m_loadedGeneration = 0;
    QList<QSizeF> m_measured;
    PdfTextStore m_texts;

    struct Opening;
    std::shared_ptr<Opening> current() const;
    void replace(std::shared_ptr<Opening> opening);
    std::shared_ptr<Opening> openAgain() const;

    // Made by each load on the thread that loads: making one takes QtPdf's
    // global lock, which another book being closed may hold for a while. Shared
    // with a call running on the other thread while the worker renews it.
    mutable std::mutex m_openingMutex;
    std::shared_ptr<Opening> m_opening;
    QByteArray m_bytes;
    QString m_filePath;
    QString m_openedWith;
    const qint64 m_heapBudget;
    // The lowest since the book's first render after its last load; worker thread.
    qint64 m_residentBase = 0;
    bool m_rendered = false;

    mutable std::mutex m_boundsMutex;
    QHash<PdfSelection, QList<QRectF>> m_bounds;
};

} // namespace vk
