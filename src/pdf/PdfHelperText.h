#pragma once

#include "PdfTextProtocol.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace vk {

class PdfTextHelpers;

// The helper processes reading one document's text, seen from the document.
// Helpers may start before this process has parsed the book; the pages they
// hand over until then wait here and go on once the document is ready.
class PdfHelperText
{
public:
    using PageHandler = std::function<void(const PdfPageRecord &record)>;
    using FinishHandler = std::function<void(bool complete)>;

    PdfHelperText(PageHandler onPage, FinishHandler onFinished);
    ~PdfHelperText();
    PdfHelperText(const PdfHelperText &) = delete;
    PdfHelperText &operator=(const PdfHelperText &) = delete;

    // pageCount may be PdfTextHelpers::kUnknownPageCount, until documentReady.
    void start(const QByteArray &pdf, const QString &password, int pageCount);
    void stop();
    bool isRunning() const { return m_helpers != nullptr; }
    // The document parsed the book: held pages go on, the helpers learn the count.
    void documentReady(int pageCount);

private:
    void take(const PdfPageRecord &record);

    PageHandler m_onPage;
    FinishHandler m_onFinished;
    std::unique_ptr<PdfTextHelpers> m_helpers;
    QList<PdfPageRecord> m_early;
    bool m_ready = false;
};

} // namespace vk
