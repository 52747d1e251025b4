#pragma once

#include "PortalService.h"

#include <QByteArray>
#include <QString>

struct MHD_Daemon;

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
    // Generous enough for an office of readers behind one NAT address.
    unsigned perClientConnectionLimit = 64;
    unsigned idleTimeoutSeconds = 30;
};

// libmicrohttpd over TLS with a thread pool. Reads request bodies byte for
// byte (no form decoding, so "+" stays "+"), refuses bodies over the limit
// with 413, streams book files from disk, and logs one line per request to
// standard error.
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

private:
    PortalService &_service;
    HttpsServerOptions _options;
    MHD_Daemon *_daemon = nullptr;
};
