// A text helper that holds back the pages from VELKARN_TEST_GATE_PAGE on until the file
// VELKARN_TEST_GATE exists, so a test sees a book half read; each run adds a line to
// VELKARN_TEST_HELPER_RUNS.

#include "PdfHelperBook.h"
#include "PdfPageClaims.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

using namespace vk;

int main(int argc, char **argv)
{
    PdfPageClaims claims(argc, argv);
    QCoreApplication app(argc, argv);
    QFile runs(qEnvironmentVariable("VELKARN_TEST_HELPER_RUNS"));
    if (runs.open(QIODevice::Append))
        runs.write("run\n");
    runs.close();
    PdfHelperBook book;
    if (!claims.isValid())
        return 6;
    if (const int status = book.open(argc, argv))
        return status;
    const QString gate = qEnvironmentVariable("VELKARN_TEST_GATE");
    const int gatePage = qEnvironmentVariableIntValue("VELKARN_TEST_GATE_PAGE");
    // A test that failed before opening the gate must not leave this behind.
    const QDeadlineTimer deadline(60000);
    const int end = qMin(book.request.endPage, book.pdf.pageCount());
    for (int page = claims.claim(end); page >= 0; page = claims.claim(end)) {
        while (page >= gatePage && !gate.isEmpty() && !QFile::exists(gate)) {
            if (deadline.hasExpired())
                return 1;
            QThread::msleep(10);
        }
        book.output.write(encodePageRecord({page, book.pdf.getAllText(page).text()}));
        book.output.flush();
    }
    return 0;
}
