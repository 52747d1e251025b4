#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace vk {

// A command's failure: one line for standard error, and a non-zero exit.
struct CommandError
{
    QString message;
};

// "--name value" pairs. Every option takes a value; an option given twice,
// unknown, or without its value is an error.
class CommandOptions
{
public:
    // Throws CommandError.
    CommandOptions(const QStringList &args, const QStringList &allowed);

    bool has(const QString &name) const;
    QString value(const QString &name, const QString &fallback = {}) const;
    // Throws CommandError when the option is missing or empty.
    QString required(const QString &name) const;
    // "Y" or "N". Throws CommandError for anything else.
    bool yesNo(const QString &name, bool fallback) const;

private:
    QHash<QString, QString> m_values;
};

} // namespace vk
