#pragma once

#include "UrlRequest.h"

#include <QObject>

#include <functional>
#include <memory>

class QThread;
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

    // The shared session; extra CA certificates come from PortalConfig.
    static UrlSession &shared();

    // A session of its own (tests use one to get fresh connections).
    UrlSession();
    ~UrlSession() override; // cancels what is in flight and stops the worker

    // A task for a copy of the request; it starts on resume().
    std::shared_ptr<UrlTask> dataTask(const UrlRequest &request, CompletionHandler completion);

    // A GET of a book: https, http or file URLs; ends without data after
    // idleTimeoutMs without progress or when more than maxBytes arrive.
    std::shared_ptr<UrlTask> downloadTask(const QUrl &url, ProgressHandler progress,
                                          CompletionHandler completion,
                                          qint64 maxBytes = qint64(1) << 30,
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
