#include "DemoBooks.h"
#include "PortalProcess.h"

#include <QPdfDocument>
#include <QtTest>

namespace {

struct CommandResult
{
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

} // namespace

class PortalAdmin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void refusals_data();
    void refusals();
    void bookOrder();
    void encryptsWithPassword();
    void keepsEncryptedFileAsItIs();
    void removeDeletesTheFile();
    void accountStateCommands();
    void demoIsCompleteAndRepeatable();

private:
    CommandResult portal(const QStringList &args);
    QStringList storeFiles() const;

    QTemporaryDir _dir;
    QString _db;
    QString _plainPdf;
    QString _lockedPdf;
};

CommandResult PortalAdmin::portal(const QStringList &args)
{
    CommandResult r;
    r.exitCode = PortalProcess::run(args, &r.output, &r.errors);
    return r;
}

QStringList PortalAdmin::storeFiles() const
{
    return QDir(_db + QStringLiteral(".books")).entryList(QDir::Files | QDir::Hidden);
}

void PortalAdmin::initTestCase()
{
    QVERIFY(_dir.isValid());
    _plainPdf = _dir.filePath(QStringLiteral("plain.pdf"));
    QCOMPARE(writeDemoPdf(_plainPdf, QStringLiteral("Plain"), 3), QString());
    _lockedPdf = _dir.filePath(QStringLiteral("locked-source.pdf"));
    QFile::remove(_lockedPdf);
}

void PortalAdmin::init()
{
    _db = _dir.filePath(QStringLiteral("lib.db"));
    QCOMPARE(portal({"init", "--db", _db}).exitCode, 0);
    QCOMPARE(portal({"company", "add", "--db", _db, "--name", "Acme"}).exitCode, 0);
}

void PortalAdmin::cleanup()
{
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(_db + QString::fromLatin1(suffix));
    QDir(_db + QStringLiteral(".books")).removeRecursively();
}

void PortalAdmin::refusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");
    const QString garbage = QStringLiteral("@GARBAGE@");
    QTest::newRow("duplicate company") << QStringList{"company", "add", "--name", "Acme"} << "exists already";
    QTest::newRow("caret in company") << QStringList{"company", "add", "--name", "A^B"} << "\"^\"";
    QTest::newRow("unknown company") << QStringList{"user", "add", "--email", "u@x", "--company", "Nobody", "--category", "K", "--password", "p"} << "unknown company";
    QTest::newRow("caret in address") << QStringList{"user", "add", "--email", "u^@x", "--company", "Acme", "--category", "K", "--password", "p"} << "\"^\"";
    QTest::newRow("caret in category") << QStringList{"user", "add", "--email", "u@x", "--company", "Acme", "--category", "K^", "--password", "p"} << "\"^\"";
    QTest::newRow("empty password") << QStringList{"user", "add", "--email", "u@x", "--company", "Acme", "--category", "K", "--password", ""} << "password";
    QTest::newRow("duplicate user") << QStringList{"user", "add", "--email", "DUP@x", "--company", "Acme", "--category", "K", "--password", "p"} << "exists already";
    QTest::newRow("unknown user") << QStringList{"user", "set-active", "--email", "nobody@x", "--active", "N"} << "unknown user";
    QTest::newRow("bad flag") << QStringList{"company", "set-active", "--name", "Acme", "--active", "yes"} << "Y or N";
    QTest::newRow("not a pdf") << QStringList{"book", "add", "--company", "Acme", "--category", "K", "--name", "B", "--file", garbage} << "not a readable PDF";
    QTest::newRow("missing file") << QStringList{"book", "add", "--company", "Acme", "--category", "K", "--name", "B", "--file", "/nonexistent.pdf"} << "cannot read";
    QTest::newRow("caret in book name") << QStringList{"book", "add", "--company", "Acme", "--category", "K", "--name", "B^^", "--url", "https://h/b.pdf"} << "\"^\"";
    QTest::newRow("password none") << QStringList{"book", "add", "--company", "Acme", "--category", "K", "--name", "B", "--url", "https://h/b.pdf", "--password", "none"} << "none";
    QTest::newRow("file and url") << QStringList{"book", "add", "--company", "Acme", "--category", "K", "--name", "B", "--url", "https://h/b.pdf", "--file", "x.pdf"} << "either";
    QTest::newRow("unknown option") << QStringList{"book", "list", "--colour", "red"} << "unknown option";
}

