#pragma once

#include "PdfTextProtocol.h"

#include <QObject>

#include <memory>
#include <vector>

class QProcess;

// Reads a large book's page texts in helper processes side by side
// (velkarn-pdf-text), handing each page over as it arrives. Lives on the main
// thread; killing what still runs when it is destroyed.
class PdfTextHelpers : public QObject
{
    Q_OBJECT
public:
    // VELKARN_PDF_TEXT_HELPER when set, else the helper built with the viewer.
    static QString program();

    explicit PdfTextHelpers(QObject *parent = nullptr);
    ~PdfTextHelpers() override;

    // parts helpers, taking the book's pages in turn.
    void start(const QByteArray &pdf, const QString &password, int pageCount, int parts);

Q_SIGNALS:
    void pageRead(const PdfPageRecord &record);
    // Every helper has ended; complete when each page of the book arrived.
    void finished(bool complete);

private:
    struct Helper;
    void readFrom(Helper &helper);
    void end(Helper &helper, bool ok);

    std::vector<std::unique_ptr<Helper>> helpers;
    int running = 0;
    bool complete = true;
};
