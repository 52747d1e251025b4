#pragma once

#include "CapturedRequest.h"

#include <QHash>
#include <QMutex>
#include <QSslConfiguration>
#include <QTcpServer>

#include <functional>
#include <memory>

class QSslSocket;

struct CaptureAnswer
{
    enum class Kind { Sized, CloseDelimited, Silent };
    Kind kind = Kind::Sized;
    int status = 200;
    QByteArray body = "1";
};

// What the test's thread and the server's thread share.
struct CaptureState
{
    mutable QMutex mutex;
    QHash<QByteArray, CaptureAnswer> answers;
    QList<CapturedRequest> requests;
    int connections = 0;

    CaptureAnswer answerFor(const QByteArray &path) const;
};

// The listening side, living on the server's thread.
class CaptureEngine : public QTcpServer
{
    Q_OBJECT
public:
    CaptureEngine(std::shared_ptr<CaptureState> state, QSslConfiguration tls,
                  std::function<void(const CapturedRequest &)> recorded);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void serve(QSslSocket *socket);

    std::shared_ptr<CaptureState> m_state;
    QSslConfiguration m_tls;
    std::function<void(const CapturedRequest &)> m_recorded;
};
