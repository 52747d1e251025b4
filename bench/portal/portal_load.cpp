// Load client for velkarn-portal: POSTs one body to one endpoint, as fast as
// the answers come (--connections in flight) or at a fixed --rate, and prints
// requests per second and latency percentiles.
#include "LoadRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({
        {"url", "Endpoint URL.", "url"},
        {"body", "Request body, sent as it is.", "body", ""},
        {"ca", "PEM file of the CA to trust.", "file"},
        {"connections", "Requests in flight at once.", "n", "4"},
        {"rate", "Requests per second (0: as fast as possible).", "r", "0"},
        {"seconds", "Measured duration.", "s", "5"},
        {"label", "Name printed with the figures.", "text", "load"},
    });
    parser.process(app);
    if (!parser.isSet("url") || !parser.isSet("ca")) {
        std::fputs("portal_load: --url and --ca are required\n", stderr);
        return 2;
    }
    LoadSettings settings;
    settings.url = parser.value("url");
    settings.body = parser.value("body").toUtf8();
    settings.caFile = parser.value("ca");
    settings.connections = parser.value("connections").toInt();
    settings.rate = parser.value("rate").toDouble();
    settings.seconds = parser.value("seconds").toDouble();

    LoadRun run(settings);
    const LoadResult result = run.run();
    const double rps = result.seconds > 0 ? double(result.requests) / result.seconds : 0;
    std::printf("%-28s %7lld requests %6.2f s %8.0f req/s  p50 %6.2f ms  p99 %6.2f ms  max %6.2f ms  errors %lld\n",
                qPrintable(parser.value("label")), static_cast<long long>(result.requests), result.seconds, rps,
                result.percentile(50), result.percentile(99), result.percentile(100),
                static_cast<long long>(result.errors));
    return result.errors == 0 && result.requests > 0 ? 0 : 1;
}
