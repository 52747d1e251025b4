#pragma once

#include "PdfSelection.h"
#include "PdfState.h"
#include "PdfTextStore.h"

#include <QBuffer>
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
    PdfBook();
    ~PdfBook();

    const quint64 id; // unique per book in the process; never 0

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

    int loadedPages = 0;
    quint64 loadedGeneration = 0;
    QList<QSizeF> measuring; // worker thread
    void measureNextSizes(int count);
    PdfTextStore texts;
    QString extractText(int page);
    QString pageText(int page);

    std::optional<QList<QRectF>> cachedBounds(const PdfSelection &selection) const;
    QList<QRectF> selectionBounds(const PdfSelection &selection);
    // The whole page at pixelSize, or only the tile clip of that image. Null
    // for an image over kMaxImagePixels and for a clip outside the page.
    QImage render(int page, const QSize &pixelSize, const QRect &clip = {});

private:
    void closeOrCreate();

    // Made by the first load, on the thread that loads: making one takes QtPdf's
    // global lock, which another book being closed may hold for a while.
    std::unique_ptr<QPdfDocument> m_pdf;
    QByteArray m_bytes;
    QBuffer m_buffer;
    QString m_filePath;
    QString m_openedWith;

    mutable std::mutex m_boundsMutex;
    QHash<PdfSelection, QList<QRectF>> m_bounds;
};

} // namespace vk
