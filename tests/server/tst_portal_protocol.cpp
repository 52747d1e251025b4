#include "AdminLibrary.h"
#include "BookAnswer.h"
#include "CommandLine.h"
#include "DemoCertificates.h"
#include "LibraryAdmin.h"
#include "LoginAnswer.h"
#include "PortalProcess.h"
#include "velkarn.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QtTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

using namespace vk;

namespace {

const QString company = QStringLiteral("Acme & Sons");
const QString category = QStringLiteral("Maths");
const QString readerPassword = QStringLiteral("s3cret+&=^ x");
// Longer than the scrambling key, so the key has to wrap.
const QString longPassword = QString(300, u'x') + QStringLiteral("a+b=c&d^");

// A one-page PDF padded with random bytes, so a download spans many buffers.
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

struct HttpReply
{
    int status = 0;
    QByteArray body;
};

} // namespace

// A running portal over HTTPS with certificate checks on; answers are read
// with the viewer's own parsers, so both ends agree on every byte.
class PortalProtocol : public QObject
{
    Q_OBJECT

    QTemporaryDir _dir;
    QString _bigBook;
    PortalProcess _portal;
    QNetworkAccessManager _network;
    QSslConfiguration _ssl = QSslConfiguration::defaultConfiguration();
    QByteArray _log;

    bool startPortal(PortalProcess &portal, const QString &checksPerMinute)
    {
        return portal.start(_dir.filePath("server.pem"), _dir.filePath("server.key"),
                            {"--user-checks-per-minute", checksPerMinute});
    }

    // A POST when there is a body, else a GET.
    HttpReply send(const QString &url, const std::optional<QByteArray> &body = std::nullopt)
    {
        QNetworkRequest request{QUrl(url)};
        request.setSslConfiguration(_ssl);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        QNetworkReply *reply = body ? _network.post(request, *body) : _network.get(request);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(60000);
        const HttpReply result{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
        reply->deleteLater();
        return result;
    }

    HttpReply post(const QString &endpoint, const QByteArray &body)
    {
        return send(_portal.url() + "/adminportal/" + endpoint, body);
    }

    QString onlineFlag(const QByteArray &address)
    {
        velkarn v;
        return parseLoginAnswer(v, QString::fromUtf8(post("pdfuserchk.php", "user=" + address).body), {}).useronline;
    }

    BookList books()
    {
        velkarn v;
        const QByteArray body = "company=" + company.toUtf8() + "&categoryname=" + category.toUtf8();
        return parseBookAnswer(v, QString::fromUtf8(post("pdfbookchk.php", body).body));
    }

    void ageOnlineFlag(const QString &email, qint64 hours)
    {
        ScopedConnection connection(_portal.databasePath());
        QSqlQuery query(connection.database());
        query.prepare(QStringLiteral("UPDATE users SET online_at_ms = online_at_ms - ? WHERE email = ?"));
        query.addBindValue(hours * 3600 * 1000);
        query.addBindValue(email);
        QVERIFY(query.exec());
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(makeDemoCertificates(_dir.path()), QString());
        _ssl.addCaCertificates(QSslCertificate::fromPath(_dir.filePath("ca.pem")));
        _bigBook = _dir.filePath("big.pdf");
        writeLargePdf(_bigBook, 6 * 1024 * 1024 + 123);
        try {
            AdminLibrary library(CommandOptions({"--db", _portal.databasePath()}, {"db"}));
            addCompany(library, company, true);
            addCompany(library, "Lapsed", false);
            addUser(library, {"reader@example.test", company, category, readerPassword, true});
            addUser(library, {"a+b&c=d@example.test", company, category, longPassword, true});
            addUser(library, {"x&status=N@example.test", company, category, "pw", true});
            addUser(library, {"o'brien@example.test", company, category, "quote-pw", true});
            addUser(library, {"inactive@example.test", company, category, "pw", false});
            addUser(library, {"lapsed@example.test", "Lapsed", category, "pw", true});
            addBook(library, {company, category, "Big Book", _bigBook, {}, {}, 2});
            addBook(library,
                    {company, category, "Elsewhere", {}, "https://books.example.test/e.pdf?a=1&b=2", "None", 1});
            addBook(library, {"Lapsed", category, "Old", {}, "https://h.example/o.pdf", {}, {}});
        } catch (const CommandError &error) {
            QFAIL(qPrintable(error.message));
        }
        QVERIFY2(startPortal(_portal, "0"), _portal.errors().constData());
    }

    void cleanupTestCase() { QCOMPARE(_portal.stop(), 0); }

    void serverCheck()
    {
        const HttpReply reply = post("pdfserverchk.php", QByteArray());
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.body, QByteArray("1"));
        QCOMPARE(send(_portal.url() + "/adminportal/pdfserverchk.php").status, 405);
        QCOMPARE(post("other.php", QByteArray()).status, 404);
    }

