#include "ServeCommand.h"

#include "AdminLibrary.h"
#include "CommandLine.h"
#include "HttpsServer.h"
#include "MetricsServer.h"
#include "NameRules.h"
#include "PortalDatabase.h"
#include "PortalService.h"
#include "SchemaMigrations.h"
#include "StoreSweep.h"

#include <QFile>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <optional>
#include <pthread.h>

namespace vk {

namespace {

QByteArray readPem(const QString &path, const QString &what)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CommandError{QStringLiteral("cannot read the %1 %2: %3").arg(what, path, file.errorString())};
    return file.readAll();
}

double positiveNumber(const CommandOptions &options, const QString &name, double fallback)
{
    if (!options.has(name))
        return fallback;
    bool ok = false;
    const double value = options.value(name).toDouble(&ok);
    if (!ok || value <= 0)
        throw CommandError{QStringLiteral("--%1 takes a number above 0").arg(name)};
    return value;
}

int nonNegativeInteger(const CommandOptions &options, const QString &name, int fallback)
{
    if (!options.has(name))
        return fallback;
    bool ok = false;
    const int value = options.value(name).toInt(&ok);
    if (!ok || value < 0)
        throw CommandError{QStringLiteral("--%1 takes a whole number, 0 or more").arg(name)};
    return value;
}

bool isWildcard(const QString &host)
{
    return host.isEmpty() || host == QStringLiteral("0.0.0.0") || host == QStringLiteral("::");
}

} // namespace

ListenAddress parseListenAddress(const QString &text, const QString &option)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const uint port = colon < 0 ? 0 : text.mid(colon + 1).toUInt(&ok);
    if (colon < 0 || !ok || port > 65535)
        throw CommandError{QStringLiteral("--%1 takes HOST:PORT, not \"%2\"").arg(option, text)};
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        throw CommandError{QStringLiteral("--%1: write an IPv6 address in brackets, as [::1]:8443").arg(option)};
    return {host, quint16(port)};
}

QString serverUrl(const QString &scheme, const QString &host, quint16 port)
{
    const QString shown = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return QStringLiteral("%1://%2:%3").arg(scheme, shown).arg(port);
}

QString httpsUrl(const QString &host, quint16 port)
{
    return serverUrl(QStringLiteral("https"), host, port);
}

int runServe(const QStringList &args)
{
    const CommandOptions options(
        args, {QStringLiteral("db"), QStringLiteral("store"), QStringLiteral("listen"), QStringLiteral("cert"),
               QStringLiteral("key"), QStringLiteral("public-url"), QStringLiteral("online-ttl"),
               QStringLiteral("user-checks-per-minute"), QStringLiteral("status-updates-per-minute"),
               QStringLiteral("request-deadline"), QStringLiteral("metrics-listen")});
    PortalConfig config;
    config.databasePath = existingDatabasePath(options);
    config.storeDir = options.value(QStringLiteral("store"), defaultStoreDir(config.databasePath));
    config.onlineTtlHours = positiveNumber(options, QStringLiteral("online-ttl"), 12);
    config.userChecksPerMinute = nonNegativeInteger(options, QStringLiteral("user-checks-per-minute"), 30);
    config.statusUpdatesPerMinute = nonNegativeInteger(options, QStringLiteral("status-updates-per-minute"), 60);
    const double requestDeadline = positiveNumber(options, QStringLiteral("request-deadline"), 10);
    const ListenAddress listen = parseListenAddress(options.required(QStringLiteral("listen")));
    std::optional<ListenAddress> metricsListen;
    if (options.has(QStringLiteral("metrics-listen")))
        metricsListen = parseListenAddress(options.value(QStringLiteral("metrics-listen")), QStringLiteral("metrics-listen"));
    if (config.storeDir.isEmpty())
        throw CommandError{QStringLiteral("give --store DIR: the book files of a PostgreSQL library live in a "
                                          "directory every portal process can reach")};
    {
        ScopedConnection check(config.databasePath);
        if (!check.isOpen())
            throw CommandError{QStringLiteral("cannot open %1: %2").arg(config.databasePath, check.errorText())};
        const QString schemaProblem = checkSchema(check.database(), config.databasePath);
        if (!schemaProblem.isEmpty())
            throw CommandError{schemaProblem};
    }
    sweepBookStoreAtStart(config.databasePath, config.storeDir);

    const QByteArray certificate = readPem(options.required(QStringLiteral("cert")), QStringLiteral("certificate"));
    const QByteArray key = readPem(options.required(QStringLiteral("key")), QStringLiteral("key"));

    // The request threads inherit this mask, so only the sigwait below sees
    // the stop signals.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const ListenSocket socket = openListenSocket(listen.host, listen.port);
    if (socket.fd < 0)
        throw CommandError{socket.error};
    const QString url = httpsUrl(listen.host, socket.port);
    ListenSocket metricsSocket;
    if (metricsListen) {
        metricsSocket = openListenSocket(metricsListen->host, metricsListen->port);
        if (metricsSocket.fd < 0)
            throw CommandError{QStringLiteral("--metrics-listen: %1").arg(metricsSocket.error)};
    }
    config.publicUrl = options.value(QStringLiteral("public-url"));
    if (!config.publicUrl.isEmpty() && !checkBookUrl(config.publicUrl).isEmpty())
        throw CommandError{QStringLiteral("--public-url takes an absolute https URL such as https://books.example:8443")};
    if (config.publicUrl.isEmpty()) {
        config.publicUrl = isWildcard(listen.host) ? httpsUrl(QStringLiteral("localhost"), socket.port) : url;
        if (isWildcard(listen.host))
            std::fprintf(stderr, "velkarn-portal: book locations use %s; give --public-url for readers elsewhere\n",
                         qPrintable(config.publicUrl));
    }
    while (config.publicUrl.endsWith(QLatin1Char('/')))
        config.publicUrl.chop(1);

    PortalService service(config);
    HttpsServer server(service);
    HttpsServerOptions serverOptions;
    serverOptions.listenFd = socket.fd;
    serverOptions.certificatePem = certificate;
    serverOptions.keyPem = key;
    serverOptions.threads = unsigned(qBound(2, QThread::idealThreadCount(), 8));
    serverOptions.requestDeadlineSeconds = requestDeadline;
    const QString error = server.start(serverOptions);
    if (!error.isEmpty())
        throw CommandError{error};
    MetricsServer metrics(service.metrics(), [&service] { return service.database().health(); });
    if (metricsListen) {
        const QString metricsError = metrics.start(metricsSocket.fd);
        if (!metricsError.isEmpty())
            throw CommandError{metricsError};
    }

    std::printf("listening on %s\n", qPrintable(url));
    if (metricsListen)
        std::printf("metrics on %s\n", qPrintable(serverUrl(QStringLiteral("http"), metricsListen->host, metricsSocket.port)));
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    metrics.stop();
    server.stop();
    std::fprintf(stderr, "velkarn-portal: stopped (signal %d)\n", received);
    return 0;
}

} // namespace vk
