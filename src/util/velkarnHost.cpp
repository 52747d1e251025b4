#include "velkarn.h"

#include "SystemFacts.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>

using namespace vk;

QString velkarn::runCommand(const QString &command)
{
    QProcess task;
    task.setProcessChannelMode(QProcess::MergedChannels);
    task.setStandardInputFile(QProcess::nullDevice());
    task.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    task.waitForFinished(-1);
    const QByteArray output = task.readAll();
    QStringDecoder toUtf16(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = toUtf16(output);
    if (toUtf16.hasError())
        return QString();
    return text + QStringLiteral(":Task Completed:");
}

QString velkarn::systemInfoString(const char *name)
{
    const QString key = QString::fromUtf8(name);
    const QString value = readValueFile(procSysPathOf(key));
    return value.isNull() ? unameValueOf(key) : value;
}

QString velkarn::hostName()
{
    const QString name = systemInfoString("kern.hostname");
    return name.isNull() ? name : name.section(u'.', 0, 0);
}

QString velkarn::strIORegistryEntry(const QString &key)
{
    kVarSysInfoPlatformExpert = QStringLiteral("IOPlatformExpertDevice");
    const QString value = readValueFile(dmiFileOf(key));
    // Machines without a readable DMI UUID still carry a stable identity.
    if (value.isNull() && key == QLatin1String("IOPlatformUUID"))
        return readValueFile(QStringLiteral("/etc/machine-id"));
    return value;
}

QStringList velkarn::GetCerts(const QString &listing)
{
    static const char *const prefixes[] = {
        "Developer ID In",
        "Developer ID A",
        "3rd Party Mac Developer A",
        "3rd Party Mac Developer I",
    };
    tmparray = QStringList();
    for (const char *prefix : prefixes) {
        const qsizetype start = listing.indexOf(QLatin1String(prefix));
        if (start < 0)
            continue;
        const qsizetype end = listing.indexOf(u')', start);
        tmparray.append(end < 0 ? QStringLiteral("") : listing.mid(start, end - start + 1));
    }
    return tmparray;
}

QString velkarn::Cert2use(const QString &name)
{
    static const struct {
        const char *kind;
        const char *label;
    } kinds[] = {
        {"developer id application", " Non Store App"},
        {"developer id install", " Non Store Installer"},
        {"3rd party mac developer app", " Store App"},
        {"3rd party mac developer ins", " Store Installer"},
    };
    const QString lower = name.toLower();
    for (const auto &kind : kinds) {
        if (lower.contains(QLatin1String(kind.kind)))
            return name + QLatin1String(kind.label);
    }
    return name;
}

quint8 velkarn::validateEmail2(const QString &s)
{
    static const QRegularExpression address(QRegularExpression::anchoredPattern(
        QStringLiteral("[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,64}")));
    return address.match(s).hasMatch() ? 1 : 0;
}

void velkarn::listfonts()
{
}
