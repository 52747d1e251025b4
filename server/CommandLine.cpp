#include "CommandLine.h"

namespace vk {

CommandOptions::CommandOptions(const QStringList &args, const QStringList &allowed)
{
    for (qsizetype i = 0; i < args.size(); i += 2) {
        const QString &arg = args.at(i);
        if (!arg.startsWith(QStringLiteral("--")))
            throw CommandError{QStringLiteral("unexpected argument \"%1\"").arg(arg)};
        const QString name = arg.mid(2);
        if (!allowed.contains(name))
            throw CommandError{QStringLiteral("unknown option %1 (allowed: --%2)")
                                   .arg(arg, allowed.join(QStringLiteral(", --")))};
        if (i + 1 >= args.size())
            throw CommandError{QStringLiteral("option %1 needs a value").arg(arg)};
        if (m_values.contains(name))
            throw CommandError{QStringLiteral("option %1 given twice").arg(arg)};
        m_values.insert(name, args.at(i + 1));
    }
}

bool CommandOptions::has(const QString &name) const
{
    return m_values.contains(name);
}

QString CommandOptions::value(const QString &name, const QString &fallback) const
{
    return m_values.value(name, fallback);
}

QString CommandOptions::required(const QString &name) const
{
    const QString v = m_values.value(name);
    if (v.isEmpty())
        throw CommandError{QStringLiteral("option --%1 is required").arg(name)};
    return v;
}

bool CommandOptions::yesNo(const QString &name, bool fallback) const
{
    if (!m_values.contains(name))
        return fallback;
    const QString v = m_values.value(name);
    if (v == QStringLiteral("Y"))
        return true;
    if (v == QStringLiteral("N"))
        return false;
    throw CommandError{QStringLiteral("option --%1 takes Y or N, not \"%2\"").arg(name, v)};
}

} // namespace vk
