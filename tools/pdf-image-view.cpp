// Shows every page of a PDF file on one canvas that the mouse drags around:
//   pdf-image-view FILE.pdf
#include "DraggableScrollView.h"
#include "Log.h"
#include "PDFImageView.h"

#include <QApplication>
#include <QFileInfo>

using namespace vk;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        logLine(QStringLiteral("usage: pdf-image-view FILE.pdf"));
        return 2;
    }

    DraggableScrollView scrollView;
    auto *pages = new PDFImageView;
    scrollView.setWidget(pages);
    pages->loadFromPath(arguments.at(1));
    if (!pages->pdfRep())
        return 1;

    scrollView.setWindowTitle(QFileInfo(arguments.at(1)).fileName());
    scrollView.resize(800, 600);
    scrollView.show();
    return app.exec();
}
