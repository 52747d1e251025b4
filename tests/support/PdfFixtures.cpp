#include "PdfFixtures.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>

namespace {

QByteArray written(QPDFWriter &writer)
{
    writer.setOutputMemory();
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char *>(buffer->getBuffer()), qsizetype(buffer->getSize()));
}

} // namespace

namespace PdfFixtures {

QByteArray makePdf(const QList<Page> &pages, int fontPixels)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(pages.isEmpty() ? QPageSize(QPageSize::A4) : pages.first().size);
        QPainter painter(&writer);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(fontPixels);
        painter.setFont(font);
        for (int i = 0; i < pages.size(); ++i) {
            const Page &page = pages.at(i);
            if (i > 0) {
                // The size applies to the page that newPage() starts.
                writer.setPageSize(page.size);
                writer.newPage();
            }
            if (page.fill.isValid())
                painter.fillRect(QRectF(QPointF(0, 0), page.size.size(QPageSize::Point)), page.fill);
            qreal y = 60;
            for (const QString &line : page.text.split(u'\n', Qt::SkipEmptyParts)) {
                painter.drawText(QPointF(50, y), line);
                y += 24;
            }
        }
    }
    return bytes;
}

QByteArray makePdf(const QStringList &texts, const QPageSize &size, int fontPixels)
{
    QList<Page> pages;
    for (const QString &text : texts)
        pages.append({text, size, {}});
    return makePdf(pages, fontPixels);
}

QByteArray colouredPdf(int pageCount)
{
    QList<Page> pages;
    for (int i = 0; i < pageCount; ++i)
        pages.append({{}, QPageSize(QPageSize::Letter), pageColor(i)});
    return makePdf(pages);
}

QColor pageColor(int page)
{
    static const QColor colors[] = {QColor(230, 60, 60), QColor(60, 160, 60), QColor(60, 90, 220)};
    return colors[page % 3];
}

QByteArray encryptPdf(const QByteArray &pdf, const QString &password)
{
    try {
        QPDF in;
        in.processMemoryFile("fixture.pdf", pdf.constData(), size_t(pdf.size()));
        QPDFWriter writer(in);
        const QByteArray user = password.toUtf8();
        const QByteArray owner = user + "-owner";
        writer.setR6EncryptionParameters(user.constData(), owner.constData(), true, true, true,
                                         true, true, true, qpdf_r3p_full, true);
        return written(writer);
    } catch (const std::exception &) {
        return {};
    }
}

QByteArray paddedPdf(int bytes)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Page /MediaBox [0 0 200 200] /Resources << >> >>"));
    QPDFPageDocumentHelper(pdf).addPage(page, false);
    std::string data(size_t(bytes), '\0');
    for (auto &c : data)
        c = char(QRandomGenerator::global()->generate());
    page.replaceKey("/PieceInfo", pdf.newStream(data));
    QPDFWriter writer(pdf);
    writer.setStreamDataMode(qpdf_s_preserve);
    return written(writer);
}

QByteArray pdfOfObjects(const QList<QByteArray> &objects)
{
    const QByteArray size = QByteArray::number(objects.size() + 1);
    QByteArray pdf = "%PDF-1.4\n";
    QByteArray xref = "xref\n0 " + size + "\n0000000000 65535 f \n";
    for (int i = 0; i < objects.size(); ++i) {
        xref += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const QByteArray start = QByteArray::number(pdf.size());
    return pdf + xref + "trailer\n<< /Size " + size + " /Root 1 0 R >>\nstartxref\n" + start + "\n%%EOF\n";
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

} // namespace PdfFixtures
