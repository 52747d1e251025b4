#include "StderrCapture.h"

#include <cstdio>
#include <unistd.h>

StderrCapture::StderrCapture()
{
    if (!m_file.open())
        return;
    std::fflush(stderr);
    m_saved = ::dup(STDERR_FILENO);
    ::dup2(m_file.handle(), STDERR_FILENO);
}

StderrCapture::~StderrCapture()
{
    if (m_saved < 0)
        return;
    std::fflush(stderr);
    ::dup2(m_saved, STDERR_FILENO);
    ::close(m_saved);
}

QList<QByteArray> StderrCapture::linesWith(const QByteArray &part)
{
    std::fflush(stderr);
    QFile written(m_file.fileName());
    QList<QByteArray> found;
    if (!written.open(QIODevice::ReadOnly))
        return found;
    for (const QByteArray &line : written.readAll().split('\n')) {
        if (line.contains(part))
            found.append(line);
    }
    return found;
}
