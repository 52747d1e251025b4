#include "AppDelegate.h"

#include "BookOpening.h"
#include "PanelView.h"
#include "PdfDocument.h"
#include "PdfView.h"
#include "PortalSettings.h"
#include "PortalRequests.h"
#include "ShownText.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>

using namespace vk;

bool AppDelegate::isDownloading() const
{
    return m_opening->isBusy();
}

void AppDelegate::bookbPressed()
{
    // The book arrays are being rewritten on the session worker until the book
    // answer is in; with no entry selected there is nothing to open.
    if (m_portal->isBookCheckOutstanding())
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

    m_opening->discard();
    pdfDoc.reset();
    showDocument(nullptr);
    if (url.isEmpty())
        return;
    const QString name = _bookcombo->currentText().isEmpty() ? url.fileName()
                                                              : _bookcombo->currentText();
    _pdfView->showDownload(shownText(name));
    m_opening->open(url, _pass1, vk::PortalSettings::allowInsecureBooks());
}

void AppDelegate::openbookm()
{
    m_opening->discard();
    _view1->setHidden(true);
    _view2->setHidden(true);
    _bookview->setHidden(false);
    _bookbutton->setEnabled(true);
}

void AppDelegate::openbookempty()
{
    m_opening->discard();
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
    const bool growing = m_growingSearch.drop();
    if (m_pendingSearch.drop() || growing)
        _matchl->clear();
    _pdfView->setDocument(std::move(document));
    readingDocumentChanged();
}
