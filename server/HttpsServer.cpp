#include "HttpsServer.h"

#include "ClientKey.h"
#include "ConnectionGuard.h"
#include "RequestLog.h"
#include "WriteQueue.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace vk {

namespace {

// Bodies a little over the limit are read and dropped so that the client sees
// the 413 instead of a reset connection; beyond this the connection is closed.
constexpr qsizetype kDrainLimitBytes = 4 * 1024 * 1024;
// Status updates waiting for the database beyond this many get a 503 at once.
constexpr std::size_t kWriteQueueCapacity = 1024;
constexpr std::chrono::milliseconds kWatchdogTick{200};
// Closed connections are summed up in the log at most this often, so an
// attack cannot flood it.
constexpr qint64 kClosedReportMs = 60'000;

// TLS 1.2 and 1.3 only; key exchange with forward secrecy (ECDHE; TLS 1.3's
// is always) and AEAD ciphers only, so no CBC and no static RSA.
const char kTlsPriorities[] =
    "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:-KX-ALL:+ECDHE-ECDSA:+ECDHE-RSA"
    ":-CIPHER-ALL:+AES-256-GCM:+CHACHA20-POLY1305:+AES-128-GCM:-MAC-ALL:+AEAD";

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct RequestState
{
    QElapsedTimer timer;
    QString client;
    QString method;
    QString path;
    QByteArray body;
    qsizetype received = 0;
    bool tooLarge = false;
    int status = 0;
    // Set once the request went to the write queue; the answer is complete
    // when the queue resumes the connection.
    bool deferred = false;
    PortalReply deferredReply;
};

} // namespace

struct HttpsServer::Running
{
    PortalService &service;
    HttpsServerOptions options;
    ConnectionGuard guard;
    WriteQueue writes{kWriteQueueCapacity};
    MHD_Daemon *daemon = nullptr;
    std::thread watchdog;
    std::mutex watchdogMutex;
    std::condition_variable watchdogWake;
    bool stopping = false;

    Running(PortalService &s, const HttpsServerOptions &o, const ConnectionGuard::Limits &limits)
        : service(s)
        , options(o)
        , guard(limits)
    {
    }

    void watch()
    {
        qint64 reportedMs = steadyMs() - kClosedReportMs;
        std::unique_lock lock(watchdogMutex);
        while (!watchdogWake.wait_for(lock, kWatchdogTick, [this] { return stopping; })) {
            const qint64 now = steadyMs();
            guard.cutOverdue(now);
            if (now - reportedMs < kClosedReportMs)
                continue;
            const ConnectionGuard::Closed closed = guard.takeClosed();
            if (closed.refused == 0 && closed.cut == 0)
                continue;
            reportedMs = now;
            writeLogLine(QStringLiteral("%1 connections closed: %2 over their address's share, %3 past the request deadline")
                             .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs))
                             .arg(closed.refused)
                             .arg(closed.cut));
        }
    }
};

