#include "PdfFixtures.h"
#include "PdfTextHelpers.h"
#include "PdfTextProtocol.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

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

    qint64 startHelper(QProcess &helper, qint64 parent)
    {
        helper.start(PdfTextHelpers::program(), {QLatin1String(kParentPidOption) + QString::number(parent)});
        started.append(helper.waitForStarted(10000) ? helper.processId() : 0);
        return started.last();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
    }

    void cleanupTestCase()
    {
        for (qint64 pid : std::as_const(started))
            if (pid > 0 && alive(pid))
                ::kill(pid_t(pid), SIGKILL);
    }

    // A shell stands in for a viewer killed while its helper waits for the book
    // on a pipe that stays open: only the signal on its parent's death ends it.
    void helperDiesWithItsViewer()
    {
        int book[2];
        QCOMPARE(::pipe(book), 0);
        QProcess viewer;
        viewer.start(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("\"$0\" %1$$ <&%2 & echo $!; exec sleep 600")
                          .arg(QLatin1String(kParentPidOption)).arg(book[0]),
                      PdfTextHelpers::program()});
        QVERIFY(viewer.waitForReadyRead(10000));
        started.append(viewer.readLine().trimmed().toLongLong());
        QVERIFY(alive(started.last()));
        viewer.kill();
        QVERIFY(viewer.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!alive(started.last()), 10000);
        ::close(book[0]);
        ::close(book[1]);
    }

    // The viewer may end before the helper's first instruction: a helper whose
    // parent is not its viewer reads nothing. Otherwise it caps its memory.
    void helperChecksItsViewerAndCapsItsMemory()
    {
        QProcess orphan;
        QVERIFY(startHelper(orphan, getppid()) > 0);
        orphan.write(encodeTextRequest({PdfFixtures::makePdf({QStringLiteral("text")}), {}, 0, 1, 1}));
        orphan.closeWriteChannel();
        QVERIFY(orphan.waitForFinished(10000));
        QCOMPARE(orphan.exitCode(), 4);
        QCOMPARE(orphan.readAllStandardOutput(), QByteArray());

        QProcess helper;
        const qint64 pid = startHelper(helper, QCoreApplication::applicationPid());
        const auto softLimit = [pid] {
            QFile limits(QStringLiteral("/proc/%1/limits").arg(pid));
            const QByteArray all = limits.open(QIODevice::ReadOnly) ? limits.readAll() : QByteArray();
            for (const QByteArray &line : all.split('\n'))
                if (line.startsWith("Max address space"))
                    return line.mid(26).simplified().split(' ').value(0);
            return QByteArray();
        };
        QTRY_COMPARE_WITH_TIMEOUT(softLimit(), QByteArray("1610612736"), 10000);
    }

    // The program's end skips every destructor: it kills the helpers itself.
    void killAllRunningEndsEveryHelper()
    {
        const QString pids = dir.filePath(QStringLiteral("pids"));
        const QString hang = dir.filePath(QStringLiteral("hang.sh"));
        QVERIFY(PdfFixtures::writeFile(hang, "#!/bin/sh\necho $$ >> '" + pids.toUtf8() + "'\nexec sleep 600\n"));
        QVERIFY(QFile::setPermissions(hang, QFile::ReadOwner | QFile::ExeOwner));
        qputenv("VELKARN_PDF_TEXT_HELPER", hang.toLocal8Bit());
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
