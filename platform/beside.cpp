// Work on a thread of its own while the event loop turns.
#include "platform/beside.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <memory>

void RunBesideEventLoop(const std::function<void()>& work, const std::function<void()>& tick, int everyMs)
{
    QEventLoop loop;
    std::unique_ptr<QThread> thread(QThread::create(work));
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setInterval(everyMs);
    QObject::connect(&timer, &QTimer::timeout, &loop, tick);
    timer.start();
    thread->start();
    loop.exec();
    thread->wait();
}
