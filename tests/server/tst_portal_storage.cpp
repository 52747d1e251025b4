#include "DemoBooks.h"
#include "DemoCertificates.h"
#include "PortalDatabase.h"
#include "PortalProcess.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vk;

namespace {

// A file size limit stands in for a full disk: writes past it fail with
// EFBIG once SIGXFSZ is ignored.
PortalProcess::ChildSetup diskFullAt(rlim_t bytes)
{
    return [bytes] {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, nullptr);
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
}

const PortalProcess::ChildSetup kNoUmask = [] { ::umask(0); };

int modeOf(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

void age(const QString &path, int minutes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QDateTime then = QDateTime::currentDateTime().addSecs(-60 * minutes);
    QVERIFY(file.setFileTime(then, QFileDevice::FileModificationTime));
}

QStringList bookAdd(const QString &name, const QString &file)
{
    return {"book", "add", "--company", "Acme", "--category", "K", "--name", name, "--file", file};
}

QStringList userAdd(const QString &email)
{
    return {"user", "add", "--email", email, "--company", "Acme", "--category", "K", "--password", "p"};
}

} // namespace

// How the library and its book store hold up against full disks, concurrent
// writers, other local users and interrupted commands.
class PortalStorage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_book; // about 190 KB, so encrypting it takes a while
    std::unique_ptr<PortalProcess> m_portal;

    PortalCommand admin(const QStringList &args, const PortalProcess::ChildSetup &setup = {}) const
    {
        return m_portal->admin(args, setup);
    }
    QString store() const { return m_portal->storeDir(); }
    QStringList storeFiles() const { return QDir(store()).entryList(QDir::Files | QDir::Hidden); }

private slots:
    void initTestCase()
    {
        m_book = m_dir.filePath("long.pdf");
        QCOMPARE(writeDemoPdf(m_book, "Long", 120), QString());
    }

    void init()
    {
        m_portal = std::make_unique<PortalProcess>();
        QCOMPARE(admin({"company", "add", "--name", "Acme"}).exitCode, 0);
    }

