#include "RequestLog.h"

#include <QRegularExpression>

#include <cstdio>

namespace vk {

namespace {

constexpr qsizetype kMaxLoggedPath = 256;
constexpr qsizetype kMaxLoggedMethod = 32;
constexpr qsizetype kTokenKept = 6;
constexpr qsizetype kMaxLibraryMessage = 512;
const QString kCutMark = QStringLiteral("...[cut]");

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

QString shortenTokens(const QString &text)
{
    static const QRegularExpression kTokenRun(QStringLiteral("[0-9A-Fa-f]{32,}"));
    QString result;
    qsizetype from = 0;
    for (auto it = kTokenRun.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += QStringView(text).mid(from, match.capturedStart() - from);
        result += QStringView(text).mid(match.capturedStart(), kTokenKept);
        result += QStringLiteral("...");
        from = match.capturedEnd();
    }
    result += QStringView(text).mid(from);
    return result;
}

} // namespace

QString requestLogLine(const QDateTime &when, const QString &client, const QString &method,
                       const QString &path, int status, double durationMs)
{
    const QString statusText = status > 0 ? QString::number(status) : QStringLiteral("closed");
    return QStringLiteral("%1 %2 %3 %4 %5 %6ms")
        .arg(when.toUTC().toString(Qt::ISODateWithMs), loggableText(client, kMaxLoggedMethod),
             loggableText(method, kMaxLoggedMethod), path, statusText, QString::number(durationMs, 'f', 2));
}

QString loggablePath(const QString &path)
{
    const QString books = QStringLiteral("/books/");
    if (path.startsWith(books) && path.size() > books.size() + kTokenKept)
        return loggableText(path.left(books.size() + kTokenKept), kMaxLoggedPath) + QStringLiteral("...");
    return loggableText(path, kMaxLoggedPath);
}

QString loggableText(const QString &text, qsizetype maxChars)
{
    const QString shortened = shortenTokens(text);
    QString result;
    for (const QChar c : shortened) {
        if (result.size() >= maxChars)
            return result + kCutMark;
        if (c == u'\\')
            result += QStringLiteral("\\\\");
        else if (isControl(c.unicode()))
            result += QStringLiteral("\\x%1").arg(c.unicode(), c.unicode() > 0xff ? 4 : 2, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result;
}

QString libraryLogLine(const QString &message)
{
    return QStringLiteral("velkarn-portal: ") + loggableText(message.trimmed(), kMaxLibraryMessage);
}

void writeLogLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

} // namespace vk
