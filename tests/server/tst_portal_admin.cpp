#include "DemoBooks.h"
#include "PortalProcess.h"

#include <QPdfDocument>
#include <QtTest>

namespace {

QStringList bookAdd(const QString &name)
{
    return {"book", "add", "--company", "Acme", "--category", "K", "--name", name};
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The admin commands against a fresh library for every test, holding the
// company "Acme".
class PortalAdmin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void refusals_data();
    void refusals();
    void bookWithoutPositionGoesLast();
    void encryptionAndRemoval();
    void accountStateCommands();
    void demoIsCompleteAndRepeatable();

private:
    PortalCommand admin(const QStringList &args) const { return _portal->admin(args); }
    QByteArray listings() const;
    QString storeDir() const { return _portal->databasePath() + QStringLiteral(".books"); }
    QStringList storeFiles() const { return QDir(storeDir()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir _dir;
    QString _plainPdf;
    std::unique_ptr<PortalProcess> _portal;
};

void PortalAdmin::initTestCase()
{
    _plainPdf = _dir.filePath(QStringLiteral("plain.pdf"));
    QCOMPARE(writeDemoPdf(_plainPdf, QStringLiteral("Plain"), 3), QString());
    QFile garbage(_dir.filePath(QStringLiteral("garbage.pdf")));
    QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write("%PDF-1.7 this is not really a PDF\n") > 0);
}

void PortalAdmin::init()
{
    _portal = std::make_unique<PortalProcess>();
    QCOMPARE(admin({"company", "add", "--name", "Acme"}).exitCode, 0);
}

QByteArray PortalAdmin::listings() const
{
    return admin({"company", "list"}).output + admin({"user", "list"}).output + admin({"book", "list"}).output;
}

void PortalAdmin::refusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");
    const QStringList user{"user", "add", "--email", "u@x", "--company", "Acme", "--category", "K"};
    const QStringList external{"--url", "https://h/b.pdf"};
    QTest::newRow("duplicate company") << QStringList{"company", "add", "--name", "Acme"} << "exists already";
    QTest::newRow("caret in company") << QStringList{"company", "add", "--name", "A^B"} << "\"^\"";
    QTest::newRow("unknown company") << QStringList{"user", "add", "--email", "u@x", "--company", "Nobody", "--category", "K", "--password", "p"} << "unknown company";
    QTest::newRow("caret in address") << QStringList{"user", "add", "--email", "u^@x", "--company", "Acme", "--category", "K", "--password", "p"} << "\"^\"";
    QTest::newRow("caret in category") << QStringList{"user", "add", "--email", "u@x", "--company", "Acme", "--category", "K^", "--password", "p"} << "\"^\"";
    QTest::newRow("empty password") << user + QStringList{"--password", ""} << "password";
    QTest::newRow("duplicate user") << QStringList{"user", "add", "--email", "DUP@x", "--company", "Acme", "--category", "K", "--password", "p"} << "exists already";
    QTest::newRow("unknown user") << QStringList{"user", "set-active", "--email", "nobody@x", "--active", "N"} << "unknown user";
    QTest::newRow("bad flag") << QStringList{"company", "set-active", "--name", "Acme", "--active", "yes"} << "Y or N";
    QTest::newRow("not a pdf") << bookAdd("B") + QStringList{"--file", _dir.filePath("garbage.pdf")} << "not a readable PDF";
    QTest::newRow("missing file") << bookAdd("B") + QStringList{"--file", "/nonexistent.pdf"} << "cannot read";
    QTest::newRow("caret in book name") << bookAdd("B^^") + external << "\"^\"";
    QTest::newRow("password none") << bookAdd("B") + external + QStringList{"--password", "none"} << "none";
    QTest::newRow("file and url") << bookAdd("B") + external + QStringList{"--file", "x.pdf"} << "either";
    QTest::newRow("unknown option") << QStringList{"book", "list", "--colour", "red"} << "unknown option";
}

// A refused command says why on one line and leaves library and store untouched.
void PortalAdmin::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    QCOMPARE(admin({"user", "add", "--email", "dup@x", "--company", "Acme", "--category", "K", "--password", "p"}).exitCode, 0);
    const QByteArray before = listings();
    const PortalCommand refused = admin(args);
    QCOMPARE(refused.exitCode, 1);
    QCOMPARE(refused.errors.count('\n'), 1);
    QVERIFY2(refused.errors.contains(reason.toUtf8()), refused.errors.constData());
    QCOMPARE(listings(), before);
    QCOMPARE(storeFiles(), QStringList());
}

// Explicit positions order the shelf (the protocol suite reads that order back);
// a book without one goes after the last.
void PortalAdmin::bookWithoutPositionGoesLast()
{
    QCOMPARE(admin(bookAdd("Last") + QStringList{"--url", "https://h.example/l.pdf", "--position", "30"}).exitCode, 0);
    QCOMPARE(admin(bookAdd("First") + QStringList{"--url", "https://h.example/f.pdf", "--position", "10"}).exitCode, 0);
    QCOMPARE(admin(bookAdd("Appended") + QStringList{"--url", "https://h.example/a.pdf"}).exitCode, 0);
    const QList<QByteArray> lines = admin({"book", "list"}).output.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.at(3).contains("\t31\tAppended\t"));
}

