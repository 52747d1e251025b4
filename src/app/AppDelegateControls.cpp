#include "AppDelegate.h"

#include "OpenPanel.h"

#include <QFileDialog>
#include <QFont>
#include <QWidget>

using namespace vk;

void AppDelegate::setTextSizeC(QWidget *control, double size)
{
    QFont font(QStringLiteral("ArialMT"));
    font.setPointSizeF(size);
    control->setFont(font);
}

QString AppDelegate::opendialog(bool chooseFiles, bool chooseDirectories)
{
    QFileDialog dialog(_window);
    vk::configureOpenPanel(dialog, chooseFiles, chooseDirectories);
    const int result = dialog.exec();
    return vk::openPanelAnswer(result, dialog.selectedFiles().value(0));
}
