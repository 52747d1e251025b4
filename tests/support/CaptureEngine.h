#pragma once

#include "CapturedRequest.h"

#include <QHash>
#include <QMutex>
#include <QSslConfiguration>
#include <QTcpServer>

#include <memory>

class QSslSocket;

struct CaptureAnswer
{
    // Sized: Content-Length and body. CloseDelimited: body, then the server closes.
    // Silent: no answer at all. Reset: the connection is reset (RST) unanswered.
    // Trickle: body repeated at bytesPerSecond, without end. Endless: body
    // repeated as fast as the client takes it. Raw: body alone, no HTTP framing.
    enum class Kind { Sized, CloseDelimited, Silent, Reset, Trickle, Endless, Raw };
    Kind kind = Kind::Sized;
    int status = 200;
    QByteArray body = "1";
    QByteArray location;         // a Location header when not empty
    int bytesPerSecond = 0;      // Trickle
    qint64 announcedLength = -1; // Trickle, Endless: the Content-Length claimed; -1 for none
};

// What the test's thread and the server's thread share, under the mutex.
struct CaptureState
{
    QMutex mutex;
    QHash<QByteArray, CaptureAnswer> answers;
    QList<CapturedRequest> requests;
    int openConnections = 0;
};

// The listening side, living on the server's thread.
class CaptureEngine : public QTcpServer
{
    Q_OBJECT
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
