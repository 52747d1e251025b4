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
    enum class Kind { Sized, CloseDelimited, Silent };
    Kind kind = Kind::Sized;
    int status = 200;
    QByteArray body = "1";
};

// What the test's thread and the server's thread share, under the mutex.
struct CaptureState
{
    QMutex mutex;
    QHash<QByteArray, CaptureAnswer> answers;
    QList<CapturedRequest> requests;
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

    std::shared_ptr<CaptureState> m_state;
    QSslConfiguration m_tls;
};
