// A text helper that holds back the pages from VELKARN_TEST_GATE_PAGE on until the file
// VELKARN_TEST_GATE exists, so a test sees a book half read; each run adds a line to
// VELKARN_TEST_HELPER_RUNS.

#include "PdfHelperBook.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

using namespace vk;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QFile runs(qEnvironmentVariable("VELKARN_TEST_HELPER_RUNS"));
    if (runs.open(QIODevice::Append))
        runs.write("run\n");
    runs.close();
    PdfHelperBook book;
    if (const int status = book.open())
        return status;
    const QString gate = qEnvironmentVariable("VELKARN_TEST_GATE");
    const int gatePage = qEnvironmentVariableIntValue("VELKARN_TEST_GATE_PAGE");
    // A test that failed before opening the gate must not leave this behind.
    const QDeadlineTimer deadline(60000);
    const int end = qMin(book.request.endPage, book.pdf.pageCount());
    for (int page = book.request.firstPage; page < end; page += book.request.stride) {
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
