#include "CapturingTlsServer.h"

#include "CaptureEngine.h"

#include <QFile>
#include <QSslKey>

namespace {

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
