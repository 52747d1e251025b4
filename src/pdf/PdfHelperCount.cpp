#include "PdfHelperCount.h"

#include <QDir>
#include <QFile>
#include <QThread>

namespace vk {

namespace {

// The number of runnable tasks of the whole machine, this process's included;
// -1 when it cannot be told. The load average itself lags by a minute and still
// counts the helpers of the book read before, so the instant count is used.
int runnableNow()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = file.readAll().split(' ');
    if (fields.size() < 4)
        return -1;
    bool ok = false;
    const int running = fields.at(3).split('/').first().toInt(&ok);
    return ok ? running : -1;
}

int ownRunnableThreads()
{
    int running = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task) + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // The state follows the command name, which may itself hold ") ".
        const qsizetype close = line.lastIndexOf(')');
        if (close >= 0 && line.size() > close + 2 && line.at(close + 2) == 'R')
            ++running;
    }
    return running;
}

} // namespace

int helperCountFor(int cores, int othersRunnable)
{
    return qBound(1, cores - qMax(0, othersRunnable), kMaxTextHelpers);
}

int textHelperCount()
{
    const int cores = QThread::idealThreadCount();
    const int runnable = runnableNow();
    if (runnable < 0)
        return helperCountFor(cores, 0);
    return helperCountFor(cores, runnable - ownRunnableThreads());
}

} // namespace vk
