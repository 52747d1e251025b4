#pragma once

#include "UrlRequest.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>

#include <functional>
#include <memory>

class QThread;

namespace vk {

class UrlTask;

// The process-wide URL session: one worker thread that owns the network access
// manager. Completion and progress handlers run on that worker thread, one at a
// time, and must not touch widgets.
class UrlSession : public QObject
{
    Q_OBJECT
public:
    using CompletionHandler = std::function<void(const UrlResponse &)>;
    using ProgressHandler = std::function<void(qint64 received, qint64 total)>; // total < 0: unknown

    // The largest answer a data task takes and the largest file a download
    // takes; beyond them the transfer ends without data and its connection closes.
    static constexpr qint64 kMaxAnswerBytes = qint64(16) << 20;
    static constexpr qint64 kMaxDownloadBytes = qint64(1) << 30;
    // The error of a task its caller cancelled, and of one the session's end stopped.
    static inline const QString kCancelled = QStringLiteral("Cancelled");
    static inline const QString kSessionEnded = QStringLiteral("Session ended");

    // The process-wide session; it trusts the system's roots until told more.
    static UrlSession &shared();

    // A session of its own (tests use one to get fresh connections).
    UrlSession();
    ~UrlSession() override; // cancels what is in flight and stops the worker

    // CAs to trust besides the system's, for servers with a private CA. Every
    // session takes the list as it stands when its first request starts.
    static void setExtraCaCertificates(const QList<QSslCertificate> &certificates);

    // A task for a copy of the request; it starts on resume(). An answer of more
    // than maxBytes ends it without data.
    std::shared_ptr<UrlTask> dataTask(const UrlRequest &request, CompletionHandler completion,
                                      qint64 maxBytes = kMaxAnswerBytes);

    // A GET of a book: https, http or file URLs (which scheme may be used is the
    // caller's decision); ends without data after idleTimeoutMs without
    // progress or when more than maxBytes arrive. A local file is read off the
    // worker thread, and only when it is a regular file.
    std::shared_ptr<UrlTask> downloadTask(const QUrl &url, ProgressHandler progress,
                                          CompletionHandler completion,
                                          qint64 maxBytes = kMaxDownloadBytes,
                                          int idleTimeoutMs = 60000);

private:
    friend class UrlTask;
    struct Private;
    std::unique_ptr<Private> d;
};

// One transfer. Thread-safe: may be polled and waited on from any thread.
class UrlTask
{
public:
    virtual ~UrlTask() = default;
    virtual void resume() = 0;
    // The completion handler then runs with no data, unless it already ran.
    virtual void cancel() = 0;
    // True once the completion handler has returned.
    virtual bool isCompleted() const = 0;
    // Blocks the calling thread; false when timeoutMs passed first.
    virtual bool waitForCompletion(int timeoutMs) const = 0;
};

} // namespace vk
