#include "PdfRenderQueue.h"

namespace vk {

void PdfRenderQueue::replace(quintptr client, const QList<PdfRenderRequest> &wanted)
{
    m_pending.removeIf([client](const PdfRenderRequest &r) { return r.client == client; });
    QList<PdfRenderRequest> fresh;
    for (PdfRenderRequest request : wanted) {
        request.client = client;
        if (request.page >= 0 && !request.pixelSize.isEmpty() && !fresh.contains(request)
            && request != m_running)
            fresh.append(request);
    }
    m_pending = fresh + m_pending;
}

PdfRenderRequest PdfRenderQueue::takeNext()
{
    m_running = m_pending.isEmpty() ? PdfRenderRequest{} : m_pending.takeFirst();
    return m_running;
}

} // namespace vk
