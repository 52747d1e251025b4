#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace vk {

// The texts the viewer parses. Plain fields go out as they are (names holding
// "^" are refused when they are stored); passwords and locations go out in the
// pair-swap encoding.

struct AccountRecord
{
    bool online = false;
    bool active = false;
    bool companyActive = false;
    QString company;
    QString category;
    QString password;
};

struct BookRecord
{
    QString name;
    QString location;
    QString password; // empty: the book opens without one
};

QByteArray serverCheckAnswer();

QByteArray loginAnswer(const AccountRecord &account);

// The answer for an address that has no account: all three flags "N" and an
// empty password field, which the viewer can never match because it refuses
// to send an empty password.
QByteArray unknownUserAnswer();

// "*START*", one record per book in the given order, "*END*". With no book
// the answer does not begin with "*START*", which the viewer reads as an
// empty list.
QByteArray bookAnswer(const QList<BookRecord> &books);

QByteArray noBooksAnswer();

} // namespace vk
