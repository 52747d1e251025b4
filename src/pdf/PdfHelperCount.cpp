#include "PdfHelperCount.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <chrono>
#include <thread>

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
    // One look sees whatever runs at that instant; on an idle machine that is
    // often a kernel thread or a loopback server finishing its answer, and on
    // two cores one such task halved the helpers, and a first search's whole
    // count took 0.9 to 1.1 x mutool's time instead of 0.83. The fewest seen
    // in a few looks over 8 ms tells a passing task from a busy machine.
    constexpr int kLooks = 5;
    const int cores = QThread::idealThreadCount();
    int fewest = cores;
    for (int look = 0; look < kLooks; ++look) {
        if (look > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const int runnable = runnableNow();
        if (runnable < 0)
            return helperCountFor(cores, 0);
        fewest = qMin(fewest, runnable - ownRunnableThreads());
    }
    return helperCountFor(cores, fewest);
}

} // namespace vk