    // flags empty: the unknown-user answer.
    void userCheck_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("password");
        QTest::newRow("may sign in") << QByteArray("reader@example.test") << "NYY" << readerPassword;
        QTest::newRow("address case") << QByteArray("Reader@Example.TEST") << "NYY" << readerPassword;
        QTest::newRow("raw + & =, long password") << QByteArray("a+b&c=d@example.test") << "NYY" << longPassword;
        QTest::newRow("quote in address") << QByteArray("o'brien@example.test") << "NYY" << "quote-pw";
        QTest::newRow("inactive") << QByteArray("inactive@example.test") << "NNY" << "pw";
        QTest::newRow("lapsed company") << QByteArray("lapsed@example.test") << "NYN" << "pw";
        QTest::newRow("unknown") << QByteArray("nobody@example.test") << "" << "";
        QTest::newRow("plus not a space") << QByteArray("a b&c=d@example.test") << "" << "";
        QTest::newRow("sql") << QByteArray("' OR '1'='1") << "" << "";
        QTest::newRow("empty") << QByteArray() << "" << "";
    }

    void userCheck()
    {
        QFETCH(QByteArray, address);
        QFETCH(QString, flags);
        QFETCH(QString, password);
        const HttpReply reply = post("pdfuserchk.php", "user=" + address);
        QCOMPARE(reply.status, 200);
        if (flags.isEmpty()) {
            QCOMPARE(reply.body, QByteArray("NNN^^^^"));
            return;
        }
        velkarn v;
        const LoginAnswer answer = parseLoginAnswer(v, QString::fromUtf8(reply.body), password);
        QCOMPARE(answer.useronline + answer.useractive + answer.resactive, flags);
        QCOMPARE(answer.company, address.startsWith("lapsed") ? QStringLiteral("Lapsed") : company);
        QCOMPARE(answer.category, category);
        QCOMPARE(v.decodestr(answer.passwordenc), password);
    }

    void bookCheck()
    {
        const BookList list = books();
        QCOMPARE(list.names, (QStringList{"Elsewhere", "Big Book"}));
        QCOMPARE(list.locations.at(0), QStringLiteral("https://books.example.test/e.pdf?a=1&b=2"));
        QVERIFY(list.locations.at(1).startsWith(_portal.url() + "/books/"));
        QCOMPARE(list.passwords, (QStringList{"None", ""})); // only "none" stands for no password

        for (const char *refused : {"company=Nobody&categoryname=Maths", "company=Acme & Sons&categoryname=Art",
                                    "company=Lapsed&categoryname=Maths",
                                    "company=x' OR 1=1 --&categoryname=' OR ''='"}) {
            const HttpReply reply = post("pdfbookchk.php", refused);
            QCOMPARE(reply.status, 200);
            QVERIFY2(!reply.body.startsWith("*START*"), refused);
        }
    }

    void statusUpdate_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::newRow("plain") << QByteArray("reader@example.test");
        QTest::newRow("address holding &status=") << QByteArray("x&status=N@example.test");
    }

    void statusUpdate()
    {
        QFETCH(QByteArray, address);
        for (const char *status : {"Y", "N"}) {
            const HttpReply reply = post("pdfloginupdate.php", "user=" + address + "&status=" + status);
            QCOMPARE(reply.status, 200);
            QCOMPARE(reply.body, QByteArray("1"));
            QCOMPARE(onlineFlag(address), QString::fromLatin1(status));
        }
        QCOMPARE(post("pdfloginupdate.php", "user=" + address + "&status=y").status, 400);
    }

    // A viewer that died without signing out must not lock its reader out for good.
    void onlineFlagExpires()
    {
        const QByteArray email = "reader@example.test";
        QCOMPARE(post("pdfloginupdate.php", "user=" + email + "&status=Y").body, QByteArray("1"));
        ageOnlineFlag(QString::fromLatin1(email), 11);
        QCOMPARE(onlineFlag(email), QStringLiteral("Y"));
        ageOnlineFlag(QString::fromLatin1(email), 2);
        QCOMPARE(onlineFlag(email), QStringLiteral("N"));
    }

    void bookDownload()
    {
        const QString location = books().locations.value(1);
        const HttpReply download = send(location);
        QCOMPARE(download.status, 200);
        QFile source(_bigBook);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray expected = source.readAll();
        QCOMPARE(download.body.size(), expected.size());
        QVERIFY(download.body == expected);

        const QString wrongToken = location.chopped(1) + (location.endsWith(QLatin1Char('0')) ? u'1' : u'0');
        QCOMPARE(send(wrongToken).status, 404);
        QCOMPARE(send(_portal.url() + "/books/../library.db").status, 404);
    }

    void bodyLimit()
    {
        for (const auto &[size, status] : {std::pair{64 * 1024, 200}, {64 * 1024 + 1, 413}, {1024 * 1024, 413}}) {
            QByteArray body = "user=";
            body.append(size - body.size(), 'a');
            QCOMPARE(post("pdfuserchk.php", body).status, status);
        }
    }

    void rateLimit()
    {
        PortalProcess limited;
        QVERIFY2(startPortal(limited, "3"), limited.errors().constData());
        const QString url = limited.url() + "/adminportal/";
        for (int i = 0; i < 3; ++i)
            QCOMPARE(send(url + "pdfuserchk.php", "user=reader@example.test").status, 200);
        const HttpReply refused = send(url + "pdfuserchk.php", "user=reader@example.test");
        QCOMPARE(refused.status, 429);
        QVERIFY(!refused.body.startsWith("N") && !refused.body.startsWith("Y"));
        // Only the user check is limited.
        QCOMPARE(send(url + "pdfserverchk.php", QByteArray()).body, QByteArray("1"));
        QCOMPARE(send(url + "pdfloginupdate.php", "user=reader@example.test&status=N").body, QByteArray("0"));
        QCOMPARE(limited.stop(), 0);
    }

    // Runs last: the requests above are what the log must show.
    void logHoldsNoSecrets()
    {
        QTRY_VERIFY_WITH_TIMEOUT((_log += _portal.errors()).contains("POST /adminportal/pdfuserchk.php 200"), 20000);
        QVERIFY(_log.contains("127.0.0.1 POST /adminportal/pdfbookchk.php 200"));
        QVERIFY(_log.contains("POST /adminportal/pdfuserchk.php 413"));
        QVERIFY(_log.contains("GET /books/"));
        QVERIFY(!_log.contains("reader@example.test"));
        QVERIFY(!_log.contains("s3cret"));
        // A book's token is as good as its password.
        const QString location = books().locations.value(1);
        QVERIFY(!_log.contains(location.mid(location.lastIndexOf(u'/') + 1).toUtf8()));
    }
};

QTEST_GUILESS_MAIN(PortalProtocol)
#include "tst_portal_protocol.moc"
