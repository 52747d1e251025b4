#include "AdminLibrary.h"
#include "CommandLine.h"
#include "DemoCertificates.h"
#include "LibraryAdmin.h"
#include "PortalProcess.h"
#include "velkarn.h"

#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace {

const QString company = QStringLiteral("Acme & Sons");
const QString category = QStringLiteral("Maths");
const QString readerPassword = QStringLiteral("s3cret+&=^ x");

// A valid one-page PDF carrying `bytes` of random data in an extra stream.
void writeLargePdf(const QString &path, int bytes)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Page /MediaBox [0 0 200 200] /Resources << >> >>"));
    QPDFPageDocumentHelper(pdf).addPage(page, false);
    std::string data(size_t(bytes), '\0');
    for (auto &c : data)
        c = char(QRandomGenerator::global()->generate());
    page.replaceKey("/PieceInfo", pdf.newStream(data));
    QPDFWriter writer(pdf, QFile::encodeName(path).constData());
    writer.setStreamDataMode(qpdf_s_preserve);
    writer.write();
}

struct LoginFields
{
    QString flags;
    QString company;
    QString category;
    QString password;
};

LoginFields readLogin(const QByteArray &answer)
{
    const QString text = QString::fromUtf8(answer);
    const qint32 s1 = velkarn::Findstring(text, QStringLiteral("^^"));
    const qint32 s2 = velkarn::Findstringfrom(text, QStringLiteral("^^"), s1 + 1);
    return {velkarn::substr(text, 0, 3), velkarn::substr(text, 3, s1 - 3),
            velkarn::substr(text, s1 + 2, s2 - s1 - 2),
            velkarn().decodestr(velkarn::substr(text, s2 + 2, text.size() - s2 - 2))};
}

struct ListedBook
{
    QString name;
    QString location;
    QString password;
};

QList<ListedBook> readBooks(const QByteArray &answer)
{
    QList<ListedBook> books;
    const QString text = QString::fromUtf8(answer);
    if (!text.startsWith(QStringLiteral("*START*")))
        return books;
    velkarn v;
    qint32 p = 7;
    for (;;) {
        const qint32 s1 = velkarn::Findstringfrom(text, QStringLiteral("^^"), p + 1);
        const qint32 s2 = velkarn::Findstringfrom(text, QStringLiteral("^^"), s1 + 1);
        const qint32 s3 = velkarn::Findstringfrom(text, QStringLiteral("^^"), s2 + 1);
        QString password = v.decodestr(velkarn::substr(text, s2 + 2, s3 - (s2 + 2)));
        if (password == QStringLiteral("none"))
            password.clear();
        books.append({velkarn::substr(text, p + 2, s1 - (p + 2)),
                      v.decodestr(velkarn::substr(text, s1 + 2, s2 - (s1 + 2))), password});
        if (velkarn::substr(text, s3 + 5, 3) != QStringLiteral(".+.") || text.mid(s3 + 8, 5) == QStringLiteral("*END*"))
            break;
        p = s3 + 8;
    }
    return books;
}

} // namespace

class PortalProtocol : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void serverCheck();
    void userCheck_data();
    void userCheck();
    void bookCheck();
    void bookCheckRefusals_data();
    void bookCheckRefusals();
    void statusUpdate_data();
    void statusUpdate();
    void onlineFlagExpires();
    void bookDownload();
    void bodyLimit_data();
    void bodyLimit();
    void rateLimit();
    void logHoldsNoSecrets();

private:
    HttpReply post(const QString &endpoint, const QByteArray &body);
    void ageOnlineFlag(const QString &email, qint64 hours);

    QTemporaryDir _dir;
    QString _db;
    QString _bigBook;
    PortalProcess _portal;
    std::unique_ptr<TrustingClient> _client;
    QByteArray _log;
};