namespace {

using Running = HttpsServer::Running;

QString clientAddress(MHD_Connection *connection)
{
    const MHD_ConnectionInfo *info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr)
        return QStringLiteral("-");
    char text[INET6_ADDRSTRLEN] = {};
    const sockaddr *address = info->client_addr;
    if (address->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(address)->sin_addr, text, sizeof text);
    else if (address->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr, text, sizeof text);
    return QString::fromLatin1(text);
}
MHD_Result queueText(MHD_Connection *connection, RequestState *state, int status,
                     const QByteArray &body)
{
    MHD_Response *response = MHD_create_response_from_buffer(
        size_t(body.size()), const_cast<char *>(body.constData()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    const MHD_Result result = MHD_queue_response(connection, unsigned(status), response);
    MHD_destroy_response(response);
    state->status = status;
    return result;
}

MHD_Result queueFile(MHD_Connection *connection, RequestState *state, const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat info = {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return queueText(connection, state, 404, "not found");
    }
    // The response owns the descriptor from here on and closes it.
    MHD_Response *response = MHD_create_response_from_fd64(uint64_t(info.st_size), fd);
    if (!response) {
        ::close(fd);
        return MHD_NO;
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "application/pdf");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_OK, response);
    MHD_destroy_response(response);
    state->status = MHD_HTTP_OK;
    return result;
}

// Hands a status update to the write queue and suspends the connection
// until its answer is ready; the handler is called again on resumption.
MHD_Result deferWrite(Running *running, MHD_Connection *connection, RequestState *state,
                      const StatusWrite &update)
{
    state->deferred = true;
    MHD_suspend_connection(connection);
    const bool queued = running->writes.submit([running, connection, state, update](bool run) {
        state->deferredReply = run ? running->service.write(update)
                                   : PortalReply{503, "portal stopping, try again", {}};
        MHD_resume_connection(connection);
    });
    if (!queued) {
        state->deferredReply = PortalReply{503, "portal busy, try again", {}};
        MHD_resume_connection(connection);
    }
    return MHD_YES;
}

MHD_Result handleRequest(void *cls, MHD_Connection *connection, const char *url,
                         const char *method, const char *, const char *uploadData,
                         size_t *uploadDataSize, void **requestContext)
{
    auto *running = static_cast<Running *>(cls);
    auto *state = static_cast<RequestState *>(*requestContext);
    if (!state) {
        auto fresh = std::make_unique<RequestState>();
        fresh->timer.start();
        fresh->client = clientAddress(connection);
        fresh->method = QString::fromLatin1(method);
        fresh->path = QString::fromUtf8(url);
        // libmicrohttpd keeps it until requestCompleted() takes it back.
        state = fresh.release();
        *requestContext = state;
        const char *length =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (length) {
            const qlonglong declared = QByteArray(length).toLongLong();
            if (declared > PortalService::kMaxBodyBytes)
                state->tooLarge = true;
            if (declared > kDrainLimitBytes) {
                running->guard.requestArrived(connection);
                return queueText(connection, state, 413, "request body too large");
            }
        }
        return MHD_YES;
    }
    if (*uploadDataSize != 0) {
        state->received += qsizetype(*uploadDataSize);
        if (state->received > kDrainLimitBytes)
            return MHD_NO;
        if (state->received > PortalService::kMaxBodyBytes) {
            state->tooLarge = true;
            state->body.clear();
        } else {
            state->body.append(uploadData, qsizetype(*uploadDataSize));
        }
        *uploadDataSize = 0;
        return MHD_YES;
    }
    PortalReply reply;
    if (state->deferred) {
        reply = state->deferredReply;
    } else {
        running->guard.requestArrived(connection);
        if (state->tooLarge)
            return queueText(connection, state, 413, "request body too large");
        auto step = running->service.begin({state->method, state->path, state->body, state->client});
        if (const auto *update = std::get_if<StatusWrite>(&step))
            return deferWrite(running, connection, state, *update);
        reply = std::get<PortalReply>(step);
    }
    if (!reply.filePath.isEmpty())
        return queueFile(connection, state, reply.filePath);
    return queueText(connection, state, reply.status, reply.body);
}

void requestCompleted(void *cls, MHD_Connection *connection, void **requestContext,
                      MHD_RequestTerminationCode)
{
    auto *running = static_cast<Running *>(cls);
    running->guard.awaitRequest(connection, steadyMs());
    const std::unique_ptr<RequestState> state(static_cast<RequestState *>(*requestContext));
    *requestContext = nullptr;
    if (!state)
        return;
    const qint64 elapsedNs = state->timer.nsecsElapsed();
    running->service.metrics().requestDone(PortalMetrics::endpointOf(state->path), state->status, elapsedNs);
    const double ms = double(elapsedNs) / 1e6;
    writeLogLine(requestLogLine(QDateTime::currentDateTimeUtc(), state->client, state->method,
                                loggablePath(state->path), state->status, ms));
}

void connectionChanged(void *cls, MHD_Connection *connection, void **,
                       MHD_ConnectionNotificationCode code)
{
    auto *running = static_cast<Running *>(cls);
    if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
        running->guard.release(connection);
        running->service.metrics().connectionClosed();
        return;
    }
    running->service.metrics().connectionOpened();
    const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (!info)
        return;
    if (!running->guard.admit(connection, info->connect_fd, clientKey(clientAddress(connection)), steadyMs()))
        ::shutdown(info->connect_fd, SHUT_RDWR);
}

