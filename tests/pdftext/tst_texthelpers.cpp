#include "FontPins.h"
#include "PdfFixtures.h"
#include "PdfPageClaims.h"
#include "PdfTextHelpers.h"
#include "PdfTextProtocol.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

using namespace vk;

// A text helper holds a decrypted book: none may outlive the viewer or pass its memory cap.
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
        const qsizetype line = all.indexOf("\nMax address space");
        return line < 0 ? QByteArray() : all.mid(line + 27).simplified().split(' ').value(0);
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

    // A shell stands in for a viewer killed while its helper, capped and tied to it, waits
    // for the book on a pipe that stays open: only the signal on its parent's death ends it.
    void helperDiesWithItsViewer()
    {
        int book[2];
        QVERIFY(::pipe(book) == 0);
        QProcess viewer;
        const QString script = QStringLiteral("\"$0\" %1$$ <&%2 & echo $!; exec sleep 600");
        viewer.start(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"), script.arg(QLatin1String(kParentPidOption)).arg(book[0]),
                      PdfTextHelpers::program()});
        QVERIFY(viewer.waitForStarted(10000));
        started.append(viewer.processId());
        QTRY_VERIFY_WITH_TIMEOUT(viewer.canReadLine(), 10000);
        const qint64 helper = viewer.readLine().trimmed().toLongLong();
        started.append(helper);
        QTRY_COMPARE_WITH_TIMEOUT(addressSpaceLimit(helper), kCap, 10000);
        viewer.kill();
        QVERIFY(viewer.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!alive(helper), 10000);
        ::close(book[0]);
        ::close(book[1]);
    }

    // The viewer may end before its helper starts: one whose parent is not its viewer reads nothing.
    void helperChecksItsViewer()
    {
        QProcess orphan;
        orphan.start(PdfTextHelpers::program(), {QLatin1String(kParentPidOption) + QString::number(getppid())});
        QVERIFY(orphan.waitForStarted(10000));
        started.append(orphan.processId());
        orphan.write(encodeTextRequest({{}, 1}));
        orphan.closeWriteChannel();
        QVERIFY(orphan.waitForFinished(10000));
        QCOMPARE(orphan.exitCode(), 4);
        QCOMPARE(orphan.readAllStandardOutput(), QByteArray());
    }

    // Helpers that send nothing are given up, and the viewer reads the text itself;
    // the program's end skips every destructor, so it kills the helpers still running.
    void silentHelpersAreGivenUpAndKilled()
    {
        const QString pids = dir.filePath(QStringLiteral("pids"));
        QVERIFY(useHangingHelpers(pids));
        PdfTextHelpers first;
        PdfTextHelpers second;
        first.start("pdf", QString(), 200, 2);
        second.start("pdf", QString(), 200, 1);
        const auto written = [&] {
            QFile file(pids);
            return file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList();
        };
        QTRY_COMPARE_WITH_TIMEOUT(written().size(), 4, 10000); // three pids and the empty rest
        for (const QByteArray &pid : written().first(3))
            started.append(pid.toLongLong());
        PdfTextHelpers stalled(std::chrono::milliseconds(300));
        QSignalSpy finished(&stalled, &PdfTextHelpers::finished);
        stalled.start("pdf", QString(), 4, 2);
        qunsetenv("VELKARN_PDF_TEXT_HELPER");
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first().toBool(), false);
        PdfTextHelpers::killAllRunning(5000);
        for (qint64 pid : started.last(3))
            QVERIFY2(!alive(pid), qPrintable(QString::number(pid)));
    }

    // Helpers given one count take each page once between them; one given none takes all.
    void pageClaimsAreShared()
    {
        const int shared = PdfPageClaims::createShared();
        QVERIFY(shared >= 0);
        QByteArrayList options;
        for (int fd : {dup(shared), dup(shared), 1})
            options.append(QByteArray(kPageClaimsOption) + QByteArray::number(fd));
        char name[] = "velkarn-pdf-text";
        char *first[] = {name, options[0].data()};
        char *second[] = {name, options[1].data()};
        char *onStdout[] = {name, options[2].data()};
        PdfPageClaims a(2, first), b(2, second), alone(1, first), wrong(2, onStdout);
        const QList<int> taken{a.claim(3), b.claim(3), b.claim(3), a.claim(3), b.claim(3)};
        QCOMPARE(taken, (QList<int>{0, 1, 2, -1, -1}));
        QCOMPARE(alone.claim(3), 0);
        QVERIFY(!wrong.isValid());
        ::close(shared);
    }

    // Pages kept open: the first, every 30th, the one after a page that loaded fonts,
    // and not every page of a heavy chapter.
    void fontPinsFollowSlowPages()
    {
        const auto pinned = [](const QList<int> &ms) {
            FontPins pins;
            QList<int> kept;
            for (int page = 0; page < ms.size(); ++page) {
                if (pins.pinNext())
                    kept.append(page);
                pins.pageRead(std::chrono::milliseconds(ms.at(page)));
            }
            return kept;
        };
        QList<int> ms(61, 2);
        QCOMPARE(pinned(ms), (QList<int>{0, 30, 60}));
        ms[5] = 9;
        QCOMPARE(pinned(ms), (QList<int>{0, 6, 30, 60}));
        std::fill(ms.begin() + 10, ms.begin() + 40, 9);
        QVERIFY(pinned(ms).size() < 15);
    }

    // The helper keeps discarded pages but zeroes them, as the system would.
    void discardedPagesReadAsZeros()
    {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        auto *pages = static_cast<char *>(mmap(nullptr, 4 * page, PROT_READ | PROT_WRITE,
                                               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        QVERIFY(pages != MAP_FAILED);
        std::memset(pages, 'x', 4 * page);
        QCOMPARE(madvise(pages + page, 2 * page, MADV_DONTNEED), 0);
        QCOMPARE(QByteArray(pages + page - 1, 2 * page + 2), 'x' + QByteArray(2 * page, '\0') + 'x');
        QCOMPARE(madvise(pages + 1, page, MADV_DONTNEED), -1);
        munmap(pages, 4 * page);
    }
};

QTEST_MAIN(TestTextHelpers)
#include "tst_texthelpers.moc"
