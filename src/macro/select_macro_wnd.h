// SPDX-License-Identifier: GPL-2.0-or-later
// CMS_1_SelectMacro: gives a button a macro of the library and how it plays:
// repeated a number of times (1..255), while the button is held, or until
// the button is pressed again.
#pragma once

#include <cstdint>

#include "library/macro_library.h"
#include "ui/skin_window.h"

namespace vantorel {

class CMS_1_SelectMacro : public ui::SkinWindow {
    Q_OBJECT
public:
    static constexpr int kMaxRepeat = 255;

    explicit CMS_1_SelectMacro(const MacroLibrary& macros) : macros_(macros) {}
    QString GetWindowClassName() const override { return QStringLiteral("MS_1_SelectMacro"); }
    QString GetSkinFile() const override { return QStringLiteral("MS/MS_1/selectmacro.xml"); }

    // Input before Create (a button without a macro: 0, -1, 1), results after
    // a close with 1. The index is -1 when no macro is selected.
    void SetPlayMode(std::int32_t mode) { play_mode_ = (mode >= 0 && mode <= 2) ? mode : 0; }
    std::int32_t PlayMode() const { return play_mode_; }
    void SetMacroIndex(std::int32_t index) { index_ = index; }
    std::int32_t MacroIndex() const { return index_; }
    void SetRepeatCount(std::int32_t count) { repeat_ = count; }
    std::int32_t RepeatCount() const { return repeat_; }

protected:
    void InitWindow() override;
    void Notify(const ui::Notification& msg) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void read_repeat_count();

    const MacroLibrary& macros_;
    QWidget* list_ = nullptr;
    QWidget* modes_[3] = {};
    QWidget* loop_row_ = nullptr;
    QWidget* loop_edit_ = nullptr;
    QWidget* btn_ok_ = nullptr;
    std::int32_t play_mode_ = 0;
    std::int32_t index_ = -1;
    std::int32_t repeat_ = 1;
};

}  // namespace vantorel
