#include "velkarn-tool-command.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

using namespace vk;

// Scrambles and unscrambles texts in the encodings the portal stores, for the
// administrators who fill it.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QString error;
    std::optional<VelkarnToolCommand> command = parseVelkarnToolArguments(app.arguments().mid(1), &error);
    if (!command) {
        err << "velkarn-tool: " << error << "\n" << velkarnToolUsage() << Qt::endl;
        return velkarnToolUsageExit;
    }
    for (QString &operand : command->operands) {
        if (operand == QLatin1String("-")) {
            QFile input;
            if (!input.open(stdin, QIODevice::ReadOnly)) {
                err << "velkarn-tool: cannot read standard input" << Qt::endl;
                return 1;
            }
            operand = textOfStandardInput(input.readAll());
        }
    }

    const VelkarnToolResult result = runVelkarnTool(*command);
    if (!result.output.isNull())
        out << result.output << Qt::endl;
    if (!result.message.isEmpty())
        err << result.message << Qt::endl;
    return result.exitCode;
}
