#include "CapturingTlsServer.h"

#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

#include <mutex>

#include <sys/socket.h>

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

void stream(QSslSocket *socket, const CaptureAnswer &answer)
{
    QByteArray head = headOf(answer);
    if (answer.announcedLength >= 0)
        head += "Content-Length: " + QByteArray::number(answer.announcedLength) + "\r\n";
    socket->write(head + "Connection: close\r\n\r\n");
    const QByteArray pattern = answer.body.isEmpty() ? QByteArray("x") : answer.body;
    const qsizetype perTick = qMax(1, answer.bytesPerSecond * kTrickleTickMs / 1000);
    const QByteArray chunk = pattern.repeated(perTick / pattern.size() + 1).left(perTick);
    auto *timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, chunk] { socket->write(chunk); });
    timer->start(kTrickleTickMs);
}

}

// The listening side, living on the server's thread; the mutex guards what the test's thread reads.
class CaptureEngine : public QTcpServer
{
public:
    explicit CaptureEngine(QSslConfiguration tls) : m_tls(std::move(tls)) {}

    std::mutex mutex;
    QHash<QByteArray, CaptureAnswer> answers;
    QList<CapturedRequest> requests;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void serve(QSslSocket *socket);

    QSslConfiguration m_tls;
};

void CaptureEngine::incomingConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setSslConfiguration(m_tls);
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
            std::lock_guard lock(mutex);
            requests.append(request);
            answer = answers.value(request.path());
        }
        switch (answer.kind) {
        case CaptureAnswer::Kind::Silent:
            socket->setProperty(heldProperty, true);
            return;
        case CaptureAnswer::Kind::Reset:
            resetConnection(socket);
            return;
        case CaptureAnswer::Kind::Trickle:
            socket->setProperty(heldProperty, true);
            stream(socket, answer);
            return;
        case CaptureAnswer::Kind::Raw:
        case CaptureAnswer::Kind::CloseDelimited:
            socket->write(answer.kind == CaptureAnswer::Kind::Raw
                              ? answer.body
                              : headOf(answer) + "Connection: close\r\n\r\n" + answer.body);
            socket->disconnectFromHost();
            return;
        case CaptureAnswer::Kind::Sized:
            break;
        }
        socket->write(headOf(answer) + "Content-Length: " + QByteArray::number(answer.body.size())
                      + "\r\n\r\n" + answer.body);
    }
    socket->setProperty(bufferProperty, buffer);
}

CapturingTlsServer::CapturingTlsServer(const QString &certificatePath, const QString &keyPath, QObject *parent)
    : QObject(parent)
    , m_engine(new CaptureEngine(serverConfiguration(certificatePath, keyPath, m_error)))
{
    m_engine->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_engine, &QObject::deleteLater);
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
    std::lock_guard lock(m_engine->mutex);
    return m_engine->requests;
}

int CapturingTlsServer::openConnections() const
{
    // Sockets are the engine's children until they are deleted, on its own thread.
    qsizetype count = 0;
    QMetaObject::invokeMethod(
        m_engine, [&] { count = m_engine->findChildren<QSslSocket *>().size(); }, Qt::BlockingQueuedConnection);
    return int(count);
}

void CapturingTlsServer::setAnswer(const QByteArray &path, const CaptureAnswer &answer)
{
    std::lock_guard lock(m_engine->mutex);
    m_engine->answers.insert(path, answer);
}
