#include "PdfBook.h"

#include "Log.h"
#include "PdfResident.h"
#include "PdfTiles.h"
#include "PdfUnlock.h"

#include <QBuffer>
#include <QPdfDocument>
#include <QPdfSelection>

#include <malloc.h>

#include <atomic>
#include <utility>

namespace vk {

namespace {

std::atomic<quint64> nextBookId{1};

PdfState stateOf(const QPdfDocument &pdf)
{
    if (pdf.status() == QPdfDocument::Status::Ready)
        return PdfState::Ready;
    if (pdf.error() == QPdfDocument::Error::IncorrectPassword)
        return PdfState::Locked;
    return PdfState::Unreadable;
}

// QtPdf hands out straight alpha, which the window converts again on every
// paint, on a pool of threads that competes with the text helpers. Converted
// once here, a paint is a plain blend.
QImage premultiplied(QImage image)
{
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return image;
}

} // namespace

// One opening of the book by QtPdf, with the device it reads from.
struct PdfBook::Opening
{
    QBuffer buffer; // declared first: it outlives the document reading it
    QPdfDocument pdf;
};

PdfBook::PdfBook(qint64 heapBudget) : m_id(nextBookId.fetch_add(1)), m_heapBudget(heapBudget) {}

PdfBook::~PdfBook() = default;

std::shared_ptr<PdfBook::Opening> PdfBook::current() const
{
    std::lock_guard lock(m_openingMutex);
    return m_opening;
}

void PdfBook::replace(std::shared_ptr<Opening> opening)
{
    std::lock_guard lock(m_openingMutex);
    m_opening.swap(opening);
    // The old opening closes when its last user lets it go, outside the lock.
}

std::shared_ptr<PdfBook::Opening> PdfBook::openAgain() const
{
    auto opening = std::make_shared<Opening>();
    if (m_filePath.isEmpty()) {
        opening->buffer.setData(m_bytes);
        opening->buffer.open(QIODevice::ReadOnly);
    }
    if (!m_openedWith.isEmpty()) {
        if (m_filePath.isEmpty())
            reopenWithPassword(opening->pdf, m_openedWith, &opening->buffer);
        else
            reopenWithPassword(opening->pdf, m_openedWith, m_filePath);
    } else if (m_filePath.isEmpty()) {
        opening->pdf.load(&opening->buffer);
    } else {
        opening->pdf.load(m_filePath);
    }
    return opening;
}

void PdfBook::loadBytes(const QByteArray &data)
{
    m_openedWith.clear();
    m_filePath.clear();
    m_bytes = data;
    replace(openAgain());
}

void PdfBook::loadFile(const QString &path)
{
    m_openedWith.clear();
    m_bytes.clear();
    m_filePath = path;
    replace(openAgain());
}

void PdfBook::reloadWithPassword(const QString &password)
{
    m_openedWith = password;
    replace(openAgain());
}

PdfState PdfBook::loadState() const
{
    const auto opening = current();
    return opening ? stateOf(opening->pdf) : PdfState::Empty;
}

PdfLoadResult PdfBook::settle(quint64 generation)
{
    const auto opening = current();
    PdfLoadResult result;
    result.state = loadState();
    result.error = opening ? int(opening->pdf.error()) : 0;
    if (result.state == PdfState::Ready) {
        result.pages = opening->pdf.pageCount();
        if (result.pages > 0)
            result.firstPageSize = opening->pdf.pagePointSize(0);
    }
    m_rendered = false;
    m_loadedPages = result.pages;
    m_loadedGeneration = generation;
    m_measured.clear();
    if (result.pages > 1)
        m_measured.append(result.firstPageSize);
    m_texts.reset(result.pages);
    std::lock_guard lock(m_boundsMutex);
    m_bounds.clear();
    return result;
}

void PdfBook::measureNextSizes(int count)
{
    const auto opening = current();
    const int end = qMin(m_loadedPages, int(m_measured.size()) + count);
    for (int i = int(m_measured.size()); i < end; ++i)
        m_measured.append(opening->pdf.pagePointSize(i));
}

QString PdfBook::extractText(int page)
{
    return current()->pdf.getAllText(page).text();
}

QString PdfBook::pageText(int page)
{
    const auto cached = m_texts.page(page, [this](int p) { return extractText(p); });
    return cached ? cached->text : QString();
}

std::optional<QList<QRectF>> PdfBook::cachedBounds(const PdfSelection &selection) const
{
    if (selection.documentId != m_id || !selection.isValid() || selection.page >= m_loadedPages)
        return QList<QRectF>();
    std::lock_guard lock(m_boundsMutex);
    const auto it = m_bounds.constFind(selection);
    if (it == m_bounds.cend())
        return std::nullopt;
    return *it;
}

QList<QRectF> PdfBook::selectionBounds(const PdfSelection &selection)
{
    if (const auto cached = cachedBounds(selection))
        return *cached;
    const int textLength = int(pageText(selection.page).size());
    QList<QRectF> rects;
    // Never ask PDFium for a start past the page text: it leaks the page.
    if (selection.start < textLength) {
        const int length = qMin(selection.length, textLength - selection.start);
        const QPdfSelection s = current()->pdf.getSelectionAtIndex(selection.page, selection.start, length);
        for (const QPolygonF &polygon : s.bounds())
            rects.append(polygon.boundingRect());
    }
    std::lock_guard lock(m_boundsMutex);
    m_bounds.insert(selection, rects);
    return rects;
}

QImage PdfBook::render(int page, const QSize &pixelSize, const QRect &clip)
{
    if (page < 0 || page >= m_loadedPages || pixelSize.isEmpty())
        return {};
    const auto opening = current();
    if (clip.isNull())
        return needsTiles(pixelSize) ? QImage() : premultiplied(opening->pdf.render(page, pixelSize));
    if (clip.isEmpty() || !QRect(QPoint(0, 0), pixelSize).contains(clip) || needsTiles(clip.size()))
        return {};
    QPdfDocumentRenderOptions options;
    options.setScaledSize(pixelSize);
    // QtPdf 6.4 scales by (right - left) / image width, which for a QRect is one
    // pixel short: a tile would shrink towards its own corner and drift by one
    // pixel per tile width from the page's origin. A clip one pixel larger than
    // the image cancels that out.
    options.setScaledClipRect(QRect(clip.topLeft(), clip.size() + QSize(1, 1)));
    return premultiplied(opening->pdf.render(page, clip.size(), options));
}

bool PdfBook::renewIfGrown()
{
    const qint64 resident = residentBytes();
    if (m_loadedPages == 0 || resident < 0)
        return false;
    // Counted from the first page shown: the growth up to it (96 MiB in one
    // run of bench_viewer firstpage, with another book reading its text) is
    // not this book's, and opening afresh then delayed that page to 679 ms.
    // Memory given back elsewhere must not hide what this book gathers later.
    m_residentBase = std::exchange(m_rendered, true) ? qMin(m_residentBase, resident) : resident;
    if (resident - m_residentBase <= m_heapBudget)
        return false;
    std::shared_ptr<Opening> fresh = openAgain();
    if (stateOf(fresh->pdf) != PdfState::Ready || fresh->pdf.pageCount() != m_loadedPages) {
        logLine(QStringLiteral("PDF could not be opened again to free its memory; keeping it open"));
        m_residentBase = resident;
        return false;
    }
    replace(std::move(fresh));
    // What PDFium freed is spread over the heaps of the threads that used it.
    malloc_trim(0);
    m_residentBase = residentBytes();
    return true;
}

} // namespace vk
