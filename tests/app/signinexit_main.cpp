// Signs in with the address and password given and chooses Exit, which ends the process for real.
#include "ViewerHarness.h"

#include <QApplication>
#include <QMenu>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    LaunchedViewer viewer(true); // its Exit ends this process
    if (viewer.signIn(application.arguments().value(1), application.arguments().value(2)))
        viewer.app().submenu()->actions().last()->trigger();
    return 3; // reaching this means the exit did not happen
}
