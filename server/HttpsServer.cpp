#include "HttpsServer.h"

#include "RequestLog.h"

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

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Bodies a little over the limit are read and dropped so that the client sees
// the 413 instead of a reset connection; beyond this the connection is closed.
constexpr qsizetype drainLimitBytes = 4 * 1024 * 1024;

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
};

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

MHD_Result handleRequest(void *cls, MHD_Connection *connection, const char *url,
                         const char *method, const char *, const char *uploadData,
                         size_t *uploadDataSize, void **requestContext)
{
    auto *service = static_cast<PortalService *>(cls);
    auto *state = static_cast<RequestState *>(*requestContext);
    if (!state) {
        state = new RequestState;
        state->timer.start();
        state->client = clientAddress(connection);
        state->method = QString::fromLatin1(method);
        state->path = QString::fromUtf8(url);
        *requestContext = state;
        const char *length =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (length) {
            const qlonglong declared = QByteArray(length).toLongLong();
            if (declared > PortalService::maxBodyBytes)
                state->tooLarge = true;
            if (declared > drainLimitBytes)
                return queueText(connection, state, 413, "request body too large");
        }
        return MHD_YES;
    }
    if (*uploadDataSize != 0) {
        state->received += qsizetype(*uploadDataSize);
        if (state->received > drainLimitBytes)
            return MHD_NO;
        if (state->received > PortalService::maxBodyBytes) {
            state->tooLarge = true;
            state->body.clear();
        } else {
            state->body.append(uploadData, qsizetype(*uploadDataSize));
        }
        *uploadDataSize = 0;
        return MHD_YES;
    }
    if (state->tooLarge)
        return queueText(connection, state, 413, "request body too large");
    const PortalReply reply = service->handle({state->method, state->path, state->body, state->client});
    if (!reply.filePath.isEmpty())
        return queueFile(connection, state, reply.filePath);
    return queueText(connection, state, reply.status, reply.body);
}

void requestCompleted(void *, MHD_Connection *, void **requestContext, MHD_RequestTerminationCode)
{
    auto *state = static_cast<RequestState *>(*requestContext);
    if (!state)
        return;
    const double ms = double(state->timer.nsecsElapsed()) / 1e6;
    const QByteArray line = requestLogLine(QDateTime::currentDateTimeUtc(), state->client,
                                           state->method, loggablePath(state->path), state->status, ms)
                                .toUtf8();
    std::fprintf(stderr, "%s\n", line.constData());
    delete state;
    *requestContext = nullptr;
}

void logLibraryError(void *, const char *format, va_list args)
{
    std::fputs("velkarn-portal: ", stderr);
    std::vfprintf(stderr, format, args);
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
    : _service(service)
{
}

HttpsServer::~HttpsServer()
{
    stop();
}

QString HttpsServer::start(const HttpsServerOptions &options)
{
    _options = options;
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_TLS | MHD_USE_ERROR_LOG;
    _daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &handleRequest, &_service,
        MHD_OPTION_EXTERNAL_LOGGER, &logLibraryError, nullptr,
        MHD_OPTION_LISTEN_SOCKET, _options.listenFd,
        MHD_OPTION_HTTPS_MEM_CERT, _options.certificatePem.constData(),
        MHD_OPTION_HTTPS_MEM_KEY, _options.keyPem.constData(),
        MHD_OPTION_THREAD_POOL_SIZE, _options.threads,
        MHD_OPTION_CONNECTION_LIMIT, _options.connectionLimit,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, _options.perClientConnectionLimit,
        MHD_OPTION_CONNECTION_TIMEOUT, _options.idleTimeoutSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, size_t(128 * 1024),
        MHD_OPTION_NOTIFY_COMPLETED, &requestCompleted, nullptr,
        MHD_OPTION_END);
    if (!_daemon)
        return QStringLiteral("cannot start TLS (is the certificate or key unreadable or mismatched?)");
    return {};
}

void HttpsServer::stop()
{
    if (_daemon) {
        MHD_stop_daemon(_daemon);
        _daemon = nullptr;
    }
}
