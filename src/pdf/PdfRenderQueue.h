#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QtGlobal>

namespace vk {

struct PdfRenderRequest
{
    quintptr client = 0; // who asked, so each view replaces only its own requests
    int page = -1;
    QSize pixelSize; // of the whole page image
    QRect clip = {}; // null: the whole page; else this tile of it
    friend bool operator==(const PdfRenderRequest &, const PdfRenderRequest &) = default;
};

// Pending page renders. A client hands over everything it still wants, most
// wanted first, and that replaces what it asked before: pages that left the view
// are dropped without being rendered, and the newest wishes are served first.
class PdfRenderQueue
{
public:
    void replace(quintptr client, const QList<PdfRenderRequest> &wanted);
    bool isEmpty() const { return m_pending.isEmpty(); }
    // The request taken counts as running until finishRunning(): asking for it
    // again meanwhile does not render it twice.
    PdfRenderRequest takeNext();
    void finishRunning() { m_running = {}; }
    QList<PdfRenderRequest> requests() const { return m_pending; }
    void clear() { m_pending.clear(); }

private:
    QList<PdfRenderRequest> m_pending;
    PdfRenderRequest m_running;
};

} // namespace vk
