#include "PortalLibrary.h"

#include <QFileInfo>

namespace {
constexpr int kAdminWaitMs = 120000;
constexpr int kStartWaitMs = 30000;
// Where the demo puts its reader; the added books go beside the demo's own.
const QString kCompany = QStringLiteral("Velkarn Demo Press");
const QString kCategory = QStringLiteral("Engineering");
}

PortalLibrary::PortalLibrary(const QString &portalBinary)
    : binary(portalBinary)
{
}

PortalLibrary::~PortalLibrary()
{
    if (server.state() == QProcess::NotRunning)
        return;
    server.terminate();
    if (!server.waitForFinished(10000))
        server.kill();
    server.waitForFinished(5000);
}

QString PortalLibrary::path(const QString &name) const
{
    return dir.filePath(name);
}

QString PortalLibrary::caCertificatePath() const
{
    return path(QStringLiteral("ca.pem"));
}

bool PortalLibrary::run(const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(binary, arguments);
    const bool ok = process.waitForFinished(kAdminWaitMs) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (!ok)
        m_error = arguments.first() + QStringLiteral(": ")
            + QString::fromLocal8Bit(process.readAllStandardError()).trimmed() + process.errorString();
    return ok;
}

bool PortalLibrary::create()
{
    if (!dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    return run({QStringLiteral("demo"), QStringLiteral("--dir"), dir.path()});
}

bool PortalLibrary::addBook(const QString &name, const QString &pdfFile)
{
    return run({QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("--db"), path(QStringLiteral("portal.db")),
                QStringLiteral("--company"), kCompany, QStringLiteral("--category"), kCategory,
                QStringLiteral("--name"), name, QStringLiteral("--file"), pdfFile});
}

bool PortalLibrary::serve()
{
    // Every request is logged to stderr; nobody reads it here.
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(binary, {QStringLiteral("serve"), QStringLiteral("--db"), path(QStringLiteral("portal.db")),
                          QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                          QStringLiteral("--cert"), path(QStringLiteral("server.pem")),
                          QStringLiteral("--key"), path(QStringLiteral("server.key")),
                          QStringLiteral("--user-checks-per-minute"), QStringLiteral("0")});
    if (!server.waitForStarted(kStartWaitMs)) {
        m_error = QStringLiteral("serve: ") + server.errorString();
        return false;
    }
    while (!server.canReadLine() && server.waitForReadyRead(kStartWaitMs)) {
    }
    const QByteArray line = server.readLine().trimmed(); // "listening on https://127.0.0.1:PORT"
    m_port = quint16(line.mid(line.lastIndexOf(':') + 1).toUInt());
    if (m_port == 0)
        m_error = QStringLiteral("serve: no port in \"%1\"").arg(QString::fromLocal8Bit(line));
    return m_port != 0;
}

bool PortalLibrary::serveBooks(const QStringList &pdfFiles)
{
    if (!create())
        return false;
    for (const QString &book : pdfFiles)
        if (!addBook(QFileInfo(book).fileName(), book))
            return false;
    if (!serve())
        return false;
    // The URL session reads both once, when the viewer first talks to the portal.
    qputenv("VELKARN_PORTAL_HOST", "127.0.0.1:" + QByteArray::number(m_port));
    qputenv("VELKARN_PORTAL_CA", caCertificatePath().toLocal8Bit());
    return true;
}