void PortalAdmin::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    QCOMPARE(portal({"user", "add", "--db", _db, "--email", "dup@x", "--company", "Acme", "--category", "K", "--password", "p"}).exitCode, 0);
    const QString garbage = _dir.filePath(QStringLiteral("garbage.pdf"));
    QFile file(garbage);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("%PDF-1.7 this is not really a PDF\n");
    file.close();
    args.replaceInStrings(QStringLiteral("@GARBAGE@"), garbage);
    args.insert(2, QStringLiteral("--db"));
    args.insert(3, _db);

    const QByteArray before = portal({"company", "list", "--db", _db}).output + portal({"user", "list", "--db", _db}).output
        + portal({"book", "list", "--db", _db}).output;
    const CommandResult r = portal(args);
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.errors.count('\n'), 1);
    QVERIFY2(r.errors.contains(reason.toUtf8()), r.errors.constData());
    const QByteArray after = portal({"company", "list", "--db", _db}).output + portal({"user", "list", "--db", _db}).output
        + portal({"book", "list", "--db", _db}).output;
    QCOMPARE(after, before);
    QCOMPARE(storeFiles(), QStringList());
}

void PortalAdmin::bookOrder()
{
    for (const auto &[name, position] : QList<QPair<QString, QString>>{{"Third", "30"}, {"First", "10"}, {"Second", "20"}})
        QCOMPARE(portal({"book", "add", "--db", _db, "--company", "Acme", "--category", "K", "--name", name,
                         "--url", "https://h.example/" + name + ".pdf", "--position", position}).exitCode, 0);
    QCOMPARE(portal({"book", "add", "--db", _db, "--company", "Acme", "--category", "K", "--name", "Appended",
                     "--url", "https://h.example/a.pdf"}).exitCode, 0);
    const QList<QByteArray> lines = portal({"book", "list", "--db", _db}).output.trimmed().split('\n');
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines.at(1).contains("\t10\tFirst\t"));
    QVERIFY(lines.at(2).contains("\t20\tSecond\t"));
    QVERIFY(lines.at(3).contains("\t30\tThird\t"));
    QVERIFY(lines.at(4).contains("\t31\tAppended\t"));
}

void PortalAdmin::encryptsWithPassword()
{
    const CommandResult r = portal({"book", "add", "--db", _db, "--company", "Acme", "--category", "K", "--name", "Locked",
                                    "--file", _plainPdf, "--password", "open-sesame"});
    QVERIFY2(r.exitCode == 0, r.errors.constData());
    const QStringList files = storeFiles();
    QCOMPARE(files.size(), 1);
    const QString stored = QDir(_db + QStringLiteral(".books")).filePath(files.first());

    QPdfDocument document;
    document.load(stored);
    QCOMPARE(document.status(), QPdfDocument::Status::Error);
    QCOMPARE(document.error(), QPdfDocument::Error::IncorrectPassword);
    document.close();
    document.setPassword(QStringLiteral("wrong"));
    document.load(stored);
    QCOMPARE(document.error(), QPdfDocument::Error::IncorrectPassword);
    document.close();
    document.setPassword(QStringLiteral("open-sesame"));
    document.load(stored);
    QCOMPARE(document.status(), QPdfDocument::Status::Ready);
    QCOMPARE(document.pageCount(), 3);
    QVERIFY(document.getAllText(1).text().contains(QStringLiteral("marker-0002")));
    QFile::copy(stored, _lockedPdf);
}

void PortalAdmin::keepsEncryptedFileAsItIs()
{
    QVERIFY2(QFile::exists(_lockedPdf), "needs the file encryptsWithPassword made");
    CommandResult r = portal({"book", "add", "--db", _db, "--company", "Acme", "--category", "K", "--name", "A",
                              "--file", _lockedPdf});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.errors.contains("give its password"));
    r = portal({"book", "add", "--db", _db, "--company", "Acme", "--category", "K", "--name", "A",
                "--file", _lockedPdf, "--password", "other"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.errors.contains("does not open"));
    QCOMPARE(storeFiles(), QStringList());
    r = portal({"book", "add", "--db", _db, "--company", "Acme", "--category", "K", "--name", "A",
                "--file", _lockedPdf, "--password", "open-sesame"});
    QCOMPARE(r.exitCode, 0);
    QFile source(_lockedPdf);
    QFile stored(QDir(_db + QStringLiteral(".books")).filePath(storeFiles().value(0)));
    QVERIFY(source.open(QIODevice::ReadOnly) && stored.open(QIODevice::ReadOnly));
    QVERIFY(source.readAll() == stored.readAll());
}

