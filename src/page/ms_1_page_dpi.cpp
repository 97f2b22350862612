// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page's DPI stages (sliders, edits, on/off, reset) and the
// colours of the stages and the light.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QLineEdit>

#include <array>

#include "core/trace.h"
#include "page/dpi_color_wnd.h"
#include "page/ms_1_page.h"
#include "page/page_logic.h"
#include "ui/controls.h"
#include "ui/resources.h"

namespace vantorel {

namespace {

// What the DPI reset gives the eight stages.
constexpr std::array<std::int32_t, 8> kResetDpiValues = {16, 32, 48, 64, 100, 320, 0, 0};
constexpr std::array<std::int32_t, 8> kResetStageEnabled = {1, 1, 1, 1, 1, 1, 0, 0};
constexpr std::int32_t kNewStageCode = 16;  // 800 DPI
constexpr std::array<Color, 8> kResetDpiColors = {{
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 64, 0}, {255, 255, 255},
}};

}  // namespace

// ---------------------------------------------------------------------------
// DPI stages

void CMS_1_Page::on_dpi_slider(int stage, int code) {
    if (!has_current_profile()) return;
    edit_profile([stage, code](ProfileRecord& r) { r.set_dpi_value(stage - 1, code); });
    const QString dpi = page::DpiText(code);
    const auto k = static_cast<std::size_t>(stage - 1);
    ui::SetText(m_pLabelDpi[k], dpi);
    ui::SetText(m_pEditDpi[k], dpi);
    // The stage waits for an apply button: dragging through many values
    // should not write each of them into the mouse. The library keeps it
    // now, or when the drag ends.
    const auto* slider = qobject_cast<const QAbstractSlider*>(m_pSliderDpi[k]);
    if (!slider || !slider->isSliderDown()) save_library_now();
}

void CMS_1_Page::name_stage_controls() {
    // Screen readers tell the eight rows apart by their stage.
    for (int k = 0; k < kStageCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const QString name = ui::Tr(QStringLiteral("dpi_stage_value_name_text")).arg(k + 1);
        for (QWidget* w : {m_pSliderDpi[i], m_pEditDpi[i]})
            if (w) w->setAccessibleName(name);
    }
    // The light sliders say their value in their tooltip.
    const std::pair<QWidget*, const char*> valued[] = {{m_pSliderBrightness, "brightness_text"},
                                                       {m_pSliderBreathSpeed, "breath_speed_text"}};
    for (const auto& [widget, key] : valued) {
        auto* slider = qobject_cast<QAbstractSlider*>(widget);
        if (!slider) continue;
        const QString label = ui::Tr(QLatin1String(key));
        auto tip = [slider, label](int value) {
            slider->setToolTip(ui::Tr(QStringLiteral("slider_value_tip_text")).arg(label).arg(value));
        };
        tip(slider->value());
        QObject::connect(slider, &QAbstractSlider::valueChanged, slider, tip);
    }
}

void CMS_1_Page::show_stage_states(const ProfileRecord& r) {
    for (int k = 0; k < kStageCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const bool on = r.dpi_stage_enabled(k) == 1;
        const bool active = page::NearestChoice(r.dpi_stage_index(), kStageCount) == k;
        ui::SetCheck(m_pCheckDpiEnabled[i], on);
        // The stage the mouse is on stays in use.
        ui::SetEnabled(m_pCheckDpiEnabled[i], !(on && active));
        for (QWidget* w : {m_pSliderDpi[i], m_pEditDpi[i], m_pBtnDpiColor[i], m_pLabelDpi[i]}) ui::SetEnabled(w, on);
        ui::SetEnabled(m_pOptionDpiStep[i], on || active);
        ui::SetText(m_pLabelDpi[i], on ? page::DpiText(r.dpi_value(k)) : ui::Tr(QStringLiteral("dpi_stage_off_text")));
    }
}

void CMS_1_Page::set_stage_enabled(int k, bool on) {
    if (!has_current_profile()) return;
    edit_profile([k, on](ProfileRecord& r) {
        if (!on && r.dpi_stage_index() == k) return;
        r.set_dpi_stage_enabled(k, on ? 1 : 0);
        // A stage that never had a value starts at 800 DPI.
        if (on && r.dpi_value(k) < 1) {
            r.set_dpi_value(k, kNewStageCode);
            r.set_dpi_value_y(k, kNewStageCode);
        }
    });
    const auto record = std::make_unique<ProfileRecord>(current_profile());
    const auto i = static_cast<std::size_t>(k);
    ui::SetValue(m_pSliderDpi[i], record->dpi_value(k));
    ui::SetText(m_pEditDpi[i], page::DpiText(record->dpi_value(k)));
    show_stage_states(*record);
    RequestApply();
}

