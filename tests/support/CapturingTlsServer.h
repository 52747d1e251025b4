#pragma once

#include "TestCertificates.h"

#include <QHash>
#include <QObject>
#include <QThread>

#include <memory>

// One HTTP request exactly as it reached the server.
struct CapturedRequest
{
    QByteArray method;
    QByteArray target; // path and query as sent
    QHash<QByteArray, QByteArray> headers; // by lower-case name
    QByteArray body;   // the Content-Length bytes, untouched

    QByteArray path() const { return target.split('?').first(); }
    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
};

// How the server answers one path.
struct CaptureAnswer
{
    // CloseDelimited: the server closes after the body. Silent: no answer, the connection
    // held. Reset: RST unanswered. Trickle: body repeated at bytesPerSecond without end.
    // Raw: body alone, no HTTP framing.
    enum class Kind { Sized, CloseDelimited, Silent, Reset, Trickle, Raw };
    Kind kind = Kind::Sized;
    int status = 200;
    QByteArray body = "1";
    QByteArray location{};       // a Location header when not empty
    int bytesPerSecond = 0;      // Trickle
    qint64 announcedLength = -1; // Trickle: the Content-Length claimed; -1 for none
};

class CaptureEngine;
struct CaptureState;

// An HTTPS server on 127.0.0.1 that records every request in order and answers each path
// as set, by default 200 "1". Its own thread keeps it answering while the test's blocks.
// Chunked request bodies are not understood.
class CapturingTlsServer : public QObject
{
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
    // path is the part before any '?'.
    void setAnswer(const QByteArray &path, const CaptureAnswer &answer);
    void setAnswer(const QByteArray &path, const QByteArray &body, int status = 200)
    {
        setAnswer(path, {Kind::Sized, status, body});
    }
    void setSilent(const QByteArray &path) { setAnswer(path, {Kind::Silent}); }
    void setReset(const QByteArray &path) { setAnswer(path, {Kind::Reset}); }
    // A 200 whose body never ends; announcedLength < 0 sends no Content-Length.
    void setTrickle(const QByteArray &path, int bytesPerSecond, qint64 announcedLength = -1)
    {
        setAnswer(path, {Kind::Trickle, 200, "%PDF-1.7 trickle ", {}, bytesPerSecond, announcedLength});
    }
    int openConnections() const; // client connections held open right now

private:
    std::shared_ptr<CaptureState> m_state;
    QThread m_thread;
    CaptureEngine *m_engine;
    bool m_listening = false;
    QString m_error;
    quint16 m_port = 0;
};
