#pragma once

#include <QByteArray>
#include <QTemporaryFile>

// Sends this process's standard error to a temporary file until text() is read.
class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture();
    QByteArray text(); // ends the capture

private:
    QTemporaryFile file;
    int saved = -1;
};
