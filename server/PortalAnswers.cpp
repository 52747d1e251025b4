#include "PortalAnswers.h"

#include "velkarn.h"

namespace vk {

namespace {

const QString kSeparator = QStringLiteral("^^");
// Never examined by the viewer; they must only keep clear of "^".
const QString kRecordLeadIn = QStringLiteral("BK");
const QString kRecordGap = QStringLiteral("---");
const QString kRecordEnd = QStringLiteral(".+.");

QString flag(bool on)
{
    return on ? QStringLiteral("Y") : QStringLiteral("N");
}

QString scrambled(const QString &plain)
{
    return velkarn().encodestr(plain);
}

} // namespace

QByteArray serverCheckAnswer()
{
    return "1";
}

QByteArray loginAnswer(const AccountRecord &account)
{
    const QString text = flag(account.online) + flag(account.active) + flag(account.companyActive)
        + account.company + kSeparator + account.category + kSeparator + scrambled(account.password);
    return text.toUtf8();
}

QByteArray unknownUserAnswer()
{
    return "NNN^^^^";
}

QByteArray bookAnswer(const QList<BookRecord> &books)
{
    if (books.isEmpty())
        return noBooksAnswer();
    QString text = QStringLiteral("*START*");
    for (const BookRecord &book : books) {
        const QString password = book.password.isEmpty() ? QStringLiteral("none") : book.password;
        text += kRecordLeadIn + book.name + kSeparator + scrambled(book.location) + kSeparator
            + scrambled(password) + kSeparator + kRecordGap + kRecordEnd;
    }
    text += QStringLiteral("*END*");
    return text.toUtf8();
}

QByteArray noBooksAnswer()
{
    return "NOBOOKS";
}

} // namespace vk
