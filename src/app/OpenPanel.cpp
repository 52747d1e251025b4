#include "OpenPanel.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

namespace vk {

void configureOpenPanel(QFileDialog &dialog, bool chooseFiles, bool chooseDirectories)
{
    // Qt's own dialog: the desktop's may have no place for the message.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // One mode holds only one kind; files win when both are allowed.
    dialog.setFileMode(chooseFiles || !chooseDirectories ? QFileDialog::ExistingFile
                                                         : QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, !chooseFiles && chooseDirectories);
    dialog.setWindowTitle(QStringLiteral("Select File"));
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Select FILE"));
}

QString openPanelAnswer(int result, const QString &chosenPath)
{
    if (result != QDialog::Accepted || chosenPath.isEmpty())
        return QString();
    QString path = chosenPath;
    if (QFileInfo(path).isDir() && !path.endsWith(u'/'))
        path += u'/';
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).remove(QStringLiteral("file://"));
}

} // namespace vk
