#pragma once

#include "CapturedRequest.h"
#include "TestCertificates.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <memory>

class CaptureEngine;
struct CaptureState;

// An HTTPS server on 127.0.0.1 that records every request in order and answers
// each path as configured, by default 200 with the body "1". It serves from its
// own thread, so it keeps answering while the test's thread blocks. Keep-alive
// and Content-Length bodies are handled; chunked request bodies are not.
class CapturingTlsServer : public QObject
{
    Q_OBJECT
public:
    // Listens at once with the given PEM certificate and RSA key; see isListening().
    CapturingTlsServer(const QString &certificatePath, const QString &keyPath, QObject *parent = nullptr);
    // With the certificates' server pair, the one their CA signed.
    explicit CapturingTlsServer(const TestCertificates &certificates, QObject *parent = nullptr)
        : CapturingTlsServer(certificates.serverCertificatePath(), certificates.serverKeyPath(), parent)
    {
    }
    ~CapturingTlsServer() override;

    bool isListening() const { return m_listening; }
    QString errorText() const { return m_error; }
    quint16 port() const { return m_port; }
    QString baseUrl() const { return QStringLiteral("https://127.0.0.1:%1").arg(m_port); }
    QList<CapturedRequest> requests() const;

    using Kind = CaptureAnswer::Kind;
    // Any answer; the setters below name the ones several suites use.
    void setAnswer(const QByteArray &path, const CaptureAnswer &answer);
    // Answers requests for path (the part before any '?') with this status and body.
    void setAnswer(const QByteArray &path, const QByteArray &body, int status = 200)
    {
        setAnswer(path, {Kind::Sized, status, body});
    }
    // Records requests for path but leaves their connection open, unanswered.
    void setSilent(const QByteArray &path) { setAnswer(path, {Kind::Silent}); }
    // Resets the connection (RST) instead of answering.
    void setReset(const QByteArray &path) { setAnswer(path, {Kind::Reset}); }
    // A 200 whose body never ends, at bytesPerSecond; announcedLength < 0 sends no Content-Length.
    void setTrickle(const QByteArray &path, int bytesPerSecond, qint64 announcedLength = -1)
    {
        setAnswer(path, {Kind::Trickle, 200, "%PDF-1.7 trickle ", {}, bytesPerSecond, announcedLength});
    }

    // Client connections the server holds open right now.
    int openConnections() const;

private:
    std::shared_ptr<CaptureState> m_state;
    QThread m_thread;
    CaptureEngine *m_engine;
    bool m_listening = false;
    QString m_error;
    quint16 m_port = 0;
};
