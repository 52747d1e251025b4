#pragma once

#include <QSize>

#include <memory>

class AppDelegate;
class CustomNSWindow;

namespace vk {

// The size of the window's content area: room for a book page on a 1366 x 768
// screen. The window is made non-resizable at start-up, so the frames computed
// from it stay valid.
inline constexpr QSize kContentSize(900, 680);

// Builds what a main interface description would hold: the main window with its
// content area and the menu bar whose "Action" menu sends the controller's menu
// actions. Connects the window to the controller's window outlet.
std::unique_ptr<CustomNSWindow> makeMainInterface(AppDelegate *delegate);

} // namespace vk
