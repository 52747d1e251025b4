#include "PdfRenderQueue.h"

namespace vk {

void PdfRenderQueue::replace(quintptr client, const QList<PdfRenderRequest> &wanted)
{
    pending.removeIf([client](const PdfRenderRequest &r) { return r.client == client; });
    QList<PdfRenderRequest> fresh;
    for (PdfRenderRequest request : wanted) {
        request.client = client;
        if (request.page >= 0 && !request.pixelSize.isEmpty() && !fresh.contains(request)
            && request != running)
            fresh.append(request);
    }
    pending = fresh + pending;
}

PdfRenderRequest PdfRenderQueue::takeNext()
{
    running = pending.isEmpty() ? PdfRenderRequest{} : pending.takeFirst();
    return running;
}

} // namespace vk
