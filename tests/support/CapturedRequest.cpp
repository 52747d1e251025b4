#include "CapturedRequest.h"

#include <algorithm>

QByteArray CapturedRequest::path() const
{
    const qsizetype query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

bool CapturedRequest::hasHeader(const QByteArray &name) const
{
    return std::any_of(headers.cbegin(), headers.cend(), [&name](const auto &header) {
        return header.first.compare(name, Qt::CaseInsensitive) == 0;
    });
}

QByteArray CapturedRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}
