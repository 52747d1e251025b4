#include "PortalAnswers.h"

#include "velkarn.h"

namespace vk {

namespace {

const QString separator = QStringLiteral("^^");
// Never examined by the viewer; they must only keep clear of "^".
const QString recordLeadIn = QStringLiteral("BK");
const QString recordGap = QStringLiteral("---");
const QString recordEnd = QStringLiteral(".+.");

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
        + account.company + separator + account.category + separator + scrambled(account.password);
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
        text += recordLeadIn + book.name + separator + scrambled(book.location) + separator
            + scrambled(password) + separator + recordGap + recordEnd;
    }
    text += QStringLiteral("*END*");
    return text.toUtf8();
}

QByteArray noBooksAnswer()
{
    return "NOBOOKS";
}

} // namespace vk
