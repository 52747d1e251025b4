#include "Log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace vk {

void logLine(const QString &message)
{
    const QString program = QCoreApplication::instance()
        ? QFileInfo(QCoreApplication::applicationFilePath()).fileName()
        : QStringLiteral("velkarn");
    const QByteArray line = QStringLiteral("%1 %2[%3] %4\n")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")),
             program)
        .arg(::getpid())
        .arg(message)
        .toUtf8();
    // One fwrite per line keeps lines whole when two threads log at once.
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace vk
