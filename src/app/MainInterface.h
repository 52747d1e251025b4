#pragma once

#include <memory>

class AppDelegate;
class CustomNSWindow;

namespace vk {

// Builds what a main interface description would hold: the main window with its
// content area, as large as its screen has room for (WindowSize.h), and the
// menu bar whose "Action" menu sends the controller's menu actions. Connects the window to the controller's window outlet.
std::unique_ptr<CustomNSWindow> makeMainInterface(AppDelegate *delegate);

} // namespace vk