    void fullDiskLeavesNothing_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::newRow("encrypted copy") << QStringList{"--password", "pw-1"};
        QTest::newRow("plain copy") << QStringList{};
    }

    void fullDiskLeavesNothing()
    {
        QFETCH(QStringList, extra);
        const PortalCommand full = admin(bookAdd("B", m_book) + extra, diskFullAt(64 * 1024));
        QCOMPARE(full.exitCode, 1);
        QVERIFY2(full.errors.contains("cannot store"), full.errors.constData());
        QCOMPARE(storeFiles(), QStringList());
        QVERIFY(!admin({"book", "list"}).output.contains("\tB\t"));
        // The same command succeeds with room to write.
        QCOMPARE(admin(bookAdd("B", m_book) + extra).exitCode, 0);
        QCOMPARE(storeFiles().size(), 1);
    }

    // Readers signing in and out commit between an admin command's reads and
    // its write; the command must wait its turn, not fail.
    void adminWritesWhileStatusUpdatesCommit()
    {
        std::atomic<bool> stop = false;
        std::atomic<int> writes = 0;
        std::atomic<int> writeFailures = 0;
        QCOMPARE(admin(userAdd("busy@x")).exitCode, 0);
        std::thread statusUpdates([&] {
            ScopedConnection db(m_portal->databasePath());
            QSqlQuery update =
                db.prepared("UPDATE users SET online = ?, online_at_ms = ? WHERE email = 'busy@x'");
            writeFailures += db.isOpen() ? 0 : 1;
            // About 300 a second, a busy portal's pace.
            for (auto next = std::chrono::steady_clock::now(); !stop && db.isOpen();
                 next += std::chrono::microseconds(3333)) {
                update.bindValue(0, writes % 2);
                update.bindValue(1, QDateTime::currentMSecsSinceEpoch());
                (update.exec() ? writes : writeFailures)++;
                std::this_thread::sleep_until(next);
            }
        });
        QStringList failures;
        for (int i = 0; i < 15; ++i) {
            const PortalCommand r = i % 5 == 4
                ? admin(bookAdd(QString("Book %1").arg(i), m_book) + QStringList{"--password", "pw"})
                : admin(userAdd(QString("u%1@x").arg(i)));
            if (r.exitCode != 0)
                failures << QString::fromUtf8(r.errors);
        }
        stop = true;
        statusUpdates.join();
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(' ')));
        QVERIFY(writes > 50);
        QCOMPARE(writeFailures.load(), 0);
    }

    // Account and book passwords live here: nothing is readable by other users.
    void filesArePrivateWhateverTheUmask()
    {
        QFile::remove(m_portal->databasePath());
        QCOMPARE(admin({"init"}, kNoUmask).exitCode, 0);
        QCOMPARE(modeOf(m_portal->databasePath()), 0600);
        QCOMPARE(admin({"company", "add", "--name", "Acme"}, kNoUmask).exitCode, 0);
        QCOMPARE(admin(bookAdd("B", m_book), kNoUmask).exitCode, 0);
        QCOMPARE(modeOf(store()), 0700);
        const QString stored = QDir(store()).filePath(storeFiles().value(0));
        QCOMPARE(modeOf(stored), 0600);

        // A library made loose by an older portal is tightened at the next
        // command, companions included (this connection keeps them in place).
        for (const QString &path : {m_portal->databasePath(), stored})
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
        QVERIFY(::chmod(QFile::encodeName(store()).constData(), 0755) == 0);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "observer");
            db.setDatabaseName(m_portal->databasePath());
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("SELECT COUNT(*) FROM books"));
            QCOMPARE(modeOf(m_portal->databasePath() + "-wal"), 0644);
            QCOMPARE(admin({"company", "list"}).exitCode, 0);
            for (const char *suffix : {"", "-wal", "-shm"})
                QCOMPARE(modeOf(m_portal->databasePath() + QLatin1String(suffix)), 0600);
            db.close();
        }
        QSqlDatabase::removeDatabase("observer");
        QCOMPARE(modeOf(store()), 0700);
        QCOMPARE(modeOf(stored), 0600);
    }

    // POSIX locks belong to the process: opening one more connection must not
    // drop those of the others, or an admin command closing its own takes
    // the write-ahead log away under them.
    void newConnectionKeepsOthersLocks()
    {
        ScopedConnection serving(m_portal->databasePath());
        QVERIFY(QSqlQuery(serving.database()).exec("SELECT COUNT(*) FROM users"));
        ScopedConnection another(m_portal->databasePath());
        QVERIFY(another.isOpen());
        QCOMPARE(admin({"company", "add", "--name", "Other"}).exitCode, 0);
        QVERIFY(QFile::exists(m_portal->databasePath() + "-wal"));
    }

    // Leftovers of interrupted adds go; rows' files, young files, files a
    // running add holds and files that are not books stay.
    void sweepRemovesOnlyLeftovers()
    {
        QCOMPARE(admin(bookAdd("Listed", m_book)).exitCode, 0);
        const QString listed = storeFiles().value(0);
        const QString hex(32, u'a');
        struct Entry
        {
            QString name;
            int ageMinutes;
            bool locked;
            bool kept;
        };
        const QList<Entry> entries = {
            {listed, 60, false, true},
            {".partial-" + hex + ".pdf", 60, false, false},
            {QString(32, u'b') + ".pdf", 60, false, false},
            {QString(32, u'c') + ".pdf", 1, false, true},
            {".partial-" + QString(32, u'd') + ".pdf", 60, true, true},
            {"notes.txt", 60, false, true},
        };
        QList<int> locks;
        for (const Entry &entry : entries) {
            const QString path = QDir(store()).filePath(entry.name);
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            file.close();
            age(path, entry.ageMinutes);
            if (entry.locked) {
                locks << ::open(QFile::encodeName(path).constData(), O_RDONLY);
                QVERIFY(::flock(locks.last(), LOCK_EX) == 0);
            }
        }
        const PortalCommand r = admin({"user", "list"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.errors.contains("removed 2"), r.errors.constData());
        for (const Entry &entry : entries)
            QVERIFY2(QFile::exists(QDir(store()).filePath(entry.name)) == entry.kept, qPrintable(entry.name));
        for (int fd : locks)
            ::close(fd);

        // serve sweeps before it listens.
        const QString orphan = QDir(store()).filePath(QString(32, u'e') + ".pdf");
        QVERIFY(QFile::copy(m_book, orphan));
        age(orphan, 60);
        QVERIFY(makeDemoCertificates(m_dir.path()).isEmpty());
        QVERIFY(m_portal->start(m_dir.filePath("server.pem"), m_dir.filePath("server.key")));
        QVERIFY(!QFile::exists(orphan));
        QVERIFY(QFile::exists(QDir(store()).filePath(listed)));
        QCOMPARE(m_portal->stop(), 0);
    }
};

QTEST_MAIN(PortalStorage)
#include "tst_portal_storage.moc"
