#include "CapturingTlsServer.h"

#include "CaptureEngine.h"

#include <QFile>
#include <QSslKey>

namespace {

CaptureAnswer answerOf(CaptureAnswer::Kind kind, int status, const QByteArray &body)
{
    CaptureAnswer answer;
    answer.kind = kind;
    answer.status = status;
    answer.body = body;
    return answer;
}

QSslConfiguration serverConfiguration(const QString &certificatePath, const QString &keyPath,
                                      QString &error)
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certificatePath);
    QFile keyFile(keyPath);
    if (certificates.isEmpty() || !keyFile.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1 or %2").arg(certificatePath, keyPath);
        return {};
    }
    const QSslKey key(&keyFile, QSsl::Rsa, QSsl::Pem);
    if (key.isNull()) {
        error = QStringLiteral("no RSA key in %1").arg(keyPath);
        return {};
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(certificates);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    return tls;
}

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
    QMutexLocker lock(&m_state->mutex);
    return m_state->requests;
}

void CapturingTlsServer::setAnswer(const QByteArray &path, const QByteArray &body, int status)
{
    store(path, answerOf(CaptureAnswer::Kind::Sized, status, body));
}

void CapturingTlsServer::setAnswerWithoutLength(const QByteArray &path, const QByteArray &body)
{
    store(path, answerOf(CaptureAnswer::Kind::CloseDelimited, 200, body));
}

void CapturingTlsServer::setSilent(const QByteArray &path)
{
    store(path, answerOf(CaptureAnswer::Kind::Silent, 0, {}));
}

void CapturingTlsServer::setRaw(const QByteArray &path, const QByteArray &bytes)
{
    store(path, answerOf(CaptureAnswer::Kind::Raw, 0, bytes));
}

void CapturingTlsServer::setReset(const QByteArray &path)
{
    store(path, answerOf(CaptureAnswer::Kind::Reset, 0, {}));
}

void CapturingTlsServer::setTrickle(const QByteArray &path, int bytesPerSecond, qint64 announcedLength)
{
    CaptureAnswer answer = answerOf(CaptureAnswer::Kind::Trickle, 200, "%PDF-1.7 trickle ");
    answer.bytesPerSecond = bytesPerSecond;
    answer.announcedLength = announcedLength;
    store(path, answer);
}

void CapturingTlsServer::setEndless(const QByteArray &path, int status, qint64 announcedLength)
{
    CaptureAnswer answer = answerOf(CaptureAnswer::Kind::Endless, status, "endless answer ");
    answer.announcedLength = announcedLength;
    store(path, answer);
}

void CapturingTlsServer::setRedirect(const QByteArray &path, const QByteArray &location, int status)
{
    CaptureAnswer answer = answerOf(CaptureAnswer::Kind::Sized, status, {});
    answer.location = location;
    store(path, answer);
}

int CapturingTlsServer::openConnections() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->openConnections;
}

void CapturingTlsServer::store(const QByteArray &path, const CaptureAnswer &answer)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->answers.insert(path, answer);
}
