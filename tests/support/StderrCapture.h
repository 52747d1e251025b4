#pragma once

#include <QByteArray>
#include <QTemporaryFile>

// Sends this process's standard error into a temporary file while it lives,
// so a test can read the diagnostics written meanwhile.
class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    QList<QByteArray> linesWith(const QByteArray &part); // the lines written so far that hold part

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};
