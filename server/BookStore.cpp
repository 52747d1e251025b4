#include "BookStore.h"

#include "CommandLine.h"
#include "PdfProtection.h"
#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <stdexcept>

namespace vk {

namespace {

constexpr qint64 kCopyChunkBytes = 1024 * 1024;

QString copyInto(const QString &source, StagedBookFile &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    QByteArray chunk(kCopyChunkBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(chunk.data(), chunk.size());
        if (n < 0)
            return in.errorString();
        if (n == 0)
            break;
        if (!target.write(chunk.constData(), n))
            return target.errorText();
    }
    if (!target.finish())
        return target.errorText();
    if (target.bytesWritten() != in.size())
        return QStringLiteral("the copy holds %1 bytes of %2").arg(target.bytesWritten()).arg(in.size());
    return {};
}

} // namespace

QString newBookToken()
{
    QByteArray bytes(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), 4);
    return QString::fromLatin1(bytes.toHex());
}

std::unique_ptr<StagedBookFile> storeBookFile(const QString &storeDir, const QString &token,
                                              const QString &source, const QString &password)
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

    const QString dirError = makePrivateDirectory(storeDir);
    if (!dirError.isEmpty())
        throw CommandError{QStringLiteral("cannot create the book store: %1").arg(dirError)};
    auto stored = std::make_unique<StagedBookFile>(storeDir, token + QStringLiteral(".pdf"));
    QString error;
    if (!password.isEmpty() && !inspection.encrypted) {
        error = encryptPdf(source, [&stored](const char *data, size_t size) {
            if (!stored->write(data, qint64(size)))
                throw std::runtime_error(stored->errorText().toStdString());
        }, password);
        if (error.isEmpty() && !stored->finish())
            error = stored->errorText();
    } else {
        error = copyInto(source, *stored);
    }
    if (!error.isEmpty())
        throw CommandError{QStringLiteral("cannot store %1: %2").arg(source, error)};

    // Read back what reached the disk: a copy that does not open with its
    // password, lost pages or is open to anyone must never be served.
    const PdfInspection copy = inspectPdf(stored->currentPath(), password);
    if (!copy.readable || copy.pages != inspection.pages || copy.encrypted != !password.isEmpty()) {
        QString why = copy.error;
        if (copy.readable && copy.pages != inspection.pages)
            why = QStringLiteral("%1 of %2 pages").arg(copy.pages).arg(inspection.pages);
        else if (copy.readable)
            why = copy.encrypted ? QStringLiteral("encrypted") : QStringLiteral("not encrypted");
        throw CommandError{QStringLiteral("cannot store %1: the stored copy does not read back (%2)").arg(source, why)};
    }
    if (!stored->moveIntoPlace())
        throw CommandError{QStringLiteral("cannot store %1: %2").arg(source, stored->errorText())};
    return stored;
}

void removeStoredBookFile(const QString &storeDir, const QString &fileName)
{
    if (!fileName.isEmpty())
        QFile::remove(QDir(storeDir).filePath(fileName));
}

} // namespace vk
