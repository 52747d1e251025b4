#include "DemoBooks.h"
#include "DemoCertificates.h"
#include "PdfFixtures.h"
#include "PortalDatabase.h"
#include "PortalProcess.h"
#include "PostgresServer.h"

#include <QPdfDocument>
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

const QStringList kPassword{"--password", "p"};

QStringList bookAdd(const QString &name, const QString &file = {})
{
    const QStringList add{"book", "add", "--company", "Acme", "--category", "K", "--name", name};
    return file.isEmpty() ? add : add + QStringList{"--file", file};
}

QStringList userAdd(const QString &email, const QString &company = "Acme", const QString &category = "K")
{
    return {"user", "add", "--email", email, "--company", company, "--category", category};
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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

} // namespace

// The admin commands against a fresh library for every test, holding the
// company "Acme", on each engine; and how library and store hold up against
// full disks, concurrent writers, other local users and interrupted commands.
class PortalAdmin : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_book; // about 190 KB, so encrypting it takes a while
    PostgresServer m_postgres;
    bool m_postgresUp = false;
    int m_databases = 0;
    std::unique_ptr<PortalProcess> m_portal;

    PortalCommand admin(const QStringList &args, const PortalProcess::ChildSetup &setup = {}) const
    {
        return m_portal->admin(args, setup);
    }
    bool onSqlite() const { return m_portal->storeOption().isEmpty(); }
    QString storeDir() const { return m_portal->storeDir(); }
    QStringList storeFiles() const { return QDir(storeDir()).entryList(QDir::Files | QDir::Hidden); }
    QByteArray listings() const
    {
        QByteArray all;
        for (const char *listing : {"company", "user", "book"})
            all += admin({listing, "list"}).output;
        return all;
    }

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }

    void initTestCase()
    {
        m_postgresUp = m_postgres.start();
        QVERIFY2(m_postgresUp || !PostgresServer::required(),
                 qPrintable("PostgreSQL: " + m_postgres.reason()));
        m_book = m_dir.filePath("long.pdf");
        QCOMPARE(writeDemoPdf(m_book, "Long", 120), QString());
        QVERIFY(PdfFixtures::writeFile(m_dir.filePath("garbage.pdf"), "%PDF-1.7 this is not really a PDF\n"));
    }

    void init()
    {
        QFETCH_GLOBAL(QString, engine);
        const bool sqlite = engine == QStringLiteral("sqlite");
        if (!sqlite && !m_postgresUp)
            QSKIP(qPrintable(QStringLiteral("no PostgreSQL to test with: ") + m_postgres.reason()));
        const QString url =
            sqlite ? QString() : m_postgres.createDatabase(QString("admin%1").arg(++m_databases));
        QVERIFY2(sqlite || !url.isEmpty(), qPrintable(m_postgres.reason()));
        m_portal = std::make_unique<PortalProcess>(url);
        QCOMPARE(admin({"company", "add", "--name", "Acme"}).exitCode, 0);
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *name, const QStringList &args, const char *reason) {
            QTest::newRow(name) << args << QString::fromUtf8(reason);
        };
        const QStringList external{"--url", "https://h/b.pdf"};
        row("duplicate company", {"company", "add", "--name", "Acme"}, "exists already");
        row("caret in company", {"company", "add", "--name", "A^B"}, "\"^\"");
        row("unknown company", userAdd("u@x", "Nobody") + kPassword, "unknown company");
        row("caret in address", userAdd("u^@x") + kPassword, "\"^\"");
        row("caret in category", userAdd("u@x", "Acme", "K^") + kPassword, "\"^\"");
        row("empty password", userAdd("u@x") + QStringList{"--password", ""}, "password");
        row("duplicate user", userAdd("DUP@x") + kPassword, "exists already");
        row("unknown user", {"user", "set-active", "--email", "nobody@x", "--active", "N"}, "unknown user");
        row("bad flag", {"company", "set-active", "--name", "Acme", "--active", "yes"}, "Y or N");
        row("not a pdf", bookAdd("B", m_dir.filePath("garbage.pdf")), "not a readable PDF");
        row("missing file", bookAdd("B", "/nonexistent.pdf"), "cannot read");
        row("caret in book name", bookAdd("B^^") + external, "\"^\"");
        row("password none", bookAdd("B") + external + QStringList{"--password", "none"}, "none");
        row("file and url", bookAdd("B") + external + QStringList{"--file", "x.pdf"}, "either");
        row("unknown option", {"book", "list", "--colour", "red"}, "unknown option");
    }

    // A refused command says why on one line and leaves library and store untouched.
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        QCOMPARE(admin(userAdd("dup@x") + kPassword).exitCode, 0);
        const QByteArray before = listings();
        const PortalCommand refused = admin(args);
        QCOMPARE(refused.exitCode, 1);
        QCOMPARE(refused.errors.count('\n'), 1);
        QVERIFY2(refused.errors.contains(reason.toUtf8()), refused.errors.constData());
        QCOMPARE(listings(), before);
        QCOMPARE(storeFiles(), QStringList());
    }

    void encryptionAndRemoval()
    {
        const QStringList sesame{"--password", "open-sesame"};
        PortalCommand r = admin(bookAdd("Locked", m_book) + sesame);
        QVERIFY2(r.exitCode == 0, r.errors.constData());
        QCOMPARE(storeFiles().size(), 1);
        const QString locked = m_dir.filePath("locked.pdf");
        QFile::remove(locked);
        QVERIFY(QFile::copy(QDir(storeDir()).filePath(storeFiles().first()), locked));
        QPdfDocument document;
        document.load(locked);
        QCOMPARE(document.error(), QPdfDocument::Error::IncorrectPassword);
        document.close();
        document.setPassword("open-sesame");
        document.load(locked);
        QCOMPARE(document.pageCount(), 120);

        const QStringList remove{"book", "remove", "--company", "Acme", "--category", "K", "--name"};
        QCOMPARE(admin(remove + QStringList{"Other"}).exitCode, 1);
        QCOMPARE(storeFiles().size(), 1);
        QCOMPARE(admin(remove + QStringList{"Locked"}).exitCode, 0);
        QCOMPARE(storeFiles(), QStringList());
        QVERIFY(!admin({"book", "list"}).output.contains("Locked"));

        // An encrypted file goes in only with its own password, and unchanged.
        r = admin(bookAdd("A", locked));
        QVERIFY2(r.exitCode == 1 && r.errors.contains("give its password"), r.errors.constData());
        r = admin(bookAdd("A", locked) + QStringList{"--password", "other"});
        QVERIFY2(r.exitCode == 1 && r.errors.contains("does not open"), r.errors.constData());
        QCOMPARE(storeFiles(), QStringList());
        QCOMPARE(admin(bookAdd("A", locked) + sesame).exitCode, 0);
        QVERIFY(contents(QDir(storeDir()).filePath(storeFiles().value(0))) == contents(locked));
    }

    // A library from before numbered schemas is adopted by init; a library
    // older or newer than the program is refused by everything else, saying
    // what to run, and a newer one is left as it is.
    void schemaSteps()
    {
        const auto sql = [&](const QString &statement) {
            ScopedConnection connection(m_portal->databasePath());
            QSqlQuery query(connection.database());
            return query.exec(statement) && (!query.isSelect() || query.next());
        };
        const QStringList serve = QStringList{"serve", "--db", m_portal->databasePath(), "--listen",
                                              "127.0.0.1:0", "--cert", "none.pem", "--key", "none.key"}
            + m_portal->storeOption();
        QVERIFY(sql("DROP TABLE rate_counts") && sql("DROP TABLE schema_version"));
        for (const PortalCommand &refused : {admin({"user", "list"}), PortalProcess::run(serve)}) {
            QCOMPARE(refused.exitCode, 1);
            QVERIFY2(refused.errors.contains("schema version 1, older than the 2 this velkarn-portal needs: "
                                             "run velkarn-portal init --db"),
                     refused.errors.constData());
        }
        const PortalCommand init = admin({"init"});
        QVERIFY2(init.exitCode == 0, init.errors.constData());
        QVERIFY(admin({"company", "list"}).output.contains("Acme	Y	0	0"));

        QVERIFY(sql("UPDATE schema_version SET version = 99"));
        for (const PortalCommand &refused :
             {admin({"init"}), admin({"user", "list"}), PortalProcess::run(serve)}) {
            QCOMPARE(refused.exitCode, 1);
            QVERIFY2(refused.errors.contains("schema version 99, newer than the 2"),
                     refused.errors.constData());
        }
        QVERIFY(sql("SELECT version FROM schema_version WHERE version = 99"));
        // A mistyped library is refused, not created.
        const QString typo = m_dir.filePath("typo.db");
        QCOMPARE(PortalProcess::run({"user", "list", "--db", typo}).exitCode, 1);
        QVERIFY(!QFile::exists(typo));
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
        QCOMPARE(admin(userAdd("busy@x") + kPassword).exitCode, 0);
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
                : admin(userAdd(QString("u%1@x").arg(i)) + kPassword);
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
        if (!onSqlite())
            QSKIP("a SQLite library's own files");
        QFile::remove(m_portal->databasePath());
        QCOMPARE(admin({"init"}, kNoUmask).exitCode, 0);
        QCOMPARE(modeOf(m_portal->databasePath()), 0600);
        QCOMPARE(admin({"company", "add", "--name", "Acme"}, kNoUmask).exitCode, 0);
        QCOMPARE(admin(bookAdd("B", m_book), kNoUmask).exitCode, 0);
        QCOMPARE(modeOf(storeDir()), 0700);
        const QString stored = QDir(storeDir()).filePath(storeFiles().value(0));
        QCOMPARE(modeOf(stored), 0600);

        // A library made loose by an older portal is tightened at the next
        // command, companions included (this connection keeps them in place).
        for (const QString &path : {m_portal->databasePath(), stored})
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
        QVERIFY(::chmod(QFile::encodeName(storeDir()).constData(), 0755) == 0);
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
        QCOMPARE(modeOf(storeDir()), 0700);
        QCOMPARE(modeOf(stored), 0600);
    }

    // POSIX locks belong to the process: opening one more connection must not
    // drop those of the others, or an admin command closing its own takes
    // the write-ahead log away under them.
    void newConnectionKeepsOthersLocks()
    {
        if (!onSqlite())
            QSKIP("a SQLite library's own files");
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
        // Name, age in minutes, locked, kept.
        const QList<std::tuple<QString, int, bool, bool>> entries = {
            {listed, 60, false, true},
            {".partial-" + QString(32, u'a') + ".pdf", 60, false, false},
            {QString(32, u'b') + ".pdf", 60, false, false},
            {QString(32, u'c') + ".pdf", 1, false, true},
            {".partial-" + QString(32, u'd') + ".pdf", 60, true, true},
            {"notes.txt", 60, false, true},
        };
        QList<int> locks;
        for (const auto &[name, minutes, locked, kept] : entries) {
            const QString path = QDir(storeDir()).filePath(name);
            age(path, minutes);
            if (locked) {
                locks << ::open(QFile::encodeName(path).constData(), O_RDONLY);
                QVERIFY(::flock(locks.last(), LOCK_EX) == 0);
            }
        }
        const PortalCommand r = admin({"user", "list"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.errors.contains("removed 2"), r.errors.constData());
        for (const auto &[name, minutes, locked, kept] : entries)
            QVERIFY2(QFile::exists(QDir(storeDir()).filePath(name)) == kept, qPrintable(name));
        for (int fd : locks)
            ::close(fd);

        // serve sweeps before it listens.
        const QString orphan = QDir(storeDir()).filePath(QString(32, u'e') + ".pdf");
        QVERIFY(QFile::copy(m_book, orphan));
        age(orphan, 60);
        QVERIFY(makeDemoCertificates(m_dir.path()).isEmpty());
        QVERIFY(m_portal->start(m_dir.filePath("server.pem"), m_dir.filePath("server.key")));
        QVERIFY(!QFile::exists(orphan));
        QVERIFY(QFile::exists(QDir(storeDir()).filePath(listed)));
        QCOMPARE(m_portal->stop(), 0);
    }
};

QTEST_MAIN(PortalAdmin)
#include "tst_portal_admin.moc"
