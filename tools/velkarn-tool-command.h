#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vk {

// One call of velkarn-tool: the subcommand, its operands (TEXT, and KEY for
// encodenew) and its options.
struct VelkarnToolCommand
{
    QString name;
    QStringList operands;
    int second = -1;
    bool base64 = false;
};

// What a call prints: output (with a newline) on standard output when not
// null, message (with a newline) on standard error when not empty.
struct VelkarnToolResult
{
    QString output;
    QString message;
    int exitCode = 0;
};

inline constexpr int velkarnToolUsageExit = 2;

QString velkarnToolUsage();

// Checks the arguments after the program name; on a usage error returns
// nothing and says why in *error.
std::optional<VelkarnToolCommand> parseVelkarnToolArguments(const QStringList &arguments, QString *error);

// Runs a parsed command whose operands hold the texts themselves ("-" already
// replaced by standard input).
VelkarnToolResult runVelkarnTool(const VelkarnToolCommand &command);

// Standard input as one text, without the single line end a shell adds.
QString textOfStandardInput(const QByteArray &bytes);

} // namespace vk
