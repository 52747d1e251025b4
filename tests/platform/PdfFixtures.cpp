#include "PdfFixtures.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

QByteArray makePdf(const QStringList &pages, const QList<QPageSize> &sizes)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(sizes.value(0, QPageSize(QPageSize::A4)));
        writer.setResolution(72);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(14);
        painter.setFont(font);
        for (int i = 0; i < pages.size(); ++i) {
            if (i > 0) {
                writer.setPageSize(sizes.value(i, QPageSize(QPageSize::A4)));
                writer.newPage();
            }
            int y = 60;
            for (const QString &line : pages.at(i).split(u'\n', Qt::SkipEmptyParts)) {
                painter.drawText(QPointF(50, y), line);
                y += 24;
            }
        }
    }
    return bytes;
}

QByteArray encryptPdf(const QByteArray &pdf, const QString &password)
{
    QPDF in;
    in.processMemoryFile("fixture.pdf", pdf.constData(), size_t(pdf.size()));
    QPDFWriter writer(in);
    writer.setOutputMemory();
    const std::string pw = password.toStdString();
    writer.setR6EncryptionParameters(pw.c_str(), (pw + "-owner").c_str(), true, true, true, true,
                                     true, true, qpdf_r3p_full, true);
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char *>(buffer->getBuffer()), qsizetype(buffer->getSize()));
}
