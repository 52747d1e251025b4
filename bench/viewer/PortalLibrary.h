#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A throw-away library of the real velkarn-portal: its demo accounts and
// certificates, the books added here, and the portal serving them on a free
// loopback port with the per-address limit on user checks switched off.
class PortalLibrary
{
public:
    // The demo account that signs in, and where the books added here are listed.
    static inline const QString readerEmail = QStringLiteral("reader@velkarn.example");
    static inline const QString readerPassword = QStringLiteral("reader-pass-1");

    explicit PortalLibrary(const QString &portalBinary);
    ~PortalLibrary(); // stops the portal

    // Makes the library with these books, each listed under its file name,
    // serves it, and points the viewer of this process, and of the children
    // it starts, at the portal.
    bool serveBooks(const QStringList &pdfFiles);

    quint16 port() const { return m_port; }
    QString caCertificatePath() const;
    QString errorText() const { return m_error; }

private:
    bool create();
    bool addBook(const QString &name, const QString &pdfFile);
    bool serve();
    bool run(const QStringList &arguments);
    QString path(const QString &name) const;

    QString binary;
    QTemporaryDir dir;
    QProcess server;
    quint16 m_port = 0;
    QString m_error;
};
