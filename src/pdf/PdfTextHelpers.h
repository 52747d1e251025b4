#pragma once

#include "PdfTextProtocol.h"

#include <QObject>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QProcess;

namespace vk {

// Reads a large book's page texts in helper processes side by side
// (velkarn-pdf-text), handing each page over as it arrives. Lives on the main
// thread; killing what still runs when it is destroyed.
class PdfTextHelpers : public QObject
{
    Q_OBJECT
public:
    // VELKARN_PDF_TEXT_HELPER when set, else the helper beside the program or
    // in ../lib/velkarn/ from it, else the one built with the viewer.
    static QString program();

    // A helper that sends nothing for stallLimit is given up: no page of a real
    // book takes PDFium that long, and the worker then reads the rest.
    explicit PdfTextHelpers(std::chrono::milliseconds stallLimit = std::chrono::seconds(30),
                            QObject *parent = nullptr);
    ~PdfTextHelpers() override;

    // parts helpers, each taking the next page nobody has taken. The page count
    // may come later, through setPageCount: the helpers can start while this
    // process is still parsing the book. Nothing is finished before the count is
    // known.
    static constexpr int kUnknownPageCount = -1;
    void start(const QByteArray &pdf, const QString &password, int pageCount, int parts);
    void setPageCount(int pageCount);
    // Kills what still runs; nothing is reported after this.
    void stop();

    // Kills the helpers of every PdfTextHelpers and waits for them to end, at
    // most waitMs in all. For the program's end, which skips destructors.
    // Main thread only, as every PdfTextHelpers.
    static void killAllRunning(int waitMs);

Q_SIGNALS:
    void pageRead(const PdfPageRecord &record);
    // Every helper has ended; complete when each page of the book arrived.
    void finished(bool complete);

private:
    struct Helper;
    // childSetup runs in the helper's process before the program starts.
    void addHelper(const std::function<void()> &childSetup);
    void readFrom(Helper &helper);
    void end(Helper &helper, bool ok);
    void giveUp();
    bool isComplete() const;

    std::vector<std::unique_ptr<Helper>> m_helpers;
    int m_running = 0;
    bool m_complete = true;
    bool m_countKnown = false;
    int m_end = 0;       // the book's page count once known
    QSet<int> m_read;    // the pages that arrived, each once
    QTimer m_stall;
};

} // namespace vk
