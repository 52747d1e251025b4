#include "AppDelegate.h"
#include "CustomNSWindow.h"
#include "MainInterface.h"

#include <QApplication>

using namespace vk;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppDelegate delegate;
    const std::unique_ptr<CustomNSWindow> window = makeMainInterface(&delegate);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    window->show();
    const int status = app.exec();
    delegate.applicationWillTerminate();
    return status;
}
