#include "PdfFixtures.h"
#include "PdfTextHelpers.h"
#include "PdfTextProtocol.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

using namespace vk;

// The text helpers hold a decrypted book: none may outlive the viewer, and none
// may take more memory than its cap.
class TestTextHelpers : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QList<qint64> started; // killed at the end, whatever a test left behind

    static bool alive(qint64 pid)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        const qsizetype state = line.lastIndexOf(')') + 2; // after "pid (name) "
        return state > 1 && state < line.size() && line.at(state) != 'Z';
    }

    // The soft limit, which the helper sets once it is tied to its viewer.
    static QByteArray addressSpaceLimit(qint64 pid)
    {
        QFile limits(QStringLiteral("/proc/%1/limits").arg(pid));
        const QByteArray all = limits.open(QIODevice::ReadOnly) ? limits.readAll() : QByteArray();
        for (const QByteArray &line : all.split('\n'))
            if (line.startsWith("Max address space"))
                return line.mid(26).simplified().split(' ').value(0);
        return QByteArray();
    }
    static inline const QByteArray kCap = "1610612736"; // 1.5 GiB

    // Helpers started from now on append their pid to pids and hang.
    bool useHangingHelpers(const QString &pids)
    {
        const QString hang = dir.filePath(QStringLiteral("hang.sh"));
        qputenv("VELKARN_PDF_TEXT_HELPER", QFile::encodeName(hang));
        return PdfFixtures::writeFile(hang, "#!/bin/sh\necho $$ >> '" + pids.toUtf8() + "'\nexec sleep 600\n")
            && QFile::setPermissions(hang, QFile::ReadOwner | QFile::ExeOwner);
    }

private Q_SLOTS:
    void cleanupTestCase()
    {
        for (qint64 pid : std::as_const(started))
            if (pid > 0 && alive(pid))
                ::kill(pid_t(pid), SIGKILL);
    }

    // A forked process stands in for a viewer killed while its helper waits
    // for the book on a pipe that stays open: only the signal on its parent's
    // death ends the helper, once it has tied itself to its viewer (its memory
    // cap comes next). Between fork and exec only async-signal-safe calls.
    void helperDiesWithItsViewer()
    {
        int book[2];
        int report[2];
        QVERIFY(::pipe(book) == 0 && ::pipe(report) == 0);
        const QByteArray program = QFile::encodeName(PdfTextHelpers::program());
        char argument[64] = {};
        const pid_t viewer = ::fork();
        if (viewer == 0) {
            char digits[24];
            int n = 0;
            for (pid_t self = ::getpid(); self > 0; self /= 10)
                digits[n++] = char('0' + self % 10);
            char *end = std::strcpy(argument, kParentPidOption) + std::strlen(kParentPidOption);
            while (n > 0)
                *end++ = digits[--n];
            const pid_t helper = ::fork();
            if (helper == 0) {
                ::dup2(book[0], STDIN_FILENO);
                ::execl(program.constData(), program.constData(), argument, static_cast<char *>(nullptr));
                ::_exit(127);
            }
            if (::write(report[1], &helper, sizeof helper) != sizeof helper)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        started.append(viewer);
        pid_t helper = 0;
        QCOMPARE(::read(report[0], &helper, sizeof helper), qsizetype(sizeof helper));
        started.append(helper);
        QTRY_COMPARE_WITH_TIMEOUT(addressSpaceLimit(helper), kCap, 10000);
        ::kill(viewer, SIGKILL);
        ::waitpid(viewer, nullptr, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!alive(helper), 10000);
        for (int fd : {book[0], book[1], report[0], report[1]})
            ::close(fd);
    }

    // The viewer may end before the helper's first instruction: a helper whose
    // parent is not its viewer reads nothing.
    void helperChecksItsViewer()
    {
        QProcess orphan;
        orphan.start(PdfTextHelpers::program(), {QLatin1String(kParentPidOption) + QString::number(getppid())});
        QVERIFY(orphan.waitForStarted(10000));
        started.append(orphan.processId());
        orphan.write(encodeTextRequest({PdfFixtures::makePdf({QStringLiteral("text")}), {}, 0, 1, 1}));
        orphan.closeWriteChannel();
        QVERIFY(orphan.waitForFinished(10000));
        QCOMPARE(orphan.exitCode(), 4);
        QCOMPARE(orphan.readAllStandardOutput(), QByteArray());
    }

    // Helpers that send nothing are given up (and ended): the viewer reads the text itself.
    void stalledHelperIsGivenUp()
    {
        QVERIFY(useHangingHelpers(dir.filePath(QStringLiteral("stalled"))));
        PdfTextHelpers helpers(std::chrono::milliseconds(300));
        QSignalSpy finished(&helpers, &PdfTextHelpers::finished);
        helpers.start("pdf", QString(), 4, 2);
        qunsetenv("VELKARN_PDF_TEXT_HELPER");
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first().toBool(), false);
    }

    // The program's end skips every destructor: it kills the helpers itself.
    void killAllRunningEndsEveryHelper()
    {
        const QString pids = dir.filePath(QStringLiteral("pids"));
        QVERIFY(useHangingHelpers(pids));
        PdfTextHelpers first;
        PdfTextHelpers second;
        first.start("pdf", QString(), 200, 2);
        second.start("pdf", QString(), 200, 1);
        qunsetenv("VELKARN_PDF_TEXT_HELPER");
        const auto written = [&] {
            QFile file(pids);
            return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList();
        };
        QTRY_COMPARE_WITH_TIMEOUT(written().size(), 4, 10000); // three pids and the empty rest
        for (const QByteArray &pid : written().first(3))
            started.append(pid.toLongLong());
        PdfTextHelpers::killAllRunning(5000);
        for (qint64 pid : started.last(3))
            QVERIFY2(!alive(pid), qPrintable(QString::number(pid)));
    }
};

QTEST_MAIN(TestTextHelpers)
#include "tst_texthelpers.moc"
