#include "AppDelegate.h"

#include "PdfView.h"
#include "ZoomChoices.h"

#include <QComboBox>
#include <QSignalBlocker>

using namespace vk;

void AppDelegate::firstPressed()
{
    _pdfView->goToFirstPage();
}

void AppDelegate::prevPressed()
{
    _pdfView->goToPreviousPage();
}

void AppDelegate::nextPressed()
{
    _pdfView->goToNextPage();
}

void AppDelegate::lastPressed()
{
    _pdfView->goToLastPage();
}

void AppDelegate::popzoom()
{
    {
        // A combo box selects its first entry by itself; only the choice of
        // "1.0" below is a selection to apply.
        const QSignalBlocker blocker(_zoomcombo);
        _zoomcombo->addItems(zoomChoices());
        _zoomcombo->setCurrentIndex(-1);
    }
    _zoomcombo->setCurrentIndex(kDefaultZoomIndex);
}

void AppDelegate::comboBoxSelectionDidChange()
{
    const float value = leadingFloatValue(_zoomcombo->currentText());
    _pdfView->setScaleFactor(double(value));
}

void AppDelegate::stepZoom(int step)
{
    _zoomcombo->setCurrentIndex(steppedZoomIndex(_zoomcombo->currentIndex(), step, _zoomcombo->count()));
}
