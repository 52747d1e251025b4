#pragma once

#include "PdfPlace.h"
#include "PdfSelection.h"

#include <QAbstractScrollArea>
#include <QList>

#include <functional>
#include <memory>
#include <optional>

namespace vk {

class PdfDocument;
struct PdfImageKey;
struct PdfRenderRequest;

// Continuous view of a PdfDocument: pages one under the other, scaled, with a
// current selection and highlighted selections. It renders only the pages in view
// (plus one on each side) off the main thread and keeps a bounded image cache.
// Without a usable document it shows a short centred reason instead of a blank area.
class PdfView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit PdfView(QWidget *parent = nullptr);
    ~PdfView() override;

    void setDocument(std::shared_ptr<PdfDocument> document); // null: "No book open"
    std::shared_ptr<PdfDocument> document() const;

    // While a book downloads: its name and a progress bar instead of pages.
    // Ends with the next setDocument.
    void showDownload(const QString &bookName);
    void setDownloadProgress(qint64 received, qint64 total); // total < 0: unknown

    // 1.0 shows a page at its size in points. Setting it leaves auto-scaling as it is.
    double scaleFactor() const;
    void setScaleFactor(double scale);
    // While on, the page width fits the view on every document change and resize.
    bool autoScales() const;
    void setAutoScales(bool on);

    int currentPageIndex() const; // 0-based; 0 without pages
    void goToPage(int index);
    void goToFirstPage();
    void goToPreviousPage();
    void goToNextPage();
    void goToLastPage();

    // The place shown at a point of the viewport, and showing a place there
    // (at the top-left corner by default); a page outside the book is ignored.
    PdfPlace placeAt(QPoint viewportPos = {}) const;
    void showPlace(const PdfPlace &place, QPoint viewportPos = {});

    // Selections of another document are kept but neither drawn nor scrolled to.
    std::optional<PdfSelection> currentSelection() const;
    void setCurrentSelection(const PdfSelection &selection);
    void clearCurrentSelection();
    QList<PdfSelection> highlightedSelections() const;
    void setHighlightedSelections(const QList<PdfSelection> &selections);
    // Scrolls only when the current selection is not fully visible.
    void scrollSelectionToVisible();

    // The reason shown instead of pages, or empty while pages are shown.
    QString placeholderText() const;

Q_SIGNALS:
    void currentPageChanged(int index);
    void scaleFactorChanged(double scale);
    void pagePainted(int index); // a rendered page image (not a placeholder) reached the screen
    // The view scrolled to the current selection once its outline arrived,
    // after scrollSelectionToVisible had to leave it for later.
    void selectionReached();
    // Ctrl and the wheel: steps zoom choices in (positive) or out around viewportPos.
    void zoomStepAsked(int steps, QPoint viewportPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    bool hasPages() const;
    QSize pixelSizeOf(int page) const;
    QRect visibleContentRect() const;
    void applyScale(double scale);
    void applyAutoScale();
    void relayout();
    void relayoutKeepingPlace(const std::function<void()> &change);
    void takeMeasuredSizes();
    void scrollToContentY(int y);
    void setCurrentPage(int index);
    void scheduleRenders();
    void rebuildHighlightIndex();
    void ensureContentRectVisible(const QRect &rect);
    void scrollToSelectionBounds(const PdfSelection &selection, const QList<QRectF> &bounds);
    QRect visiblePartOf(int page) const;
    void repaintPage(int page);
    QList<PdfImageKey> imagesShowing(int page) const;
    void acceptRender(quint64 documentId, const PdfRenderRequest &request, const QImage &image);
    void boundsArrived();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace vk
