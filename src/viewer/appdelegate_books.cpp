#include "AppDelegate.h"

#include "BookLocation.h"
#include "Log.h"
#include "PanelView.h"
#include "PdfDocument.h"
#include "PdfView.h"
#include "PortalConfig.h"
#include "ShownText.h"
#include "UrlSession.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>

bool AppDelegate::isDownloading() const
{
    return downloadpending || (downloadtask && !downloadtask->isCompleted());
}

void AppDelegate::bookbPressed()
{
    // The book arrays are being rewritten on the session worker until the book
    // answer is in; with no entry selected there is nothing to open.
    if (isBookCheckOutstanding())
        return;
    const int i = _bookcombo->currentIndex();
    if (i < 0 || i >= bookloc.size() || i >= bookpass.size())
        return;
    _bookbutton->setEnabled(false);
    _filename1 = bookloc.at(i);
    _pass1 = bookpass.at(i);
    openbook();
}

void AppDelegate::openbook()
{
    url = QUrl(_filename1, QUrl::StrictMode);
    if (_filename1.isEmpty() || !url.isValid())
        url = QUrl();
    _bookview->setHidden(true);
    _view1->setHidden(false);
    _view2->setHidden(false);

    discardDownload();
    pdfDoc.reset();
    showDocument(nullptr);
    if (url.isEmpty())
        return;
    const QString name = _bookcombo->currentText().isEmpty() ? url.fileName()
                                                              : _bookcombo->currentText();
    startDownload(url, name, _pass1);
}

void AppDelegate::startDownload(const QUrl &bookUrl, const QString &bookName,
                                const QString &password)
{
    const quint64 generation = ++downloadgeneration;
    downloadpending = true;
    _pdfView->showDownload(shownText(bookName));
    const QString refusal = bookLocationRefusal(bookUrl, PortalConfig::allowInsecureBooks());
    if (!refusal.isEmpty()) {
        logLine(refusal);
        finishDownload(generation, std::nullopt, password);
        return;
    }
    auto progress = [this, generation](qint64 received, qint64 total) {
        QMetaObject::invokeMethod(this, [this, generation, received, total] {
            if (generation == downloadgeneration)
                _pdfView->setDownloadProgress(received, total);
        }, Qt::QueuedConnection);
    };
    auto completion = [this, generation, password](const UrlResponse &response) {
        QMetaObject::invokeMethod(this, [this, generation, password, data = response.data] {
            finishDownload(generation, data, password);
        }, Qt::QueuedConnection);
    };
    downloadtask = UrlSession::shared().downloadTask(bookUrl, progress, completion);
    downloadtask->resume();
}

void AppDelegate::finishDownload(quint64 generation, const std::optional<QByteArray> &bytes,
                                 const QString &password)
{
    if (generation != downloadgeneration)
        return;
    // A book that could not be fetched becomes a document that could not be
    // read, so the view says why there is no page. The download panel stays
    // until the book is parsed, which takes a large book a tenth of a second.
    openingdoc = std::make_shared<PdfDocument>();
    connect(openingdoc.get(), &PdfDocument::loaded, this, [this] {
        downloadpending = false;
        pdfDoc = std::exchange(openingdoc, nullptr);
        showDocument(pdfDoc);
    });
    openingdoc->loadInBackground(bytes.value_or(QByteArray()), password);
}

void AppDelegate::discardDownload()
{
    ++downloadgeneration;
    downloadpending = false;
    openingdoc.reset();
    if (downloadtask)
        downloadtask->cancel();
}

void AppDelegate::openbookm()
{
    discardDownload();
    _view1->setHidden(true);
    _view2->setHidden(true);
    _bookview->setHidden(false);
    _bookbutton->setEnabled(true);
}

void AppDelegate::openbookempty()
{
    discardDownload();
    QFile resource(QStringLiteral(":/empty.pdf"));
    QByteArray bytes;
    if (resource.open(QIODevice::ReadOnly))
        bytes = resource.readAll();
    // Loaded before the book it replaces is let go: closing a large book holds
    // QtPdf's lock for a while, and this load would wait for it.
    auto blank = std::make_shared<PdfDocument>();
    blank->load(bytes);
    pdfDoc = std::move(blank);
    _pdfView->setAutoScales(true);
    showDocument(pdfDoc);
}

void AppDelegate::showDocument(std::shared_ptr<PdfDocument> document)
{
    if (dropPendingSearch())
        _matchl->clear();
    _pdfView->setDocument(std::move(document));
}
