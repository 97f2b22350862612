// SPDX-License-Identifier: GPL-2.0-or-later
// SIGTERM, SIGINT and SIGHUP (log-out, shutdown, `kill`, Ctrl+C, a closed
// terminal) end the program the way the tray's "Quit" does. The handler
// only writes the signal's number into a pipe; the Qt loop reads it and
// emits exitRequested, so nothing but write(2) runs in signal context.
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace vantorel {

class ExitSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one object per process. A second one, or a
    // failure to make the pipe, installs nothing (installed() says so).
    explicit ExitSignals(QObject* parent = nullptr);
    ~ExitSignals() override;
    ExitSignals(const ExitSignals&) = delete;
    ExitSignals& operator=(const ExitSignals&) = delete;

    bool installed() const { return notifier_ != nullptr; }

signals:
    void exitRequested(int signal_number);

private:
    void on_readable();

    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vantorel
