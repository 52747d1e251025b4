#pragma once

#include <QString>

class QFileDialog;

namespace vk {

// Sets a file dialog up as the controller's one-item open panel: what may be
// chosen, its title, and its message in the line above the list.
void configureOpenPanel(QFileDialog &dialog, bool chooseFiles, bool chooseDirectories);

// The text the controller hands back for the dialog's result: empty unless it
// was accepted, else the item's URL with its scheme prefix cut out and percent
// escapes kept, a directory ending in '/'.
QString openPanelAnswer(int result, const QString &chosenPath);

} // namespace vk
