// SPDX-License-Identifier: GPL-2.0-or-later
// The status line at the foot of the mouse page and the apply result beside
// the apply button: why a typed value was refused, a save that failed, the
// sections an apply could not bring to the mouse, a library a command holds.
// A later apply that brings everything over takes its own warning away; the
// user closes the others.
#pragma once

#include <QString>

#include <mutex>
#include <string>

#include "core/apply_engine.h"

class QWidget;

namespace vantorel::page {

class PageContext;

class StatusLine {
public:
    void init(PageContext& page);

    void say(const QString& text);
    // From any thread; shown by show_save_failure.
    void record_save_error(const std::string& error);
    QString save_error() const;
    void show_save_failure();
    void show_library_held(bool held);

    void apply_requested();
    void apply_started();
    // False when the mouse refused the DPI stages (they stay waiting); an
    // apply that found no link changes nothing here.
    bool apply_finished(const ApplySummary& summary);

    bool on_click(const QWidget* sender);

private:
    QWidget* bar_ = nullptr;
    QWidget* label_ = nullptr;
    QWidget* close_ = nullptr;
    QWidget* result_ = nullptr;
    QWidget* ring_ = nullptr;
    bool showing_not_taken_ = false;
    bool showing_held_ = false;
    mutable std::mutex error_mutex_;
    std::string save_error_;
};

}  // namespace vantorel::page
