#pragma once

#include "AdminLibrary.h"

#include <QString>

#include <optional>

namespace vk {

// What the admin commands change. Each checks its input first, runs in one
// transaction and throws CommandError with one line on failure, leaving the
// library and the book store as they were.

void addCompany(AdminLibrary &library, const QString &name, bool active);
void setCompanyActive(AdminLibrary &library, const QString &name, bool active);

struct NewUser
{
    QString email;
    QString company;
    QString category;
    QString password;
    bool active = true;
};

void addUser(AdminLibrary &library, const NewUser &user);
void setUserPassword(AdminLibrary &library, const QString &email, const QString &password);
void setUserActive(AdminLibrary &library, const QString &email, bool active);
// Online since `atMs` (the demo's "signed in elsewhere"), or not online.
void setUserOnline(AdminLibrary &library, const QString &email, bool online, qint64 atMs);

struct NewBook
{
    QString company;
    QString category;
    QString name;
    QString file; // a PDF to copy into the store, or
    QString url;  // an external location, listed as it is
    QString password;
    std::optional<qint64> position; // default: after the last book of the shelf
};

void addBook(AdminLibrary &library, const NewBook &book);
void removeBook(AdminLibrary &library, const QString &company, const QString &category,
                const QString &name);

} // namespace vk
