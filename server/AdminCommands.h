#pragma once

#include <QStringList>

namespace vk {

// The admin subcommands; `args` follow the command word. They print their
// result on standard output and throw CommandError on failure.
void runInit(const QStringList &args);
void runCompanyCommand(const QStringList &args);
void runUserCommand(const QStringList &args);
void runBookCommand(const QStringList &args);
// Copies a whole library into an empty one, on either engine.
void runMigrate(const QStringList &args);

} // namespace vk
