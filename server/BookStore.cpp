#include "BookStore.h"

#include "CommandLine.h"
#include "PdfProtection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

QString newBookToken()
{
    QByteArray bytes(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), 4);
    return QString::fromLatin1(bytes.toHex());
}

QString storeBookFile(const QString &storeDir, const QString &token, const QString &source,
                      const QString &password)
{
    if (!QFileInfo(source).isFile())
        throw CommandError{QStringLiteral("cannot read %1").arg(source)};
    const PdfInspection inspection = inspectPdf(source, password);
    if (inspection.wrongPassword && password.isEmpty())
        throw CommandError{QStringLiteral("%1 is encrypted: give its password with --password").arg(source)};
    if (inspection.wrongPassword)
        throw CommandError{QStringLiteral("%1 is encrypted and does not open with the password given").arg(source)};
    if (!inspection.readable)
        throw CommandError{QStringLiteral("%1 is not a readable PDF: %2").arg(source, inspection.error)};

    if (!QDir().mkpath(storeDir))
        throw CommandError{QStringLiteral("cannot create the book store %1").arg(storeDir)};
    const QString fileName = token + QStringLiteral(".pdf");
    const QString target = QDir(storeDir).filePath(fileName);
    const QString partial = QDir(storeDir).filePath(QStringLiteral(".partial-") + fileName);
    QFile::remove(partial);

    QString error;
    if (!password.isEmpty() && !inspection.encrypted)
        error = encryptPdf(source, partial, password);
    else if (!QFile::copy(source, partial))
        error = QStringLiteral("copy failed");
    if (error.isEmpty() && !QFile::rename(partial, target))
        error = QStringLiteral("cannot move the copy into place");
    if (!error.isEmpty()) {
        QFile::remove(partial);
        throw CommandError{QStringLiteral("cannot store %1: %2").arg(source, error)};
    }
    return fileName;
}

void removeStoredBookFile(const QString &storeDir, const QString &fileName)
{
    if (!fileName.isEmpty())
        QFile::remove(QDir(storeDir).filePath(fileName));
}
