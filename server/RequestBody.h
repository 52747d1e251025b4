#pragma once

#include <QByteArray>
#include <QString>

namespace vk {

// The viewer writes its form bodies by plain concatenation without escaping,
// so values may hold "+", "&" or "=" as typed. These readers never decode
// anything and split only at the field names the viewer writes.

struct UserCheckBody
{
    bool valid = false;
    QString user;
};

struct StatusBody
{
    bool valid = false;
    QString user;
    QString status;
};

struct BookCheckBody
{
    bool valid = false;
    QString company;
    QString category;
};

// "user=" followed by the address, which runs to the end of the body.
UserCheckBody parseUserCheckBody(const QByteArray &body);

// "user=" address "&status=" status. The status is the last field and only
// ever "Y" or "N", so the split is at the last "&status=": an address that
// itself holds "&status=" stays whole.
StatusBody parseStatusBody(const QByteArray &body);

// "company=" company "&categoryname=" category. Company names cannot hold
// "&categoryname=" (refused when they are created), so the split is at the
// first one and a category may hold anything.
BookCheckBody parseBookCheckBody(const QByteArray &body);

} // namespace vk
