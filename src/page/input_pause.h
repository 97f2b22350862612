// SPDX-License-Identifier: GPL-2.0-or-later
// While vantorelctl holds the library, the window takes no input: a click,
// a key or a drop would edit records that are about to be replaced by what
// the command writes. Held for a few milliseconds as a rule, so the window
// looks as it was; only an input that is refused, or a hold that lasts,
// makes the page say why it does not react.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QTimer;

namespace vantorel {

class InputPause final : public QObject {
public:
    // How long a hold may last before the page says it is busy.
    static constexpr int kQuietMs = 300;

    // Pauses the input of `window` from now on; `show_busy(true)` when the
    // page should say so, `show_busy(false)` when the pause ends after that.
    InputPause(QWidget* window, std::function<void(bool)> show_busy);
    ~InputPause() override;
    InputPause(const InputPause&) = delete;
    InputPause& operator=(const InputPause&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void say_busy();

    QPointer<QWidget> window_;
    std::function<void(bool)> show_busy_;
    QTimer* quiet_ = nullptr;
    bool shown_ = false;
};

}  // namespace vantorel
