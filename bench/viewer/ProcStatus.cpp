#include "ProcStatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

QByteArray procFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2")
                   .arg(pid == 0 ? QStringLiteral("self") : QString::number(pid), QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fields after "pid (name) ", and the name; the name may hold spaces.
struct Stat
{
    QByteArray name;
    QList<QByteArray> fields; // state, ppid, ...
};

Stat statOf(qint64 pid)
{
    const QByteArray line = procFile(pid, "stat");
    const qsizetype open = line.indexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    if (open < 0 || close < open)
        return {};
    return {line.mid(open + 1, close - open - 1), line.mid(close + 2).split(' ')};
}

} // namespace

double statusMiB(qint64 pid, const char *field)
{
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : procFile(pid, "status").split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).simplified().split(' ').value(0).toDouble() / 1024;
    return -1;
}

QList<qint64> childrenNamed(const QString &name)
{
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    QList<qint64> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        const Stat stat = statOf(pid);
        if (stat.fields.size() > 1 && stat.fields.at(1) == self && stat.name == name.left(15).toUtf8()
            && isAlive(pid))
            found.append(pid);
    }
    return found;
}

bool isAlive(qint64 pid)
{
    const Stat stat = statOf(pid);
    return !stat.fields.isEmpty() && stat.fields.first() != "Z" && stat.fields.first() != "X";
}
