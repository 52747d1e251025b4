#include "PdfBook.h"

#include "PdfTiles.h"
#include "PdfUnlock.h"

#include <QPdfDocument>
#include <QPdfSelection>

#include <atomic>

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

} // namespace

PdfBook::PdfBook() : id(nextBookId.fetch_add(1)) {}

PdfBook::~PdfBook() = default;

void PdfBook::closeOrCreate()
{
    m_openedWith.clear();
    if (m_pdf)
        m_pdf->close();
    else
        m_pdf = std::make_unique<QPdfDocument>();
}

void PdfBook::loadBytes(const QByteArray &data)
{
    closeOrCreate();
    m_buffer.close();
    m_filePath.clear();
    m_bytes = data;
    m_buffer.setData(m_bytes);
    m_buffer.open(QIODevice::ReadOnly);
    m_pdf->load(&m_buffer);
}

void PdfBook::loadFile(const QString &path)
{
    closeOrCreate();
    m_buffer.close();
    m_bytes.clear();
    m_filePath = path;
    m_pdf->load(path);
}

void PdfBook::reloadWithPassword(const QString &password)
{
    if (!m_pdf)
        m_pdf = std::make_unique<QPdfDocument>();
    m_openedWith = password;
    if (m_filePath.isEmpty())
        reopenWithPassword(*m_pdf, password, &m_buffer);
    else
        reopenWithPassword(*m_pdf, password, m_filePath);
}

PdfState PdfBook::loadState() const
{
    return m_pdf ? stateOf(*m_pdf) : PdfState::Empty;
}

PdfLoadResult PdfBook::settle(quint64 generation)
{
    PdfLoadResult result;
    result.state = loadState();
    result.error = m_pdf ? int(m_pdf->error()) : 0;
    if (result.state == PdfState::Ready) {
        result.pages = m_pdf->pageCount();
        if (result.pages > 0)
            result.firstPageSize = m_pdf->pagePointSize(0);
    }
    loadedPages = result.pages;
    loadedGeneration = generation;
    measuring.clear();
    if (result.pages > 1)
        measuring.append(result.firstPageSize);
    texts.reset(result.pages);
    std::lock_guard lock(m_boundsMutex);
    m_bounds.clear();
    return result;
}

void PdfBook::measureNextSizes(int count)
{
    const int end = qMin(loadedPages, int(measuring.size()) + count);
    for (int i = int(measuring.size()); i < end; ++i)
        measuring.append(m_pdf->pagePointSize(i));
}

QString PdfBook::extractText(int page)
{
    return m_pdf->getAllText(page).text();
}

QString PdfBook::pageText(int page)
{
    const auto cached = texts.page(page, [this](int p) { return extractText(p); });
    return cached ? cached->text : QString();
}

std::optional<QList<QRectF>> PdfBook::cachedBounds(const PdfSelection &selection) const
{
    if (selection.documentId != id || !selection.isValid() || selection.page >= loadedPages)
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
        const QPdfSelection s = m_pdf->getSelectionAtIndex(selection.page, selection.start, length);
        for (const QPolygonF &polygon : s.bounds())
            rects.append(polygon.boundingRect());
    }
    std::lock_guard lock(m_boundsMutex);
    m_bounds.insert(selection, rects);
    return rects;
}

QImage PdfBook::render(int page, const QSize &pixelSize, const QRect &clip)
{
    if (page < 0 || page >= loadedPages || pixelSize.isEmpty())
        return {};
    if (clip.isNull())
        return needsTiles(pixelSize) ? QImage() : m_pdf->render(page, pixelSize);
    if (clip.isEmpty() || !QRect(QPoint(0, 0), pixelSize).contains(clip) || needsTiles(clip.size()))
        return {};
    QPdfDocumentRenderOptions options;
    options.setScaledSize(pixelSize);
    // QtPdf 6.4 scales by (right - left) / image width, which for a QRect is one
    // pixel short: a tile would shrink towards its own corner and drift by one
    // pixel per tile width from the page's origin. A clip one pixel larger than
    // the image cancels that out.
    options.setScaledClipRect(QRect(clip.topLeft(), clip.size() + QSize(1, 1)));
    return m_pdf->render(page, clip.size(), options);
}

} // namespace vk
