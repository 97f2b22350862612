// SPDX-License-Identifier: GPL-2.0-or-later
// Running Qt's event loop from a test until something has happened.
#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

namespace vantorel::test {

// Runs the event loop until pred holds or `rounds` rounds have passed;
// returns whether pred held.
template <class Pred>
bool pump_until(Pred pred, int rounds = 500) {
    for (int i = 0; i < rounds; ++i) {
        if (pred()) return true;
        // Let the loop wait a little so timers and sockets get their turn.
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return pred();
}

inline void pump() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

}  // namespace vantorel::test
