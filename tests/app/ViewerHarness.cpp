#include "ViewerHarness.h"

#include "MainInterface.h"
#include "TestCertificates.h"
#include "velkarn.h"

using namespace vk;

namespace {

// Certificates for the whole process; the first call sets VELKARN_PORTAL_CA,
// which the URL session reads only once. Static, so that their directory goes at exit.
const TestCertificates &testCertificates()
{
    static const TestCertificates *const certificates = [] {
        static TestCertificates made;
        if (!made.create())
            qFatal("test certificates: %s", qPrintable(made.errorText()));
        qputenv("VELKARN_PORTAL_CA", made.caCertificatePath().toLocal8Bit());
        return &made;
    }();
    return *certificates;
}

void usePortalPort(quint16 port)
{
    qputenv("VELKARN_PORTAL_HOST", "127.0.0.1:" + QByteArray::number(port));
}

} // namespace

std::unique_ptr<CapturingTlsServer> startCapturingPortal()
{
    auto server = std::make_unique<CapturingTlsServer>(testCertificates());
    if (!server->isListening())
        return nullptr;
    server->setAnswer(kUserPath, loginAnswer());
    server->setAnswer(kBookPath, "*START*");
    usePortalPort(server->port());
    return server;
}

bool startRealPortal(PortalProcess &portal)
{
    if (!portal.start(testCertificates().serverCertificatePath(), testCertificates().serverKeyPath()))
        return false;
    usePortalPort(portal.port());
    return true;
}

QByteArray loginAnswer(const QString &company)
{
    return ("NYY" + company + "^^Sales^^" + velkarn().encodestr("pw")).toUtf8();
}

QList<QByteArray> bodiesTo(const CapturingTlsServer &server, const QByteArray &path)
{
    QList<QByteArray> bodies;
    for (const CapturedRequest &request : server.requests()) {
        if (request.path() == path)
            bodies.append(request.method + ' ' + request.body);
    }
    return bodies;
}

QByteArray bookAnswer(const QList<QStringList> &books)
{
    velkarn v;
    QString text = QStringLiteral("*START*");
    for (const QStringList &book : books)
        text += "01" + book.value(2, "Book") + "^^" + v.encodestr(book.at(0)) + "^^" + v.encodestr(book.at(1))
                + "^^abc.+.";
    return (text + "*END*").toUtf8();
}

LaunchedViewer::LaunchedViewer(bool realExit)
    : m_delegate(std::make_unique<AppDelegate>())
{
    // A viewer ending for real runs in a process of its own, which takes the
    // certificates of the test that started it.
    if (!realExit) {
        testCertificates();
        m_delegate->setExitFunction([this](int status) {
            ++m_exitCalls;
            m_exitStatus = status;
        });
    }
    m_window = makeMainInterface(m_delegate.get());
    m_delegate->applicationWillFinishLaunching();
    m_delegate->applicationDidFinishLaunching();
    m_window->show();
}

LaunchedViewer::~LaunchedViewer()
{
    // The window goes first; the controller's teardown waits for the transfers that still hold it.
    m_window->setDelegate(nullptr);
}

bool LaunchedViewer::submitLogin(const QString &email, const QString &password)
{
    AppDelegate *app = m_delegate.get();
    if (!QTest::qWaitFor([app] { return app->view3()->isVisible() && app->logonb()->isEnabled(); }, kWaitMs))
        return false;
    m_delegate->usertf()->setText(email);
    m_delegate->passtf()->setText(password);
    m_delegate->logonb()->click();
    return true;
}

bool LaunchedViewer::signIn(const QString &email, const QString &password)
{
    AppDelegate *app = m_delegate.get();
    const auto listed = [app] { return app->bookview()->isVisible() && !app->isBookTimerLive(); };
    return submitLogin(email, password) && QTest::qWaitFor(listed, kWaitMs);
}

bool LaunchedViewer::waitForIdle()
{
    return QTest::qWaitFor([this] { return m_delegate->guardValue() == 0; }, kWaitMs);
}

bool LaunchedViewer::openBook(int index)
{
    m_delegate->bookcombo()->setCurrentIndex(index);
    m_delegate->bookbutton()->click();
    return QTest::qWaitFor([this] { return !m_delegate->isDownloading(); }, kWaitMs);
}

bool LaunchedViewer::search(const QString &pattern)
{
    m_delegate->searchtv()->setText(pattern);
    m_delegate->searchf()->click();
    const QLabel *counter = m_delegate->matchl(); // a count still growing ends in "+"
    const auto decided = [counter] {
        return !counter->text().startsWith(QLatin1String("Searching")) && !counter->text().endsWith(u'+');
    };
    return QTest::qWaitFor(decided, kWaitMs);
}
