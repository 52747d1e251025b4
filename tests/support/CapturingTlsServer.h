#pragma once

#include "CapturedRequest.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <memory>

class CaptureEngine;
struct CaptureState;

// An HTTPS server on 127.0.0.1 (port chosen by the system) that records every
// request in order and answers each path as configured: by default status 200
// with the body "1". It serves from a thread of its own, so it keeps answering
// while the test's thread blocks. Keep-alive connections and Content-Length
// bodies are handled; chunked request bodies are not.
class CapturingTlsServer : public QObject
{
    Q_OBJECT
public:
    // Listens at once with the given PEM certificate and RSA key; see isListening().
    CapturingTlsServer(const QString &certificatePath, const QString &keyPath,
                       QObject *parent = nullptr);
    ~CapturingTlsServer() override;

    bool isListening() const;
    QString errorText() const;
    quint16 port() const;
    QString baseUrl() const; // "https://127.0.0.1:<port>"

    QList<CapturedRequest> requests() const;
    int connectionCount() const; // TLS handshakes completed so far

    // Answers requests for path (the part before any '?') with this status and body.
    void setAnswer(const QByteArray &path, const QByteArray &body, int status = 200);
    // Like setAnswer, but without Content-Length: the body ends when the server closes the connection.
    void setAnswerWithoutLength(const QByteArray &path, const QByteArray &body);
    // Records requests for path but never answers; the connection stays open, unanswered.
    void setSilent(const QByteArray &path);

signals:
    // Emitted on this object's thread after the request was recorded.
    void requestReceived(const CapturedRequest &request);

private:
    std::shared_ptr<CaptureState> m_state;
    QThread m_thread;
    CaptureEngine *m_engine;
    bool m_listening = false;
    QString m_error;
    quint16 m_port = 0;
};
