#pragma once

#include "SqlEngine.h"

#include <QSqlQuery>
#include <QString>

namespace vk {

// Where the portal's queries get their prepared statements: a serving
// process keeps each statement prepared on each thread's connection (on
// PostgreSQL a preparation costs round trips of its own), a one-off
// connection prepares afresh. A query is finished after use, so a kept
// statement holds no read snapshot between requests.
class Statements
{
public:
    virtual ~Statements() = default;
    virtual const SqlEngine &engine() const = 0;
    // The statement for `sql`; a failed preparation shows when it is run.
    virtual QSqlQuery prepared(const QString &sql) = 0;
};

} // namespace vk
