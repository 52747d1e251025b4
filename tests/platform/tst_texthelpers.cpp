#include "PdfFixtures.h"
#include "PdfTextHelpers.h"
#include "PdfTextProtocol.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
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
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        const qsizetype state = line.lastIndexOf(')') + 2; // after "pid (name) "
        return state < line.size() && line.at(state) != 'Z';
    }

    static QString parentArgument(qint64 pid)
    {
        return QLatin1String(kParentPidOption) + QString::number(pid);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(QFile::exists(PdfTextHelpers::program()));
    }

    void cleanupTestCase()
    {
        for (qint64 pid : std::as_const(started))
            if (alive(pid))
                ::kill(pid_t(pid), SIGKILL);
    }

    // A shell stands in for a viewer that is killed while its helper still
    // waits for the book; the book's pipe stays open, so only the kernel's
    // signal on the parent's death can end the helper.
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
        const qint64 helper = viewer.readLine().trimmed().toLongLong();
        started.append(helper);
        QVERIFY(helper > 0 && alive(helper));
        viewer.kill();
        QVERIFY(viewer.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!alive(helper), 10000);
        ::close(book[0]);
        ::close(book[1]);
    }

    // The viewer may end between starting a helper and the helper's first
    // instruction: a helper whose parent is not the viewer reads nothing.
    void helperOfAViewerAlreadyGoneEnds()
    {
        QProcess helper;
        helper.start(PdfTextHelpers::program(), {parentArgument(getppid())});
        QVERIFY(helper.waitForStarted(10000));
        started.append(helper.processId());
        helper.write(encodeTextRequest({PdfFixtures::makePdf({QStringLiteral("text")}), {}, 0, 1, 1}));
        helper.closeWriteChannel();
        QVERIFY(helper.waitForFinished(10000));
        QCOMPARE(helper.exitCode(), 4);
        QCOMPARE(helper.readAllStandardOutput(), QByteArray());
    }

    void helperCapsItsAddressSpace()
    {
        QProcess helper;
        helper.start(PdfTextHelpers::program(), {parentArgument(QCoreApplication::applicationPid())});
        QVERIFY(helper.waitForStarted(10000));
        started.append(helper.processId());
        const auto softLimit = [&] {
            QFile limits(QStringLiteral("/proc/%1/limits").arg(helper.processId()));
            if (!limits.open(QIODevice::ReadOnly))
                return QByteArray();
            for (const QByteArray &line : limits.readAll().split('\n'))
                if (line.startsWith("Max address space"))
                    return line.mid(26).simplified().split(' ').value(0);
            return QByteArray();
        };
        QTRY_COMPARE_WITH_TIMEOUT(softLimit(), QByteArray("1610612736"), 10000);
        helper.kill();
        QVERIFY(helper.waitForFinished(10000));
    }

    // The program's end skips every destructor: the helpers are killed first.
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
        const auto helperPids = [&] {
            QFile file(pids);
            QList<qint64> found;
            if (file.open(QIODevice::ReadOnly))
                for (const QByteArray &line : file.readAll().split('\n'))
                    if (!line.isEmpty())
                        found.append(line.toLongLong());
            return found;
        };
        QTRY_COMPARE_WITH_TIMEOUT(helperPids().size(), 3, 10000);
        started.append(helperPids());
        PdfTextHelpers::killAllRunning(5000);
        for (qint64 pid : helperPids())
            QVERIFY2(!alive(pid), qPrintable(QString::number(pid)));
    }
};

QTEST_MAIN(TestTextHelpers)
#include "tst_texthelpers.moc"
