#include "PdfDocument.h"

#include <QBuffer>
#include <QPdfDocument>
#include <QPdfSelection>

#include <atomic>
#include <optional>

namespace {
std::atomic<quint64> nextDocumentId{1};
}

struct PdfDocument::Private
{
    quint64 id = nextDocumentId.fetch_add(1);
    QPdfDocument pdf;
    QByteArray bytes;
    QBuffer buffer;
    QString filePath;
    State state = State::Empty;
    QList<QSizeF> pageSizes;
    mutable QList<std::optional<QString>> texts;
};

PdfDocument::PdfDocument(QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
}

PdfDocument::~PdfDocument() = default;

static PdfDocument::State stateOf(const QPdfDocument &pdf)
{
    if (pdf.status() == QPdfDocument::Status::Ready)
        return PdfDocument::State::Ready;
    if (pdf.error() == QPdfDocument::Error::IncorrectPassword)
        return PdfDocument::State::Locked;
    return PdfDocument::State::Unreadable;
}

bool PdfDocument::load(const QByteArray &bytes)
{
    d->pdf.close();
    d->buffer.close();
    d->bytes = bytes;
    d->filePath.clear();
    d->buffer.setData(d->bytes);
    d->buffer.open(QIODevice::ReadOnly);
    d->pdf.load(&d->buffer);
    d->state = stateOf(d->pdf);
    d->pageSizes.clear();
    d->texts.clear();
    if (d->state == State::Ready) {
        for (int i = 0; i < d->pdf.pageCount(); ++i)
            d->pageSizes.append(d->pdf.pagePointSize(i));
        d->texts.resize(d->pageSizes.size());
    }
    return d->state == State::Ready;
}

bool PdfDocument::load(const QString &filePath)
{
    d->pdf.close();
    d->buffer.close();
    d->bytes.clear();
    d->filePath = filePath;
    d->pdf.load(filePath);
    d->state = stateOf(d->pdf);
    d->pageSizes.clear();
    d->texts.clear();
    if (d->state == State::Ready) {
        for (int i = 0; i < d->pdf.pageCount(); ++i)
            d->pageSizes.append(d->pdf.pagePointSize(i));
        d->texts.resize(d->pageSizes.size());
    }
    return d->state == State::Ready;
}

PdfDocument::State PdfDocument::state() const
{
    return d->state;
}

bool PdfDocument::unlockWithPassword(const QString &password)
{
    if (d->state != State::Locked)
        return d->state == State::Ready;
    d->pdf.close();
    d->pdf.setPassword(password);
    if (d->filePath.isEmpty()) {
        d->buffer.seek(0);
        d->pdf.load(&d->buffer);
    } else {
        d->pdf.load(d->filePath);
    }
    d->state = stateOf(d->pdf);
    if (d->state == State::Ready) {
        for (int i = 0; i < d->pdf.pageCount(); ++i)
            d->pageSizes.append(d->pdf.pagePointSize(i));
        d->texts.resize(d->pageSizes.size());
    }
    return d->state == State::Ready;
}

quint64 PdfDocument::id() const
{
    return d->id;
}

int PdfDocument::pageCount() const
{
    return int(d->pageSizes.size());
}

QSizeF PdfDocument::pageSize(int page) const
{
    if (page < 0 || page >= d->pageSizes.size())
        return {};
    return d->pageSizes.at(page);
}

QString PdfDocument::pageText(int page) const
{
    if (page < 0 || page >= d->texts.size())
        return {};
    if (!d->texts[page])
        d->texts[page] = d->pdf.getAllText(page).text();
    return *d->texts[page];
}

bool PdfDocument::isTextIndexed() const
{
    for (const auto &t : d->texts)
        if (!t)
            return false;
    return true;
}

QList<PdfSelection> PdfDocument::findString(const QString &pattern) const
{
    QList<PdfSelection> found;
    if (pattern.isEmpty())
        return found;
    for (int page = 0; page < pageCount(); ++page) {
        const QString text = pageText(page);
        for (qsizetype at = text.indexOf(pattern, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(pattern, at + pattern.size(), Qt::CaseInsensitive))
            found.append({d->id, page, int(at), int(pattern.size())});
    }
    return found;
}

QList<QRectF> PdfDocument::selectionBounds(const PdfSelection &selection) const
{
    QList<QRectF> rects;
    if (selection.documentId != d->id || !selection.isValid() || selection.page >= pageCount())
        return rects;
    const QString text = pageText(selection.page);
    if (selection.start >= text.size())
        return rects;
    const QPdfSelection s = d->pdf.getSelectionAtIndex(selection.page, selection.start, selection.length);
    for (const QPolygonF &polygon : s.bounds())
        rects.append(polygon.boundingRect());
    return rects;
}

QImage PdfDocument::renderPage(int page, const QSize &pixelSize) const
{
    if (page < 0 || page >= pageCount() || pixelSize.isEmpty())
        return {};
    return d->pdf.render(page, pixelSize);
}

QPdfDocument *PdfDocument::pdf() const
{
    return &d->pdf;
}
