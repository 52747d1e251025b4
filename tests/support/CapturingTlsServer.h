#pragma once

#include "TestCertificates.h"

#include <QHash>
#include <QObject>
#include <QThread>

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
    // CloseDelimited: closed after the body. Silent: held unanswered. Reset: RST unanswered.
    // Trickle: body repeated at bytesPerSecond without end. Raw: body alone, no HTTP framing.
    enum class Kind { Sized, CloseDelimited, Silent, Reset, Trickle, Raw };
    Kind kind = Kind::Sized;
    int status = 200;
    QByteArray body = "1";
    QByteArray location{};       // a Location header when not empty
    int bytesPerSecond = 0;      // Trickle
    qint64 announcedLength = -1; // Trickle: the Content-Length claimed; -1 for none
};

class CaptureEngine;

// An HTTPS server on 127.0.0.1 recording every request in order and answering each path as set
// (200 "1" by default) from its own thread, while the test's blocks. No chunked request bodies.
class CapturingTlsServer : public QObject
{
public:
    // Listens at once with a PEM certificate and RSA key; see isListening().
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
    QString m_error; // declared before m_engine: setting it up reports here
    CaptureEngine *m_engine;
    QThread m_thread;
    bool m_listening = false;
    quint16 m_port = 0;
};
