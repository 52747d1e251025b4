#include "SystemFacts.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/utsname.h>

namespace vk {

QString procSysPathOf(const QString &name)
{
    static const QRegularExpression valueName(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9_-]+(\\.[A-Za-z0-9_-]+)*")));
    if (!valueName.match(name).hasMatch())
        return QString();
    QString path = name;
    if (path.startsWith(QLatin1String("kern.")))
        path.replace(0, 4, QStringLiteral("kernel"));
    return QStringLiteral("/proc/sys/") + path.replace(u'.', u'/');
}

QString unameValueOf(const QString &name)
{
    struct utsname facts;
    if (uname(&facts) != 0)
        return QString();
    if (name == QLatin1String("kern.hostname"))
        return QString::fromUtf8(facts.nodename);
    if (name == QLatin1String("kern.ostype"))
        return QString::fromUtf8(facts.sysname);
    if (name == QLatin1String("kern.osrelease"))
        return QString::fromUtf8(facts.release);
    if (name == QLatin1String("kern.version"))
        return QString::fromUtf8(facts.version);
    if (name == QLatin1String("hw.machine"))
        return QString::fromUtf8(facts.machine);
    return QString();
}

QString dmiFileOf(const QString &key)
{
    static const struct {
        const char *key;
        const char *file;
    } properties[] = {
        {"IOPlatformSerialNumber", "product_serial"},
        {"IOPlatformUUID", "product_uuid"},
        {"model", "product_name"},
        {"manufacturer", "sys_vendor"},
    };
    for (const auto &property : properties) {
        if (key == QLatin1String(property.key))
            return QStringLiteral("/sys/class/dmi/id/") + QLatin1String(property.file);
    }
    return QString();
}

QString readValueFile(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QString();
    QString value = QString::fromUtf8(file.readAll());
    while (value.endsWith(u'\n'))
        value.chop(1);
    return value;
}

} // namespace vk
