// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/MessagePump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <chrono>
#include <thread>
#include <utility>

namespace {

// Rounds of event processing per pump: events that post further events (a
// zero-length timer, a widget that repaints itself) would otherwise keep the
// pump from ever returning to the action that called it.
constexpr int kMaxRounds = 64;
constexpr int kMaxIdleCalls = 64;

std::function<bool()>& IdleHandler() {
    static std::function<bool()> handler;
    return handler;
}

// Catches the quit request while the pump runs, so that it ends the pumping
// instead of being consumed by the pump; the owner's loop gets it afterwards.
class QuitCatcher : public QObject {
public:
    bool seen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
            seen = true;
            return true;
        }
        return false;
    }
};

}  // namespace

bool PumpMessages() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return true;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(app->thread());

    QuitCatcher catcher;
    app->installEventFilter(&catcher);
    for (int round = 0; round < kMaxRounds && !catcher.seen; ++round) {
        bool processed = false;
        if (dispatcher != nullptr) {
            processed = dispatcher->processEvents(QEventLoop::AllEvents);
        } else {
            QCoreApplication::sendPostedEvents();
        }
        if (!processed) break;
    }
    app->removeEventFilter(&catcher);

    if (catcher.seen) {
        QCoreApplication::postEvent(app, new QEvent(QEvent::Quit));
        return false;
    }

    std::function<bool()> idle = IdleHandler();  // a copy: the handler may replace itself
    if (idle) {
        for (int i = 0; i < kMaxIdleCalls && idle(); ++i) {
        }
    }
    return true;
}

void DelayMs(int ms) {
    if (ms <= 0) return;
    QElapsedTimer timer;
    timer.start();
    // Polls the clock; the short sleeps keep the wait from taking a whole core.
    while (timer.elapsed() < ms) std::this_thread::sleep_for(std::chrono::microseconds(500));
}

void SetIdleHandler(std::function<bool()> idle) { IdleHandler() = std::move(idle); }
