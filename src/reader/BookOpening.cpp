#include "BookOpening.h"

#include "BookLocation.h"
#include "Log.h"
#include "PdfDocument.h"
#include "UrlSession.h"

namespace vk {

namespace {
// Long enough for a handler already running; the owner is going anyway.
constexpr int kTeardownWaitMs = 5000;
}

BookOpening::BookOpening(UrlSession &session, QObject *parent)
    : QObject(parent),
      m_session(session)
{
}

BookOpening::~BookOpening()
{
    if (m_task) {
        m_task->cancel();
        m_task->waitForCompletion(kTeardownWaitMs);
    }
}

bool BookOpening::isBusy() const
{
    return m_pending || (m_task && !m_task->isCompleted());
}

void BookOpening::discard()
{
    ++m_generation;
    m_pending = false;
    m_parsing.reset();
    if (m_task)
        m_task->cancel();
}

void BookOpening::open(const QUrl &url, const QString &password, bool allowInsecure)
{
    discard();
    const quint64 generation = m_generation;
    m_pending = true;
    const QString refusal = bookLocationRefusal(url, allowInsecure);
    if (!refusal.isEmpty()) {
        logLine(refusal);
        finish(generation, std::nullopt, password, url);
        return;
    }
    auto onProgress = [this, generation](qint64 received, qint64 total) {
        QMetaObject::invokeMethod(this, [this, generation, received, total] {
            if (generation == m_generation)
                emit progress(received, total);
        }, Qt::QueuedConnection);
    };
    auto completion = [this, generation, password, url](const UrlResponse &response) {
        QMetaObject::invokeMethod(this, [this, generation, password, url, data = response.data] {
            finish(generation, data, password, url);
        }, Qt::QueuedConnection);
    };
    m_task = m_session.downloadTask(url, onProgress, completion);
    m_task->resume();
}

void BookOpening::finish(quint64 generation, const std::optional<QByteArray> &bytes,
                         const QString &password, const QUrl &url)
{
    if (generation != m_generation)
        return;
    // A book that could not be fetched becomes a document that could not be
    // read. Parsing a large book takes a tenth of a second, off this thread.
    m_parsing = std::make_shared<PdfDocument>();
    connect(m_parsing.get(), &PdfDocument::loaded, this, [this] {
        m_pending = false;
        emit opened(std::exchange(m_parsing, nullptr));
    });
    m_parsing->setTextLocation(url.toString());
    m_parsing->loadInBackground(bytes.value_or(QByteArray()), password);
}

} // namespace vk