void logLibraryMessage(void *, const char *format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0)
        return;
    QByteArray text(length, Qt::Uninitialized);
    std::vsnprintf(text.data(), size_t(length) + 1, format, args);
    writeLogLine(libraryLogLine(QString::fromUtf8(text)));
}

} // namespace

ListenSocket openListenSocket(const QString &host, quint16 port)
{
    ListenSocket result;
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const QByteArray hostBytes = host.toUtf8();
    const QByteArray portText = QByteArray::number(port);
    const int rc = getaddrinfo(hostBytes.isEmpty() ? nullptr : hostBytes.constData(), portText.constData(),
                               &hints, &found);
    if (rc != 0) {
        result.error = QStringLiteral("cannot resolve %1: %2").arg(host, QString::fromUtf8(gai_strerror(rc)));
        return result;
    }
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    const int on = 1;
    if (fd >= 0)
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const bool listening = fd >= 0 && ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, 256) == 0;
    freeaddrinfo(found);
    if (!listening) {
        result.error = QStringLiteral("cannot listen on %1:%2: %3").arg(host).arg(port).arg(QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return result;
    }
    sockaddr_storage bound = {};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &length);
    result.port = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port)
                                              : ntohs(reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
    result.fd = fd;
    return result;
}

HttpsServer::HttpsServer(PortalService &service)
    : m_service(service)
{
}

HttpsServer::~HttpsServer()
{
    stop();
}

QString HttpsServer::start(const HttpsServerOptions &options)
{
    ConnectionGuard::Limits limits;
    limits.total = options.connectionLimit;
    limits.perClient = options.perClientConnectionLimit;
    limits.requestDeadlineMs = qint64(options.requestDeadlineSeconds * 1000.0);
    m_running = std::make_unique<Running>(m_service, options, limits);
    Running *running = m_running.get();
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_TLS
        | MHD_USE_ERROR_LOG | MHD_ALLOW_SUSPEND_RESUME;
    running->daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &handleRequest, running,
        MHD_OPTION_EXTERNAL_LOGGER, &logLibraryMessage, nullptr,
        MHD_OPTION_LISTEN_SOCKET, running->options.listenFd,
        MHD_OPTION_HTTPS_MEM_CERT, running->options.certificatePem.constData(),
        MHD_OPTION_HTTPS_MEM_KEY, running->options.keyPem.constData(),
        MHD_OPTION_HTTPS_PRIORITIES, kTlsPriorities,
        MHD_OPTION_THREAD_POOL_SIZE, running->options.threads,
        MHD_OPTION_CONNECTION_LIMIT, running->options.connectionLimit,
        MHD_OPTION_CONNECTION_TIMEOUT, running->options.idleTimeoutSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, size_t(128 * 1024),
        MHD_OPTION_NOTIFY_COMPLETED, &requestCompleted, running,
        MHD_OPTION_NOTIFY_CONNECTION, &connectionChanged, running,
        MHD_OPTION_END);
    if (!running->daemon) {
        m_running.reset();
        return QStringLiteral("cannot start TLS (is the certificate or key unreadable or mismatched?)");
    }
    running->watchdog = std::thread([running] { running->watch(); });
    return {};
}

void HttpsServer::stop()
{
    if (!m_running)
        return;
    {
        const std::lock_guard lock(m_running->watchdogMutex);
        m_running->stopping = true;
    }
    m_running->watchdogWake.notify_one();
    m_running->watchdog.join();
    // Every suspended connection is resumed (answered or cancelled) before
    // the daemon stops, which it requires.
    m_running->writes.stop();
    MHD_stop_daemon(m_running->daemon);
    m_running.reset();
}

} // namespace vk