void PortalAdmin::removeDeletesTheFile()
{
    QCOMPARE(portal({"book", "add", "--db", _db, "--company", "Acme", "--category", "K", "--name", "Gone",
                     "--file", _plainPdf}).exitCode, 0);
    QCOMPARE(storeFiles().size(), 1);
    QCOMPARE(portal({"book", "remove", "--db", _db, "--company", "Acme", "--category", "K", "--name", "Other"}).exitCode, 1);
    QCOMPARE(storeFiles().size(), 1);
    QCOMPARE(portal({"book", "remove", "--db", _db, "--company", "Acme", "--category", "K", "--name", "Gone"}).exitCode, 0);
    QCOMPARE(storeFiles(), QStringList());
    QVERIFY(!portal({"book", "list", "--db", _db}).output.contains("Gone"));
}

void PortalAdmin::accountStateCommands()
{
    QCOMPARE(portal({"user", "add", "--db", _db, "--email", "u@x", "--company", "Acme", "--category", "K",
                     "--password", "p", "--active", "N"}).exitCode, 0);
    QVERIFY(portal({"user", "list", "--db", _db}).output.contains("u@x\tAcme\tK\tN\t-"));
    QCOMPARE(portal({"user", "set-active", "--db", _db, "--email", "u@x", "--active", "Y"}).exitCode, 0);
    QCOMPARE(portal({"company", "set-active", "--db", _db, "--name", "Acme", "--active", "N"}).exitCode, 0);
    QVERIFY(portal({"user", "list", "--db", _db}).output.contains("u@x\tAcme\tK\tY\t-"));
    QVERIFY(portal({"company", "list", "--db", _db}).output.contains("Acme\tN\t1\t0"));
    QCOMPARE(portal({"user", "reset-online", "--db", _db, "--email", "U@X"}).exitCode, 0);
    const CommandResult list = portal({"user", "list", "--db", _db});
    QVERIFY(!list.output.contains("\tp\n"));
    QCOMPARE(portal({"user", "list", "--db", _dir.filePath(QStringLiteral("typo.db"))}).exitCode, 1);
    QVERIFY(!QFile::exists(_dir.filePath(QStringLiteral("typo.db"))));
}

void PortalAdmin::demoIsCompleteAndRepeatable()
{
    const QString demo = _dir.filePath(QStringLiteral("demo"));
    CommandResult r = portal({"demo", "--dir", demo});
    QVERIFY2(r.exitCode == 0, r.errors.constData());
    for (const char *name : {"portal.db", "ca.pem", "server.pem", "server.key"})
        QVERIFY2(QFile::exists(QDir(demo).filePath(QString::fromLatin1(name))), name);
    QVERIFY(r.output.contains("reader@velkarn.example / reader-pass-1"));
    QFile ca(QDir(demo).filePath(QStringLiteral("ca.pem")));
    QVERIFY(ca.open(QIODevice::ReadOnly));
    const QByteArray firstCa = ca.readAll();
    ca.close();

    r = portal({"demo", "--dir", demo});
    QVERIFY2(r.exitCode == 0, r.errors.constData());
    QVERIFY(ca.open(QIODevice::ReadOnly));
    QCOMPARE(ca.readAll(), firstCa);
    const QStringList books = QDir(QDir(demo).filePath(QStringLiteral("portal.db.books"))).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(books.size(), 4);
    const QByteArray list = portal({"book", "list", "--db", QDir(demo).filePath(QStringLiteral("portal.db"))}).output;
    QCOMPARE(list.count("\n"), 5);

    bool sawLong = false;
    for (const QString &file : books) {
        const QString path = QDir(QDir(demo).filePath(QStringLiteral("portal.db.books"))).filePath(file);
        QPdfDocument document;
        document.setPassword(QStringLiteral("manual-7731"));
        document.load(path);
        if (document.status() == QPdfDocument::Status::Ready && document.pageCount() >= 500) {
            sawLong = true;
            QVERIFY(document.getAllText(499).text().contains(QStringLiteral("marker-0500")));
        }
    }
    QVERIFY(sawLong);
}

QTEST_MAIN(PortalAdmin)
#include "tst_portal_admin.moc"