void PortalProtocol::initTestCase()
{
    QVERIFY(_dir.isValid());
    QCOMPARE(makeDemoCertificates(_dir.path()), QString());
    _db = _dir.filePath(QStringLiteral("portal.db"));
    QCOMPARE(PortalProcess::run({QStringLiteral("init"), QStringLiteral("--db"), _db}), 0);
    _bigBook = _dir.filePath(QStringLiteral("big.pdf"));
    writeLargePdf(_bigBook, 6 * 1024 * 1024 + 123);
    try {
        AdminLibrary library(CommandOptions({QStringLiteral("--db"), _db}, {QStringLiteral("db")}));
        addCompany(library, company, true);
        addCompany(library, QStringLiteral("Lapsed"), false);
        addUser(library, {QStringLiteral("reader@example.test"), company, category, readerPassword, true});
        addUser(library, {QStringLiteral("a+b&c=d@example.test"), company, category, QStringLiteral("plus-pw"), true});
        addUser(library, {QStringLiteral("x&status=N@example.test"), company, category, QStringLiteral("pw"), true});
        addUser(library, {QStringLiteral("o'brien@example.test"), company, QString(category), QStringLiteral("quote-pw"), true});
        addUser(library, {QStringLiteral("inactive@example.test"), company, category, QStringLiteral("pw"), false});
        addUser(library, {QStringLiteral("lapsed@example.test"), QStringLiteral("Lapsed"), category, QStringLiteral("pw"), true});
        NewBook big{company, category, QStringLiteral("Big Book"), _bigBook, {}, {}, 2};
        addBook(library, big);
        NewBook external{company, category, QStringLiteral("Elsewhere"), {}, QStringLiteral("https://books.example.test/e.pdf?a=1&b=2"), QStringLiteral("ext-pw"), 1};
        addBook(library, external);
        NewBook lapsed{QStringLiteral("Lapsed"), category, QStringLiteral("Old"), {}, QStringLiteral("https://h.example/o.pdf"), {}, {}};
        addBook(library, lapsed);
    } catch (const CommandError &error) {
        QFAIL(qPrintable(error.message));
    }
    QVERIFY2(_portal.start({QStringLiteral("--db"), _db, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                            QStringLiteral("--cert"), _dir.filePath(QStringLiteral("server.pem")),
                            QStringLiteral("--key"), _dir.filePath(QStringLiteral("server.key")),
                            QStringLiteral("--user-checks-per-minute"), QStringLiteral("0")}),
             _portal.errors().constData());
    QVERIFY(_portal.url().startsWith(QStringLiteral("https://127.0.0.1:")));
    _client = std::make_unique<TrustingClient>(_dir.filePath(QStringLiteral("ca.pem")));
}

void PortalProtocol::cleanupTestCase()
{
    _client.reset();
    QCOMPARE(_portal.stop(), 0);
}

HttpReply PortalProtocol::post(const QString &endpoint, const QByteArray &body)
{
    return _client->post(_portal.url() + QStringLiteral("/adminportal/") + endpoint, body);
}

void PortalProtocol::ageOnlineFlag(const QString &email, qint64 hours)
{
    ScopedConnection connection(_db);
    QSqlQuery query(connection.database());
    query.prepare(QStringLiteral("UPDATE users SET online_at_ms = online_at_ms - ? WHERE email = ?"));
    query.addBindValue(hours * 3600 * 1000);
    query.addBindValue(email);
    QVERIFY(query.exec());
}

void PortalProtocol::serverCheck()
{
    const HttpReply reply = post(QStringLiteral("pdfserverchk.php"), QByteArray());
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, QByteArray("1"));
    QCOMPARE(_client->get(_portal.url() + QStringLiteral("/adminportal/pdfserverchk.php")).status, 405);
    QCOMPARE(post(QStringLiteral("other.php"), QByteArray()).status, 404);
}

void PortalProtocol::userCheck_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("password");
    QTest::newRow("may sign in") << QByteArray("reader@example.test") << "NYY" << readerPassword;
    QTest::newRow("address case") << QByteArray("Reader@Example.TEST") << "NYY" << readerPassword;
    QTest::newRow("raw + & =") << QByteArray("a+b&c=d@example.test") << "NYY" << "plus-pw";
    QTest::newRow("quote in address") << QByteArray("o'brien@example.test") << "NYY" << "quote-pw";
    QTest::newRow("inactive") << QByteArray("inactive@example.test") << "NNY" << "pw";
    QTest::newRow("lapsed company") << QByteArray("lapsed@example.test") << "NYN" << "pw";
    QTest::newRow("unknown") << QByteArray("nobody@example.test") << "" << "";
    QTest::newRow("plus not a space") << QByteArray("a b&c=d@example.test") << "" << "";
    QTest::newRow("sql always true") << QByteArray("' OR '1'='1") << "" << "";
    QTest::newRow("sql comment") << QByteArray("reader@example.test' --") << "" << "";
    QTest::newRow("empty") << QByteArray() << "" << "";
}

