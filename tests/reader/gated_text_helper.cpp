// A text helper for tests: reads pages as the real one does, but holds back
// every page from VELKARN_TEST_GATE_PAGE on until the file VELKARN_TEST_GATE
// exists, so a test sees the viewer while a book's text is half read. Each run
// adds a line to VELKARN_TEST_HELPER_RUNS.

#include "PdfTextProtocol.h"
#include "PdfUnlock.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QPdfDocument>
#include <QThread>

using namespace vk;

namespace {

bool waitForGate()
{
    const QString gate = qEnvironmentVariable("VELKARN_TEST_GATE");
    // A test that failed before opening the gate must not leave this behind.
    const QDeadlineTimer deadline(60000);
    while (!gate.isEmpty() && !QFile::exists(gate)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QFile runs(qEnvironmentVariable("VELKARN_TEST_HELPER_RUNS"));
    if (runs.open(QIODevice::Append))
        runs.write("run\n");
    runs.close();
    QFile input;
    QFile output;
    if (!input.open(stdin, QIODevice::ReadOnly) || !output.open(stdout, QIODevice::WriteOnly))
        return 1;
    const std::optional<PdfTextRequest> request = decodeTextRequest(input.readAll());
    if (!request)
        return 1;
    QBuffer buffer;
    buffer.setData(request->pdf);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument pdf;
    pdf.load(&buffer);
    if (pdf.status() != QPdfDocument::Status::Ready && !request->password.isEmpty())
        reopenWithPassword(pdf, request->password, &buffer);
    if (pdf.status() != QPdfDocument::Status::Ready)
        return 2;
    const int gatePage = qEnvironmentVariableIntValue("VELKARN_TEST_GATE_PAGE");
    const int end = qMin(request->endPage, pdf.pageCount());
    for (int page = request->firstPage; page < end; page += request->stride) {
        if (page >= gatePage && !waitForGate())
            return 1;
        output.write(encodePageRecord({page, pdf.getAllText(page).text()}));
        output.flush();
    }
    return 0;
}
