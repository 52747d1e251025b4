#include "StderrCapture.h"

#include <cstdio>
#include <unistd.h>

StderrCapture::StderrCapture()
{
    if (!file.open())
        return;
    std::fflush(stderr);
    saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
}

StderrCapture::~StderrCapture()
{
    text();
}

QByteArray StderrCapture::text()
{
    if (saved < 0)
        return file.isOpen() ? (file.seek(0), file.readAll()) : QByteArray();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    saved = -1;
    file.seek(0);
    return file.readAll();
}
