// Prints the text helper the viewer would start, as seen from wherever this
// program is copied: the install test puts it beside the installed viewer.
#include "PdfTextHelpers.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("%s\n", qPrintable(vk::PdfTextHelpers::program()));
    return 0;
}