void PortalAdmin::encryptionAndRemoval()
{
    PortalCommand r = admin(bookAdd("Locked") + QStringList{"--file", _plainPdf, "--password", "open-sesame"});
    QVERIFY2(r.exitCode == 0, r.errors.constData());
    QCOMPARE(storeFiles().size(), 1);
    const QString locked = _dir.filePath(QStringLiteral("locked.pdf"));
    QFile::remove(locked);
    QVERIFY(QFile::copy(QDir(storeDir()).filePath(storeFiles().first()), locked));
    QPdfDocument document;
    for (const QString &password : {QString(), QStringLiteral("wrong")}) {
        document.setPassword(password);
        document.load(locked);
        QCOMPARE(document.error(), QPdfDocument::Error::IncorrectPassword);
        document.close();
    }
    document.setPassword(QStringLiteral("open-sesame"));
    document.load(locked);
    QCOMPARE(document.pageCount(), 3);
    QVERIFY(document.getAllText(1).text().contains(QStringLiteral("marker-0002")));

    QCOMPARE(admin({"book", "remove", "--company", "Acme", "--category", "K", "--name", "Other"}).exitCode, 1);
    QCOMPARE(storeFiles().size(), 1);
    QCOMPARE(admin({"book", "remove", "--company", "Acme", "--category", "K", "--name", "Locked"}).exitCode, 0);
    QCOMPARE(storeFiles(), QStringList());
    QVERIFY(!admin({"book", "list"}).output.contains("Locked"));

    // An encrypted file goes in only with its own password, and unchanged.
    r = admin(bookAdd("A") + QStringList{"--file", locked});
    QVERIFY2(r.exitCode == 1 && r.errors.contains("give its password"), r.errors.constData());
    r = admin(bookAdd("A") + QStringList{"--file", locked, "--password", "other"});
    QVERIFY2(r.exitCode == 1 && r.errors.contains("does not open"), r.errors.constData());
    QCOMPARE(storeFiles(), QStringList());
    QCOMPARE(admin(bookAdd("A") + QStringList{"--file", locked, "--password", "open-sesame"}).exitCode, 0);
    QVERIFY(contents(QDir(storeDir()).filePath(storeFiles().value(0))) == contents(locked));
}

void PortalAdmin::accountStateCommands()
{
    QCOMPARE(admin({"user", "add", "--email", "u@x", "--company", "Acme", "--category", "K", "--password", "p", "--active", "N"}).exitCode, 0);
    QVERIFY(admin({"user", "list"}).output.contains("u@x\tAcme\tK\tN\t-"));
    QCOMPARE(admin({"user", "set-active", "--email", "u@x", "--active", "Y"}).exitCode, 0);
    QCOMPARE(admin({"company", "set-active", "--name", "Acme", "--active", "N"}).exitCode, 0);
    QVERIFY(admin({"user", "list"}).output.contains("u@x\tAcme\tK\tY\t-"));
    QVERIFY(admin({"company", "list"}).output.contains("Acme\tN\t1\t0"));
    QCOMPARE(admin({"user", "reset-online", "--email", "U@X"}).exitCode, 0);
    // A mistyped library is refused, not created.
    const QString typo = _dir.filePath(QStringLiteral("typo.db"));
    QCOMPARE(PortalProcess::run({"user", "list", "--db", typo}).exitCode, 1);
    QVERIFY(!QFile::exists(typo));
}

void PortalAdmin::demoIsCompleteAndRepeatable()
{
    const QDir demo(_dir.filePath(QStringLiteral("demo")));
    PortalCommand r = PortalProcess::run({"demo", "--dir", demo.path()});
    QVERIFY2(r.exitCode == 0, r.errors.constData());
    for (const char *name : {"portal.db", "ca.pem", "server.pem", "server.key"})
        QVERIFY2(demo.exists(QString::fromLatin1(name)), name);
    QVERIFY(r.output.contains("reader@velkarn.example / reader-pass-1"));
    const QByteArray firstCa = contents(demo.filePath(QStringLiteral("ca.pem")));

    r = PortalProcess::run({"demo", "--dir", demo.path()});
    QVERIFY2(r.exitCode == 0, r.errors.constData());
    QCOMPARE(contents(demo.filePath(QStringLiteral("ca.pem"))), firstCa);
    const QDir store(demo.filePath(QStringLiteral("portal.db.books")));
    const QStringList books = store.entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(books.size(), 4);
    QCOMPARE(PortalProcess::run({"book", "list", "--db", demo.filePath(QStringLiteral("portal.db"))}).output.count('\n'), 5);

    bool sawLong = false;
    for (const QString &file : books) {
        QPdfDocument document;
        document.setPassword(QStringLiteral("manual-7731"));
        document.load(store.filePath(file));
        if (document.status() == QPdfDocument::Status::Ready && document.pageCount() >= 500) {
            sawLong = true;
            QVERIFY(document.getAllText(499).text().contains(QStringLiteral("marker-0500")));
        }
    }
    QVERIFY(sawLong);
}

QTEST_MAIN(PortalAdmin)
#include "tst_portal_admin.moc"
