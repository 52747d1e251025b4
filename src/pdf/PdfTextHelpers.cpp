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
    m_stall.setSingleShot(true);
    m_stall.setInterval(stallLimit);
    connect(&m_stall, &QTimer::timeout, this, &PdfTextHelpers::giveUp);
    liveHelpers().push_back(this);
}

PdfTextHelpers::~PdfTextHelpers()
{
    std::erase(liveHelpers(), this);
    stop();
    for (const auto &helper : m_helpers)
        helper->process->waitForFinished(1000);
}

void PdfTextHelpers::stop()
{
    m_stall.stop();
    disconnect();
    for (const auto &helper : m_helpers) {
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
        for (const auto &helper : owner->m_helpers)
            helper->process->waitForFinished(int(qMax(qint64(0), deadline.remainingTime())));
}

void PdfTextHelpers::start(const QByteArray &pdf, const QString &password, int pageCount, int parts)
{
    m_countKnown = pageCount != kUnknownPageCount;
    parts = m_countKnown ? qBound(1, parts, qMax(1, pageCount)) : qMax(1, parts);
    for (int part = 0; part < parts; ++part) {
        auto helper = std::make_unique<Helper>();
        helper->next = part;
        helper->stride = parts;
        helper->end = m_countKnown ? pageCount : std::numeric_limits<int>::max();
        helper->process = new QProcess(this);
        helper->process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Helper *h = helper.get();
        connect(h->process, &QProcess::readyReadStandardOutput, this, [this, h] { readFrom(*h); });
        connect(h->process, &QProcess::finished, this, [this, h](int code, QProcess::ExitStatus status) {
            readFrom(*h);
            h->exited = true;
            h->exitedOk = status == QProcess::NormalExit && code == 0;
            if (m_countKnown)
                end(*h, h->exitedOk && h->next >= h->end);
        });
        connect(h->process, &QProcess::errorOccurred, this, [this, h](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                end(*h, false);
        });
        m_helpers.push_back(std::move(helper));
    }
    // All counted before any starts: a helper that cannot start ends at once.
    m_running = int(m_helpers.size());
    m_stall.start();
    for (const auto &helper : m_helpers) {
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
    m_countKnown = true;
    // Helpers that failed before have ended already; the report waited for this.
    const bool allEnded = m_running == 0;
    for (const auto &helper : m_helpers) {
        helper->end = pageCount;
        if (helper->exited)
            end(*helper, helper->exitedOk && helper->next >= helper->end);
    }
    if (allEnded)
        Q_EMIT finished(m_complete);
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
        m_stall.start();
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
        m_complete = false;
        logLine(QStringLiteral("text helper stopped before page %1 of %2 (exit %3): %4")
                    .arg(helper.next + 1).arg(helper.end)
                    .arg(helper.process->exitCode()).arg(helper.process->errorString()));
        helper.process->disconnect(this);
        helper.process->kill();
    }
    if (--m_running == 0) {
        m_stall.stop();
        if (m_countKnown)
            Q_EMIT finished(m_complete);
    }
}

void PdfTextHelpers::giveUp()
{
    logLine(QStringLiteral("text helpers sent nothing for %1 s").arg(m_stall.interval() / 1000.0));
    for (const auto &helper : m_helpers)
        end(*helper, false);
}

} // namespace vk
