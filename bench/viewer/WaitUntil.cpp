#include "WaitUntil.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTimer>

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    const auto look = [&] {
        if (done())
            loop.quit();
    };
    // Looked at each time the loop has handled what was pending, so the figure
    // is taken as soon as the events that made it true are through. A 1 ms
    // poll did the same at a cost: on source2e.pdf's first search it woke the
    // window 1,300 times and took a fifth of the GUI thread's time beside the
    // text helpers, which the figure then counted against the viewer.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, look);
    // What changes without an event here (another process, a worker's state)
    // is looked at every 10 ms.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, look);
    poll.start(10);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}
