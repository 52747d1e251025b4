#include "PdfTextProtocol.h"

#include <QDataStream>
#include <QIODevice>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace vk {

namespace {

constexpr quint32 requestMagic = 0x564b5054; // "VKPT"
constexpr auto streamVersion = QDataStream::Qt_6_4;
// No page of a real book holds this much text; a larger length means a stream
// that is no longer in step.
constexpr quint32 maxRecordBytes = 64 * 1024 * 1024;

} // namespace

std::optional<long> optionNumber(int argc, char **argv, const char *option)
{
    const size_t prefix = std::strlen(option);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], option, prefix) != 0)
            continue;
        char *end = nullptr;
        const long number = std::strtol(argv[i] + prefix, &end, 10);
        return (end && *end == '\0' && number > 0) ? number : 0;
    }
    return std::nullopt;
}

std::optional<int> optionDescriptor(int argc, char **argv, const char *option)
{
    const std::optional<long> number = optionNumber(argc, argv, option);
    if (!number)
        return std::nullopt;
    return *number > 2 && *number <= INT_MAX ? int(*number) : -1;
}

QByteArray encodeTextRequest(const PdfTextRequest &request)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(streamVersion);
    out << requestMagic << qint32(request.endPage) << request.password;
    return bytes;
}

std::optional<PdfTextRequest> decodeTextRequest(const QByteArray &bytes)
{
    QDataStream in(bytes);
    in.setVersion(streamVersion);
    quint32 magic = 0;
    qint32 end = 0;
    PdfTextRequest request;
    in >> magic >> end >> request.password;
    if (in.status() != QDataStream::Ok || !in.atEnd() || magic != requestMagic || end < 0)
        return std::nullopt;
    request.endPage = end;
    return request;
}

QByteArray encodePageRecord(const PdfPageRecord &record)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(streamVersion);
    out << qint32(record.page) << record.text;
    QByteArray framed;
    QDataStream frame(&framed, QIODevice::WriteOnly);
    frame.setVersion(streamVersion);
    frame << payload;
    return framed;
}

void PdfPageRecordReader::append(const QByteArray &bytes)
{
    m_pending.append(bytes);
}

std::optional<QList<PdfPageRecord>> PdfPageRecordReader::takeRecords()
{
    QList<PdfPageRecord> records;
    qsizetype used = 0;
    while (!m_broken && m_pending.size() - used >= 4) {
        const auto *head = reinterpret_cast<const uchar *>(m_pending.constData() + used);
        const quint32 length = quint32(head[0]) << 24 | quint32(head[1]) << 16 | quint32(head[2]) << 8 | head[3];
        if (length > maxRecordBytes) {
            m_broken = true;
            break;
        }
        if (m_pending.size() - used - 4 < qsizetype(length))
            break;
        QDataStream in(m_pending.sliced(used + 4, length));
        in.setVersion(streamVersion);
        qint32 page = -1;
        PdfPageRecord record;
        in >> page >> record.text;
        if (in.status() != QDataStream::Ok || !in.atEnd() || page < 0) {
            m_broken = true;
            break;
        }
        record.page = page;
        records.append(record);
        used += 4 + length;
    }
    m_pending.remove(0, used);
    if (m_broken)
        return std::nullopt;
    return records;
}

} // namespace vk
