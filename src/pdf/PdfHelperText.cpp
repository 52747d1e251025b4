#include "PdfHelperText.h"

#include "Log.h"
#include "PdfHelperCount.h"
#include "PdfTextHelpers.h"

namespace vk {

PdfHelperText::PdfHelperText(PageHandler onPage, FinishHandler onFinished)
    : m_onPage(std::move(onPage)),
      m_onFinished(std::move(onFinished))
{
}

PdfHelperText::~PdfHelperText() = default;

void PdfHelperText::start(const QByteArray &pdf, const QString &password, int pageCount)
{
    stop();
    m_ready = pageCount != PdfTextHelpers::kUnknownPageCount;
    m_helpers = std::make_unique<PdfTextHelpers>();
    PdfTextHelpers *helpers = m_helpers.get();
    QObject::connect(helpers, &PdfTextHelpers::pageRead, helpers,
                     [this](const PdfPageRecord &record) { take(record); });
    QObject::connect(helpers, &PdfTextHelpers::finished, helpers,
                     [this](bool complete) { m_onFinished(complete); });
    const int parts = textHelperCount();
    logLine(QStringLiteral("reading the book's text in %1 helper process(es)").arg(parts));
    helpers->start(pdf, password, pageCount, parts);
}

void PdfHelperText::stop()
{
    m_early.clear();
    m_ready = false;
    if (!m_helpers)
        return;
    // This may run while the helpers are handing over a page, so the object
    // goes at the next turn of the event loop; its processes go now.
    m_helpers->stop();
    m_helpers.release()->deleteLater();
}

void PdfHelperText::documentReady(int pageCount)
{
    m_ready = true;
    for (const PdfPageRecord &record : std::exchange(m_early, {}))
        m_onPage(record);
    if (m_helpers)
        m_helpers->setPageCount(pageCount);
}

void PdfHelperText::take(const PdfPageRecord &record)
{
    if (!m_ready) {
        m_early.append(record);
        return;
    }
    m_onPage(record);
}

} // namespace vk
