#pragma once

#include <QList>
#include <QString>

// Figures the kernel keeps on processes, read from /proc.

// A "VmXxx:" field of a process's status in MiB (pid 0: this process); -1
// when the process or the field is gone.
double statusMiB(qint64 pid, const char *field);

// Living processes whose parent is this process and whose name is name (as
// the kernel keeps it: cut to 15 characters).
QList<qint64> childrenNamed(const QString &name);

// Running or sleeping: neither gone nor a zombie waiting to be reaped.
bool isAlive(qint64 pid);
