#pragma once

#include "PortalService.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace vk {

// A listening TCP socket, bound before the server starts so that the port
// (and with it the portal's public URL) is known up front.
struct ListenSocket
{
    int fd = -1;
    quint16 port = 0;
    QString error;
};

ListenSocket openListenSocket(const QString &host, quint16 port);

struct HttpsServerOptions
{
    int listenFd = -1; // the server takes it over
    QByteArray certificatePem;
    QByteArray keyPem;
    unsigned threads = 4;
    unsigned connectionLimit = 512;
    // Generous enough for an office of readers behind one NAT address, as
    // long as less than half of connectionLimit is taken; beyond that each
    // address keeps a few (see ConnectionGuard).
    unsigned perClientConnectionLimit = 64;
    unsigned idleTimeoutSeconds = 30;
    // Each request (TLS handshake, headers and body) must arrive whole
    // within this time of the connection being ready for it.
    double requestDeadlineSeconds = 10;
};

// libmicrohttpd over TLS with a thread pool. Reads request bodies byte for
// byte (no form decoding, so "+" stays "+"), refuses bodies over the limit
// with 413, streams book files from disk, and logs one line per request to
// standard error. Database writes run on a queue of their own; the request
// deadline and per-address shares are enforced by a ConnectionGuard.
class HttpsServer
{
public:
    explicit HttpsServer(PortalService &service);
    ~HttpsServer();
    HttpsServer(const HttpsServer &) = delete;
    HttpsServer &operator=(const HttpsServer &) = delete;

    // Returns an error text, empty once the server listens.
    QString start(const HttpsServerOptions &options);
    void stop();

    struct Running;

private:
    PortalService &m_service;
    std::unique_ptr<Running> m_running;
};

} // namespace vk