void PortalProtocol::userCheck()
{
    QFETCH(QByteArray, address);
    QFETCH(QString, flags);
    QFETCH(QString, password);
    const HttpReply reply = post(QStringLiteral("pdfuserchk.php"), "user=" + address);
    QCOMPARE(reply.status, 200);
    if (flags.isEmpty()) {
        QCOMPARE(reply.body, QByteArray("NNN^^^^"));
        return;
    }
    const LoginFields fields = readLogin(reply.body);
    QCOMPARE(fields.flags, flags);
    QCOMPARE(fields.company, address.startsWith("lapsed") ? QStringLiteral("Lapsed") : company);
    QCOMPARE(fields.category, category);
    QCOMPARE(fields.password, password);
}

void PortalProtocol::bookCheck()
{
    const HttpReply reply = post(QStringLiteral("pdfbookchk.php"), "company=" + company.toUtf8() + "&categoryname=" + category.toUtf8());
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.body.startsWith("*START*"));
    QVERIFY(reply.body.endsWith(".+.*END*"));
    const QList<ListedBook> books = readBooks(reply.body);
    QCOMPARE(books.size(), 2);
    QCOMPARE(books.at(0).name, QStringLiteral("Elsewhere"));
    QCOMPARE(books.at(0).location, QStringLiteral("https://books.example.test/e.pdf?a=1&b=2"));
    QCOMPARE(books.at(0).password, QStringLiteral("ext-pw"));
    QCOMPARE(books.at(1).name, QStringLiteral("Big Book"));
    QVERIFY(books.at(1).location.startsWith(_portal.url() + QStringLiteral("/books/")));
    QCOMPARE(books.at(1).password, QString());
}

void PortalProtocol::bookCheckRefusals_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("unknown company") << QByteArray("company=Nobody&categoryname=Maths");
    QTest::newRow("other category") << QByteArray("company=Acme & Sons&categoryname=Art");
    QTest::newRow("lapsed company") << QByteArray("company=Lapsed&categoryname=Maths");
    QTest::newRow("sql") << QByteArray("company=x' OR 1=1 --&categoryname=' OR ''='");
    QTest::newRow("no category field") << QByteArray("company=Acme & Sons");
}

void PortalProtocol::bookCheckRefusals()
{
    QFETCH(QByteArray, body);
    const HttpReply reply = post(QStringLiteral("pdfbookchk.php"), body);
    QCOMPARE(reply.status, 200);
    QVERIFY(!reply.body.startsWith("*START*"));
}

void PortalProtocol::statusUpdate_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::newRow("plain") << QByteArray("reader@example.test");
    QTest::newRow("raw + & =") << QByteArray("a+b&c=d@example.test");
    QTest::newRow("address holding &status=") << QByteArray("x&status=N@example.test");
}

void PortalProtocol::statusUpdate()
{
    QFETCH(QByteArray, address);
    HttpReply reply = post(QStringLiteral("pdfloginupdate.php"), "user=" + address + "&status=Y");
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, QByteArray("1"));
    QCOMPARE(readLogin(post(QStringLiteral("pdfuserchk.php"), "user=" + address).body).flags, QStringLiteral("YYY"));
    reply = post(QStringLiteral("pdfloginupdate.php"), "user=" + address + "&status=N");
    QCOMPARE(reply.body, QByteArray("1"));
    QCOMPARE(readLogin(post(QStringLiteral("pdfuserchk.php"), "user=" + address).body).flags, QStringLiteral("NYY"));

    QCOMPARE(post(QStringLiteral("pdfloginupdate.php"), "user=" + address + "&status=y").status, 400);
    QCOMPARE(post(QStringLiteral("pdfloginupdate.php"), "user=nobody@x&status=Y").body, QByteArray("0"));
}

