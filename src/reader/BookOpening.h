#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

namespace vk {

class PdfDocument;
class UrlSession;
class UrlTask;

// Fetches a book in the background and parses it on its document's worker.
// Every opening gets a new number and whatever an older one still delivers is
// dropped, so a slow download never replaces the book asked for last.
class BookOpening : public QObject
{
    Q_OBJECT
public:
    explicit BookOpening(UrlSession &session, QObject *parent = nullptr);
    ~BookOpening() override; // cancels the download and waits for its handler

    // A location that may not be used, a failed download and bytes that are no
    // PDF all end in opened() with a document that is not Ready, so the view
    // can say why there is no page.
    void open(const QUrl &url, const QString &password, bool allowInsecure);
    // Forgets the opening under way; it reports nothing more.
    void discard();
    // A download runs, or its bytes are still being parsed.
    bool isBusy() const;

Q_SIGNALS:
    void progress(qint64 received, qint64 total); // total < 0: unknown
    void opened(std::shared_ptr<PdfDocument> document);

private:
    void finish(quint64 generation, const std::optional<QByteArray> &bytes, const QString &password,
                const QUrl &url);

    UrlSession &m_session;
    std::shared_ptr<UrlTask> m_task;
    quint64 m_generation = 0;
    bool m_pending = false; // until the current opening's book is parsed
    std::shared_ptr<PdfDocument> m_parsing;
};

} // namespace vk
