#include "CapturingTlsServer.h"
#include "PortalRequests.h"
#include "PortalSettings.h"
#include "TestCertificates.h"

#include <QtTest>

using namespace vk;

namespace {
const int longWait = 60000;
}

// The portal's requests without a window: the handlers, the shared guard, the book answer kept.
class TestPortalRequests : public QObject
{
    Q_OBJECT

    TestCertificates m_certificates;
    std::unique_ptr<CapturingTlsServer> m_server;
    std::atomic<quint8> m_guard = 0;
    UrlRequest m_request;
    QString m_responseData;

    std::unique_ptr<PortalRequests> makeRequests()
    {
        const QString base = m_server->baseUrl();
        return std::make_unique<PortalRequests>(m_guard, m_request, m_responseData,
                                                [base] { return base; });
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_certificates.create(), qPrintable(m_certificates.errorText()));
        UrlSession::setExtraCaCertificates(m_certificates.caCertificates());
        m_server = std::make_unique<CapturingTlsServer>(m_certificates);
        QVERIFY2(m_server->isListening(), qPrintable(m_server->errorText()));
    }

    // The handler gets the portal's number while the guard is still up; it comes down after.
    void serverCheck()
    {
        m_server->setAnswer("/adminportal/pdfserverchk.php", " 1\n");
        auto requests = makeRequests();
        std::atomic<int> calls = 0;
        std::atomic<qint32> seen = -1;
        std::atomic<quint8> guardWhileHandled = 0; // read there: the answer may beat this thread
        requests->checkServer([&](qint32 value) {
            seen = value;
            guardWhileHandled = m_guard.load();
            ++calls;
        });
        QTRY_VERIFY_WITH_TIMEOUT(requests->isServerAnswered(), longWait);
        QTRY_COMPARE_WITH_TIMEOUT(m_guard.load(), quint8(0), longWait);
        QCOMPARE(guardWhileHandled.load(), quint8(1));
        QCOMPARE(calls.load(), 1);
        QCOMPARE(seen.load(), 1);
        QVERIFY(!requests->serverUnanswered());
    }

    // An earlier sign-in's book check, answered late (here: never, then cut off), keeps no list.
    void onlyTheLatestBookCheckCounts()
    {
        const QByteArray path = "/adminportal/pdfbookchk.php";
        m_server->setSilent(path);
        auto requests = makeRequests();
        QStringList taken;
        std::mutex mutex;
        const auto take = [&](const QString &answer) {
            std::lock_guard lock(mutex);
            taken.append(answer);
        };
        const int before = m_server->requests().size();
        requests->checkBooks(QStringLiteral("Old"), QStringLiteral("Maths"), take);
        QTRY_VERIFY_WITH_TIMEOUT(m_server->requests().size() > before, longWait);
        m_server->setAnswer(path, "*START*latest");
        requests->checkBooks(QStringLiteral("Acme & Co"), QStringLiteral("a&categoryname=b"), take);
        QTRY_VERIFY_WITH_TIMEOUT(requests->isBookAnswered() && m_guard.load() == 0, longWait);
        QCOMPARE(m_server->requests().last().body,
                 QByteArray("company=Acme & Co&categoryname=a&categoryname=b"));
        requests.reset(); // cancels the silent first check
        std::lock_guard lock(mutex);
        QCOMPARE(taken, QStringList{QStringLiteral("*START*latest")});
    }

    // A shell leaves an unset override empty: that must not make the portal "https://".
    void emptyHostOverrideKeepsTheBuildDefault()
    {
        qputenv("VELKARN_PORTAL_HOST", "");
        QCOMPARE(PortalSettings::baseUrl(), QStringLiteral("https://" VELKARN_DEFAULT_PORTAL_HOST));
        qputenv("VELKARN_PORTAL_HOST", "portal.example:8443");
        QCOMPARE(PortalSettings::baseUrl(), QStringLiteral("https://portal.example:8443"));
        qunsetenv("VELKARN_PORTAL_HOST");
    }
};

QTEST_GUILESS_MAIN(TestPortalRequests)
#include "tst_portalrequests.moc"
