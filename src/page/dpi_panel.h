// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page's eight DPI stages: slider, caption, typed value, on/off,
// colour and the choice of the active stage, with their apply and reset
// buttons. A stage's value waits for an apply button (dragging through many
// values should not write each into the mouse); the library keeps it at
// once.
#pragma once

#include <QString>

#include <array>

#include "core/profile_record.h"
#include "page/page_context.h"

class QWidget;

namespace vantorel::page {

class DpiPanel {
public:
    static constexpr int kStageCount = 8;

    explicit DpiPanel(PageContext& page);

    // Finds the controls and sets them up (names for screen readers, the
    // typed values' guards); once, when the skin is there.
    void init();
    // Shows the stages of `r`.
    void show(const ProfileRecord& r);
    // An apply took the waiting values (unless the mouse refused them).
    void values_sent();

    // The page's notifications; true when the control was one of the panel's.
    bool on_click(const QWidget* sender);
    bool on_select(const QWidget* sender);
    bool on_check(const QWidget* sender);
    bool on_value(const QWidget* sender, int value);
    bool on_edit_commit(const QWidget* sender);
    bool on_text_changed(QWidget* sender);

private:
    using Row = std::array<QWidget*, kStageCount>;
    void on_slider(int stage, int code);
    // Stages not in use are shown off: greyed row, "off" caption, no stage
    // button to choose. The active stage cannot be switched off.
    void show_states(const ProfileRecord& r);
    void set_enabled(int k, bool on);
    void commit_edit(int stage);
    void reset();
    void choose_color(int stage);
    void show_waiting();

    PageContext& page_;
    Row sliders_{};
    Row labels_{};
    Row options_{};
    Row checks_{};
    Row colors_{};
    Row edits_{};
    QWidget* apply_ = nullptr;
    QWidget* reset_ = nullptr;
};

}  // namespace vantorel::page
