#pragma once

#include "CapturedRequest.h"

#include <QHash>
#include <QSslConfiguration>
#include <QTcpServer>

#include <memory>
#include <mutex>

class QSslSocket;

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
