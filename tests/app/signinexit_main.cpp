// Starts the viewer, signs in with the address and password given as arguments
// and, once the book list is in, chooses Exit, which ends the process for real.
#include "AppDelegate.h"
#include "MainInterface.h"
#include "PanelView.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

using namespace vk;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    AppDelegate delegate;
    const std::unique_ptr<CustomNSWindow> window = makeMainInterface(&delegate);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    window->show();

    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (delegate.view3()->isVisible() && delegate.logonb()->isEnabled()) {
            delegate.usertf()->setText(arguments.value(1));
            delegate.passtf()->setText(arguments.value(2));
            delegate.logonb()->click();
        } else if (delegate.bookview()->isVisible() && !delegate.isBookTimerLive()) {
            delegate.submenu()->actions().last()->trigger();
        }
    });
    driver.start(50);
    return app.exec() + 3; // reaching this means the exit did not happen
}
