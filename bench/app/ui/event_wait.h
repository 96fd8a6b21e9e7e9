#pragma once
// Waiting in the event loop for the window's work, without spinning.

#include <functional>

#include <QEventLoop>
#include <QTimer>

namespace tobrel::bench {

// Runs the event loop until `done`, sleeping in it between events.
inline void RunUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    if (!done())
        loop.exec();
}

}  // namespace tobrel::bench
