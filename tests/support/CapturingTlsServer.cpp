#include "CapturingTlsServer.h"

#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

#include <mutex>

#include <sys/socket.h>

// What the test's thread and the server's thread share, under the mutex.
struct CaptureState
{
    std::mutex mutex;
    QHash<QByteArray, CaptureAnswer> answers;
    QList<CapturedRequest> requests;
    int openConnections = 0;
};

// The listening side, living on the server's thread.
class CaptureEngine : public QTcpServer
{
public:
    CaptureEngine(std::shared_ptr<CaptureState> state, QSslConfiguration tls)
        : m_state(std::move(state)), m_tls(std::move(tls)) {}

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void serve(QSslSocket *socket);
    void stream(QSslSocket *socket, const CaptureAnswer &answer);

    std::shared_ptr<CaptureState> m_state;
    QSslConfiguration m_tls;
};

namespace {

// Unread bytes of a connection and whether it is held without an answer.
const char *const bufferProperty = "captureBuffer";
const char *const heldProperty = "captureHeld";

constexpr int kTrickleTickMs = 100;

QSslConfiguration serverConfiguration(const QString &certificatePath, const QString &keyPath,
                                      QString &error)
{
    QFile keyFile(keyPath);
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certificatePath);
    const QSslKey key(keyFile.open(QIODevice::ReadOnly) ? keyFile.readAll() : QByteArray(), QSsl::Rsa);
    if (certificates.isEmpty() || key.isNull()) {
        error = QStringLiteral("no certificate in %1 or no RSA key in %2").arg(certificatePath, keyPath);
        return {};
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(certificates);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    return tls;
}

QByteArray headOf(const CaptureAnswer &answer)
{
    // Clients read the status code; the reason phrase is free text.
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status)
                      + " Answer\r\nContent-Type: text/plain\r\n";
    if (!answer.location.isEmpty())
        head += "Location: " + answer.location + "\r\n";
    return head;
}

// Closes with RST instead of FIN, as a crashed or hostile peer would.
void resetConnection(QSslSocket *socket)
{
    const linger hard{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

// Cuts one complete request off the front of buffer; false while it is incomplete.
bool takeRequest(QByteArray &buffer, CapturedRequest &request)
{
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    CapturedRequest parsed{requestLine.value(0), requestLine.value(1), {}, {}};
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon >= 0)
            parsed.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qint64 length = parsed.header("content-length").toLongLong();
    const qsizetype bodyStart = headEnd + 4;
    if (buffer.size() - bodyStart < length)
        return false;
    parsed.body = buffer.mid(bodyStart, length);
    buffer.remove(0, bodyStart + length);
    request = parsed;
    return true;
}

}

void CaptureEngine::incomingConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setSslConfiguration(m_tls);
    {
        std::lock_guard lock(m_state->mutex);
        ++m_state->openConnections;
    }
    connect(socket, &QObject::destroyed, this, [state = m_state] {
        std::lock_guard lock(state->mutex);
        --state->openConnections;
    });
    connect(socket, &QSslSocket::readyRead, this, [this, socket] { serve(socket); });
    // Clients that refuse the certificate simply go away; nothing to report.
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QSslSocket::errorOccurred, socket, &QObject::deleteLater);
    socket->startServerEncryption();
}

void CaptureEngine::serve(QSslSocket *socket)
{
    QByteArray buffer = socket->property(bufferProperty).toByteArray() + socket->readAll();
    if (socket->property(heldProperty).toBool())
        return;
    CapturedRequest request;
    while (takeRequest(buffer, request)) {
        CaptureAnswer answer;
        {
            std::lock_guard lock(m_state->mutex);
            m_state->requests.append(request);
            answer = m_state->answers.value(request.path());
        }
        switch (answer.kind) {
        case CaptureAnswer::Kind::Silent:
            socket->setProperty(heldProperty, true);
            return;
        case CaptureAnswer::Kind::Reset:
            resetConnection(socket);
            return;
        case CaptureAnswer::Kind::Raw:
            socket->write(answer.body);
            socket->disconnectFromHost();
            return;
        case CaptureAnswer::Kind::Trickle:
            socket->setProperty(heldProperty, true);
            stream(socket, answer);
            return;
        default:
            break;
        }
        const QByteArray head = headOf(answer);
        if (answer.kind == CaptureAnswer::Kind::CloseDelimited) {
            socket->write(head + "Connection: close\r\n\r\n" + answer.body);
            socket->disconnectFromHost();
            return;
        }
        socket->write(head + "Content-Length: " + QByteArray::number(answer.body.size())
                      + "\r\n\r\n" + answer.body);
    }
    socket->setProperty(bufferProperty, buffer);
}

void CaptureEngine::stream(QSslSocket *socket, const CaptureAnswer &answer)
{
    QByteArray head = headOf(answer);
    if (answer.announcedLength >= 0)
        head += "Content-Length: " + QByteArray::number(answer.announcedLength) + "\r\n";
    socket->write(head + "Connection: close\r\n\r\n");
    const QByteArray pattern = answer.body.isEmpty() ? QByteArray("x") : answer.body;
    const qsizetype perTick = qMax(1, answer.bytesPerSecond * kTrickleTickMs / 1000);
    const QByteArray chunk = pattern.repeated(perTick / pattern.size() + 1).left(perTick);
    auto *timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket, [socket, chunk] { socket->write(chunk); });
    timer->start(kTrickleTickMs);
}

CapturingTlsServer::CapturingTlsServer(const QString &certificatePath, const QString &keyPath, QObject *parent)
    : QObject(parent)
    , m_state(std::make_shared<CaptureState>())
{
    const QSslConfiguration tls = serverConfiguration(certificatePath, keyPath, m_error);
    m_engine = new CaptureEngine(m_state, tls);
    m_engine->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_engine, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("CapturingTlsServer"));
    m_thread.start();
    if (!m_error.isEmpty())
        return;
    QMetaObject::invokeMethod(
        m_engine,
        [this] {
            m_listening = m_engine->listen(QHostAddress::LocalHost, 0);
            m_port = m_engine->serverPort();
            if (!m_listening)
                m_error = m_engine->errorString();
        },
        Qt::BlockingQueuedConnection);
}

CapturingTlsServer::~CapturingTlsServer()
{
    m_thread.quit();
    m_thread.wait();
}

QList<CapturedRequest> CapturingTlsServer::requests() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->requests;
}

int CapturingTlsServer::openConnections() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->openConnections;
}

void CapturingTlsServer::setAnswer(const QByteArray &path, const CaptureAnswer &answer)
{
    std::lock_guard lock(m_state->mutex);
    m_state->answers.insert(path, answer);
}