void CMS_1_Page::commit_dpi_edit(int stage) {
    if (!has_current_profile()) return;
    const auto k = static_cast<std::size_t>(stage - 1);
    const int code = page::DpiCodeForText(ui::GetText(m_pEditDpi[k]));
    const bool changed = current_profile().dpi_value(stage - 1) != code;
    edit_profile([stage, code](ProfileRecord& r) { r.set_dpi_value(stage - 1, code); });
    // Kept in the library at once; sent with the apply buttons.
    if (changed) save_library_now();
    ui::SetValue(m_pSliderDpi[k], code);
    // The caption follows the accepted value.
    ui::SetText(m_pLabelDpi[k], page::DpiText(code));
    ui::SetText(m_pEditDpi[k], page::DpiText(code));
}

void CMS_1_Page::filter_dpi_edit(QWidget* edit) {
    const QString text = ui::GetText(edit);
    const QString digits = page::DigitsOnly(text);
    if (digits == text) return;
    ui::SetText(edit, digits);
    ui::SetSel(edit, static_cast<int>(digits.size()), static_cast<int>(digits.size()));
}

void CMS_1_Page::reset_dpi() {
    if (!has_current_profile()) return;
    // It replaces all eight stages, so it asks first as Restore defaults does.
    if (ask(QStringLiteral("reset_stages_question_text"), true) != 1) return;
    edit_profile([](ProfileRecord& r) {
        r.set_dpi_stage_index(1);
        for (int k = 0; k < kStageCount; ++k) {
            const auto i = static_cast<std::size_t>(k);
            r.set_dpi_value(k, kResetDpiValues[i]);
            r.set_dpi_value_y(k, kResetDpiValues[i]);
            r.set_dpi_stage_enabled(k, kResetStageEnabled[i]);
            r.set_dpi_color(k, kResetDpiColors[i]);
        }
    });
    Refresh();
    RequestApply();
}

// ---------------------------------------------------------------------------
// Colours

std::optional<quint32> CMS_1_Page::run_color_dialog(quint32 argb, QWidget* button) {
    QWidget* window = host_.window;
    QPoint position;
    if (window && button) {
        // Below the button, reaching 200 pixels to its left.
        const QPoint top_left = button->mapTo(window, QPoint(0, 0));
        const QRect w = window->geometry();
        position = QPoint(w.left() + top_left.x() - 200, w.top() + top_left.y() + button->height());
    }
    if (!may_open_dialog()) return std::nullopt;
    const DialogScope open(m_iDialogDepth);
    if (m_Setup.choose_color) return m_Setup.choose_color(argb, position);
    return CDpiColorWnd::Choose(window, argb, position);
}

bool CMS_1_Page::may_open_dialog() {
    if (!library_held()) return true;
    trace("page: a command holds the library; no dialog now\n");
    m_bShowingNotTaken = false;
    ui::SetText(m_pLabelStatus, ui::Tr(QStringLiteral("library_busy_text")));
    ui::SetVisible(m_pStatusBar, true);
    return false;
}

void CMS_1_Page::choose_dpi_color(int stage) {
    if (!has_current_profile()) return;
    const auto k = static_cast<std::size_t>(stage - 1);
    const std::optional<quint32> chosen = run_color_dialog(page::ArgbOf(current_profile().dpi_color(stage - 1)), m_pBtnDpiColor[k]);
    if (!chosen) return;
    const Color c = page::ColorOfArgb(*chosen);
    edit_profile([stage, c](ProfileRecord& r) { r.set_dpi_color(stage - 1, c); });
    ui::SetBkColor(m_pBtnDpiColor[k], page::ArgbOf(c));
    RequestApply();
}

void CMS_1_Page::choose_light_color() {
    if (!has_current_profile()) return;
    const std::optional<quint32> chosen = run_color_dialog(page::ArgbOf(current_profile().light_color()), m_pBtnLightColor);
    if (!chosen) return;
    const Color c = page::ColorOfArgb(*chosen);
    edit_profile([c](ProfileRecord& r) { r.set_light_color(c); });
    ui::SetBkColor(m_pBtnLightColor, page::ArgbOf(c));
    RequestApply();
}

}  // namespace vantorel
