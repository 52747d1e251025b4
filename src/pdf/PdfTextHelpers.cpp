#include "PdfTextHelpers.h"

#include "Log.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>

#include <limits>

namespace vk {

struct PdfTextHelpers::Helper
{
    QProcess *process = nullptr;
    PdfPageRecordReader reader;
    int next = 0; // the page the next record must be
    int stride = 1;
    int end = 0;
    bool exited = false;
    bool exitedOk = false;
    bool ended = false;
};

namespace {

// Every PdfTextHelpers alive, for killAllRunning. Main thread only.
std::vector<PdfTextHelpers *> &liveHelpers()
{
    static std::vector<PdfTextHelpers *> live;
    return live;
}

} // namespace

QString PdfTextHelpers::program()
{
    const QString configured = qEnvironmentVariable("VELKARN_PDF_TEXT_HELPER");
    if (!configured.isEmpty())
        return configured;
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/velkarn-pdf-text");
    return QFileInfo(beside).isExecutable() ? beside : QStringLiteral(VELKARN_PDF_TEXT_HELPER);
}

PdfTextHelpers::PdfTextHelpers(std::chrono::milliseconds stallLimit, QObject *parent)
    : QObject(parent)
{
    stall.setSingleShot(true);
    stall.setInterval(stallLimit);
    connect(&stall, &QTimer::timeout, this, &PdfTextHelpers::giveUp);
    liveHelpers().push_back(this);
}

PdfTextHelpers::~PdfTextHelpers()
{
    std::erase(liveHelpers(), this);
    stop();
    for (const auto &helper : helpers)
        helper->process->waitForFinished(1000);
}

void PdfTextHelpers::stop()
{
    stall.stop();
    disconnect();
    for (const auto &helper : helpers) {
        helper->process->disconnect(this);
        if (helper->process->state() != QProcess::NotRunning)
            helper->process->kill();
    }
}

void PdfTextHelpers::killAllRunning(int waitMs)
{
    for (PdfTextHelpers *owner : liveHelpers())
        owner->stop();
    const QDeadlineTimer deadline(waitMs);
    for (PdfTextHelpers *owner : liveHelpers())
        for (const auto &helper : owner->helpers)
            helper->process->waitForFinished(int(qMax(qint64(0), deadline.remainingTime())));
}

void PdfTextHelpers::start(const QByteArray &pdf, const QString &password, int pageCount, int parts)
{
    countKnown = pageCount != unknownPageCount;
    parts = countKnown ? qBound(1, parts, qMax(1, pageCount)) : qMax(1, parts);
    for (int part = 0; part < parts; ++part) {
        auto helper = std::make_unique<Helper>();
        helper->next = part;
        helper->stride = parts;
        helper->end = countKnown ? pageCount : std::numeric_limits<int>::max();
        helper->process = new QProcess(this);
        helper->process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Helper *h = helper.get();
        connect(h->process, &QProcess::readyReadStandardOutput, this, [this, h] { readFrom(*h); });
        connect(h->process, &QProcess::finished, this, [this, h](int code, QProcess::ExitStatus status) {
            readFrom(*h);
            h->exited = true;
            h->exitedOk = status == QProcess::NormalExit && code == 0;
            if (countKnown)
                end(*h, h->exitedOk && h->next >= h->end);
        });
        connect(h->process, &QProcess::errorOccurred, this, [this, h](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                end(*h, false);
        });
        helpers.push_back(std::move(helper));
    }
    // All counted before any starts: a helper that cannot start ends at once.
    running = int(helpers.size());
    stall.start();
    for (const auto &helper : helpers) {
        helper->process->start(program(),
                               {QLatin1String(kParentPidOption) + QString::number(QCoreApplication::applicationPid())});
        if (helper->process->state() == QProcess::NotRunning)
            continue;
        helper->process->write(encodeTextRequest({pdf, password, helper->next, helper->stride, helper->end}));
        helper->process->closeWriteChannel();
    }
}

void PdfTextHelpers::setPageCount(int pageCount)
{
    countKnown = true;
    // Helpers that failed before have ended already; the report waited for this.
    const bool allEnded = running == 0;
    for (const auto &helper : helpers) {
        helper->end = pageCount;
        if (helper->exited)
            end(*helper, helper->exitedOk && helper->next >= helper->end);
    }
    if (allEnded)
        Q_EMIT finished(complete);
}

void PdfTextHelpers::readFrom(Helper &helper)
{
    if (helper.ended)
        return;
    helper.reader.append(helper.process->readAllStandardOutput());
    const auto records = helper.reader.takeRecords();
    if (!records) {
        end(helper, false);
        return;
    }
    if (!records->isEmpty())
        stall.start();
    for (const PdfPageRecord &record : *records) {
        if (record.page != helper.next || record.page >= helper.end) {
            end(helper, false);
            return;
        }
        helper.next += helper.stride;
        Q_EMIT pageRead(record);
    }
}

void PdfTextHelpers::end(Helper &helper, bool ok)
{
    if (helper.ended)
        return;
    helper.ended = true;
    if (!ok) {
        complete = false;
        logLine(QStringLiteral("text helper stopped before page %1 of %2 (exit %3): %4")
                    .arg(helper.next + 1).arg(helper.end)
                    .arg(helper.process->exitCode()).arg(helper.process->errorString()));
        helper.process->disconnect(this);
        helper.process->kill();
    }
    if (--running == 0) {
        stall.stop();
        if (countKnown)
            Q_EMIT finished(complete);
    }
}

void PdfTextHelpers::giveUp()
{
    logLine(QStringLiteral("text helpers sent nothing for %1 s").arg(stall.interval() / 1000.0));
    for (const auto &helper : helpers)
        end(*helper, false);
}

} // namespace vk
