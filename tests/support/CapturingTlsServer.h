#pragma once

#include "CapturedRequest.h"

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
    ~CapturingTlsServer() override;

    bool isListening() const { return m_listening; }
    QString errorText() const { return m_error; }
    quint16 port() const { return m_port; }
    QString baseUrl() const { return QStringLiteral("https://127.0.0.1:%1").arg(m_port); }
    QList<CapturedRequest> requests() const;

    using Kind = CaptureAnswer::Kind;
    // Any answer; the setters below name the ones the suites use.
    void setAnswer(const QByteArray &path, const CaptureAnswer &answer);
    // Answers requests for path (the part before any '?') with this status and body.
    void setAnswer(const QByteArray &path, const QByteArray &body, int status = 200)
    {
        setAnswer(path, {Kind::Sized, status, body});
    }
    // The body ends where the server closes the connection: no Content-Length.
    void setAnswerWithoutLength(const QByteArray &path, const QByteArray &body)
    {
        setAnswer(path, {Kind::CloseDelimited, 200, body});
    }
    // Records requests for path but leaves their connection open, unanswered.
    void setSilent(const QByteArray &path) { setAnswer(path, {Kind::Silent}); }
    // Sends bytes as they are, without a status line or headers, and closes.
    void setRaw(const QByteArray &path, const QByteArray &bytes) { setAnswer(path, {Kind::Raw, 0, bytes}); }
    // Resets the connection (RST) instead of answering.
    void setReset(const QByteArray &path) { setAnswer(path, {Kind::Reset}); }
    // A 200 whose body never ends, at bytesPerSecond; announcedLength < 0 sends no Content-Length.
    void setTrickle(const QByteArray &path, int bytesPerSecond, qint64 announcedLength = -1)
    {
        setAnswer(path, {Kind::Trickle, 200, "%PDF-1.7 trickle ", {}, bytesPerSecond, announcedLength});
    }
    // A body that never ends, at a megabyte a second.
    void setEndless(const QByteArray &path, int status = 200, qint64 announcedLength = -1)
    {
        setAnswer(path, {Kind::Trickle, status, "endless answer ", {}, 1 << 20, announcedLength});
    }
    // Answers with status and a Location header; a location pointing back makes a loop.
    void setRedirect(const QByteArray &path, const QByteArray &location, int status = 302)
    {
        setAnswer(path, {Kind::Sized, status, {}, location});
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
