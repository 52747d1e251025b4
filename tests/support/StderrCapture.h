#pragma once

#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

// Sends standard error into a temporary file while it lives, for a test to read the diagnostics.
class StderrCapture
{
public:
    StderrCapture()
    {
        if (!m_file.open())
            return;
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }

    // The lines written so far that hold part.
    QList<QByteArray> linesWith(const QByteArray &part)
    {
        std::fflush(stderr);
        QFile written(m_file.fileName());
        QList<QByteArray> lines = written.open(QIODevice::ReadOnly) ? written.readAll().split('\n')
                                                                    : QList<QByteArray>();
        lines.removeIf([&part](const QByteArray &line) { return !line.contains(part); });
        return lines;
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};
