#pragma once

#include "PdfOutline.h"
#include "PdfRenderQueue.h"
#include "PdfSelection.h"
#include "PdfState.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QSizeF>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace vk {

class PdfBook;
class PdfHelperText;
class PdfWorker;
struct PdfLoadResult;
struct PdfPageRecord;

// One PDF book: loading, unlocking, page geometry, rendering and text search.
// Knows no widgets. After a successful load (or unlock) it reads every page's
// text once, in the background, so that searches do not wait for PDFium: a
// large book opened from bytes in helper processes side by side, anything else
// (and whatever the helpers fail to read) on the document's worker thread.
class PdfDocument : public QObject
{
    Q_OBJECT
public:
    using State = PdfState;

    explicit PdfDocument(QObject *parent = nullptr);
    // Returns at once: the worker finishes its running job and closes the book
    // on its own thread.
    ~PdfDocument() override;

    // Load replaces whatever was loaded before. False when the result is not Ready.
    bool load(const QByteArray &bytes);
    bool load(const QString &filePath);
    // The same on the worker, unlocked with password when it is not empty, so
    // that parsing a large book does not hold up the calling thread. The state
    // stays Empty until loaded is emitted.
    void loadInBackground(const QByteArray &bytes, const QString &password);
    // Where the next background load's bytes came from. A book read whole in
    // this session under the same location and with the same bytes takes the
    // texts read then instead of reading them again (PdfTextCache).
    void setTextLocation(const QString &location);

    State state() const;
    bool isLocked() const { return state() == State::Locked; }

    // True when the document is Ready afterwards (also when it was not locked).
    bool unlockWithPassword(const QString &password);

    // Unique per instance in the process; never 0.
    quint64 id() const;

    int pageCount() const;                // 0 unless Ready
    QSizeF pageSize(int page) const;      // points; invalid for a page outside the document
    // QtPdf takes about a millisecond per page to tell a page's size, so a load
    // measures only the first page and takes it for every page; the worker then
    // measures the rest and, if any page differs, updates the sizes and emits
    // pageSizesChanged. Main thread only.
    bool arePageSizesMeasured() const;

    // Every case-insensitive match of pattern, in document order. Pages whose text
    // the worker has not cached yet are extracted here, on the calling thread.
    QList<PdfSelection> findString(const QString &pattern) const;
    // The same for the pages firstPage to endPage - 1 only.
    QList<PdfSelection> findString(const QString &pattern, int firstPage, int endPage) const;
    bool isTextIndexed() const;           // every page's text is cached
    // The pages before this one all have their text cached.
    int textReadPrefix() const;
    QString pageText(int page) const;     // cached; extracted on first use

    // Rectangles of the selection in page points (top-left origin), one per line
    // of text. Empty for a selection of another document or outside it.
    QList<QRectF> selectionBounds(const PdfSelection &selection) const;
    // The same without touching PDFium: empty optional until the bounds are cached.
    // requestSelectionBounds computes them on the worker and then emits
    // selectionBoundsReady, so a view can draw highlights without waiting on a render.
    std::optional<QList<QRectF>> cachedSelectionBounds(const PdfSelection &selection) const;
    void requestSelectionBounds(const QList<PdfSelection> &selections) const;

    // Renders on the calling thread; the worker does the same for requestRenders.
    // A clip asks for only that tile of the page image of pixelSize; images over
    // kMaxImagePixels (PdfTiles.h) are never rendered, whole or clipped.
    QImage renderPage(int page, const QSize &pixelSize, const QRect &clip = {}) const;
    // Renders on the worker, most wanted first; replaces what this client asked
    // before. Each image arrives through pageRendered.
    void requestRenders(quintptr client, const QList<PdfRenderRequest> &wanted) const;

    // Reads the book's outline on a thread of its own once the book's text is
    // read (or kOutlineWait has passed), and delivers it through outlineRead;
    // an empty one for a book without outline or pages.
    static constexpr std::chrono::milliseconds kOutlineWait{3000};
    void requestOutline() const;

    // How many times page text was taken from PDFium in this process (not by
    // the helpers) since the last load.
    int textExtractionCount() const;

Q_SIGNALS:
    void loaded(); // a background load is done; state() tells how it went
    void textIndexed();                   // emitted once every page's text is cached
    void textIndexProgress(int pagesDone, int pageCount);
    void textPrefixRead(int pages);       // textReadPrefix() grew to pages
    // Emitted on the worker thread: connect queued (the default across threads).
    // The image is null when the page could not be rendered as asked.
    void pageRendered(const PdfRenderRequest &request, const QImage &image);
    void selectionBoundsReady();
    void pageSizesChanged();
    void outlineRead(const QList<vk::PdfOutlineEntry> &entries);

private:
    struct Private;
    bool loadHere(const std::function<void(PdfBook &)> &open);
    bool finishLoad(const PdfLoadResult &result);
    void startWorker();
    void takeHelperPage(const PdfPageRecord &record);
    void helpersFinished(bool complete);
    void reportIndexProgress();
    void readOutlineIfWanted();
    void reportPrefix();
    void keepText();
    void applyMeasuredSizes(quint64 generation, const QList<QSizeF> &sizes);

    // Shared with the worker, which may still be closing the book after this
    // object is gone.
    std::shared_ptr<Private> d;
    std::unique_ptr<PdfWorker> m_worker;
    // Read a large book's text in other processes; the worker reads what they do not.
    std::unique_ptr<PdfHelperText> m_helperText;
};

} // namespace vk
