#include "PdfTextHelpers.h"

#include "Log.h"
#include "PdfBookFile.h"
#include "PdfPageClaims.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace vk {

struct PdfTextHelpers::Helper
{
    QProcess *process = nullptr;
    PdfPageRecordReader reader;
    int last = -1; // the page of its last record: its pages come rising
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
    // Beside the program in a build tree; an installed viewer in bin/ has its
    // helper in lib/velkarn/, out of everyone's PATH.
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {dir + QStringLiteral("/velkarn-pdf-text"),
                                     dir + QStringLiteral("/../lib/velkarn/velkarn-pdf-text")}) {
        if (QFileInfo(candidate).isExecutable())
            return QDir::cleanPath(candidate);
    }
    return QStringLiteral(VELKARN_PDF_TEXT_HELPER);
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
    m_end = m_countKnown ? pageCount : std::numeric_limits<int>::max();
    const int book = createBookFile(pdf);
    const int claims = PdfPageClaims::createShared();
    // Without a count to share, one helper reads every page; without the book,
    // none can, and the helper says so by failing.
    parts = claims < 0 ? 1 : m_countKnown ? qBound(1, parts, qMax(1, pageCount)) : qMax(1, parts);
    QStringList arguments{QLatin1String(kParentPidOption) + QString::number(QCoreApplication::applicationPid())};
    for (const auto &[option, fd] : {std::pair{kBookOption, book}, std::pair{kPageClaimsOption, claims}})
        if (fd >= 0)
            arguments.append(QLatin1String(option) + QString::number(fd));
    for (int part = 0; part < parts; ++part)
        addHelper([book, claims] {
            // Only the helpers inherit these; they close on exec in any other child.
            for (int fd : {book, claims})
                if (fd >= 0)
                    ::fcntl(fd, F_SETFD, 0);
        });
    // All counted before any starts: a helper that cannot start ends at once.
    m_running = int(m_helpers.size());
    m_stall.start();
    const QByteArray request = encodeTextRequest({password, m_end});
    for (const auto &helper : m_helpers) {
        helper->process->start(program(), arguments);
        if (helper->process->state() == QProcess::NotRunning)
            continue;
        helper->process->write(request);
        helper->process->closeWriteChannel();
    }
    for (int fd : {book, claims})
        if (fd >= 0)
            ::close(fd);
}

void PdfTextHelpers::addHelper(const std::function<void()> &childSetup)
{
    auto helper = std::make_unique<Helper>();
    helper->process = new QProcess(this);
    helper->process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper->process->setChildProcessModifier(childSetup);
    Helper *h = helper.get();
    connect(h->process, &QProcess::readyReadStandardOutput, this, [this, h] { readFrom(*h); });
    connect(h->process, &QProcess::finished, this, [this, h](int code, QProcess::ExitStatus status) {
        readFrom(*h);
        h->exited = true;
        h->exitedOk = status == QProcess::NormalExit && code == 0;
        if (m_countKnown)
            end(*h, h->exitedOk);
    });
    connect(h->process, &QProcess::errorOccurred, this, [this, h](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end(*h, false);
    });
    m_helpers.push_back(std::move(helper));
}

void PdfTextHelpers::setPageCount(int pageCount)
{
    m_countKnown = true;
    m_end = pageCount;
    // Helpers that failed before have ended already; the report waited for this.
    const bool allEnded = m_running == 0;
    for (const auto &helper : m_helpers)
        if (helper->exited)
            end(*helper, helper->exitedOk);
    if (allEnded)
        Q_EMIT finished(isComplete());
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
        if (record.page <= helper.last || record.page >= m_end) {
            end(helper, false);
            return;
        }
        helper.last = record.page;
        m_read.insert(record.page);
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
        logLine(QStringLiteral("text helper stopped with %1 pages read (exit %2): %3")
                    .arg(m_read.size())
                    .arg(helper.process->exitCode()).arg(helper.process->errorString()));
        helper.process->disconnect(this);
        helper.process->kill();
    }
    if (--m_running == 0) {
        m_stall.stop();
        if (m_countKnown)
            Q_EMIT finished(isComplete());
    }
}

bool PdfTextHelpers::isComplete() const
{
    return m_complete && m_read.size() == m_end;
}

void PdfTextHelpers::giveUp()
{
    logLine(QStringLiteral("text helpers sent nothing for %1 s").arg(m_stall.interval() / 1000.0));
    for (const auto &helper : m_helpers)
        end(*helper, false);
}

} // namespace vk