void PortalProtocol::onlineFlagExpires()
{
    const QString email = QStringLiteral("reader@example.test");
    QCOMPARE(post(QStringLiteral("pdfloginupdate.php"), "user=" + email.toUtf8() + "&status=Y").body, QByteArray("1"));
    ageOnlineFlag(email, 11);
    QCOMPARE(readLogin(post(QStringLiteral("pdfuserchk.php"), "user=" + email.toUtf8()).body).flags, QStringLiteral("YYY"));
    ageOnlineFlag(email, 2);
    QCOMPARE(readLogin(post(QStringLiteral("pdfuserchk.php"), "user=" + email.toUtf8()).body).flags, QStringLiteral("NYY"));
}

void PortalProtocol::bookDownload()
{
    const QList<ListedBook> books = readBooks(
        post(QStringLiteral("pdfbookchk.php"), "company=" + company.toUtf8() + "&categoryname=" + category.toUtf8()).body);
    QCOMPARE(books.size(), 2);
    const HttpReply download = _client->get(books.at(1).location);
    QCOMPARE(download.status, 200);
    QFile source(_bigBook);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray expected = source.readAll();
    QCOMPARE(download.body.size(), expected.size());
    QVERIFY(download.body == expected);

    const QString wrongToken = books.at(1).location.left(books.at(1).location.size() - 1)
        + (books.at(1).location.endsWith(QLatin1Char('0')) ? QLatin1Char('1') : QLatin1Char('0'));
    QCOMPARE(_client->get(wrongToken).status, 404);
    QCOMPARE(_client->get(_portal.url() + QStringLiteral("/books/../portal.db")).status, 404);
}

void PortalProtocol::bodyLimit_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("status");
    QTest::newRow("at the limit") << 64 * 1024 << 200;
    QTest::newRow("one byte over") << 64 * 1024 + 1 << 413;
    QTest::newRow("a megabyte") << 1024 * 1024 << 413;
}

void PortalProtocol::bodyLimit()
{
    QFETCH(int, size);
    QFETCH(int, status);
    QByteArray body = "user=";
    body.append(size - body.size(), 'a');
    const HttpReply reply = post(QStringLiteral("pdfuserchk.php"), body);
    QCOMPARE(reply.status, status);
}

void PortalProtocol::rateLimit()
{
    PortalProcess limited;
    QVERIFY(limited.start({QStringLiteral("--db"), _db, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                           QStringLiteral("--cert"), _dir.filePath(QStringLiteral("server.pem")),
                           QStringLiteral("--key"), _dir.filePath(QStringLiteral("server.key")),
                           QStringLiteral("--user-checks-per-minute"), QStringLiteral("3")}));
    const QString url = limited.url() + QStringLiteral("/adminportal/");
    for (int i = 0; i < 3; ++i)
        QCOMPARE(_client->post(url + QStringLiteral("pdfuserchk.php"), "user=reader@example.test").status, 200);
    const HttpReply refused = _client->post(url + QStringLiteral("pdfuserchk.php"), "user=reader@example.test");
    QCOMPARE(refused.status, 429);
    QVERIFY(!refused.body.startsWith("N") && !refused.body.startsWith("Y"));
    QCOMPARE(_client->post(url + QStringLiteral("pdfserverchk.php"), QByteArray()).body, QByteArray("1"));
    QCOMPARE(_client->post(url + QStringLiteral("pdfloginupdate.php"), "user=reader@example.test&status=N").body,
             QByteArray("1"));
    QCOMPARE(limited.stop(), 0);
}

void PortalProtocol::logHoldsNoSecrets()
{
    QTRY_VERIFY_WITH_TIMEOUT((_log += _portal.errors()).contains("POST /adminportal/pdfuserchk.php 200"), 20000);
    QVERIFY(_log.contains("127.0.0.1 POST /adminportal/pdfbookchk.php 200"));
    QVERIFY(_log.contains("POST /adminportal/pdfuserchk.php 413"));
    QVERIFY(!_log.contains("reader@example.test"));
    QVERIFY(!_log.contains(readerPassword.toUtf8()));
    QVERIFY(!_log.contains("s3cret"));
}

QTEST_GUILESS_MAIN(PortalProtocol)
#include "tst_portal_protocol.moc"
